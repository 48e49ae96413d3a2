// Chooses and holds the backend in use.
#include "backend/backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace win32::backend {

std::unique_ptr<Backend> createX11Backend(std::string* error);
std::unique_ptr<Backend> createHeadlessBackend();

namespace {
std::unique_ptr<Backend>& installed()
{
    static std::unique_ptr<Backend> backend;
    return backend;
}
} // namespace

bool hasCurrent() { return installed() != nullptr; }

void install(std::unique_ptr<Backend> backend) { installed() = std::move(backend); }

Backend& current()
{
    std::unique_ptr<Backend>& backend = installed();
    if (!backend) {
        const char* choice = std::getenv("HUEVANE_BACKEND");
        if (choice && std::strcmp(choice, "headless") == 0) {
            backend = createHeadlessBackend();
        } else {
            std::string error;
            backend = createX11Backend(&error);
            if (!backend) {
                // Only start-up may refuse to go on, and it says why in one line.
                std::fprintf(stderr, "huevane: %s\n", error.c_str());
                std::exit(1);
            }
        }
    }
    return *backend;
}

} // namespace win32::backend
