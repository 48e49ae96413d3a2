// The registry module's interface inside the layer and for its tests. The
// program sees only the Reg* calls declared in windows.h.
#pragma once

#include <cstddef>

namespace win32::registry {

// Key handles open now (predefined keys are not counted), so soak tests can
// check that every RegCreateKeyExA/RegOpenKeyExA was matched by RegCloseKey.
size_t liveKeyCount();

} // namespace win32::registry
