// USER32's drawing helpers, which only ever draw through GDI: FillRect and
// FrameRect (also with a COLOR_* index + 1 as the brush), InvertRect,
// DrawFocusRect, classic DrawEdge, DrawTextA; KERNEL32's MulDiv; and the
// rectangle arithmetic (SetRect ... PtInRect). Left out: DrawEdge's diagonal
// flags, DrawText's DT_EDITCONTROL, DT_PATH_ELLIPSIS, DT_WORD_ELLIPSIS,
// DT_MODIFYSTRING, DT_TABSTOP and DT_EXTERNALLEADING, and DrawTextEx.
// Start reading at DrawTextA: it lays text out in lines, then draws them.
#include <windows.h>

#include "gdi/gdi_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace win32::user {

namespace {

// A FillRect brush value this small is a system colour index plus one.
constexpr uintptr_t largestColourBrush = COLOR_GRADIENTINACTIVECAPTION + 1;
constexpr int tabStopCharacters = 8;

bool isEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// Fills with a plain colour through the DC brush, so no brush is made.
void fillSolid(HDC hdc, int left, int top, int right, int bottom, COLORREF colour)
{
    if (right <= left || bottom <= top)
        return;
    HGDIOBJ previousBrush = SelectObject(hdc, GetStockObject(DC_BRUSH));
    COLORREF previousColour = SetDCBrushColor(hdc, colour);
    PatBlt(hdc, left, top, right - left, bottom - top, PATCOPY);
    SetDCBrushColor(hdc, previousColour);
    SelectObject(hdc, previousBrush);
}

// Resolves FillRect's brush argument; `temporary` is set when a brush had to
// be made for a colour index and must be deleted after use.
HBRUSH brushFor(HBRUSH brush, bool& temporary)
{
    temporary = false;
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= largestColourBrush) {
        temporary = true;
        return CreateSolidBrush(GetSysColor(static_cast<int>(value - 1)));
    }
    if (GetObjectType(brush) != OBJ_BRUSH) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return brush;
}

// Paints `rect` with `brush` by PatBlt, keeping the DC's own brush.
bool patternFill(HDC hdc, HBRUSH brush, int left, int top, int right, int bottom, DWORD rop)
{
    if (right <= left || bottom <= top)
        return true;
    HGDIOBJ previous = SelectObject(hdc, brush);
    if (!previous)
        return false;
    BOOL done = PatBlt(hdc, left, top, right - left, bottom - top, rop);
    SelectObject(hdc, previous);
    return done != FALSE;
}

// ---------------------------------------------------------------------------
// DrawEdge

struct EdgeColours {
    int topLeft = -1; // system colour indexes; -1 = this layer is not drawn
    int bottomRight = -1;
};

// The classic 3-D look: light from the top left, the outer layer darker
// than the inner one on the shadowed side.
void edgeColours(UINT edge, UINT flags, EdgeColours& outer, EdgeColours& inner)
{
    if (flags & BF_MONO) {
        if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER))
            outer = {COLOR_WINDOWFRAME, COLOR_WINDOWFRAME};
        if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER))
            inner = {COLOR_WINDOW, COLOR_WINDOW};
        return;
    }
    if (flags & BF_FLAT) {
        if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER))
            outer = {COLOR_3DSHADOW, COLOR_3DSHADOW};
        if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER))
            inner = {COLOR_3DFACE, COLOR_3DFACE};
        return;
    }
    if (edge & BDR_RAISEDOUTER)
        outer = {COLOR_3DLIGHT, COLOR_3DDKSHADOW};
    else if (edge & BDR_SUNKENOUTER)
        outer = {COLOR_3DSHADOW, COLOR_3DHIGHLIGHT};
    if (edge & BDR_RAISEDINNER)
        inner = {COLOR_3DHIGHLIGHT, COLOR_3DSHADOW};
    else if (edge & BDR_SUNKENINNER)
        inner = {COLOR_3DDKSHADOW, COLOR_3DLIGHT};
    // Soft edges swap which layer carries the stronger top-left colour.
    if ((flags & BF_SOFT) && outer.topLeft >= 0 && inner.topLeft >= 0)
        std::swap(outer.topLeft, inner.topLeft);
}

