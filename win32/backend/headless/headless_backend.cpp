// Placeholder until the headless backend lands.
#include "backend/headless/headless_backend.h"

namespace win32::backend {
std::unique_ptr<Backend> createHeadlessBackend() { return nullptr; }
} // namespace win32::backend
