// USER's icons and cursors, and the calls that make objects of the program's
// image resources: LoadIconA, LoadCursorA, LoadImageA, LoadBitmapA,
// DestroyIcon, DestroyCursor, DrawIcon, DrawIconEx and GetIconInfo.
//
// An icon or cursor is a picture with per-pixel transparency (core::Image)
// and a hotspot; a resource one is read through its group directory, the
// image that best fits the wanted size, scaled when it does not fit exactly.
// LoadIcon and LoadCursor give shared objects (the same handle every time,
// never destroyed), as Windows does; LoadImage shares only with LR_SHARED.
// The system cursors and icons (hInstance NULL) are drawn here: cursors also
// name their backend::SystemCursor, so a backend may show its own shape.
//
// Left out: animated cursors, loading from files, CreateIcon*, CopyIcon,
// inverting pixels (shown as black) and the monochrome GDI bitmaps
// GetIconInfo would return (its masks are 32-bit bitmaps here).
#include "user/cursor_icon.h"

#include "core/handle_table.h"
#include "gdi/gdi_internal.h"
#include "resources/resources.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace win32::user {

namespace {

using resources::ResourceId;

constexpr uintptr_t firstHandle = 0x20000010;
constexpr uintptr_t handleStep = 4;
constexpr UINT loadFromFile = 0x0010; // LR_LOADFROMFILE

struct CursorIcon {
    bool isIcon = true;
    bool shared = false;
    int bitCount = 32;
    // The picture and hotspot; `system` names a system cursor, None otherwise.
    backend::CursorShape shape;
};

struct State {
    core::HandleTable<CursorIcon> objects{firstHandle, handleStep};
    std::map<std::string, uintptr_t> shared; // what LR_SHARED loads found before
    uint32_t sharedGeneration = 0;           // the resource set `shared` was loaded from
};

State& state()
{
    static State s;
    return s;
}

CursorIcon* lookup(HANDLE handle) { return state().objects.find(reinterpret_cast<uintptr_t>(handle)); }

// ---------------------------------------------------------------------------
// Pictures

uint32_t opaque(core::Pixel rgb) { return 0xFF000000u | rgb; }

// Area-averaged resampling, with premultiplied alpha so transparent pixels
// do not darken the edges. Used when an image does not have the wanted size.
core::Image scaled(const core::Image& source, int width, int height)
{
    if (source.width == width && source.height == height)
        return source;
    core::Image out;
    out.width = width;
    out.height = height;
    out.argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        int y0 = y * source.height / height;
        int y1 = std::max(y0 + 1, (y + 1) * source.height / height);
        for (int x = 0; x < width; ++x) {
            int x0 = x * source.width / width;
            int x1 = std::max(x0 + 1, (x + 1) * source.width / width);
            uint64_t a = 0, r = 0, g = 0, b = 0, n = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    uint32_t p = source.argb[static_cast<size_t>(sy) * static_cast<size_t>(source.width) +
                                             static_cast<size_t>(sx)];
                    uint32_t alpha = p >> 24;
                    a += alpha;
                    r += ((p >> 16) & 0xFF) * alpha;
                    g += ((p >> 8) & 0xFF) * alpha;
                    b += (p & 0xFF) * alpha;
                    ++n;
                }
            }
            uint32_t pixel = 0;
            if (a > 0)
                pixel = (static_cast<uint32_t>((a + n / 2) / n) << 24) | static_cast<uint32_t>(r / a) << 16 |
                        static_cast<uint32_t>(g / a) << 8 | static_cast<uint32_t>(b / a);
            out.argb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
        }
    }
    return out;
}

core::PixelBuffer scaledBitmap(const core::PixelBuffer& source, int width, int height)
{
    core::PixelBuffer out;
    out.resize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.row(y)[x] = source.row(y * source.height / height)[x * source.width / width];
    return out;
}

