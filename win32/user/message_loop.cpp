// The message queue and the one event loop. GetMessageA takes, in Win32's
// order: posted messages, then input (mouse and keyboard, with pointer motion
// coalesced), then WM_PAINT for windows with an update region, then WM_TIMER
// for due timers. When nothing is left it presents what was drawn and blocks in
// the backend until the next event or the next timer deadline: no polling, no
// busy waits, zero CPU when idle. Modal dialogs, message boxes and the
// caption/scroll-bar tracking all run this same loop, nested.
#include "user/user_internal.h"

#include "core/text_encoding.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>

namespace win32::user {

namespace {

struct Timer {
    UINT period = 0;
    uint64_t due = 0;
    TIMERPROC procedure = nullptr;
};

struct QueueState {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    std::map<std::pair<HWND, UINT_PTR>, Timer> timers;
    UINT_PTR nextThreadTimerId = 1;
    DWORD lastMessageTime = 0;
    POINT lastMessagePosition{0, 0};
};

QueueState& queue()
{
    static QueueState* instance = new QueueState;
    return *instance;
}

bool matchesFilter(const MSG& message, HWND filter, UINT minimum, UINT maximum)
{
    if (filter && message.hwnd != filter && !IsChild(filter, message.hwnd))
        return false;
    if (minimum == 0 && maximum == 0)
        return true;
    return message.message >= minimum && message.message <= maximum;
}

// Everything the backend has buffered, translated, so that input is current
// before anything is delivered.
void drainBackend()
{
    backend::Backend& display = backend::current();
    while (display.hasPendingEvent()) {
        backend::Event event;
        if (!display.waitEvent(event, display.nowMs()))
            break;
        handleBackendEvent(event);
    }
}

std::optional<uint64_t> nextTimerDeadline()
{
    std::optional<uint64_t> deadline;
    for (const auto& [key, timer] : queue().timers) {
        if (!deadline || timer.due < *deadline)
            deadline = timer.due;
    }
    return deadline;
}

bool takeDueTimer(MSG& message, HWND filter, UINT minimum, UINT maximum, bool remove)
{
    uint64_t now = nowMs();
    auto& timers = queue().timers;
    auto best = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->second.due <= now && (best == timers.end() || it->second.due < best->second.due))
            best = it;
    }
    if (best == timers.end())
        return false;
    MSG candidate{};
    candidate.hwnd = best->first.first;
    candidate.message = WM_TIMER;
    candidate.wParam = best->first.second;
    candidate.lParam = reinterpret_cast<LPARAM>(best->second.procedure);
    candidate.time = static_cast<DWORD>(now);
    candidate.pt = cursorPosition();
    if (!matchesFilter(candidate, filter, minimum, maximum))
        return false;
    // The next tick counts from this one: a late tick does not bunch up
    // further ticks behind it, as on Windows.
    if (remove)
        best->second.due = now + best->second.period;
    message = candidate;
    return true;
}

bool getMessage(MSG& message, HWND filter, UINT minimum, UINT maximum, bool remove, bool block)
{
    for (;;) {
        drainBackend();

        QueueState& q = queue();
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            if (matchesFilter(*it, filter, minimum, maximum)) {
                message = *it;
                if (remove)
                    q.posted.erase(it);
                return true;
            }
        }
        if (q.quitPosted && (minimum == 0 || (WM_QUIT >= minimum && WM_QUIT <= maximum))) {
            message = MSG{};
            message.message = WM_QUIT;
            message.wParam = static_cast<WPARAM>(q.quitCode);
            if (remove)
                q.quitPosted = false;
            return true;
        }
        if (remove && takeInputMessage(message, filter, minimum, maximum))
            return true;

        sendPendingFramePaints();
        if (Window* window = nextWindowToPaint()) {
            MSG paint{};
            paint.hwnd = window->handle;
            paint.message = WM_PAINT;
            paint.time = static_cast<DWORD>(nowMs());
            paint.pt = cursorPosition();
            if (matchesFilter(paint, filter, minimum, maximum)) {
                message = paint;
                return true;
            }
        }
        if (takeDueTimer(message, filter, minimum, maximum, remove))
            return true;
        if (!block)
            return false;

        presentAll();
        backend::Event event;
        if (backend::current().waitEvent(event, nextTimerDeadline()))
            handleBackendEvent(event);
    }
}

} // namespace

