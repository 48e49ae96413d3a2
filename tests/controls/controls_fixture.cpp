#include "controls_fixture.h"

#include "user/user_internal.h"

#include <cctype>
#include <cstring>
#include <memory>

namespace controls_test {

ControlsTest* ControlsTest::running = nullptr;

namespace {

constexpr const char* hostClass = "ControlsTestHost";
// More than the double-click time, so the next press is a press of its own.
constexpr uint64_t pauseAfterClick = 1000;

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ControlsTest* test = ControlsTest::running;
    if (test == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return test->hostMessage(window, message, wParam, lParam);
}

} // namespace

LRESULT ControlsTest::hostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        notifications.push_back(Notification{LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        colourRequests.push_back(ColourRequest{message, reinterpret_cast<HWND>(lParam)});
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        HBRUSH brush = message == WM_CTLCOLORSTATIC ? staticBrush : message == WM_CTLCOLOREDIT ? editBrush : listBrush;
        return reinterpret_cast<LRESULT>(brush);
    }
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(hostBackground);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ++hostPresses;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void ControlsTest::SetUp()
{
    auto backend = std::make_unique<HeadlessBackend>();
    screen = backend.get();
    win32::backend::install(std::move(backend));
    running = this;
    staticBrush = CreateSolidBrush(hostStaticColour);
    editBrush = CreateSolidBrush(hostEditColour);
    listBrush = CreateSolidBrush(hostListColour);

    WNDCLASSA description{};
    description.lpfnWndProc = hostProcedure;
    description.lpszClassName = hostClass;
    description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&description);
    host = CreateWindowExA(0, hostClass, "Host", WS_POPUP | WS_VISIBLE, hostOrigin.x, hostOrigin.y, hostSize.cx,
                           hostSize.cy, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    pump();
}

void ControlsTest::TearDown()
{
    if (host)
        DestroyWindow(host);
    DeleteObject(staticBrush);
    DeleteObject(editBrush);
    DeleteObject(listBrush);
    running = nullptr;
}

HWND ControlsTest::create(const char* className, const char* text, DWORD style, RECT bounds, int id)
{
    HWND control = CreateWindowExA(0, className, text, style | WS_CHILD | WS_VISIBLE, bounds.left, bounds.top,
                                   bounds.right - bounds.left, bounds.bottom - bounds.top, host,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    EXPECT_NE(control, nullptr) << "could not create a " << className;
    pump();
    return control;
}

void ControlsTest::pump()
{
    MSG message;
    for (int delivered = 0; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++delivered) {
        if (delivered > 100000) {
            ADD_FAILURE() << "the queue never empties";
            break;
        }
        if (dialog_ && IsWindow(dialog_) && IsDialogMessageA(dialog_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    win32::user::presentAll();
}

POINT ControlsTest::onScreen(HWND window, int x, int y) const
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

POINT ControlsTest::centreOf(HWND window) const
{
    RECT client;
    GetClientRect(window, &client);
    return onScreen(window, client.right / 2, client.bottom / 2);
}

void ControlsTest::moveTo(POINT screenPoint)
{
    screen->movePointer(screenPoint.x, screenPoint.y);
    pump();
}

void ControlsTest::press()
{
    screen->pressButton(1);
    pump();
}

void ControlsTest::release()
{
    screen->releaseButton(1);
    pump();
}

void ControlsTest::click(POINT screenPoint)
{
    moveTo(screenPoint);
    press();
    release();
    screen->advanceClock(pauseAfterClick);
}

void ControlsTest::doubleClick(POINT screenPoint)
{
    moveTo(screenPoint);
    press();
    release();
    press();
    release();
    screen->advanceClock(pauseAfterClick);
}

void ControlsTest::keyDown(unsigned virtualKey, char32_t text)
{
    screen->pressKey(virtualKey, text);
    pump();
}

void ControlsTest::keyUp(unsigned virtualKey)
{
    screen->releaseKey(virtualKey);
    pump();
}

void ControlsTest::tap(unsigned virtualKey, char32_t text)
{
    keyDown(virtualKey, text);
    keyUp(virtualKey);
}

void ControlsTest::tapWith(unsigned modifierKey, unsigned virtualKey, char32_t text)
{
    keyDown(modifierKey);
    tap(virtualKey, text);
    keyUp(modifierKey);
}

void ControlsTest::type(const std::string& text)
{
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        unsigned key = 0;
        if (std::isalnum(byte))
            key = static_cast<unsigned>(std::toupper(byte));
        else if (byte == ' ')
            key = VK_SPACE;
        tap(key, byte);
    }
}

Pixel ControlsTest::pixel(HWND window, int x, int y) const
{
    POINT point = onScreen(window, x, y);
    return screen->readScreenPixel(point.x, point.y).value_or(0xFFFFFFFF);
}

int ControlsTest::countPixels(HWND window, RECT area, const std::function<bool(Pixel)>& wanted) const
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += wanted(pixel(window, x, y)) ? 1 : 0;
    return count;
}

std::vector<int> ControlsTest::codesFrom(HWND control) const
{
    std::vector<int> codes;
    for (const Notification& notification : notifications) {
        if (notification.control == control)
            codes.push_back(notification.code);
    }
    return codes;
}

int ControlsTest::countColourRequests(UINT message, HWND control) const
{
    int count = 0;
    for (const ColourRequest& request : colourRequests)
        count += (request.message == message && request.control == control) ? 1 : 0;
    return count;
}

std::string ControlsTest::textOf(HWND window) const
{
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

// ---- DialogTemplate ----

DialogTemplate::DialogTemplate(DWORD style, short width, short height, const char* title)
{
    DLGTEMPLATE header{};
    header.style = style | DS_SETFONT;
    header.cx = width;
    header.cy = height;
    words_.resize(sizeof(header) / sizeof(WORD));
    std::memcpy(words_.data(), &header, sizeof(header));
    words_.push_back(0); // no menu
    words_.push_back(0); // the dialog class
    addText(title);
    words_.push_back(8); // point size
    addText("MS Shell Dlg");
}

void DialogTemplate::alignToDword()
{
    if (words_.size() % 2)
        words_.push_back(0);
}

void DialogTemplate::addText(const char* text)
{
    for (const char* c = text; *c; ++c)
        words_.push_back(static_cast<unsigned char>(*c));
    words_.push_back(0);
}

void DialogTemplate::addItemHeader(DWORD style, short x, short y, short width, short height, WORD id,
                                   WORD classOrdinal)
{
    alignToDword();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = width;
    item.cy = height;
    item.id = id;
    size_t at = words_.size();
    words_.resize(at + sizeof(item) / sizeof(WORD));
    std::memcpy(words_.data() + at, &item, sizeof(item));
    words_.push_back(0xFFFF);
    words_.push_back(classOrdinal);
    ++count_;
}

void DialogTemplate::add(WORD classOrdinal, const char* text, WORD id, DWORD style, short x, short y, short width,
                         short height)
{
    addItemHeader(style, x, y, width, height, id, classOrdinal);
    addText(text);
    words_.push_back(0); // no creation data
}

void DialogTemplate::addWithOrdinalTitle(WORD classOrdinal, WORD titleOrdinal, WORD id, DWORD style, short x,
                                         short y, short width, short height)
{
    addItemHeader(style, x, y, width, height, id, classOrdinal);
    words_.push_back(0xFFFF);
    words_.push_back(titleOrdinal);
    words_.push_back(0);
}

LPCDLGTEMPLATEA DialogTemplate::get()
{
    std::memcpy(reinterpret_cast<char*>(words_.data()) + offsetof(DLGTEMPLATE, cdit), &count_, sizeof(count_));
    aligned_.assign((words_.size() + 1) / 2, 0);
    std::memcpy(aligned_.data(), words_.data(), words_.size() * sizeof(WORD));
    return reinterpret_cast<LPCDLGTEMPLATEA>(aligned_.data());
}

} // namespace controls_test
