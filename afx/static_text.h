// One-line static texts that their control cuts.
//
// Dialog units follow the font's average character width, while a text is
// as wide as its own characters. A static laid out with little to spare at
// one display scale can be a pixel narrower than its text at another, and a
// left-aligned static then wraps at a word and shows only the first line.
#pragma once

#include "afx/win32.h"

#include <string>

namespace afx {

// A window's whole text. Read as UTF-16, so that it is measured and copied
// the same whatever the process's ANSI code page (UTF-8 where the manifest's
// activeCodePage is honoured, the machine's own elsewhere).
std::wstring WindowTextW(HWND window);

// Measures the one-line texts of a window's controls with one device context
// for them all: a device context per control made opening a dialog some
// milliseconds slower under Wine.
class TextMeter {
public:
    explicit TextMeter(HWND window);
    ~TextMeter();
    TextMeter(const TextMeter&) = delete;
    TextMeter& operator=(const TextMeter&) = delete;

    // The size `control`'s own text takes on one line, in its font and with
    // its prefix handling, drawn as the static draws it.
    SIZE OneLine(HWND control);

    // Whether that text shows whole in `control`'s client area.
    bool Fits(HWND control);

private:
    HWND m_window;
    HDC m_dc;
    HGDIOBJ m_font = nullptr;       // the font selected now
    HGDIOBJ m_original = nullptr;   // the one to put back
};

// Widens every one-line, left-aligned static child of `dialog` whose text
// does not fit, into the free room on its right: never over a control on the
// same lines, never past the dialog's client area. Texts that fit, and
// statics that shorten their text themselves, keep the place they have.
void WidenCutLabels(HWND dialog);

// Gives a static whose text does not fit the ellipsis style `ellipsis`
// (SS_ENDELLIPSIS, SS_PATHELLIPSIS or SS_WORDELLIPSIS): it is then drawn on
// one line, shortened, while its window text stays whole. A text that fits
// leaves the style as it is.
void ShortenIfCut(TextMeter& meter, HWND control, DWORD ellipsis);

// Gives a static whose text has an ampersand SS_NOPREFIX, so that the text
// is shown as it is rather than with the next character underlined: for
// statics that show data, not labels with a mnemonic.
void ShowAmpersands(HWND control);

} // namespace afx
