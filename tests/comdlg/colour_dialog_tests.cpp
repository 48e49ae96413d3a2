// ChooseColorA as a user meets it: the dialog runs modal on a program thread
// over the headless backend, and the test thread clicks, drags and types at
// it, then checks what the caller gets back, what the caller's custom colour
// array holds and what the screen shows.
#include <windows.h>
#include <commdlg.h>

#include "backend/headless/headless_backend.h"
#include "backend/headless/png_writer.h"
#include "comdlg/colour_controls.h"
#include "comdlg/colour_dialog.h"
#include "comdlg/hsl.h"
#include "gdi/gdi_internal.h"
#include "user/user_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace comdlg = win32::comdlg;
using win32::backend::HeadlessBackend;
using win32::core::Pixel;
using win32::core::pixelFromColorref;

constexpr COLORREF emptySlot = 0xFFFFFFFF;
constexpr const char* ownerClass = "ColourDialogTestOwner";

std::string describe(COLORREF c)
{
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

int basicIndexOf(COLORREF colour)
{
    const auto& colours = comdlg::basicColours();
    auto it = std::find(colours.begin(), colours.end(), colour);
    return it == colours.end() ? -1 : static_cast<int>(it - colours.begin());
}

// One ChooseColorA call over an owner window, on a thread of its own, with
// the test thread as the user. Only one side runs at a time (the headless
// backend hands over between them), so the test may read the layer's state
// and send messages to the dialog's windows while the program is parked.
class ColourDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<HeadlessBackend>();
        screen_ = backend.get();
        screen_->attachDriver();
        win32::backend::install(std::move(backend));
        custom_.fill(emptySlot);
    }

    void TearDown() override
    {
        if (HasFailure()) {
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            std::replace(name.begin(), name.end(), '/', '.');
            saveDialogPicture("failed-" + name + ".png");
        }
        if (program_.joinable()) {
            if (screen_->finished())
                program_.join();
            else
                program_.detach(); // still parked in the dialog; the process ends anyway
        }
    }

