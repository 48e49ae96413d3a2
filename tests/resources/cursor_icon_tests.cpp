// The USER calls that make icons, cursors and bitmaps of resources, on the
// program's real resources installed as the module's.
#include "resource_fixture.h"

#include "user/cursor_icon.h"

#include <algorithm>
#include <functional>

using namespace resource_tests;
namespace user = win32::user;

namespace {

class CursorIconCalls : public ModuleResources {
protected:
    void SetUp() override { install(realResFile()); }

    HINSTANCE instance = GetModuleHandleA(nullptr);
};

uint32_t pixelOf(const win32::core::Image& image, int x, int y)
{
    return image.argb[static_cast<size_t>(y * image.width + x)];
}

TEST_F(CursorIconCalls, SystemCursorsAreSharedAndNameTheirShape)
{
    struct Case {
        LPCSTR name;
        win32::backend::SystemCursor shape;
    };
    const Case cases[] = {
        {IDC_ARROW, win32::backend::SystemCursor::Arrow}, {IDC_HAND, win32::backend::SystemCursor::Hand},
        {IDC_IBEAM, win32::backend::SystemCursor::IBeam}, {IDC_CROSS, win32::backend::SystemCursor::Cross},
        {IDC_WAIT, win32::backend::SystemCursor::Wait},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(LOWORD(c.name));
        HCURSOR cursor = LoadCursorA(nullptr, c.name);
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(LoadCursorA(nullptr, c.name), cursor);
        const win32::backend::CursorShape* shape = user::cursorShape(cursor);
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->system, c.shape);
        // The drawn stand-in has a visible pixel at its hotspot.
        ASSERT_GT(shape->image.width, shape->hotspotX);
        ASSERT_GT(shape->image.height, shape->hotspotY);
        EXPECT_EQ(pixelOf(shape->image, shape->hotspotX, shape->hotspotY) >> 24, 255u);
        // Shared: destroying it succeeds and leaves it usable.
        EXPECT_TRUE(DestroyCursor(cursor));
        EXPECT_NE(user::cursorShape(cursor), nullptr);
    }
    SetLastError(0);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_NO), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(CursorIconCalls, ProgramCursorKeepsItsHotspotAndClearCentre)
{
    HCURSOR cursor = LoadCursorA(instance, MAKEINTRESOURCEA(1106));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(LoadCursorA(instance, "#1106"), cursor);
    const win32::backend::CursorShape* shape = user::cursorShape(cursor);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->system, win32::backend::SystemCursor::None);
    EXPECT_EQ(shape->image.width, 32);
    EXPECT_EQ(shape->hotspotX, 15);
    EXPECT_EQ(shape->hotspotY, 15);
    EXPECT_EQ(pixelOf(shape->image, 15, 15) >> 24, 0u);
    EXPECT_EQ(pixelOf(shape->image, 15, 10), 0xFF000000u);
}

TEST_F(CursorIconCalls, LoadIconSharesLoadImageOwns)
{
    HICON shared = LoadIconA(instance, MAKEINTRESOURCEA(1107));
    ASSERT_NE(shared, nullptr);
    size_t live = user::liveCursorAndIconCount();
    EXPECT_EQ(LoadIconA(instance, MAKEINTRESOURCEA(1107)), shared);
    EXPECT_EQ(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1107), IMAGE_ICON, 0, 0,
                                            LR_DEFAULTSIZE | LR_SHARED)),
              shared);
    EXPECT_EQ(user::liveCursorAndIconCount(), live);
    ASSERT_NE(user::iconImage(shared), nullptr);
    EXPECT_EQ(user::iconImage(shared)->width, 32);

    HICON small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1107), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(small, nullptr);
    EXPECT_NE(small, shared);
    EXPECT_EQ(user::iconImage(small)->width, 16);
    EXPECT_EQ(user::iconImage(small)->height, 16);
    EXPECT_EQ(user::liveCursorAndIconCount(), live + 1);
    EXPECT_TRUE(DestroyIcon(small));
    EXPECT_EQ(user::liveCursorAndIconCount(), live);
    EXPECT_EQ(user::iconImage(small), nullptr);
    SetLastError(0);
    EXPECT_FALSE(DestroyIcon(small));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ICON_HANDLE));
    EXPECT_FALSE(DestroyCursor(reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x1234))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
}

struct Failure {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::function<HANDLE(HINSTANCE)> load;
    DWORD error;
    const char* message;
};