// Pixel art: 'X' black, '.' white, anything else clear. With `outline`,
// clear pixels next to black ones turn white, so the shape shows on dark
// backgrounds as well as light ones.
core::Image pixelArt(std::initializer_list<const char*> rows, bool outline = false)
{
    core::Image image;
    image.width = image.height = 32;
    image.argb.assign(32 * 32, 0);
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; row[x] && x < 32; ++x) {
            if (row[x] == 'X')
                image.argb[static_cast<size_t>(y * 32 + x)] = opaque(0x000000);
            else if (row[x] == '.')
                image.argb[static_cast<size_t>(y * 32 + x)] = opaque(0xFFFFFF);
        }
        if (++y == 32)
            break;
    }
    if (outline) {
        std::vector<uint32_t> before = image.argb;
        auto black = [&](int px, int py) {
            return px >= 0 && py >= 0 && px < 32 && py < 32 && before[static_cast<size_t>(py * 32 + px)] == opaque(0);
        };
        for (int py = 0; py < 32; ++py)
            for (int px = 0; px < 32; ++px)
                if (before[static_cast<size_t>(py * 32 + px)] == 0 &&
                    (black(px - 1, py) || black(px + 1, py) || black(px, py - 1) || black(px, py + 1)))
                    image.argb[static_cast<size_t>(py * 32 + px)] = opaque(0xFFFFFF);
    }
    return image;
}

struct SystemCursorPicture {
    uint16_t id;
    backend::SystemCursor system;
    int hotspotX, hotspotY;
};

// The IDC_* values and where each shape's hotspot usually is.
constexpr SystemCursorPicture systemCursors[] = {
    {32512, backend::SystemCursor::Arrow, 0, 0},  // IDC_ARROW: the tip
    {32649, backend::SystemCursor::Hand, 5, 0},   // IDC_HAND: the fingertip
    {32513, backend::SystemCursor::IBeam, 4, 9},  // IDC_IBEAM: the middle of the beam
    {32515, backend::SystemCursor::Cross, 10, 10}, // IDC_CROSS: the crossing
    {32514, backend::SystemCursor::Wait, 6, 10},  // IDC_WAIT: the middle of the hourglass
};

core::Image systemCursorImage(backend::SystemCursor which)
{
    switch (which) {
    case backend::SystemCursor::Arrow:
        return pixelArt({"X", "XX", "X.X", "X..X", "X...X", "X....X", "X.....X", "X......X", "X.......X",
                         "X........X", "X.........X", "X......XXXXX", "X...X..X", "X..XX..X", "X.X  X..X",
                         "XX   X..X", "X     X..X", "      X..X", "       XX"});
    case backend::SystemCursor::Hand:
        return pixelArt({"     XX", "    X..X", "    X..X", "    X..X", "    X..X", "    X..XXX", "    X..X..XXX",
                         "    X..X..X..XX", "    X..X..X..X.X", " XX X........X.X", "X..XX..........X",
                         "X...X..........X", " X.............X", "  X............X", "  X...........X",
                         "   X..........X", "   X.........X", "    X........X", "    X........X",
                         "    XXXXXXXXXX"});
    case backend::SystemCursor::IBeam:
        return pixelArt({"", " XXX XXX", "    X", "    X", "    X", "    X", "    X", "    X", "    X", "    X",
                         "    X", "    X", "    X", "    X", "    X", "    X", "    X", " XXX XXX"},
                        true);
    case backend::SystemCursor::Cross:
        return pixelArt({"", "          X", "          X", "          X", "          X", "          X",
                         "          X", "          X", "          X", "          X", " XXXXXXXXXXXXXXXXXXX",
                         "          X", "          X", "          X", "          X", "          X",
                         "          X", "          X", "          X", "          X"},
                        true);
    case backend::SystemCursor::Wait:
        return pixelArt({"XXXXXXXXXXXXX", "X...........X", "XXXXXXXXXXXXX", " X.........X", " X.........X",
                         " X.........X", "  X.......X", "   X.....X", "    X...X", "     X.X", "     X.X",
                         "     X.X", "    X...X", "   X..X..X", "  X..XXX..X", " X..XXXXX..X", " X.XXXXXXX.X",
                         " XXXXXXXXXXX", "XXXXXXXXXXXXX", "X...........X", "XXXXXXXXXXXXX"});
    case backend::SystemCursor::None:
        break;
    }
    return core::Image{};
}

