// The X11 backend's entry points for the rest of the layer and for its tests.
// Include this before any X header: X.h defines KeyPress, ButtonPress,
// FocusIn, None, CursorShape and friends as macros, which would rewrite the same names in
// backend.h; files that need both use the aliases below.
#pragma once

#include "backend/backend.h"

#include <memory>
#include <string>

namespace win32::backend {

// Connects to $DISPLAY. Null, with `error` saying why, when there is no display.
std::unique_ptr<Backend> createX11Backend(std::string* error);

// The X window behind `surface`, 0 when `backend` is not the X11 backend or
// the surface does not exist. For tests that check what a window manager sees.
unsigned long x11WindowOfSurface(Backend& backend, SurfaceId surface);

namespace x11 {
inline constexpr EventType keyPressEvent = EventType::KeyPress;
inline constexpr EventType keyReleaseEvent = EventType::KeyRelease;
inline constexpr EventType buttonPressEvent = EventType::ButtonPress;
inline constexpr EventType buttonReleaseEvent = EventType::ButtonRelease;
inline constexpr EventType focusInEvent = EventType::FocusIn;
inline constexpr EventType focusOutEvent = EventType::FocusOut;
inline constexpr SystemCursor imageCursor = SystemCursor::None;
using PointerShape = CursorShape;
} // namespace x11

} // namespace win32::backend
