// Layer-wide basics: the last-error value, invariant failures, dirty regions.
#include "core/check.h"
#include "core/geometry.h"
#include "core/pixels.h"

#include <cstdio>
#include <cstdlib>

namespace {
thread_local DWORD lastError = 0;
constexpr size_t maximumDirtyRects = 16;
}

extern "C" DWORD WINAPI GetLastError(void) { return lastError; }
extern "C" void WINAPI SetLastError(DWORD code) { lastError = code; }

namespace win32::core {

void assertionFailed(const char* expression, const char* file, int line)
{
    std::fprintf(stderr, "huevane: internal error: %s (%s:%d)\n", expression, file, line);
    std::abort();
}

void DirtyRegion::add(const RECT& rect)
{
    if (isEmpty(rect))
        return;
    RECT merged = rect;
    // Fold every rectangle the new one touches into it, so the list stays disjoint.
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < rects_.size(); ++i) {
            if (!isEmpty(intersect(rects_[i], inflate(merged, 1, 1)))) {
                merged = unite(merged, rects_[i]);
                rects_.erase(rects_.begin() + static_cast<long>(i));
                changed = true;
                break;
            }
        }
    }
    rects_.push_back(merged);
    if (rects_.size() > maximumDirtyRects) {
        RECT all = rects_[0];
        for (const RECT& r : rects_)
            all = unite(all, r);
        rects_.assign(1, all);
    }
}

} // namespace win32::core

#include <cstring>
#include <ctime>

// Small KERNEL32 calls that belong to no library of their own.
extern "C" int WINAPI lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

extern "C" void WINAPI Sleep(DWORD milliseconds)
{
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}
