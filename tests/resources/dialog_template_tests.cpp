// Dialog templates: the program's two real ones as the resource compiler
// wrote them, and hand-made ones for the encodings the compiler did not use.
#include "resource_fixture.h"

using namespace resource_tests;
namespace res = win32::resources;

namespace {

res::DialogTemplate parseReal(uint16_t name)
{
    std::vector<uint8_t> bytes = realResource(5, name);
    std::string error;
    auto parsed = res::parseDialogTemplate(bytes.data(), bytes.size(), &error);
    EXPECT_TRUE(parsed) << error;
    return parsed ? *parsed : res::DialogTemplate{};
}

struct ExpectedItem {
    DWORD id;
    const char* className;
    const char* title; // null: the title is an ordinal
};

TEST(DialogTemplate, MainDialogIsClassicWithItsControlsInOrder)
{
    res::DialogTemplate dialog = parseReal(100);
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                               DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}), (std::vector<int>{137, 33, 266, 177}));
    EXPECT_EQ(dialog.title, "Korvell Software - Huevane 1.0");
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
    EXPECT_EQ(dialog.menu, ResourceId::fromOrdinal(0));
    EXPECT_EQ(dialog.className, "");

    const ExpectedItem expected[] = {
        {101, "BUTTON", "Huevane"},
        {102, "STATIC", "Welcome to Huevane! Drag the target cursor from this window and drop it over the location "
                        "of the colour you wish to find information about."},
        {104, "BUTTON", "Colour Information"},
        {105, "STATIC", "Red:"},
        {106, "STATIC", "Green:"},
        {107, "STATIC", "Blue:"},
        {108, "STATIC", "Text"},
        {109, "STATIC", "Text"},
        {110, "STATIC", "Text"},
        {111, "STATIC", "HTML Code:"},
        {112, "EDIT", ""},
        {1109, "BUTTON", "E&xit"},
        {1110, "STATIC", ""},
        {120, "STATIC", nullptr},
        {121, "STATIC", ""},
        {114, "BUTTON", "A&bout"},
        {116, "BUTTON", "Custom Colours"},
        {117, "BUTTON", "&Add to Custom Colours"},
        {214, "LISTBOX", ""},
        {119, "BUTTON", "&Remove Selected"},
    };
    ASSERT_EQ(dialog.items.size(), std::size(expected));
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const res::DialogItem& item = dialog.items[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.className, expected[i].className);
        EXPECT_EQ(item.titleIsOrdinal, expected[i].title == nullptr);
        if (expected[i].title)
            EXPECT_EQ(item.title, expected[i].title);
        EXPECT_TRUE(item.style & WS_CHILD);
        EXPECT_TRUE(item.creationData.empty());
    }
    const res::DialogItem& icon = dialog.items[13];
    EXPECT_EQ(icon.titleOrdinal, 1122);
    EXPECT_EQ(icon.style & 0x1F, static_cast<DWORD>(SS_ICON));
    EXPECT_EQ((std::vector<int>{icon.x, icon.y, icon.cx, icon.cy}), (std::vector<int>{146, 109, 0, 0}));
    const res::DialogItem& welcome = dialog.items[1];
    EXPECT_EQ((std::vector<int>{welcome.x, welcome.y, welcome.cx, welcome.cy}), (std::vector<int>{9, 49, 248, 18}));
    EXPECT_TRUE(dialog.items[10].style & ES_READONLY);
    EXPECT_TRUE(dialog.items[18].style & LBS_NOTIFY);
}