uint64_t nowMs() { return backend::current().nowMs(); }

LRESULT sendMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == nullptr || window->procedure == nullptr)
        return 0;
    return CallWindowProcA(window->procedure, window->handle, message, wParam, lParam);
}

void removeMessagesFor(HWND handle)
{
    auto& posted = queue().posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == handle; }),
                 posted.end());
}

void killTimersFor(HWND handle)
{
    auto& timers = queue().timers;
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->first.first == handle)
            it = timers.erase(it);
        else
            ++it;
    }
}

size_t liveTimerCount() { return queue().timers.size(); }

bool pumpOneMessage()
{
    MSG message;
    if (!GetMessageA(&message, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (procedure == nullptr)
        return 0;
    return procedure(handle, message, wParam, lParam);
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return sendMessage(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (handle != nullptr && findWindow(handle) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG posted{};
    posted.hwnd = handle;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    posted.time = static_cast<DWORD>(nowMs());
    posted.pt = cursorPosition();
    queue().posted.push_back(posted);
    return TRUE;
}

void WINAPI PostQuitMessage(int code)
{
    queue().quitPosted = true;
    queue().quitCode = code;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND filter, UINT minimum, UINT maximum)
{
    if (message == nullptr)
        return FALSE;
    getMessage(*message, filter, minimum, maximum, true, true);
    queue().lastMessageTime = message->time;
    queue().lastMessagePosition = message->pt;
    return message->message != WM_QUIT;
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND filter, UINT minimum, UINT maximum, UINT flags)
{
    MSG taken;
    if (!getMessage(taken, filter, minimum, maximum, (flags & PM_REMOVE) != 0, false))
        return FALSE;
    if (message)
        *message = taken;
    return TRUE;
}

BOOL WINAPI WaitMessage(void)
{
    MSG message;
    while (!getMessage(message, nullptr, 0, 0, false, false)) {
        presentAll();
        backend::Event event;
        if (backend::current().waitEvent(event, nextTimerDeadline()))
            handleBackendEvent(event);
        else
            break;
    }
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* message)
{
    if (message == nullptr)
        return FALSE;
    if (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)
        return FALSE;
    char32_t character = characterForKeyMessage(*message);
    if (character == 0)
        return FALSE;
    unsigned char ansi = core::ansiCharFromUnicode(character);
    PostMessageA(message->hwnd, message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ansi, message->lParam);
    // Posted messages are taken before input, so the character comes right
    // after its key and before any later input.
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message)
{
    if (message == nullptr)
        return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        procedure(message->hwnd, WM_TIMER, message->wParam, message->time);
        return 0;
    }
    Window* window = findWindow(message->hwnd);
    if (window == nullptr)
        return 0;
    LRESULT result = sendMessage(window, message->message, message->wParam, message->lParam);
    if (message->message == WM_PAINT) {
        // A window procedure that does not validate would get WM_PAINT for
        // ever; Windows validates for it the same way.
        if (Window* again = findWindow(message->hwnd); again && !again->insidePaint) {
            again->updateRect = RECT{0, 0, 0, 0};
            again->eraseNeeded = false;
        }
    }
    return result;
}

DWORD WINAPI GetMessageTime(void) { return queue().lastMessageTime; }

DWORD WINAPI GetMessagePos(void)
{
    POINT p = queue().lastMessagePosition;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

UINT_PTR WINAPI SetTimer(HWND handle, UINT_PTR id, UINT elapse, TIMERPROC procedure)
{
    if (handle != nullptr && findWindow(handle) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // Windows raises periods below USER_TIMER_MINIMUM (10 ms) to it.
    elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    if (handle == nullptr)
        id = queue().nextThreadTimerId++;
    Timer& timer = queue().timers[{handle, id}];
    timer.period = elapse;
    timer.due = nowMs() + elapse;
    timer.procedure = procedure;
    return handle ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND handle, UINT_PTR id)
{
    auto& timers = queue().timers;
    auto it = timers.find({handle, id});
    if (it == timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers.erase(it);
    return TRUE;
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(nowMs()); }

} // extern "C"