public:
    // The user's hands and eyes; public so that the tables of cases below can use them.

    struct Resources {
        size_t windows, gdiObjects, deviceContexts;
        bool operator==(const Resources&) const = default;
    };

    // Opens the dialog and returns when it is up and idle; with `runs` above 1
    // the program opens it again each time it ends.
    void open(DWORD flags, COLORREF start = RGB(0, 0, 0), int runs = 1)
    {
        request_.lStructSize = sizeof(request_);
        request_.rgbResult = start;
        request_.lpCustColors = custom_.data();
        request_.Flags = flags;
        program_ = std::thread([this, runs] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.lpszClassName = ownerClass;
            RegisterClassA(&wc);
            owner_ = CreateWindowExA(0, ownerClass, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 240,
                                     nullptr, nullptr, nullptr, nullptr);
            request_.hwndOwner = owner_;
            for (int run = 0; run < runs; ++run) {
                result_ = ChooseColorA(&request_);
                error_ = CommDlgExtendedError();
                afterEachRun_.push_back(Resources{win32::user::liveWindowCount(), win32::gdi::liveObjectCount(),
                                                  win32::gdi::liveDeviceContextCount()});
            }
            ownerEnabledAfter_ = IsWindowEnabled(owner_);
            DestroyWindow(owner_);
            screen_->markFinished();
        });
        ASSERT_TRUE(screen_->waitUntilIdle()) << "the dialog did not become idle";
        ASSERT_NE(dialog(), nullptr) << "no colour dialog on the screen";
    }

    // Lets the program run until it ends; ChooseColorA's result.
    BOOL finish()
    {
        if (!screen_->finished()) {
            screen_->resume();
            EXPECT_TRUE(screen_->waitUntilIdle());
        }
        EXPECT_TRUE(screen_->finished()) << "the dialog is still open";
        if (screen_->finished() && program_.joinable())
            program_.join();
        return result_;
    }

    HWND dialog() const
    {
        for (win32::user::Window* top : win32::user::topLevelWindows()) {
            if (top->text == comdlg::colourDialogTitle && IsWindowVisible(top->handle))
                return top->handle;
        }
        return nullptr;
    }

    HWND item(int id) const { return GetDlgItem(dialog(), id); }
    std::string text(int id) const
    {
        char buffer[64] = {};
        GetWindowTextA(item(id), buffer, sizeof(buffer));
        return buffer;
    }
    // The colour the Red/Green/Blue fields show.
    COLORREF fieldColour() const
    {
        return RGB(std::stoi(text(comdlg::redFieldId)), std::stoi(text(comdlg::greenFieldId)),
                   std::stoi(text(comdlg::blueFieldId)));
    }
    int selection(int gridId) const
    {
        return static_cast<int>(SendMessageA(item(gridId), comdlg::gridGetSelection, 0, 0));
    }

    // ---- the user's hands ----
    void pump()
    {
        screen_->resume();
        ASSERT_TRUE(screen_->waitUntilIdle());
    }
    static POINT onScreen(HWND window, POINT client)
    {
        ClientToScreen(window, &client);
        return client;
    }
    static POINT centreOf(HWND window)
    {
        RECT r;
        GetClientRect(window, &r);
        return onScreen(window, POINT{r.right / 2, r.bottom / 2});
    }
    void moveTo(POINT p)
    {
        screen_->movePointer(p.x, p.y);
        pump();
    }
    void press(POINT p)
    {
        screen_->movePointer(p.x, p.y);
        screen_->pressButton(1);
        pump();
    }
    void release()
    {
        screen_->releaseButton(1);
        pump();
    }
    void click(POINT p)
    {
        press(p);
        release();
    }
    void clickItem(int id) { click(centreOf(item(id))); }
    void key(unsigned virtualKey, char32_t character = 0, unsigned modifiers = 0)
    {
        screen_->pressKey(virtualKey, character, modifiers);
        screen_->releaseKey(virtualKey, modifiers);
        pump();
    }
    void type(const std::string& keys)
    {
        for (char c : keys) {
            if (c == '\b')
                key(VK_BACK, U'\b');
            else
                key(static_cast<unsigned>(std::toupper(static_cast<unsigned char>(c))), static_cast<char32_t>(c));
        }
    }
    // Alt and a label's underlined letter: the focus goes to the field after it, all its text selected.
    void alt(char letter)
    {
        key(static_cast<unsigned>(std::toupper(static_cast<unsigned char>(letter))), static_cast<char32_t>(letter),
            win32::backend::ModAlt);
    }
    void enterField(char mnemonic, const std::string& keys)
    {
        alt(mnemonic);
        type(keys);
    }

    // ---- where things are ----
    POINT boxCentre(int gridId, int index) const
    {
        HWND grid = item(gridId);
        RECT r;
        GetClientRect(grid, &r);
        bool custom = gridId == comdlg::customGridId;
        int rows = custom ? 2 : 6;
        // The custom boxes are numbered down each column, the basic ones along each row.
        int column = custom ? index / rows : index % comdlg::gridColumns;
        int row = custom ? index % rows : index / comdlg::gridColumns;
        return onScreen(grid, POINT{(2 * column + 1) * r.right / (2 * comdlg::gridColumns),
                                    (2 * row + 1) * r.bottom / (2 * rows)});
    }
    SIZE spectrumInside() const
    {
        RECT r;
        GetClientRect(item(comdlg::spectrumId), &r);
        return SIZE{r.right - 2 * comdlg::edgeWidth, r.bottom - 2 * comdlg::edgeWidth};
    }
    POINT spectrumPoint(int hue, int saturation) const
    {
        SIZE inside = spectrumInside();
        return onScreen(item(comdlg::spectrumId),
                        POINT{comdlg::edgeWidth + comdlg::columnForHue(hue, inside.cx),
                              comdlg::edgeWidth + comdlg::rowForLevel(saturation, inside.cy)});
    }
    // The hue and saturation the spectrum pixel under a screen point stands for:
    // the spectrum has fewer pixels than the scale has steps, so a point aimed at
    // a hue may land a step beside it.
    comdlg::Hsl spectrumAt(POINT screen, int luminosity) const
    {
        SIZE inside = spectrumInside();
        ScreenToClient(item(comdlg::spectrumId), &screen);
        return comdlg::Hsl{comdlg::hueAtColumn(screen.x - comdlg::edgeWidth, inside.cx),
                           comdlg::levelAtRow(screen.y - comdlg::edgeWidth, inside.cy), luminosity};
    }
    int luminosityAt(POINT screen) const
    {
        RECT r;
        GetClientRect(item(comdlg::luminosityBarId), &r);
        ScreenToClient(item(comdlg::luminosityBarId), &screen);
        return comdlg::levelAtRow(screen.y - comdlg::edgeWidth, r.bottom - 2 * comdlg::edgeWidth);
    }
    POINT luminosityPoint(int level) const
    {
        RECT r;
        GetClientRect(item(comdlg::luminosityBarId), &r);
        int inside = r.bottom - 2 * comdlg::edgeWidth;
        return onScreen(item(comdlg::luminosityBarId),
                        POINT{comdlg::edgeWidth + 1, comdlg::edgeWidth + comdlg::rowForLevel(level, inside)});
    }
    POINT closeBox() const
    {
        RECT r;
        GetWindowRect(dialog(), &r);
        for (LONG y = r.top; y < r.bottom; ++y) {
            for (LONG x = r.right - 1; x >= r.left; --x) {
                if (SendMessageA(dialog(), WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE)
                    return POINT{x, y};
            }
        }
        ADD_FAILURE() << "the dialog has no close box";
        return POINT{r.right - 1, r.top};
    }
    Pixel pixelAt(POINT p) { return screen_->readScreenPixel(p.x, p.y).value_or(0xFFFFFFFF); }

    void saveDialogPicture(const std::string& name)
    {
        HWND window = dialog();
        if (window == nullptr)
            return;
        RECT r;
        GetWindowRect(window, &r);
        win32::core::PixelBuffer screen = screen_->composeScreen();
        win32::core::PixelBuffer picture;
        picture.resize(r.right - r.left, r.bottom - r.top);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                int sx = r.left + x, sy = r.top + y;
                if (sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height)
                    picture.row(y)[x] = screen.row(sy)[sx];
            }
        }
        std::filesystem::path folder = std::filesystem::current_path() / "artifacts";
        std::filesystem::create_directories(folder);
        win32::backend::writePngFile((folder / name).string(), picture);
    }

