// GDI32 text: fonts as objects (CreateFontA, CreateFontIndirectA, the dialog
// font), TextOutA and ExtTextOutA (ETO_OPAQUE, ETO_CLIPPED, per-character
// advances, underline and strike-out), text alignment (left, right, centre;
// top, baseline, bottom; TA_UPDATECP), GetTextExtentPoint32A and
// GetTextMetricsA. Glyphs are anti-aliased and blended onto the target in the
// text colour; in OPAQUE mode the text cell is first filled with the
// background colour. Left out: escapement and orientation, character
// spacing, justification, ETO_GLYPH_INDEX, right-to-left text, font linking.
#include "gdi/device_context.h"
#include "gdi/font_engine.h"
#include "gdi/gdi_internal.h"
#include "gdi/objects.h"
#include "gdi/painter.h"

#include "core/geometry.h"

#include <cstring>

namespace win32::gdi {

namespace {

// SetTextAlign's flags; windows.h declares only the defaults and TA_BASELINE.
constexpr UINT alignUpdatesPosition = 1; // TA_UPDATECP
constexpr UINT alignRight = 2;           // TA_RIGHT
constexpr UINT alignCentre = 6;          // TA_CENTER
constexpr UINT horizontalAlignMask = 6;
constexpr UINT alignBottom = 8;          // TA_BOTTOM
constexpr UINT verticalAlignMask = 24;

// A text call longer than this is refused rather than laid out.
constexpr UINT longestText = 1u << 20;

FontInstance& instanceOf(Font& font)
{
    if (!font.instance)
        font.instance = fontInstanceFor(font.logFont);
    return *font.instance;
}

// The DC's font; a DC always has one selected, but a font deleted behind
// our back (impossible through DeleteObject) falls back to the default.
Font& fontOf(const DeviceContext& dc)
{
    GdiObject* object = lookupObject(dc.state.font);
    Font* font = object ? object->as<Font>() : nullptr;
    if (!font)
        font = lookupObject(defaultFont())->as<Font>();
    return *font;
}

int textWidth(FontInstance& instance, const char* text, UINT count, const INT* advances)
{
    int width = 0;
    for (UINT i = 0; i < count; ++i)
        width += advances ? advances[i] : instance.advance(static_cast<unsigned char>(text[i]));
    return width;
}

core::Pixel blend(core::Pixel destination, core::Pixel colour, unsigned coverage)
{
    if (coverage >= 255)
        return colour;
    core::Pixel out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int d = static_cast<int>((destination >> shift) & 0xFF), c = static_cast<int>((colour >> shift) & 0xFF);
        out |= static_cast<core::Pixel>(d + ((c - d) * static_cast<int>(coverage) + (c > d ? 127 : -127)) / 255) << shift;
    }
    return out;
}

void drawGlyph(Painter& painter, const Glyph& glyph, int penX, int baseline, core::Pixel colour, const RECT* limit)
{
    if (glyph.width == 0 || glyph.rows == 0)
        return;
    int left = penX + glyph.left, top = baseline - glyph.top;
    RECT area{left, top, left + glyph.width, top + glyph.rows};
    if (limit)
        area = core::intersect(area, *limit);
    painter.applyAt(area, [&](int x, int y, core::Pixel d) {
        unsigned coverage = glyph.coverage[static_cast<size_t>(y - top) * static_cast<size_t>(glyph.width) + static_cast<size_t>(x - left)];
        return coverage ? blend(d, colour, coverage) : d;
    });
}

} // namespace