TEST_F(CursorIconCalls, MissingAndDamagedResourcesFailWithOneLine)
{
    auto none = [](std::vector<uint8_t>&) {};
    const Failure failures[] = {
        {"missing icon", none, [](HINSTANCE i) { return LoadIconA(i, MAKEINTRESOURCEA(9999)); },
         ERROR_RESOURCE_NAME_NOT_FOUND, "huevane: icon resource 9999 was not found"},
        {"a cursor by an icon's name", none, [](HINSTANCE i) { return LoadCursorA(i, MAKEINTRESOURCEA(1107)); },
         ERROR_RESOURCE_NAME_NOT_FOUND, "huevane: cursor resource 1107 was not found"},
        {"missing bitmap", none, [](HINSTANCE i) { return LoadBitmapA(i, "LOGO"); },
         ERROR_RESOURCE_NAME_NOT_FOUND, "huevane: bitmap resource LOGO was not found"},
        {"damaged bitmap header",
         [](std::vector<uint8_t>& file) { patch32(file, offsetInResFile(2, 1103), 64); },
         [](HINSTANCE i) { return LoadBitmapA(i, MAKEINTRESOURCEA(1103)); }, ERROR_INVALID_DATA,
         "huevane: bitmap resource 1103 is damaged: unknown bitmap header size 64"},
        {"damaged icon directory",
         [](std::vector<uint8_t>& file) { patch16(file, offsetInResFile(14, 1122) + 4, 200); },
         [](HINSTANCE i) { return LoadIconA(i, MAKEINTRESOURCEA(1122)); }, ERROR_INVALID_DATA,
         "huevane: icon resource 1122 is damaged: "},
        {"directory naming a missing image",
         [](std::vector<uint8_t>& file) { patch16(file, offsetInResFile(14, 1107) + 6 + 12, 77); },
         [](HINSTANCE i) { return LoadIconA(i, MAKEINTRESOURCEA(1107)); }, ERROR_INVALID_DATA,
         "huevane: icon resource 1107 is damaged: its directory lists image 77"},
        {"damaged cursor image",
         [](std::vector<uint8_t>& file) {
             std::vector<uint8_t> group = realResource(12, 1106);
             patch32(file, offsetInResFile(1, static_cast<uint16_t>(group[18] | (group[19] << 8))) + 4, 7);
         },
         [](HINSTANCE i) { return LoadCursorA(i, MAKEINTRESOURCEA(1106)); }, ERROR_INVALID_DATA,
         "huevane: cursor resource 1106 is damaged: image "},
        {"unreadable resources", [](std::vector<uint8_t>& file) { file.resize(20); },
         [](HINSTANCE i) { return LoadIconA(i, MAKEINTRESOURCEA(1107)); }, ERROR_RESOURCE_DATA_NOT_FOUND,
         "huevane: icon resource 1107 was not found: the embedded .res is damaged"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        std::vector<uint8_t> file = realResFile();
        f.damage(file);
        install(file);
        SetLastError(0);
        testing::internal::CaptureStderr();
        HANDLE result = f.load(instance);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(GetLastError(), f.error);
        EXPECT_EQ(said.rfind(f.message, 0), 0u) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

TEST_F(CursorIconCalls, LoadBitmapGivesTheDecodedImage)
{
    HBITMAP banner = LoadBitmapA(instance, MAKEINTRESOURCEA(1103));
    ASSERT_NE(banner, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectA(banner, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 400);
    EXPECT_EQ(info.bmHeight, 60);
    std::vector<uint8_t> bytes = realResource(2, 1103);
    auto decoded = win32::resources::parseDib(bytes.data(), bytes.size(), nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, banner);
    for (POINT p : {POINT{0, 0}, POINT{399, 59}, POINT{300, 30}})
        EXPECT_EQ(GetPixel(dc, p.x, p.y), win32::core::colorrefFromPixel(decoded->row(p.y)[p.x]));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(banner));

    HBITMAP stretched = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(210), IMAGE_BITMAP, 100, 30, 0));
    ASSERT_NE(stretched, nullptr);
    ASSERT_NE(GetObjectA(stretched, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 100);
    EXPECT_EQ(info.bmHeight, 30);
    DeleteObject(stretched);
}

class IconDrawing : public CursorIconCalls {
protected:
    void SetUp() override
    {
        CursorIconCalls::SetUp();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(40, 40, 1, 32, nullptr);
        old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, 40, 40, WHITENESS);
    }
    void TearDown() override
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        CursorIconCalls::TearDown();
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
};

TEST_F(IconDrawing, DrawIconPaintsOnlyTheOpaquePixels)
{
    HICON target = LoadIconA(instance, MAKEINTRESOURCEA(1122));
    ASSERT_TRUE(DrawIcon(dc, 4, 4, target));
    EXPECT_EQ(GetPixel(dc, 4 + 15, 4 + 10), RGB(0, 0, 0));       // the ring
    EXPECT_EQ(GetPixel(dc, 4 + 15, 4 + 4), RGB(255, 255, 255));  // its outline
    EXPECT_EQ(GetPixel(dc, 4 + 15, 4 + 15), RGB(255, 255, 255)); // the clear centre shows what was there
    EXPECT_EQ(GetPixel(dc, 4 + 2, 4 + 2), RGB(255, 255, 255));

    // DI_IMAGE alone draws the colour image without its mask: clear is black.
    ASSERT_TRUE(DrawIconEx(dc, 4, 4, target, 0, 0, 0, nullptr, DI_IMAGE));
    EXPECT_EQ(GetPixel(dc, 4 + 2, 4 + 2), RGB(0, 0, 0));

    EXPECT_FALSE(DrawIcon(dc, 0, 0, reinterpret_cast<HICON>(static_cast<uintptr_t>(0x5555))));
    EXPECT_FALSE(DrawIcon(reinterpret_cast<HDC>(static_cast<uintptr_t>(0x5555)), 0, 0, target));
}

TEST_F(IconDrawing, GetIconInfoDescribesIconsAndCursors)
{
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(LoadCursorA(instance, MAKEINTRESOURCEA(1106)), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 15u);
    EXPECT_EQ(info.yHotspot, 15u);
    EXPECT_EQ(info.hbmColor, nullptr); // monochrome: the mask holds both halves
    BITMAP mask{};
    ASSERT_NE(GetObjectA(info.hbmMask, sizeof mask, &mask), 0);
    EXPECT_EQ(mask.bmHeight, 64);
    DeleteObject(info.hbmMask);

    ASSERT_TRUE(GetIconInfo(LoadIconA(instance, MAKEINTRESOURCEA(1107)), &info));
    EXPECT_TRUE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 16u);
    ASSERT_NE(info.hbmColor, nullptr);
    BITMAP colour{};
    ASSERT_NE(GetObjectA(info.hbmColor, sizeof colour, &colour), 0);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

} // namespace