// A small painter for the system icons: shapes sampled 4 x 4 times a pixel.
class IconPainter {
public:
    IconPainter()
    {
        image_.width = image_.height = 32;
        image_.argb.assign(32 * 32, 0);
    }

    template <typename Inside>
    void fill(core::Pixel colour, Inside inside)
    {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0) ? 1 : 0;
                if (hits)
                    blend(x, y, colour, hits * 255 / 16);
            }
        }
    }

    void disc(double cx, double cy, double r, core::Pixel colour)
    {
        fill(colour, [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
    }

    void triangle(double x0, double y0, double x1, double y1, double x2, double y2, core::Pixel colour)
    {
        fill(colour, [=](double x, double y) {
            auto side = [&](double ax, double ay, double bx, double by) {
                return (bx - ax) * (y - ay) - (by - ay) * (x - ax);
            };
            double a = side(x0, y0, x1, y1), b = side(x1, y1, x2, y2), c = side(x2, y2, x0, y0);
            return (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
        });
    }

    void rect(int x0, int y0, int x1, int y1, core::Pixel colour)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                blend(x, y, colour, 255);
    }

    // A glyph of pixel art ('#' set), each cell drawn as a `scale` square.
    void glyph(std::initializer_list<const char*> rows, int left, int top, int scale, core::Pixel colour)
    {
        int y = top;
        for (const char* row : rows) {
            for (int x = 0; row[x]; ++x)
                if (row[x] == '#')
                    rect(left + x * scale, y, left + (x + 1) * scale, y + scale, colour);
            y += scale;
        }
    }

    core::Image take() { return std::move(image_); }

private:
    void blend(int x, int y, core::Pixel colour, uint32_t alpha)
    {
        if (x < 0 || y < 0 || x >= 32 || y >= 32)
            return;
        uint32_t& d = image_.argb[static_cast<size_t>(y * 32 + x)];
        uint32_t da = d >> 24;
        uint32_t outA = alpha + da * (255 - alpha) / 255;
        uint32_t out = outA << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t s = (colour >> shift) & 0xFF, t = (d >> shift) & 0xFF;
            uint32_t v = outA ? (s * alpha + t * da * (255 - alpha) / 255) / outA : 0;
            out |= std::min<uint32_t>(v, 255) << shift;
        }
        d = out;
    }

    core::Image image_;
};

// The IDI_* icons: a window, and the four message-box symbols.
std::optional<core::Image> systemIconImage(uint16_t id)
{
    IconPainter p;
    switch (id) {
    case 32512: // IDI_APPLICATION
        p.rect(2, 4, 30, 28, 0x000000);
        p.rect(3, 5, 29, 9, 0x000080);
        p.rect(3, 9, 29, 27, 0xFFFFFF);
        break;
    case 32513: // IDI_HAND / IDI_ERROR
        p.disc(16, 16, 15, 0x800000);
        p.disc(16, 16, 13.5, 0xE02020);
        p.fill(0xFFFFFF, [](double x, double y) {
            double u = x - 16, v = y - 16;
            return std::fabs(u) < 7.5 && std::fabs(v) < 7.5 && (std::fabs(u - v) < 2.6 || std::fabs(u + v) < 2.6);
        });
        break;
    case 32514: // IDI_QUESTION
        p.disc(16, 16, 15, 0x103080);
        p.disc(16, 16, 13.5, 0x2060D0);
        p.glyph({" #### ", "##  ##", "    ##", "   ## ", "  ##  ", "  ##  ", "      ", "  ##  "}, 10, 8, 2, 0xFFFFFF);
        break;
    case 32515: // IDI_EXCLAMATION / IDI_WARNING
        p.triangle(16, 1, 31, 29, 1, 29, 0x000000);
        p.triangle(16, 3.5, 29, 27.5, 3, 27.5, 0xFFD020);
        p.glyph({"##", "##", "##", "##", "##", "  ", "##"}, 14, 10, 2, 0x000000);
        break;
    case 32516: // IDI_ASTERISK / IDI_INFORMATION
        p.disc(16, 16, 15, 0x103080);
        p.disc(16, 16, 13.5, 0x2060D0);
        p.glyph({"##", "  ", "##", "##", "##", "##", "##"}, 14, 8, 2, 0xFFFFFF);
        break;
    default:
        return std::nullopt;
    }
    return p.take();
}

