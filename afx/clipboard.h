// The clipboard, for windows that copy what they show.
#pragma once

#include "afx/win32.h"

namespace afx {

// Whether the key pressed now, with the modifier keys held, is the copy
// command: Ctrl+C or Ctrl+Insert. With Alt held too it is not: Ctrl+Alt is
// AltGr on many keyboards, which types a character.
bool IsCopyKey(UINT virtualKey);

// Puts `text`, up to its zero, on the clipboard as Unicode text, in place of
// whatever was there, with `owner` as the clipboard's owner. Another program
// holding the clipboard open is waited for, up to half a second. False when
// the clipboard cannot be had by then, or the memory not found.
bool CopyToClipboard(HWND owner, const wchar_t* text);

} // namespace afx
