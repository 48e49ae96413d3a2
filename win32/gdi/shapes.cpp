// GDI32 lines and filled shapes: MoveToEx/LineTo, Rectangle, Ellipse and
// Polygon, outlined with the pen and filled with the brush, both through the
// DC's SetROP2 mode. Pens draw one pixel wide whatever their width and style
// (PS_NULL draws nothing); polygons fill in ALTERNATE mode. Left out: wide and
// dashed pens, arcs, pies, chords, rounded rectangles, paths.
#include "gdi/device_context.h"
#include "gdi/objects.h"
#include "gdi/painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace win32::gdi {

namespace {

// The pen and brush pixels of a DC as its ROP2 mode will combine them;
// nullopt for PS_NULL pens and hollow brushes.
struct DrawingTools {
    std::optional<core::Pixel> pen;
    std::optional<core::Pixel> brush;
    int rop2 = R2_COPYPEN;
};

DrawingTools toolsOf(const Painter& painter)
{
    const DeviceContext& dc = painter.dc();
    DrawingTools tools;
    tools.rop2 = dc.state.rop2;
    GdiObject* penObject = lookupObject(dc.state.pen);
    if (Pen* pen = penObject ? penObject->as<Pen>() : nullptr; pen && pen->style != PS_NULL)
        tools.pen = painter.store(penPixel(dc, *pen));
    GdiObject* brushObject = lookupObject(dc.state.brush);
    if (Brush* brush = brushObject ? brushObject->as<Brush>() : nullptr; brush && brush->style != BS_NULL)
        tools.brush = painter.store(brushPixel(dc, *brush));
    return tools;
}

void plot(Painter& painter, int x, int y, core::Pixel colour, int rop2)
{
    painter.applyPixel(x, y, [=](core::Pixel d) { return binaryRop(rop2, colour, d); });
}

void span(Painter& painter, int left, int right, int y, core::Pixel colour, int rop2)
{
    if (left >= right)
        return;
    painter.apply(RECT{left, y, right, y + 1}, [=](core::Pixel d) { return binaryRop(rop2, colour, d); });
}

// Bresenham from `from` towards `to`, leaving out `to` itself as LineTo does,
// so joined lines touch each pixel once (which matters for R2_XORPEN).
void line(Painter& painter, POINT from, POINT to, core::Pixel colour, int rop2)
{
    int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    int stepX = from.x < to.x ? 1 : -1, stepY = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    int x = from.x, y = from.y;
    while (x != to.x || y != to.y) {
        plot(painter, x, y, colour, rop2);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

RECT orderedRect(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return RECT{left, top, right, bottom};
}

// The horizontal extent [first, last] of an ellipse inscribed in `box` on
// row y, sampled at pixel centres; empty when first > last.
std::pair<int, int> ellipseRow(const RECT& box, int y)
{
    double centreX = (box.left + box.right) / 2.0, centreY = (box.top + box.bottom) / 2.0;
    double radiusX = (box.right - box.left) / 2.0, radiusY = (box.bottom - box.top) / 2.0;
    double dy = (y + 0.5 - centreY) / radiusY;
    if (dy * dy > 1.0)
        return {1, 0};
    double half = radiusX * std::sqrt(1.0 - dy * dy);
    int first = static_cast<int>(std::ceil(centreX - half - 0.5));
    int last = static_cast<int>(std::floor(centreX + half - 0.5));
    return {first, last};
}

} // namespace

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (lppt)
        *lppt = dc->state.position;
    dc->state.position = POINT{x, y};
    return TRUE;
}

extern "C" BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    POINT from = dc->state.position;
    dc->state.position = POINT{x, y};
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return TRUE;
    DrawingTools tools = toolsOf(*painter);
    if (tools.pen)
        line(*painter, painter->toTarget(from.x, from.y), painter->toTarget(x, y), *tools.pen, tools.rop2);
    return TRUE;
}