// ---------------------------------------------------------------------------
// Objects

HANDLE addObject(CursorIcon object, const std::string& sharedKey)
{
    State& s = state();
    object.shared = !sharedKey.empty();
    uintptr_t handle = s.objects.add(std::make_unique<CursorIcon>(std::move(object)));
    if (!sharedKey.empty())
        s.shared[sharedKey] = handle;
    return reinterpret_cast<HANDLE>(handle);
}

HANDLE findShared(const std::string& key)
{
    if (key.empty())
        return nullptr;
    State& s = state();
    // Other resources installed (tests do): what was loaded from the old ones
    // stays valid for its holders but is no longer what a load finds.
    if (s.sharedGeneration != resources::moduleGeneration()) {
        s.sharedGeneration = resources::moduleGeneration();
        for (auto it = s.shared.begin(); it != s.shared.end();)
            it = it->first.find(" system ") == std::string::npos ? s.shared.erase(it) : std::next(it);
    }
    auto it = s.shared.find(key);
    return it == s.shared.end() ? nullptr : reinterpret_cast<HANDLE>(it->second);
}

std::string sharedKey(bool isIcon, bool system, const ResourceId& name, int width, int height)
{
    std::string key = isIcon ? "icon " : "cursor ";
    key += system ? "system " : "";
    key += name.isOrdinal ? "#" + std::to_string(name.ordinal) : "$" + name.name;
    return key + " " + std::to_string(width) + "x" + std::to_string(height);
}

int defaultWidth(bool isIcon) { return GetSystemMetrics(isIcon ? SM_CXICON : SM_CXCURSOR); }
int defaultHeight(bool isIcon) { return GetSystemMetrics(isIcon ? SM_CYICON : SM_CYCURSOR); }