protected:
    HeadlessBackend* screen_ = nullptr;
    std::array<COLORREF, comdlg::customColourCount> custom_{};
    CHOOSECOLORA request_{};
    HWND owner_ = nullptr;
    BOOL result_ = -1;
    DWORD error_ = 0xDEAD;
    BOOL ownerEnabledAfter_ = FALSE;
    std::vector<Resources> afterEachRun_;
    std::thread program_;
};

// ---- choosing a colour and confirming it ----

struct ChoiceCase {
    const char* name;
    DWORD flags;
    COLORREF start;
    std::function<void(ColourDialogTest&)> choose;
    COLORREF expected;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.name; }

class ColourChoice : public ColourDialogTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(ColourChoice, OkReturnsTheChosenColour)
{
    const ChoiceCase& c = GetParam();
    open(c.flags, c.start);
    c.choose(*this);
    EXPECT_EQ(describe(fieldColour()), describe(c.expected)) << "the fields do not show the chosen colour";
    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(c.expected));
    EXPECT_EQ(error_, 0u);
}

const ChoiceCase choiceCases[] = {
    {"ClickOnABasicBox", CC_FULLOPEN, RGB(0, 0, 0),
     [](ColourDialogTest& t) { t.click(t.boxCentre(comdlg::basicGridId, basicIndexOf(RGB(128, 64, 0)))); },
     RGB(128, 64, 0)},
    {"ClickOnABasicBoxHalfOpen", 0, RGB(0, 0, 0),
     [](ColourDialogTest& t) { t.click(t.boxCentre(comdlg::basicGridId, basicIndexOf(RGB(0, 192, 192)))); },
     RGB(0, 192, 192)},
    {"TypedRgb", CC_FULLOPEN, RGB(0, 0, 0),
     [](ColourDialogTest& t) {
         t.enterField('r', "200");
         t.enterField('g', "100");
         t.enterField('u', "50");
     },
     RGB(200, 100, 50)},
    {"TypedHsl", CC_FULLOPEN | CC_RGBINIT, RGB(255, 255, 255),
     [](ColourDialogTest& t) {
         t.enterField('e', "80");
         t.enterField('s', "240");
         t.enterField('l', "60");
     },
     RGB(0, 128, 0)},
    {"ArrowKeysInTheBasicGrid", CC_RGBINIT, RGB(0, 0, 0),
     [](ColourDialogTest& t) {
         t.alt('b');
         t.key(VK_UP);   // from black (bottom right) to the dark grey above it
         t.key(VK_LEFT); // and to the purple beside that
     },
     RGB(128, 0, 128)},
};

