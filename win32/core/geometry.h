// Rectangle arithmetic on Win32's RECT and POINT, used throughout the layer.
// Rectangles are half-open: right and bottom are outside, as in Win32.
#pragma once

#include <windows.h>

#include <algorithm>

namespace win32::core {

inline RECT makeRect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }
inline LONG width(const RECT& r) { return r.right - r.left; }
inline LONG height(const RECT& r) { return r.bottom - r.top; }
inline bool isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

inline RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (isEmpty(r))
        return RECT{0, 0, 0, 0};
    return r;
}

inline RECT unite(const RECT& a, const RECT& b)
{
    if (isEmpty(a))
        return b;
    if (isEmpty(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

inline RECT offset(const RECT& r, LONG dx, LONG dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
inline RECT inflate(const RECT& r, LONG dx, LONG dy) { return RECT{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy}; }
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace win32::core
