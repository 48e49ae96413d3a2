// Internal invariant checks. An API function never exits the process on bad
// input (it fails and sets the last error); this guards the layer's own logic.
#pragma once

namespace win32::core {
[[noreturn]] void assertionFailed(const char* expression, const char* file, int line);
}

#define WIN32_ASSERT(expression) \
    ((expression) ? (void)0 : ::win32::core::assertionFailed(#expression, __FILE__, __LINE__))
