// One-line static texts that their control cuts.
//
// Dialog units follow the font's average character width, while a text is
// as wide as its own characters. A static laid out with little to spare at
// one display scale can be a pixel narrower than its text at another, and a
// left-aligned static then wraps at a word and shows only the first line.
#pragma once

#include "afx/wide_string.h"
#include "afx/win32.h"

namespace afx {

// Measures the one-line texts of a window's controls with one device context
// for them all: a device context per control made opening a dialog some
// milliseconds slower under Wine.
class TextMeter {
public:
    explicit TextMeter(HWND window);
    ~TextMeter();
    TextMeter(const TextMeter&) = delete;
    TextMeter& operator=(const TextMeter&) = delete;

    // The size `text`, `control`'s own, takes on one line, in the control's
    // font and with its prefix handling, drawn as the static draws it.
    SIZE OneLine(HWND control, const WideString& text);
    SIZE OneLine(HWND control) { return OneLine(control, WindowTextW(control)); }

    // Whether that text shows whole in `control`'s client area.
    bool Fits(HWND control, const WideString& text);

    // Whether `control`'s font has a glyph of its own for every character of
    // `text`. A TrueType font counts as drawing them all: the system draws
    // the characters it lacks in the fonts linked to it.
    bool DrawsEveryCharacter(HWND control, const WideString& text);

private:
    void SelectFontOf(HWND control);

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

// The functions below take the static's own text, as WindowTextW read it,
// so that a dialog reads each text once.

// Gives a static whose text does not fit the ellipsis style `ellipsis`
// (SS_ENDELLIPSIS, SS_PATHELLIPSIS or SS_WORDELLIPSIS): it is then drawn on
// one line, shortened, while its window text stays whole. A text that fits
// leaves the style as it is.
void ShortenIfCut(TextMeter& meter, HWND control, const WideString& text, DWORD ellipsis);

// A TrueType font for the texts a dialog's bitmap font cannot draw: "MS Shell
// Dlg 2", which Windows 2000 and later map to Tahoma, a face the system links
// to its fonts for other scripts. It is the dialog font with only the face
// changed, so a text drawn in it keeps the size and weight of its neighbours.
// Made on first need, for one dialog; it must outlive the controls given it.
class AnyScriptFont {
public:
    AnyScriptFont() = default;
    ~AnyScriptFont();
    AnyScriptFont(const AnyScriptFont&) = delete;
    AnyScriptFont& operator=(const AnyScriptFont&) = delete;

    // Gives `control` this font when its own cannot draw its text; any other
    // control keeps the font it has. Before ShortenIfCut, which measures the
    // text in the font it is drawn with.
    void UseWhereNeeded(TextMeter& meter, HWND control, const WideString& text);

private:
    HFONT m_font = nullptr;
};

// Gives a static whose text has an ampersand SS_NOPREFIX, so that the text
// is shown as it is rather than with the next character underlined: for
// statics that show data, not labels with a mnemonic.
void ShowAmpersands(HWND control, const WideString& text);

} // namespace afx
