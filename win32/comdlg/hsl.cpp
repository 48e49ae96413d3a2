// RGB <-> hue/saturation/luminosity on the colour dialog's 0..240 scale. The
// divisions round to nearest (half the divisor is added first) at every step,
// as the published integer method does; without that, pure yellow would come
// out at hue 39 and the documented table would not hold.
#include "comdlg/hsl.h"

#include <algorithm>

namespace win32::comdlg {

namespace {

constexpr int sixth = hslScale / 6;  // 40: the hue distance between neighbouring pure colours
constexpr int third = hslScale / 3;  // 80
constexpr int half = hslScale / 2;   // 120

int roundedDivide(int numerator, int divisor) { return (numerator + divisor / 2) / divisor; }

// One channel on the hue circle: it rises over a sixth of the circle from
// `low` to `high`, stays high up to the half, falls back by two thirds and
// stays low for the last third.
int channelOnHueCircle(int low, int high, int hue)
{
    if (hue < 0)
        hue += hslScale;
    if (hue >= hslScale)
        hue -= hslScale;
    if (hue < sixth)
        return low + roundedDivide((high - low) * hue, sixth);
    if (hue < half)
        return high;
    if (hue < 2 * third)
        return low + roundedDivide((high - low) * (2 * third - hue), sixth);
    return low;
}

} // namespace

Hsl hslFromRgb(COLORREF colour)
{
    int red = GetRValue(colour), green = GetGValue(colour), blue = GetBValue(colour);
    int largest = std::max({red, green, blue});
    int smallest = std::min({red, green, blue});
    int sum = largest + smallest;
    int range = largest - smallest;

    Hsl hsl;
    hsl.luminosity = (sum * hslScale + rgbScale) / (2 * rgbScale);
    if (range == 0) {
        hsl.hue = greyHue;
        return hsl;
    }
    // Saturation is the range relative to how far the luminosity allows it to go.
    int room = hsl.luminosity <= half ? sum : 2 * rgbScale - sum;
    hsl.saturation = roundedDivide(range * hslScale, room);

    // How far each channel falls short of the largest, in sixths of the circle.
    auto shortfall = [&](int channel) { return roundedDivide((largest - channel) * sixth, range); };
    int hue;
    if (red == largest)
        hue = shortfall(blue) - shortfall(green);
    else if (green == largest)
        hue = third + shortfall(red) - shortfall(blue);
    else
        hue = 2 * third + shortfall(green) - shortfall(red);
    if (hue < 0)
        hue += hslScale;
    if (hue >= hslScale)
        hue -= hslScale;
    hsl.hue = hue;
    return hsl;
}

COLORREF rgbFromHsl(Hsl hsl)
{
    int hue = std::clamp(hsl.hue, 0, hueLimit);
    int saturation = std::clamp(hsl.saturation, 0, hslScale);
    int luminosity = std::clamp(hsl.luminosity, 0, hslScale);

    if (saturation == 0) {
        // Rounded like the other channels (the published method truncates here),
        // so that each luminosity comes back from its grey unchanged.
        int grey = roundedDivide(luminosity * rgbScale, hslScale);
        return RGB(grey, grey, grey);
    }
    int high = luminosity <= half ? roundedDivide(luminosity * (hslScale + saturation), hslScale)
                                  : luminosity + saturation - roundedDivide(luminosity * saturation, hslScale);
    int low = 2 * luminosity - high;
    auto channel = [&](int at) { return roundedDivide(channelOnHueCircle(low, high, at) * rgbScale, hslScale); };
    return RGB(channel(hue + third), channel(hue), channel(hue - third));
}

} // namespace win32::comdlg