// One layer one pixel wide. The bottom and right sides own the far corners,
// so a raised box's dark shadow wraps round its top-right and bottom-left.
void drawEdgeLayer(HDC hdc, RECT& r, const EdgeColours& colours, UINT flags)
{
    if (colours.topLeft < 0 || isEmptyRect(r))
        return;
    COLORREF light = GetSysColor(colours.topLeft), dark = GetSysColor(colours.bottomRight);
    if (flags & BF_TOP)
        fillSolid(hdc, r.left, r.top, r.right - 1, r.top + 1, light);
    if (flags & BF_LEFT)
        fillSolid(hdc, r.left, r.top, r.left + 1, r.bottom - 1, light);
    if (flags & BF_BOTTOM)
        fillSolid(hdc, r.left, r.bottom - 1, r.right, r.bottom, dark);
    if (flags & BF_RIGHT)
        fillSolid(hdc, r.right - 1, r.top, r.right, r.bottom, dark);
    if (flags & BF_LEFT)
        ++r.left;
    if (flags & BF_TOP)
        ++r.top;
    if (flags & BF_RIGHT)
        --r.right;
    if (flags & BF_BOTTOM)
        --r.bottom;
}

// ---------------------------------------------------------------------------
// DrawTextA

// One line as it will be drawn: '&' prefixes resolved, `underlined` marking
// the mnemonic characters.
struct TextLine {
    std::string text;
    std::vector<bool> underlined;
};

struct TextLayout {
    HDC hdc = nullptr;
    bool expandTabs = false;
    int tabWidth = 8;

    // x before each character and after the last, from the line's start.
    std::vector<int> positions(const std::string& text) const
    {
        std::vector<int> advances;
        gdi::characterAdvances(hdc, text.data(), static_cast<int>(text.size()), advances);
        std::vector<int> at(text.size() + 1, 0);
        int x = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            at[i] = x;
            x = expandTabs && text[i] == '\t' ? (x / tabWidth + 1) * tabWidth : x + advances[i];
        }
        at[text.size()] = x;
        return at;
    }
    int width(const std::string& text) const { return positions(text).back(); }
};

TextLine resolvePrefixes(const char* text, size_t length, UINT format)
{
    TextLine line;
    bool prefixes = !(format & DT_NOPREFIX);
    bool hidden = (format & DT_HIDEPREFIX) != 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (prefixes && c == '&') {
            if (i + 1 >= length)
                break; // a lone '&' at the end marks nothing
            ++i;
            line.text += text[i];
            // "&&" is a literal ampersand; '&' before anything else underlines it.
            line.underlined.push_back(text[i] != '&' && !hidden);
            continue;
        }
        line.text += c;
        line.underlined.push_back(false);
    }
    return line;
}

TextLine slice(const TextLine& line, size_t begin, size_t end)
{
    TextLine out;
    out.text = line.text.substr(begin, end - begin);
    out.underlined.assign(line.underlined.begin() + static_cast<long>(begin), line.underlined.begin() + static_cast<long>(end));
    return out;
}

// Greedy word wrap: break at the last space that fits; a word wider than
// the whole line is broken between characters. Spaces at a break are
// dropped. Each new line measures from zero again, for its tab stops.
void wrapLine(const TextLayout& layout, TextLine line, int width, std::vector<TextLine>& out)
{
    for (;;) {
        const std::string& text = line.text;
        std::vector<int> at = layout.positions(text);
        size_t breakAt = std::string::npos, end = text.size();
        bool seenWord = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == ' ') {
                if (seenWord)
                    breakAt = i;
                continue; // trailing spaces may hang past the edge
            }
            seenWord = true;
            if (at[i + 1] > width && i > 0) {
                end = breakAt != std::string::npos ? breakAt : i;
                break;
            }
        }
        size_t next = end;
        while (next < text.size() && text[next] == ' ')
            ++next;
        while (end > 0 && text[end - 1] == ' ')
            --end;
        out.push_back(slice(line, 0, end));
        if (next >= text.size())
            return;
        line = slice(line, next, text.size());
    }
}

// Cuts the line so that it and "..." fit in `width`.
void addEllipsis(const TextLayout& layout, TextLine& line, int width)
{
    std::vector<int> at = layout.positions(line.text);
    if (at.back() <= width)
        return;
    int dots = layout.width("...");
    size_t keep = line.text.size();
    while (keep > 0 && at[keep] + dots > width)
        --keep;
    line.text.resize(keep);
    line.underlined.resize(keep);
    line.text += "...";
    line.underlined.insert(line.underlined.end(), 3, false);
}

std::vector<TextLine> layOut(const TextLayout& layout, const char* text, size_t length, UINT format, int width)
{
    std::vector<TextLine> lines;
    auto addSourceLine = [&](size_t begin, size_t end) {
        TextLine line = resolvePrefixes(text + begin, end - begin, format);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE))
            wrapLine(layout, line, width, lines);
        else
            lines.push_back(std::move(line));
    };
    if (format & DT_SINGLELINE) {
        addSourceLine(0, length);
    } else {
        // CR LF, LF and CR each end a line.
        size_t begin = 0;
        for (size_t i = 0; i < length; ++i) {
            if (text[i] != '\r' && text[i] != '\n')
                continue;
            addSourceLine(begin, i);
            if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n')
                ++i;
            begin = i + 1;
        }
        addSourceLine(begin, length);
    }
    if (format & DT_END_ELLIPSIS) {
        for (TextLine& line : lines)
            addEllipsis(layout, line, width);
    }
    return lines;
}

