// Placeholder until the X11 backend lands.
#include "backend/backend.h"

namespace win32::backend {
std::unique_ptr<Backend> createX11Backend(std::string* error)
{
    *error = "cannot open display: the X11 backend is not built yet";
    return nullptr;
}
} // namespace win32::backend