INSTANTIATE_TEST_SUITE_P(Ways, ColourChoice, ::testing::ValuesIn(choiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColourDialogTest, EnterConfirmsAndRgbAndHslFieldsFollowEachOther)
{
    open(CC_FULLOPEN);
    enterField('r', "255");
    // Red shows the documented 0/240/120, and the cross-hair moves to it.
    EXPECT_EQ(text(comdlg::hueFieldId), "0");
    EXPECT_EQ(text(comdlg::saturationFieldId), "240");
    EXPECT_EQ(text(comdlg::luminosityFieldId), "120");
    EXPECT_EQ(SendMessageA(item(comdlg::spectrumId), comdlg::spectrumGetHueSaturation, 0, 0), MAKELONG(0, 240));
    // Halving the luminosity darkens the red, and the field typed in keeps its text.
    enterField('l', "60");
    EXPECT_EQ(describe(fieldColour()), describe(RGB(128, 0, 0)));
    EXPECT_EQ(text(comdlg::hueFieldId), "0");
    // A grey keeps the hue that was chosen, so raising the saturation again brings the colour back.
    enterField('s', "0");
    EXPECT_EQ(describe(fieldColour()), describe(RGB(64, 64, 64)));
    enterField('s', "240");
    EXPECT_EQ(describe(fieldColour()), describe(RGB(128, 0, 0)));
    key(VK_RETURN, U'\r');
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(RGB(128, 0, 0)));
}

TEST_F(ColourDialogTest, SpectrumAndLuminosityBarChooseWithThePointer)
{
    open(CC_FULLOPEN | CC_RGBINIT, RGB(128, 0, 0)); // luminosity 60
    // A click in the spectrum takes the hue and saturation under it and keeps the luminosity.
    POINT cyan = spectrumPoint(120, 240);
    comdlg::Hsl clicked = spectrumAt(cyan, 60);
    ASSERT_NEAR(clicked.hue, 120, 1);
    ASSERT_EQ(clicked.saturation, 240);
    click(cyan);
    EXPECT_EQ(text(comdlg::hueFieldId), std::to_string(clicked.hue));
    EXPECT_EQ(text(comdlg::saturationFieldId), "240");
    EXPECT_EQ(text(comdlg::luminosityFieldId), "60");
    EXPECT_EQ(describe(fieldColour()), describe(comdlg::rgbFromHsl(clicked)));
    EXPECT_EQ(GetGValue(fieldColour()), 128) << "not the dark cyan under the click";

    // A drag on the luminosity bar changes only the luminosity, and the arrow may be dragged past the ends.
    press(luminosityPoint(200));
    POINT darker = luminosityPoint(30);
    moveTo(darker);
    int level = luminosityAt(darker);
    ASSERT_NEAR(level, 30, 1);
    EXPECT_EQ(text(comdlg::luminosityFieldId), std::to_string(level));
    EXPECT_EQ(text(comdlg::hueFieldId), std::to_string(clicked.hue));
    moveTo(POINT{darker.x, darker.y + 400});
    EXPECT_EQ(text(comdlg::luminosityFieldId), "0");
    moveTo(darker);
    release();
    EXPECT_EQ(SendMessageA(item(comdlg::luminosityBarId), comdlg::luminosityGetLevel, 0, 0), level);

    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(comdlg::rgbFromHsl(comdlg::Hsl{clicked.hue, 240, level})));
}

// ---- dismissing it ----

struct DismissCase {
    const char* name;
    std::function<void(ColourDialogTest&)> dismiss;
};

void PrintTo(const DismissCase& c, std::ostream* out) { *out << c.name; }

class Dismissal : public ColourDialogTest, public ::testing::WithParamInterface<DismissCase> {};

TEST_P(Dismissal, LeavesTheResultButKeepsAddedCustomColours)
{
    const COLORREF start = RGB(10, 20, 30);
    open(CC_FULLOPEN | CC_RGBINIT, start);
    EXPECT_FALSE(IsWindowEnabled(owner_)) << "the owner must be disabled while the dialog is open";

    click(boxCentre(comdlg::customGridId, 3));
    click(boxCentre(comdlg::basicGridId, basicIndexOf(RGB(255, 128, 0))));
    clickItem(comdlg::addCustomId);
    // The caller's own array changes at once, not when the dialog ends.
    EXPECT_EQ(describe(custom_[3]), describe(RGB(255, 128, 0)));
    EXPECT_EQ(custom_[2], emptySlot);
    EXPECT_EQ(custom_[4], emptySlot);

    GetParam().dismiss(*this);
    EXPECT_EQ(finish(), FALSE);
    EXPECT_EQ(describe(request_.rgbResult), describe(start));
    EXPECT_EQ(describe(custom_[3]), describe(RGB(255, 128, 0)));
    EXPECT_EQ(error_, 0u);
    EXPECT_TRUE(ownerEnabledAfter_);
}

const DismissCase dismissCases[] = {
    {"CancelButton", [](ColourDialogTest& t) { t.clickItem(IDCANCEL); }},
    {"EscapeKey", [](ColourDialogTest& t) { t.key(VK_ESCAPE, 0x1B); }},
    {"CloseBox", [](ColourDialogTest& t) { t.click(t.closeBox()); }},
};

