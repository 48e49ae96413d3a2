// The colour dialog's grids of colour boxes ("Basic colors", "Custom colors"):
// eight columns of sunken boxes, a black frame around the selected one and a
// dotted focus rectangle around it while the grid has the keyboard focus. A
// click or an arrow key selects a box and tells the parent (gridSelected).
// The grid is a tab stop of its own and keeps the arrow keys for itself
// (DLGC_WANTARROWS), as the Windows dialog's grids do.
// Left out: Home/End and page keys, drag and drop of colours.
#include "comdlg/colour_controls.h"

#include <algorithm>
#include <vector>

namespace win32::comdlg {

namespace {

// Room around each box for the selection frame and the focus rectangle.
constexpr int boxMargin = 3;

struct Grid {
    std::vector<COLORREF> colours;
    int selected = -1;
    int cursor = 0; // where the focus rectangle goes when nothing is selected
    bool columnMajor = false;
    bool focused = false;
};

Grid* gridOf(HWND window) { return reinterpret_cast<Grid*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

int rowCount(const Grid& grid) { return std::max<int>(1, (static_cast<int>(grid.colours.size()) + gridColumns - 1) / gridColumns); }

struct Cell {
    int column;
    int row;
};

Cell cellOfIndex(const Grid& grid, int index)
{
    if (grid.columnMajor)
        return Cell{index / rowCount(grid), index % rowCount(grid)};
    return Cell{index % gridColumns, index / gridColumns};
}

int indexOfCell(const Grid& grid, Cell cell)
{
    return grid.columnMajor ? cell.column * rowCount(grid) + cell.row : cell.row * gridColumns + cell.column;
}

RECT cellRect(HWND window, const Grid& grid, int index)
{
    RECT client;
    GetClientRect(window, &client);
    Cell cell = cellOfIndex(grid, index);
    int rows = rowCount(grid);
    // Cells split the client area exactly, so rounding never leaves a gap that no cell owns.
    RECT r;
    r.left = client.right * cell.column / gridColumns;
    r.right = client.right * (cell.column + 1) / gridColumns;
    r.top = client.bottom * cell.row / rows;
    r.bottom = client.bottom * (cell.row + 1) / rows;
    return r;
}

RECT boxRect(HWND window, const Grid& grid, int index)
{
    RECT r = cellRect(window, grid, index);
    InflateRect(&r, -boxMargin, -boxMargin);
    return r;
}

int indexAtPoint(HWND window, const Grid& grid, POINT point)
{
    for (int index = 0; index < static_cast<int>(grid.colours.size()); ++index) {
        RECT cell = cellRect(window, grid, index);
        if (PtInRect(&cell, point))
            return index;
    }
    return -1;
}

bool validIndex(const Grid& grid, int index) { return index >= 0 && index < static_cast<int>(grid.colours.size()); }

void invalidateCell(HWND window, const Grid& grid, int index)
{
    if (!validIndex(grid, index))
        return;
    RECT cell = cellRect(window, grid, index);
    InvalidateRect(window, &cell, TRUE);
}

void fillColour(HDC dc, const RECT& rect, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void paintGrid(HWND window, Grid& grid)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
    for (int index = 0; index < static_cast<int>(grid.colours.size()); ++index) {
        RECT box = boxRect(window, grid, index);
        RECT inside = box;
        DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        COLORREF colour = grid.colours[static_cast<size_t>(index)];
        fillColour(dc, inside, isEmptySlot(colour) ? RGB(255, 255, 255) : colour);
        if (index == grid.selected) {
            RECT frame = box;
            HBRUSH text = GetSysColorBrush(COLOR_WINDOWTEXT);
            for (int ring = 0; ring < 2; ++ring) {
                InflateRect(&frame, 1, 1);
                FrameRect(dc, &frame, text);
            }
        }
        if (grid.focused && index == grid.cursor) {
            RECT focus = box;
            InflateRect(&focus, boxMargin, boxMargin);
            DrawFocusRect(dc, &focus);
        }
    }
    EndPaint(window, &paint);
}

void select(HWND window, Grid& grid, int index, bool notify)
{
    if (!validIndex(grid, index) && index != -1)
        return;
    invalidateCell(window, grid, grid.selected);
    invalidateCell(window, grid, grid.cursor);
    grid.selected = index;
    if (index >= 0)
        grid.cursor = index;
    invalidateCell(window, grid, grid.cursor);
    if (notify) {
        HWND parent = GetParent(window);
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), gridSelected), reinterpret_cast<LPARAM>(window));
    }
}

// Arrow keys move across the grid as it looks, whichever way the boxes are numbered;
// left and right run on into the neighbouring row, up and down stop at the edge.
void moveByKey(HWND window, Grid& grid, WPARAM key)
{
    if (grid.colours.empty())
        return;
    int rows = rowCount(grid);
    Cell cell = cellOfIndex(grid, grid.selected >= 0 ? grid.selected : grid.cursor);
    if (grid.selected < 0) {
        // The first arrow only picks the box under the focus rectangle.
        select(window, grid, grid.cursor, true);
        return;
    }
    int visual = cell.row * gridColumns + cell.column;
    switch (key) {
    case VK_LEFT: visual = std::max(0, visual - 1); break;
    case VK_RIGHT: visual = std::min(rows * gridColumns - 1, visual + 1); break;
    case VK_UP: visual = cell.row > 0 ? visual - gridColumns : visual; break;
    case VK_DOWN: visual = cell.row + 1 < rows ? visual + gridColumns : visual; break;
    default: return;
    }
    int index = indexOfCell(grid, Cell{visual % gridColumns, visual / gridColumns});
    if (validIndex(grid, index) && index != grid.selected)
        select(window, grid, index, true);
}

LRESULT CALLBACK gridProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Grid* grid = gridOf(window);
    switch (message) {
    case WM_NCCREATE: {
        auto* created = new Grid;
        created->columnMajor = (reinterpret_cast<CREATESTRUCTA*>(lParam)->style & gridColumnMajor) != 0;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    case WM_NCDESTROY:
        delete grid;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (grid == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT:
        paintGrid(window, *grid);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        grid->focused = message == WM_SETFOCUS;
        invalidateCell(window, *grid, grid->cursor);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // Through the dialog manager, so a push button that held the focus gives the default look back.
        SendMessageA(GetParent(window), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
        int index = indexAtPoint(window, *grid, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (index >= 0)
            select(window, *grid, index, true);
        return 0;
    }
    case WM_KEYDOWN:
        moveByKey(window, *grid, wParam);
        return 0;
    case gridSetColours: {
        const auto* colours = reinterpret_cast<const COLORREF*>(lParam);
        grid->colours.assign(colours, colours ? colours + wParam : colours);
        grid->selected = -1;
        grid->cursor = 0;
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    case gridSetColour:
        if (validIndex(*grid, static_cast<int>(wParam))) {
            grid->colours[wParam] = static_cast<COLORREF>(lParam);
            invalidateCell(window, *grid, static_cast<int>(wParam));
        }
        return 0;
    case gridSetSelection:
        select(window, *grid, static_cast<int>(wParam), false);
        return 0;
    case gridGetSelection:
        return grid->selected;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void registerColourGridClass()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = gridProcedure;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = colourGridClass;
    registerControlClass(wc);
}

} // namespace win32::comdlg