HANDLE loadSystem(bool isIcon, const ResourceId& name, bool shared)
{
    std::string key = shared ? sharedKey(isIcon, true, name, 0, 0) : std::string();
    if (HANDLE existing = findShared(key))
        return existing;
    CursorIcon object;
    object.isIcon = isIcon;
    if (name.isOrdinal && isIcon) {
        if (auto image = systemIconImage(name.ordinal)) {
            object.shape.system = backend::SystemCursor::None;
            object.shape.image = std::move(*image);
            object.shape.hotspotX = object.shape.image.width / 2;
            object.shape.hotspotY = object.shape.image.height / 2;
            return addObject(std::move(object), key);
        }
    }
    if (name.isOrdinal && !isIcon) {
        for (const SystemCursorPicture& picture : systemCursors) {
            if (picture.id != name.ordinal)
                continue;
            object.shape.system = picture.system;
            object.shape.image = systemCursorImage(picture.system);
            object.shape.hotspotX = picture.hotspotX;
            object.shape.hotspotY = picture.hotspotY;
            object.bitCount = 1;
            return addObject(std::move(object), key);
        }
    }
    std::fprintf(stderr, "huevane: system %s %s is not available\n", isIcon ? "icon" : "cursor",
                 name.describe().c_str());
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

// Reads an icon or cursor of the program through its group directory. A
// width of 0 keeps the chosen image's own size.
HANDLE loadFromResources(bool isIcon, const ResourceId& name, int width, int height, bool shared)
{
    std::string key = shared ? sharedKey(isIcon, false, name, width, height) : std::string();
    if (HANDLE existing = findShared(key))
        return existing;
    const char* what = isIcon ? "icon" : "cursor";
    auto group = resources::findForLoader(what, ResourceId::fromWin32(isIcon ? RT_GROUP_ICON : RT_GROUP_CURSOR), name);
    if (!group)
        return nullptr;
    std::string error;
    auto entries = resources::parseGroup(group->data, group->size, !isIcon, &error);
    if (!entries) {
        resources::reportDamaged(what, name, error);
        return nullptr;
    }
    const resources::GroupEntry* best = resources::bestGroupEntry(
        *entries, width ? width : defaultWidth(isIcon), height ? height : defaultHeight(isIcon));
    auto imageBlob = resources::find(ResourceId::fromWin32(isIcon ? RT_ICON : RT_CURSOR),
                                     ResourceId::fromOrdinal(best->id));
    if (!imageBlob) {
        resources::reportDamaged(what, name, "its directory lists image " + std::to_string(best->id) +
                                                 ", which the program does not have");
        return nullptr;
    }
    auto image = resources::parseIconImage(imageBlob->data, imageBlob->size, !isIcon, &error);
    if (!image) {
        resources::reportDamaged(what, name, "image " + std::to_string(best->id) + ": " + error);
        return nullptr;
    }
    CursorIcon object;
    object.isIcon = isIcon;
    object.bitCount = image->bitCount;
    object.shape.system = backend::SystemCursor::None;
    int targetWidth = width ? width : image->image.width;
    int targetHeight = height ? height : image->image.height;
    object.shape.hotspotX = image->hotspotX * targetWidth / image->image.width;
    object.shape.hotspotY = image->hotspotY * targetHeight / image->image.height;
    object.shape.image = scaled(image->image, targetWidth, targetHeight);
    return addObject(std::move(object), key);
}

HANDLE loadIconOrCursor(HINSTANCE instance, LPCSTR name, bool isIcon, int width, int height, bool shared)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ResourceId id = ResourceId::fromWin32(name);
    if (instance == nullptr)
        return loadSystem(isIcon, id, shared);
    if (!resources::isProgramModule(instance)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return loadFromResources(isIcon, id, width, height, shared);
}

HBITMAP loadBitmap(HINSTANCE instance, LPCSTR name, int width, int height)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ResourceId id = ResourceId::fromWin32(name);
    if (instance == nullptr) {
        std::fprintf(stderr, "huevane: system bitmap %s is not available\n", id.describe().c_str());
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!resources::isProgramModule(instance)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto blob = resources::findForLoader("bitmap", ResourceId::fromWin32(RT_BITMAP), id);
    if (!blob)
        return nullptr;
    std::string error;
    auto pixels = resources::parseDib(blob->data, blob->size, &error);
    if (!pixels) {
        resources::reportDamaged("bitmap", id, error);
        return nullptr;
    }
    if ((width && width != pixels->width) || (height && height != pixels->height))
        pixels = scaledBitmap(*pixels, width ? width : pixels->width, height ? height : pixels->height);
    return gdi::createBitmapFromPixels(std::move(*pixels));
}

bool destroy(HANDLE handle, DWORD invalidError)
{
    State& s = state();
    CursorIcon* object = lookup(handle);
    if (!object) {
        SetLastError(invalidError);
        return false;
    }
    // A shared object belongs to the module and lives as long as it does;
    // destroying it is a no-op that reports success.
    if (!object->shared)
        s.objects.remove(reinterpret_cast<uintptr_t>(handle));
    return true;
}

bool isDeviceContext(HDC dc)
{
    DWORD type = GetObjectType(dc);
    return type == OBJ_DC || type == OBJ_MEMDC;
}

} // namespace

const backend::CursorShape* cursorShape(HCURSOR cursor)
{
    CursorIcon* object = lookup(cursor);
    return object ? &object->shape : nullptr;
}

const core::Image* iconImage(HICON icon)
{
    CursorIcon* object = lookup(icon);
    return object ? &object->shape.image : nullptr;
}

size_t liveCursorAndIconCount() { return state().objects.size(); }

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    return static_cast<HICON>(loadIconOrCursor(hInstance, lpIconName, true, defaultWidth(true), defaultHeight(true), true));
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    return static_cast<HCURSOR>(
        loadIconOrCursor(hInstance, lpCursorName, false, defaultWidth(false), defaultHeight(false), true));
}