INSTANTIATE_TEST_SUITE_P(Ways, Dismissal, ::testing::ValuesIn(dismissCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- custom colours ----

TEST_F(ColourDialogTest, AddFillsConsecutiveBoxesAndWrapsAfterTheLast)
{
    custom_[15] = RGB(1, 2, 3);
    open(CC_FULLOPEN | CC_RGBINIT, RGB(255, 0, 0));
    ASSERT_EQ(selection(comdlg::customGridId), -1);

    // Without a chosen box the first Add goes to box 0, the next to box 1.
    clickItem(comdlg::addCustomId);
    click(boxCentre(comdlg::basicGridId, basicIndexOf(RGB(0, 0, 255))));
    clickItem(comdlg::addCustomId);
    EXPECT_EQ(describe(custom_[0]), describe(RGB(255, 0, 0)));
    EXPECT_EQ(describe(custom_[1]), describe(RGB(0, 0, 255)));
    EXPECT_EQ(custom_[2], emptySlot);
    EXPECT_EQ(selection(comdlg::customGridId), 2);

    // Clicking the last box takes its colour; two Adds then fill it and wrap round to box 0.
    click(boxCentre(comdlg::customGridId, 15));
    EXPECT_EQ(describe(fieldColour()), describe(RGB(1, 2, 3)));
    enterField('g', "99");
    clickItem(comdlg::addCustomId);
    clickItem(comdlg::addCustomId);
    EXPECT_EQ(describe(custom_[15]), describe(RGB(1, 99, 3)));
    EXPECT_EQ(describe(custom_[0]), describe(RGB(1, 99, 3)));
    EXPECT_EQ(describe(custom_[1]), describe(RGB(0, 0, 255)));
    EXPECT_EQ(selection(comdlg::customGridId), 1);

    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(RGB(1, 99, 3)));
}

TEST_F(ColourDialogTest, ArrowKeysInTheCustomGridMoveDownEachColumnFirst)
{
    custom_[2] = RGB(9, 8, 7); // top row, second column
    open(CC_FULLOPEN | CC_RGBINIT, RGB(50, 60, 70));
    alt('c');
    key(VK_RIGHT); // nothing chosen yet: the first arrow picks the box with the focus, box 0
    EXPECT_EQ(selection(comdlg::customGridId), 0);
    EXPECT_EQ(describe(fieldColour()), describe(RGB(50, 60, 70))) << "an empty box has no colour to take";
    key(VK_RIGHT);
    EXPECT_EQ(selection(comdlg::customGridId), 2);
    EXPECT_EQ(describe(fieldColour()), describe(RGB(9, 8, 7)));
    key(VK_DOWN);
    EXPECT_EQ(selection(comdlg::customGridId), 3);
    key(VK_DOWN); // the bottom row: nowhere further down
    EXPECT_EQ(selection(comdlg::customGridId), 3);
    key(VK_ESCAPE, 0x1B);
    EXPECT_EQ(finish(), FALSE);
}

// ---- field input ----

struct FieldInput {
    char mnemonic;
    const char* keys;
    const char* shownAfterLeaving;
};

TEST_F(ColourDialogTest, RgbFieldsRefuseLettersClampAndTakeEmptyAsZero)
{
    open(CC_FULLOPEN | CC_RGBINIT, RGB(10, 20, 30));
    const FieldInput inputs[] = {
        {'r', "300", "255"},
        {'g', "\b", "0"},
        {'u', "x", "30"},
    };
    for (const FieldInput& input : inputs) {
        SCOPED_TRACE(input.keys);
        enterField(input.mnemonic, input.keys);
        key(VK_TAB, U'\t');
        int field = input.mnemonic == 'r' ? comdlg::redFieldId : input.mnemonic == 'g' ? comdlg::greenFieldId
                                                                                         : comdlg::blueFieldId;
        EXPECT_EQ(text(field), input.shownAfterLeaving);
    }
    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(RGB(255, 0, 30)));
}

TEST_F(ColourDialogTest, HslFieldsClampToTheirOwnRanges)
{
    open(CC_FULLOPEN);
    const FieldInput inputs[] = {
        {'e', "300", "239"},
        {'s', "300", "240"},
        {'l', "300", "240"},
    };
    const int ids[] = {comdlg::hueFieldId, comdlg::saturationFieldId, comdlg::luminosityFieldId};
    for (size_t i = 0; i < std::size(inputs); ++i) {
        SCOPED_TRACE(inputs[i].mnemonic);
        enterField(inputs[i].mnemonic, inputs[i].keys);
        key(VK_TAB, U'\t');
        EXPECT_EQ(text(ids[i]), inputs[i].shownAfterLeaving);
    }
    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(RGB(255, 255, 255)));
}

