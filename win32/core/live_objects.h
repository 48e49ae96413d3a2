// Counts of the layer's live objects, so tests can check that repeated use
// returns windows, GDI objects and device contexts to where they started.
#pragma once

#include <cstddef>

namespace win32::core {

struct LiveObjects {
    size_t windows = 0;
    size_t gdiObjects = 0; // brushes, pens, fonts, bitmaps (stock objects excluded)
    size_t deviceContexts = 0;
    size_t cursorsAndIcons = 0;
    size_t timers = 0;
};

LiveObjects liveObjects();

} // namespace win32::core