TEST(DialogTemplate, AboutBoxIsExtendedToolWindow)
{
    res::DialogTemplate dialog = parseReal(200);
    EXPECT_TRUE(dialog.extended);
    EXPECT_TRUE(dialog.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(dialog.style & DS_MODALFRAME);
    EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}), (std::vector<int>{159, 44, 132, 142}));
    EXPECT_EQ(dialog.title, "About Huevane");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");

    const ExpectedItem expected[] = {
        {121, "STATIC", ""},
        {202, "STATIC", "Made by Edwin Hale <edwin.hale@korvell.example>"},
        {203, "STATIC", ""},
        {201, "STATIC", "Korvell Software, Ltd."},
        {IDOK, "BUTTON", "&OK"},
    };
    ASSERT_EQ(dialog.items.size(), std::size(expected));
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_EQ(dialog.items[i].id, expected[i].id);
        EXPECT_EQ(dialog.items[i].className, expected[i].className);
        EXPECT_EQ(dialog.items[i].title, expected[i].title);
    }
    EXPECT_EQ(dialog.items[4].style & 0xF, static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

// A classic template with the encodings compilers differ in: class names as
// strings in any case, a custom class, creation data, an ordinal title, a
// named dialog class and a menu by ordinal.
std::vector<uint8_t> handMadeClassic()
{
    Bytes t;
    t.u32(WS_POPUP | DS_SETFONT).u32(0).u16(3).u16(1).u16(2).u16(100).u16(50);
    t.u16(0xFFFF).u16(7); // menu 7
    t.text("MyDialog");   // dialog class
    t.text("T");          // title
    t.u16(9).text("Tahoma");
    t.align4().u32(WS_CHILD | BS_PUSHBUTTON).u32(0).u16(4).u16(5).u16(40).u16(14).u16(1);
    t.text("bUtToN").text("Go").u16(3).u8(9).u8(8).u8(7);
    t.align4().u32(WS_CHILD | SS_ICON).u32(WS_EX_CLIENTEDGE).u16(50).u16(5).u16(0).u16(0).u16(2);
    t.u16(0xFFFF).u16(0x0082).u16(0xFFFF).u16(55).u16(0);
    t.align4().u32(WS_CHILD).u32(0).u16(0).u16(0).u16(10).u16(10).u16(3);
    t.text("MyCustomClass").text("").u16(0);
    return t.data;
}

TEST(DialogTemplate, HandMadeClassicEncodings)
{
    std::vector<uint8_t> bytes = handMadeClassic();
    std::string error;
    auto dialog = res::parseDialogTemplate(bytes.data(), bytes.size(), &error);
    ASSERT_TRUE(dialog) << error;
    EXPECT_EQ(dialog->menu, ResourceId::fromOrdinal(7));
    EXPECT_EQ(dialog->className, "MyDialog");
    EXPECT_EQ(dialog->windowClass, ResourceId::fromName("MYDIALOG"));
    EXPECT_EQ(dialog->pointSize, 9);
    EXPECT_EQ(dialog->typeface, "Tahoma");
    ASSERT_EQ(dialog->items.size(), 3u);

    const res::DialogItem& button = dialog->items[0];
    EXPECT_EQ(button.className, "BUTTON");
    EXPECT_EQ(button.title, "Go");
    EXPECT_EQ(button.creationData, (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ((std::vector<int>{button.x, button.y, button.cx, button.cy}), (std::vector<int>{4, 5, 40, 14}));

    const res::DialogItem& icon = dialog->items[1];
    EXPECT_EQ(icon.className, "STATIC");
    EXPECT_EQ(icon.windowClass, ResourceId::fromOrdinal(0x82));
    EXPECT_TRUE(icon.titleIsOrdinal);
    EXPECT_EQ(icon.titleOrdinal, 55);
    EXPECT_EQ(icon.exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(icon.id, 2u);

    EXPECT_EQ(dialog->items[2].className, "MyCustomClass");
    EXPECT_EQ(dialog->items[2].id, 3u);
}

TEST(DialogTemplate, HandMadeExtendedKeepsDwordIdsAndHelpIds)
{
    Bytes t;
    t.u16(1).u16(0xFFFF).u32(77).u32(WS_EX_TOPMOST).u32(WS_POPUP).u16(1).u16(0).u16(0).u16(80).u16(40);
    t.u16(0).u16(0).text(""); // no menu, dialog class, empty title; no DS_SETFONT, so no font
    t.align4().u32(99).u32(0).u32(WS_CHILD).u16(1).u16(2).u16(3).u16(4).u32(0x12345);
    t.u16(0xFFFF).u16(0x0081).text("x").u16(2).u8(0xAA).u8(0xBB);
    std::string error;
    auto dialog = res::parseDialogTemplate(t.data.data(), t.size(), &error);
    ASSERT_TRUE(dialog) << error;
    EXPECT_EQ(dialog->helpId, 77u);
    EXPECT_EQ(dialog->exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_FALSE(dialog->hasFont);
    EXPECT_EQ(dialog->title, "");
    ASSERT_EQ(dialog->items.size(), 1u);
    EXPECT_EQ(dialog->items[0].id, 0x12345u);
    EXPECT_EQ(dialog->items[0].helpId, 99u);
    EXPECT_EQ(dialog->items[0].className, "EDIT");
    EXPECT_EQ(dialog->items[0].creationData, (std::vector<uint8_t>{0xAA, 0xBB}));
}

TEST(DialogTemplate, RefusesWhatNoTemplateMayHold)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> unknownClass = handMadeClassic();
    // The second item's class ordinal (0x0082) becomes 0x0086.
    for (size_t i = 0; i + 4 <= unknownClass.size(); ++i)
        if (unknownClass[i] == 0xFF && unknownClass[i + 1] == 0xFF && unknownClass[i + 2] == 0x82) {
            unknownClass[i + 2] = 0x86;
            break;
        }
    std::vector<uint8_t> badVersion = realResource(5, 200);
    patch16(badVersion, 0, 2);
    std::vector<uint8_t> ordinalTitle = Bytes().u32(WS_POPUP).u32(0).u16(0).u16(0).u16(0).u16(1).u16(1)
                                            .u16(0).u16(0).u16(0xFFFF).u16(5).data;
    const Case cases[] = {
        {"unknown predefined class", unknownClass},
        {"extended version 2", badVersion},
        {"ordinal dialog title", ordinalTitle},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(res::parseDialogTemplate(c.bytes.data(), c.bytes.size(), &error)) << c.what;
        EXPECT_NE(error, "") << c.what;
    }
}

} // namespace