// ---- the starting colour ----

struct StartCase {
    const char* name;
    DWORD flags;
    COLORREF start;
    int basicSelection;
    int customSelection;
    COLORREF shown;
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

class StartingColour : public ColourDialogTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartingColour, IsShownAndMarkedInTheGridThatHoldsIt)
{
    const StartCase& c = GetParam();
    custom_[5] = RGB(1, 2, 3);
    custom_[6] = RGB(255, 0, 0); // also a basic colour: the basic box wins
    open(c.flags, c.start);
    EXPECT_EQ(selection(comdlg::basicGridId), c.basicSelection);
    EXPECT_EQ(selection(comdlg::customGridId), c.customSelection);
    EXPECT_EQ(describe(fieldColour()), describe(c.shown));
    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(c.shown));
}

const StartCase startCases[] = {
    {"BasicColour", CC_RGBINIT, RGB(255, 0, 0), basicIndexOf(RGB(255, 0, 0)), -1, RGB(255, 0, 0)},
    {"CustomColour", CC_RGBINIT | CC_FULLOPEN, RGB(1, 2, 3), -1, 5, RGB(1, 2, 3)},
    {"NeitherGrid", CC_RGBINIT | CC_FULLOPEN, RGB(7, 7, 9), -1, -1, RGB(7, 7, 9)},
    {"HighByteIgnored", CC_RGBINIT, 0x02000000 | RGB(0, 0, 255), basicIndexOf(RGB(0, 0, 255)), -1, RGB(0, 0, 255)},
    {"WithoutRgbInitBlack", CC_FULLOPEN, RGB(255, 0, 0), basicIndexOf(RGB(0, 0, 0)), -1, RGB(0, 0, 0)},
};