extern "C" HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (fuLoad & loadFromFile) {
        std::fprintf(stderr, "huevane: LoadImageA cannot load images from files\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (type) {
    case IMAGE_BITMAP:
        return loadBitmap(hInst, name, cx, cy);
    case IMAGE_ICON:
    case IMAGE_CURSOR: {
        bool isIcon = type == IMAGE_ICON;
        // 0 means the system size with LR_DEFAULTSIZE, else the image's own.
        if (fuLoad & LR_DEFAULTSIZE) {
            cx = cx ? cx : defaultWidth(isIcon);
            cy = cy ? cy : defaultHeight(isIcon);
        }
        return loadIconOrCursor(hInst, name, isIcon, cx, cy, (fuLoad & LR_SHARED) != 0);
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName)
{
    return loadBitmap(hInstance, lpBitmapName, 0, 0);
}

extern "C" BOOL WINAPI DestroyIcon(HICON hIcon) { return destroy(hIcon, ERROR_INVALID_ICON_HANDLE); }

extern "C" BOOL WINAPI DestroyCursor(HCURSOR hCursor) { return destroy(hCursor, ERROR_INVALID_CURSOR_HANDLE); }

extern "C" BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth,
                                  UINT istepIfAniCur, HBRUSH hbrFlickerFreeDraw, UINT diFlags)
{
    CursorIcon* object = lookup(hIcon);
    if (!object) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (!isDeviceContext(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const core::Image& image = object->shape.image;
    int width = cxWidth ? cxWidth : (diFlags & DI_DEFAULTSIZE) ? defaultWidth(object->isIcon) : image.width;
    int height = cyWidth ? cyWidth : (diFlags & DI_DEFAULTSIZE) ? defaultHeight(object->isIcon) : image.height;
    if (width <= 0 || height <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hbrFlickerFreeDraw) {
        RECT area{xLeft, yTop, xLeft + width, yTop + height};
        FillRect(hdc, &area, hbrFlickerFreeDraw);
    }
    core::Image picture = scaled(image, width, height);
    // DI_IMAGE alone copies the colour image without its mask (clear pixels
    // come out black); DI_MASK alone blackens what the mask covers.
    UINT parts = diFlags & DI_NORMAL;
    if (parts == DI_IMAGE) {
        for (uint32_t& p : picture.argb)
            p = (p >> 24) ? (0xFF000000u | p) : 0xFF000000u;
    } else if (parts == DI_MASK) {
        for (uint32_t& p : picture.argb)
            p = (p >> 24) ? 0xFF000000u : 0;
    } else if (parts == 0) {
        return TRUE;
    }
    gdi::drawImage(hdc, xLeft, yTop, picture);
    return TRUE;
}

extern "C" BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    return DrawIconEx(hDC, X, Y, hIcon, 0, 0, 0, nullptr, DI_NORMAL);
}

extern "C" BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    CursorIcon* object = lookup(hIcon);
    if (!object) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (!piconinfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const core::Image& image = object->shape.image;
    auto maskOf = [&](core::PixelBuffer& out, int top) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                out.row(top + y)[x] =
                    (image.argb[static_cast<size_t>(y * image.width + x)] >> 24) ? 0x000000 : 0xFFFFFF;
    };
    auto colourOf = [&](core::PixelBuffer& out, int top) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                uint32_t p = image.argb[static_cast<size_t>(y * image.width + x)];
                out.row(top + y)[x] = (p >> 24) ? (p & 0xFFFFFF) : 0x000000;
            }
    };
    piconinfo->fIcon = object->isIcon ? TRUE : FALSE;
    piconinfo->xHotspot = static_cast<DWORD>(object->shape.hotspotX);
    piconinfo->yHotspot = static_cast<DWORD>(object->shape.hotspotY);
    core::PixelBuffer mask;
    if (object->bitCount == 1) {
        // Monochrome: no colour bitmap; the mask holds the AND mask over the XOR image.
        mask.resize(image.width, image.height * 2);
        maskOf(mask, 0);
        colourOf(mask, image.height);
        piconinfo->hbmColor = nullptr;
    } else {
        core::PixelBuffer colour;
        colour.resize(image.width, image.height);
        colourOf(colour, 0);
        mask.resize(image.width, image.height);
        maskOf(mask, 0);
        piconinfo->hbmColor = gdi::createBitmapFromPixels(std::move(colour));
    }
    piconinfo->hbmMask = gdi::createBitmapFromPixels(std::move(mask));
    return TRUE;
}
