// One-line static texts that their control cuts.
//
// Dialog units follow the font's average character width, while a text is
// as wide as its own characters. A static laid out with little to spare at
// one display scale can be a pixel narrower than its text at another, and a
// left-aligned static then wraps at a word and shows only the first line.
#pragma once

#include "afx/win32.h"

namespace afx {

// Whether `control`'s own text shows whole on one line of its client area,
// in its font and with its prefix handling.
bool TextFits(HWND control);

// Widens every one-line, left-aligned static child of `dialog` whose text
// does not fit, into the free room on its right: never over a control on the
// same lines, never past the dialog's client area. Texts that fit, and
// statics that shorten their text themselves, keep the place they have.
void WidenCutLabels(HWND dialog);

// Gives a static whose text does not fit the ellipsis style `ellipsis`
// (SS_ENDELLIPSIS, SS_PATHELLIPSIS or SS_WORDELLIPSIS): it is then drawn on
// one line, shortened, while its window text stays whole. A text that fits
// leaves the style as it is.
void ShortenIfCut(HWND control, DWORD ellipsis);

// Gives a static whose text has an ampersand SS_NOPREFIX, so that the text
// is shown as it is rather than with the next character underlined: for
// statics that show data, not labels with a mnemonic.
void ShowAmpersands(HWND control);

} // namespace afx
