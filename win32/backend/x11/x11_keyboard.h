// Keyboard translation for the X11 backend: the virtual-key code Windows puts
// in WM_KEYDOWN and the character it puts in WM_CHAR, from the X keysyms of a
// key event. Works on keysyms alone, so it needs no connection and follows
// whatever layout the server applies. Leaves out dead keys, compose sequences
// and input methods: each key arrives on its own, as with a plain layout.
#pragma once

#include <X11/X.h>

namespace win32::backend::x11 {

// `produced` is the keysym the layout gives with the modifiers held (it tells
// the keypad's digits from its arrows, Num Lock being part of the state);
// `unshifted` is the key's first-level keysym, which names letter, digit and
// punctuation keys the way Windows does, whatever Shift or Caps Lock do.
// 0 when the key has no Windows counterpart.
unsigned virtualKeyFromKeysyms(KeySym produced, KeySym unshifted);

// The character the key types, 0 for none. With Control held, letters and
// @[\]^_ give the control codes 1-31 and most other keys type nothing, as on
// Windows; Delete types nothing either.
char32_t characterFromKeysym(KeySym produced, bool control);

} // namespace win32::backend::x11