void drawLine(const TextLayout& layout, const TextLine& line, int x, int y, int ascent, UINT format)
{
    std::vector<int> at = layout.positions(line.text);
    if (!(format & DT_PREFIXONLY)) {
        // With expanded tabs each run between tabs starts at its stop.
        size_t begin = 0;
        for (size_t i = 0; i <= line.text.size(); ++i) {
            bool tab = i < line.text.size() && layout.expandTabs && line.text[i] == '\t';
            if (i < line.text.size() && !tab)
                continue;
            if (i > begin)
                TextOutA(layout.hdc, x + at[begin], y, line.text.data() + begin, static_cast<int>(i - begin));
            begin = i + 1;
        }
    }
    COLORREF colour = GetTextColor(layout.hdc);
    for (size_t i = 0; i < line.text.size(); ++i) {
        if (line.underlined[i])
            fillSolid(layout.hdc, x + at[i], y + ascent + 1, x + at[i + 1], y + ascent + 2, colour);
    }
}

} // namespace

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    if (nDenominator == 0)
        return -1;
    long long product = static_cast<long long>(nNumber) * nNumerator;
    long long denominator = nDenominator;
    // Round half away from zero, as Windows does.
    bool negative = (product < 0) != (denominator < 0);
    long long magnitude = (std::llabs(product) + std::llabs(denominator) / 2) / std::llabs(denominator);
    long long result = negative ? -magnitude : magnitude;
    if (result > 0x7FFFFFFFLL || result < -0x80000000LL)
        return -1;
    return static_cast<int>(result);
}