HFONT createDialogFont(const std::string& face, int pointSize, int weight, bool italic)
{
    LOGFONTA font{};
    font.lfHeight = -MulDiv(pointSize, 96, 72);
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

bool characterAdvances(HDC hdc, const char* text, int length, std::vector<int>& advances)
{
    advances.clear();
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc || length < 0 || (length > 0 && !text))
        return false;
    FontInstance& instance = instanceOf(fontOf(*dc));
    advances.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        advances.push_back(instance.advance(static_cast<unsigned char>(text[i])));
    return true;
}

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                                    DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                                    DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality,
                                    DWORD iPitchAndFamily, LPCSTR pszFaceName)
{
    LOGFONTA font{};
    font.lfHeight = cHeight;
    font.lfWidth = cWidth;
    font.lfEscapement = cEscapement;
    font.lfOrientation = cOrientation;
    font.lfWeight = cWeight;
    font.lfItalic = static_cast<BYTE>(bItalic ? 1 : 0);
    font.lfUnderline = static_cast<BYTE>(bUnderline ? 1 : 0);
    font.lfStrikeOut = static_cast<BYTE>(bStrikeOut ? 1 : 0);
    font.lfCharSet = static_cast<BYTE>(iCharSet);
    font.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    font.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    font.lfQuality = static_cast<BYTE>(iQuality);
    font.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    if (pszFaceName)
        std::strncpy(font.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

extern "C" HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf)
{
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Font font;
    font.logFont = *lplf;
    font.logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    return static_cast<HFONT>(addObject(GdiObject{std::move(font)}));
}

extern "C" BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCSTR lpString,
                                   UINT c, const INT* lpDx)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if ((c > 0 && !lpString) || c > longestText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Font& font = fontOf(*dc);
    FontInstance& instance = instanceOf(font);
    const FontMetrics& metrics = instance.metrics();
    int width = textWidth(instance, lpString, c, lpDx);

    UINT align = dc->state.textAlign;
    if (align & alignUpdatesPosition) {
        x = dc->state.position.x;
        y = dc->state.position.y;
    }
    int left = x;
    switch (align & horizontalAlignMask) {
    case alignRight: left = x - width; break;
    case alignCentre: left = x - width / 2; break;
    default: break;
    }
    int baseline = y + metrics.ascent;
    switch (align & verticalAlignMask) {
    case TA_BASELINE: baseline = y; break;
    case alignBottom: baseline = y - metrics.descent; break;
    default: break;
    }
    if (align & alignUpdatesPosition) {
        if ((align & horizontalAlignMask) == alignRight)
            dc->state.position.x -= width;
        else if ((align & horizontalAlignMask) != alignCentre)
            dc->state.position.x += width;
    }

    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return TRUE;
    core::Pixel background = painter->store(core::pixelFromColorref(dc->state.backgroundColour));
    core::Pixel colour = painter->store(core::pixelFromColorref(dc->state.textColour));
    std::optional<RECT> limit;
    if (lprect) {
        RECT box = painter->toTarget(*lprect);
        if (options & ETO_OPAQUE)
            painter->fill(box, background);
        if (options & ETO_CLIPPED)
            limit = box;
    }
    const RECT* clipTo = limit ? &*limit : nullptr;
    POINT origin = painter->toTarget(left, baseline);
    if (dc->state.backgroundMode == OPAQUE && c > 0) {
        RECT cell{origin.x, origin.y - metrics.ascent, origin.x + width, origin.y + metrics.descent};
        painter->fill(clipTo ? core::intersect(cell, *clipTo) : cell, background);
    }
    int penX = origin.x;
    for (UINT i = 0; i < c; ++i) {
        const Glyph& glyph = instance.glyph(static_cast<unsigned char>(lpString[i]));
        drawGlyph(*painter, glyph, penX, origin.y, colour, clipTo);
        penX += lpDx ? lpDx[i] : glyph.advance;
    }
    auto rule = [&](int top, int thickness) {
        RECT line{origin.x, top, origin.x + width, top + thickness};
        painter->fill(clipTo ? core::intersect(line, *clipTo) : line, colour);
    };
    if (font.logFont.lfUnderline && c > 0)
        rule(origin.y + metrics.underlinePosition, metrics.underlineThickness);
    if (font.logFont.lfStrikeOut && c > 0)
        rule(origin.y - metrics.strikeoutPosition, metrics.strikeoutThickness);
    return TRUE;
}

extern "C" BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c)
{
    if (c < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ExtTextOutA(hdc, x, y, 0, nullptr, lpString, static_cast<UINT>(c), nullptr);
}

extern "C" BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (!psizl || c < 0 || (c > 0 && !lpString) || static_cast<UINT>(c) > longestText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontInstance& instance = instanceOf(fontOf(*dc));
    psizl->cx = textWidth(instance, lpString, static_cast<UINT>(c), nullptr);
    psizl->cy = instance.metrics().height();
    return TRUE;
}

extern "C" BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (!lptm) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Font& font = fontOf(*dc);
    const FontMetrics& metrics = instanceOf(font).metrics();
    constexpr BYTE variablePitch = 0x01; // TMPF_FIXED_PITCH: set means *not* fixed
    constexpr BYTE vector = 0x02;        // TMPF_VECTOR
    constexpr BYTE trueType = 0x04;      // TMPF_TRUETYPE
    TEXTMETRICA tm{};
    tm.tmHeight = metrics.height();
    tm.tmAscent = metrics.ascent;
    tm.tmDescent = metrics.descent;
    tm.tmInternalLeading = metrics.internalLeading;
    tm.tmExternalLeading = metrics.externalLeading;
    tm.tmAveCharWidth = metrics.averageWidth;
    tm.tmMaxCharWidth = metrics.maximumWidth;
    tm.tmWeight = font.logFont.lfWeight ? font.logFont.lfWeight : FW_NORMAL;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x1E;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = font.logFont.lfItalic ? 1 : 0;
    tm.tmUnderlined = font.logFont.lfUnderline ? 1 : 0;
    tm.tmStruckOut = font.logFont.lfStrikeOut ? 1 : 0;
    tm.tmPitchAndFamily = static_cast<BYTE>((metrics.fixedPitch ? 0 : variablePitch) | vector | trueType | metrics.family);
    // Everything here is Windows-1252.
    tm.tmCharSet = font.logFont.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : font.logFont.lfCharSet;
    *lptm = tm;
    return TRUE;
}
