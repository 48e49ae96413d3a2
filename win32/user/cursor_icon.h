// Icons and cursors as USER objects: what LoadIconA, LoadCursorA and
// LoadImageA return, and what the rest of the layer needs to show them.
#pragma once

#include <windows.h>

#include "backend/backend.h"
#include "core/pixels.h"

namespace win32::user {

// The shape of a cursor handle, or null when it is not a cursor (or an icon
// used as one, which Windows allows).
const backend::CursorShape* cursorShape(HCURSOR cursor);
// The picture of an icon handle (or a cursor's), or null.
const core::Image* iconImage(HICON icon);
size_t liveCursorAndIconCount();

} // namespace win32::user