extern "C" BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom)
{
    if (!lprc)
        return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

extern "C" BOOL WINAPI SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

extern "C" BOOL WINAPI CopyRect(LPRECT lprcDst, const RECT* lprcSrc)
{
    if (!lprcDst || !lprcSrc)
        return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}

extern "C" BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy)
{
    if (!lprc)
        return FALSE;
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

extern "C" BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy)
{
    if (!lprc)
        return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

extern "C" BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2)
{
    if (!lprcDst || !lprcSrc1 || !lprcSrc2)
        return FALSE;
    RECT r{std::max(lprcSrc1->left, lprcSrc2->left), std::max(lprcSrc1->top, lprcSrc2->top),
           std::min(lprcSrc1->right, lprcSrc2->right), std::min(lprcSrc1->bottom, lprcSrc2->bottom)};
    // No overlap gives the empty rectangle (0, 0, 0, 0), not a negative one.
    if (isEmptyRect(r) || isEmptyRect(*lprcSrc1) || isEmptyRect(*lprcSrc2)) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

extern "C" BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2)
{
    if (!lprcDst || !lprcSrc1 || !lprcSrc2)
        return FALSE;
    bool firstEmpty = isEmptyRect(*lprcSrc1), secondEmpty = isEmptyRect(*lprcSrc2);
    if (firstEmpty && secondEmpty) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (firstEmpty) {
        *lprcDst = *lprcSrc2;
    } else if (secondEmpty) {
        *lprcDst = *lprcSrc1;
    } else {
        *lprcDst = RECT{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
                        std::max(lprcSrc1->right, lprcSrc2->right), std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
    }
    return TRUE;
}

extern "C" BOOL WINAPI IsRectEmpty(const RECT* lprc) { return !lprc || isEmptyRect(*lprc); }

extern "C" BOOL WINAPI EqualRect(const RECT* lprc1, const RECT* lprc2)
{
    if (!lprc1 || !lprc2)
        return FALSE;
    return lprc1->left == lprc2->left && lprc1->top == lprc2->top && lprc1->right == lprc2->right &&
           lprc1->bottom == lprc2->bottom;
}

extern "C" BOOL WINAPI PtInRect(const RECT* lprc, POINT pt)
{
    // Half-open: the right and bottom edges are outside.
    return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

extern "C" int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    if (!lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool temporary = false;
    HBRUSH brush = brushFor(hbr, temporary);
    if (!brush)
        return 0;
    bool done = patternFill(hDC, brush, lprc->left, lprc->top, lprc->right, lprc->bottom, PATCOPY);
    if (temporary)
        DeleteObject(brush);
    return done ? 1 : 0;
}

extern "C" int WINAPI FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    if (!lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const RECT& r = *lprc;
    if (isEmptyRect(r))
        return 1;
    bool temporary = false;
    HBRUSH brush = brushFor(hbr, temporary);
    if (!brush)
        return 0;
    bool done = patternFill(hDC, brush, r.left, r.top, r.right, r.top + 1, PATCOPY) &&
                patternFill(hDC, brush, r.left, r.bottom - 1, r.right, r.bottom, PATCOPY) &&
                patternFill(hDC, brush, r.left, r.top + 1, r.left + 1, r.bottom - 1, PATCOPY) &&
                patternFill(hDC, brush, r.right - 1, r.top + 1, r.right, r.bottom - 1, PATCOPY);
    if (temporary)
        DeleteObject(brush);
    return done ? 1 : 0;
}

extern "C" BOOL WINAPI InvertRect(HDC hDC, const RECT* lprc)
{
    if (!lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (isEmptyRect(*lprc))
        return GetObjectType(hDC) != 0;
    return PatBlt(hDC, lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top, DSTINVERT);
}

extern "C" BOOL WINAPI DrawFocusRect(HDC hDC, const RECT* lprc)
{
    if (!lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT origin{0, 0};
    if (!GetViewportOrgEx(hDC, &origin))
        return FALSE;
    const RECT& r = *lprc;
    if (isEmptyRect(r))
        return TRUE;
    // Every other pixel, on a checkerboard fixed to the device as GDI's
    // pattern brushes are, inverted so that a second call erases it. Each
    // frame pixel is visited once, so narrow rectangles stay correct.
    auto dot = [&](int x, int y) {
        if (((x + origin.x + y + origin.y) & 1) == 0)
            PatBlt(hDC, x, y, 1, 1, DSTINVERT);
    };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 > r.top)
            dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 > r.left)
            dot(r.right - 1, y);
    }
    return TRUE;
}

extern "C" BOOL WINAPI DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags)
{
    if (!qrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (GetObjectType(hdc) != OBJ_DC && GetObjectType(hdc) != OBJ_MEMDC)
        return FALSE;
    EdgeColours outer, inner;
    edgeColours(edge, grfFlags, outer, inner);
    RECT r = *qrc;
    drawEdgeLayer(hdc, r, outer, grfFlags);
    drawEdgeLayer(hdc, r, inner, grfFlags);
    if (grfFlags & BF_MIDDLE) {
        int face = (grfFlags & BF_MONO) ? COLOR_WINDOW : COLOR_3DFACE;
        fillSolid(hdc, r.left, r.top, r.right, r.bottom, GetSysColor(face));
    }
    if (grfFlags & BF_ADJUST)
        *qrc = r;
    return TRUE;
}

extern "C" int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    if (!lprc || (!lpchText && cchText != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(hdc, &metrics))
        return 0;
    size_t length = cchText < 0 ? std::strlen(lpchText) : static_cast<size_t>(cchText);
    TextLayout layout;
    layout.hdc = hdc;
    layout.expandTabs = (format & DT_EXPANDTABS) != 0;
    layout.tabWidth = std::max(1, static_cast<int>(tabStopCharacters * metrics.tmAveCharWidth));

    RECT bounds = *lprc;
    int width = bounds.right - bounds.left;
    std::vector<TextLine> lines = layOut(layout, lpchText ? lpchText : "", length, format, width);
    int lineHeight = metrics.tmHeight;
    int textHeight = lineHeight * static_cast<int>(lines.size());

    // Vertical placement only means something for a single line.
    int top = bounds.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = bounds.top + (bounds.bottom - bounds.top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = bounds.bottom - lineHeight;
    }

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& line : lines)
            widest = std::max(widest, layout.width(line.text));
        lprc->right = lprc->left + widest;
        lprc->bottom = lprc->top + textHeight;
        return textHeight;
    }

    bool clip = !(format & DT_NOCLIP);
    int saved = 0;
    if (clip) {
        saved = SaveDC(hdc);
        IntersectClipRect(hdc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    }
    UINT previousAlign = SetTextAlign(hdc, TA_LEFT | TA_TOP);
    int y = top;
    for (const TextLine& line : lines) {
        int lineWidth = layout.width(line.text);
        int x = bounds.left;
        if (format & DT_CENTER)
            x = bounds.left + (width - lineWidth) / 2;
        else if (format & DT_RIGHT)
            x = bounds.right - lineWidth;
        drawLine(layout, line, x, y, metrics.tmAscent, format);
        y += lineHeight;
    }
    SetTextAlign(hdc, previousAlign);
    if (clip && saved)
        RestoreDC(hdc, saved);
    // The height drawn, measured from the rectangle's top when the text was
    // moved down by DT_VCENTER or DT_BOTTOM.
    return y - bounds.top;
}