INSTANTIATE_TEST_SUITE_P(Colours, StartingColour, ::testing::ValuesIn(startCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- opening the right part ----

struct OpeningCase {
    const char* name;
    DWORD flags;
    bool rightPartAtStart;
    bool canOpen;
};

void PrintTo(const OpeningCase& c, std::ostream* out) { *out << c.name; }

class Opening : public ColourDialogTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(Opening, DefineCustomColoursOpensTheRightPartOnlyWhenAllowed)
{
    const OpeningCase& c = GetParam();
    open(c.flags);
    RECT before;
    GetWindowRect(dialog(), &before);
    EXPECT_EQ(IsWindowVisible(item(comdlg::spectrumId)) != FALSE, c.rightPartAtStart);
    EXPECT_EQ(IsWindowEnabled(item(comdlg::defineCustomId)) != FALSE, c.canOpen);

    clickItem(comdlg::defineCustomId);
    bool open = c.rightPartAtStart || c.canOpen;
    RECT after;
    GetWindowRect(dialog(), &after);
    EXPECT_EQ(IsWindowVisible(item(comdlg::spectrumId)) != FALSE, open);
    EXPECT_EQ(IsWindowVisible(item(comdlg::addCustomId)) != FALSE, open);
    EXPECT_FALSE(IsWindowEnabled(item(comdlg::defineCustomId)));
    EXPECT_EQ(after.left, before.left);
    if (c.canOpen)
        EXPECT_GT(after.right - after.left, (before.right - before.left) * 3 / 2);
    else
        EXPECT_EQ(after.right, before.right);
    // A field of the right part takes the focus by its mnemonic only once it is shown.
    alt('r');
    EXPECT_EQ(GetFocus() == item(comdlg::redFieldId), open);
    key(VK_ESCAPE, 0x1B);
    EXPECT_EQ(finish(), FALSE);
}

const OpeningCase openingCases[] = {
    {"HalfOpen", 0, false, true},
    {"FullOpen", CC_FULLOPEN, true, false},
    {"PreventFullOpen", CC_PREVENTFULLOPEN, false, false},
};

INSTANTIATE_TEST_SUITE_P(Flags, Opening, ::testing::ValuesIn(openingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what it looks like ----

TEST_F(ColourDialogTest, DrawsSpectrumBarPreviewAndBoxesEmptyBoxesWhite)
{
    custom_[0] = RGB(0, 128, 255);
    custom_[1] = RGB(255, 128, 192);
    custom_[2] = RGB(64, 160, 64);
    // Purple puts the cross-hair at hue 200 on the top row, away from the pixels looked at below.
    const COLORREF start = RGB(192, 0, 192);
    open(CC_FULLOPEN | CC_RGBINIT, start);
    EXPECT_EQ(pixelAt(boxCentre(comdlg::customGridId, 0)), pixelFromColorref(RGB(0, 128, 255)));
    EXPECT_EQ(pixelAt(boxCentre(comdlg::customGridId, 1)), pixelFromColorref(RGB(255, 128, 192)));
    for (int slot = 3; slot < comdlg::customColourCount; ++slot)
        EXPECT_EQ(pixelAt(boxCentre(comdlg::customGridId, slot)), 0xFFFFFFu) << "custom box " << slot;
    for (int index = 0; index < comdlg::basicColourCount; ++index)
        EXPECT_EQ(pixelAt(boxCentre(comdlg::basicGridId, index)), pixelFromColorref(comdlg::basicColours()[index]))
            << "basic box " << index;

    // The selected basic box wears a dark frame in the margin of its cell; its neighbour does not.
    HWND basic = item(comdlg::basicGridId);
    RECT grid;
    GetClientRect(basic, &grid);
    auto marginPixel = [&](int index) {
        int column = index % comdlg::gridColumns;
        POINT centre = boxCentre(comdlg::basicGridId, index);
        POINT inGrid = centre;
        ScreenToClient(basic, &inGrid);
        return pixelAt(onScreen(basic, POINT{grid.right * column / comdlg::gridColumns + 2, inGrid.y}));
    };
    int selected = basicIndexOf(start);
    EXPECT_EQ(marginPixel(selected), 0x000000u);
    EXPECT_NE(marginPixel(selected - 1), 0x000000u);

    // The spectrum: red at the top left, hue growing to the right, grey along the bottom.
    HWND spectrum = item(comdlg::spectrumId);
    SIZE inside = spectrumInside();
    auto spectrumPixel = [&](int x, int y) {
        return pixelAt(onScreen(spectrum, POINT{comdlg::edgeWidth + x, comdlg::edgeWidth + y}));
    };
    EXPECT_EQ(spectrumPixel(0, 0), 0xFF0000u);
    EXPECT_EQ(spectrumPixel(inside.cx / 2, inside.cy - 1), 0x808080u);
    for (int hue : {40, 80, 120, 160, 200}) {
        int column = comdlg::columnForHue(hue, inside.cx);
        int shown = comdlg::hueAtColumn(column, inside.cx);
        EXPECT_NEAR(shown, hue, 1);
        EXPECT_EQ(spectrumPixel(column, 0), pixelFromColorref(comdlg::rgbFromHsl(comdlg::Hsl{shown, 240, 120})))
            << "hue " << hue;
    }
    // The luminosity bar: white at the top, black at the bottom, the pure hue in the middle.
    HWND bar = item(comdlg::luminosityBarId);
    RECT barClient;
    GetClientRect(bar, &barClient);
    int barInside = barClient.bottom - 2 * comdlg::edgeWidth;
    auto barPixel = [&](int level) {
        return pixelAt(
            onScreen(bar, POINT{comdlg::edgeWidth + 2, comdlg::edgeWidth + comdlg::rowForLevel(level, barInside)}));
    };
    EXPECT_EQ(barPixel(240), 0xFFFFFFu);
    EXPECT_EQ(barPixel(0), 0x000000u);
    int middle = comdlg::levelAtRow(comdlg::rowForLevel(120, barInside), barInside);
    EXPECT_EQ(barPixel(120), pixelFromColorref(comdlg::rgbFromHsl(comdlg::Hsl{200, 240, middle})));
    // The preview shows the colour in both halves.
    HWND preview = item(comdlg::previewId);
    RECT p;
    GetClientRect(preview, &p);
    EXPECT_EQ(pixelAt(onScreen(preview, POINT{p.right / 4, p.bottom / 2})), pixelFromColorref(start));
    EXPECT_EQ(pixelAt(onScreen(preview, POINT{p.right * 3 / 4, p.bottom / 2})), pixelFromColorref(start));

    RECT window;
    GetWindowRect(dialog(), &window);
    EXPECT_NEAR(window.right - window.left, 450, 40);
    EXPECT_NEAR(window.bottom - window.top, 330, 40);
    saveDialogPicture("colour-dialog.png");
    key(VK_ESCAPE, 0x1B);
    finish();
}

TEST_F(ColourDialogTest, DraggingInTheSpectrumUpdatesEverythingOnTheWay)
{
    open(CC_FULLOPEN | CC_RGBINIT, RGB(255, 0, 0));
    POINT first = spectrumPoint(40, 240);
    press(first);
    comdlg::Hsl yellow = spectrumAt(first, 120);
    EXPECT_EQ(text(comdlg::hueFieldId), std::to_string(yellow.hue));
    EXPECT_EQ(describe(fieldColour()), describe(comdlg::rgbFromHsl(yellow)));

    POINT second = spectrumPoint(160, 120);
    moveTo(second);
    comdlg::Hsl blueish = spectrumAt(second, 120);
    COLORREF expected = comdlg::rgbFromHsl(blueish);
    EXPECT_EQ(text(comdlg::hueFieldId), std::to_string(blueish.hue));
    EXPECT_EQ(text(comdlg::saturationFieldId), std::to_string(blueish.saturation));
    EXPECT_EQ(describe(fieldColour()), describe(expected));
    EXPECT_EQ(pixelAt(centreOf(item(comdlg::previewId))), pixelFromColorref(expected)) << "the preview lags behind";
    HWND bar = item(comdlg::luminosityBarId);
    RECT barClient;
    GetClientRect(bar, &barClient);
    int barInside = barClient.bottom - 2 * comdlg::edgeWidth;
    int row = comdlg::rowForLevel(120, barInside);
    COLORREF barColour = comdlg::rgbFromHsl(comdlg::Hsl{blueish.hue, blueish.saturation, comdlg::levelAtRow(row, barInside)});
    EXPECT_EQ(pixelAt(onScreen(bar, POINT{comdlg::edgeWidth + 2, comdlg::edgeWidth + row})), pixelFromColorref(barColour))
        << "the luminosity bar still shows the old hue";
    // Where the cross-hair was, the spectrum shows again.
    for (POINT arm : {POINT{first.x + 6, first.y}, POINT{first.x, first.y + 6}}) {
        EXPECT_EQ(pixelAt(arm), pixelFromColorref(comdlg::rgbFromHsl(spectrumAt(arm, 120))))
            << "the old cross-hair was left behind at " << arm.x - first.x << "," << arm.y - first.y;
    }
    // And the cross-hair is drawn where the pointer is now.
    EXPECT_EQ(pixelAt(POINT{second.x + 6, second.y}), 0x000000u);

    release();
    clickItem(IDOK);
    EXPECT_EQ(finish(), TRUE);
    EXPECT_EQ(describe(request_.rgbResult), describe(expected));
}

TEST_F(ColourDialogTest, EachUseGivesBackItsWindowsBitmapsAndDeviceContexts)
{
    open(CC_RGBINIT, RGB(255, 0, 0), 2);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_NE(dialog(), nullptr);
        clickItem(comdlg::defineCustomId);
        press(spectrumPoint(100, 200));
        moveTo(spectrumPoint(20, 100));
        release();
        press(luminosityPoint(100));
        moveTo(luminosityPoint(180));
        release();
        clickItem(comdlg::addCustomId);
        key(VK_ESCAPE, 0x1B);
    }
    finish();
    // The first use may leave things made once per process (fonts, classes); the second adds nothing.
    ASSERT_EQ(afterEachRun_.size(), 2u);
    EXPECT_EQ(afterEachRun_[1].windows, afterEachRun_[0].windows);
    EXPECT_EQ(afterEachRun_[1].gdiObjects, afterEachRun_[0].gdiObjects);
    EXPECT_EQ(afterEachRun_[1].deviceContexts, afterEachRun_[0].deviceContexts);
}

// ---- bad requests ----

TEST(ChooseColorRequest, BadRecordsFailWithTheirErrorAndShowNothing)
{
    std::array<COLORREF, comdlg::customColourCount> custom{};
    struct Case {
        const char* name;
        DWORD size;
        COLORREF* customColours;
        HWND owner;
        DWORD error;
    };
    const Case cases[] = {
        {"size too small", sizeof(CHOOSECOLORA) - 4, custom.data(), nullptr, CDERR_STRUCTSIZE},
        {"size too large", sizeof(CHOOSECOLORA) + 4, custom.data(), nullptr, CDERR_STRUCTSIZE},
        {"no custom colours", sizeof(CHOOSECOLORA), nullptr, nullptr, CDERR_INITIALIZATION},
        {"owner not a window", sizeof(CHOOSECOLORA), custom.data(), reinterpret_cast<HWND>(0x1234),
         CDERR_DIALOGFAILURE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHOOSECOLORA request{};
        request.lStructSize = c.size;
        request.lpCustColors = c.customColours;
        request.hwndOwner = c.owner;
        request.rgbResult = RGB(1, 2, 3);
        request.Flags = CC_RGBINIT;
        EXPECT_EQ(ChooseColorA(&request), FALSE);
        EXPECT_EQ(CommDlgExtendedError(), c.error);
        EXPECT_EQ(request.rgbResult, RGB(1, 2, 3));
    }
    EXPECT_EQ(ChooseColorA(nullptr), FALSE);
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
}

} // namespace