extern "C" BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return TRUE;
    DrawingTools tools = toolsOf(*painter);
    RECT box = painter->toTarget(orderedRect(left, top, right, bottom));
    if (!tools.pen) {
        // Without an outline the filled area is a pixel narrower and shorter.
        if (tools.brush) {
            for (int y = box.top; y < box.bottom - 1; ++y)
                span(*painter, box.left, box.right - 1, y, *tools.brush, tools.rop2);
        }
        return TRUE;
    }
    if (box.right <= box.left || box.bottom <= box.top)
        return TRUE;
    if (tools.brush) {
        for (int y = box.top + 1; y < box.bottom - 1; ++y)
            span(*painter, box.left + 1, box.right - 1, y, *tools.brush, tools.rop2);
    }
    // Each outline pixel once, so that XOR outlines stay closed.
    core::Pixel pen = *tools.pen;
    span(*painter, box.left, box.right, box.top, pen, tools.rop2);
    if (box.bottom - 1 > box.top)
        span(*painter, box.left, box.right, box.bottom - 1, pen, tools.rop2);
    for (int y = box.top + 1; y < box.bottom - 1; ++y) {
        plot(*painter, box.left, y, pen, tools.rop2);
        if (box.right - 1 > box.left)
            plot(*painter, box.right - 1, y, pen, tools.rop2);
    }
    return TRUE;
}

extern "C" BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return TRUE;
    DrawingTools tools = toolsOf(*painter);
    RECT box = painter->toTarget(orderedRect(left, top, right, bottom));
    if (!tools.pen) {
        box.right -= 1;
        box.bottom -= 1;
    }
    if (box.right <= box.left || box.bottom <= box.top)
        return TRUE;
    auto inside = [&box](int x, int y) {
        if (y < box.top || y >= box.bottom)
            return false;
        auto [first, last] = ellipseRow(box, y);
        return x >= first && x <= last;
    };
    for (int y = box.top; y < box.bottom; ++y) {
        auto [first, last] = ellipseRow(box, y);
        for (int x = first; x <= last; ++x) {
            // The outline is the rim of the filled shape: pixels with a
            // neighbour outside it.
            bool rim = x == first || x == last || !inside(x, y - 1) || !inside(x, y + 1);
            if (rim && tools.pen)
                plot(*painter, x, y, *tools.pen, tools.rop2);
            else if (tools.brush)
                plot(*painter, x, y, *tools.brush, tools.rop2);
        }
    }
    return TRUE;
}

extern "C" BOOL WINAPI Polygon(HDC hdc, const POINT* apt, int cpt)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (!apt || cpt < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return TRUE;
    DrawingTools tools = toolsOf(*painter);
    std::vector<POINT> points;
    points.reserve(static_cast<size_t>(cpt));
    for (int i = 0; i < cpt; ++i)
        points.push_back(painter->toTarget(apt[i].x, apt[i].y));

    if (tools.brush) {
        auto [low, high] = std::minmax_element(points.begin(), points.end(), [](POINT a, POINT b) { return a.y < b.y; });
        std::vector<double> crossings;
        for (int y = low->y; y < high->y; ++y) {
            // Edges crossing this row's pixel centres, paired up even-odd.
            double centre = y + 0.5;
            crossings.clear();
            for (size_t i = 0; i < points.size(); ++i) {
                POINT a = points[i], b = points[(i + 1) % points.size()];
                if ((a.y <= centre) == (b.y <= centre))
                    continue;
                crossings.push_back(a.x + (centre - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                int first = static_cast<int>(std::ceil(crossings[i] - 0.5));
                int end = static_cast<int>(std::ceil(crossings[i + 1] - 0.5));
                span(*painter, first, end, y, *tools.brush, tools.rop2);
            }
        }
    }
    if (tools.pen) {
        for (size_t i = 0; i < points.size(); ++i)
            line(*painter, points[i], points[(i + 1) % points.size()], *tools.pen, tools.rop2);
    }
    return TRUE;
}
