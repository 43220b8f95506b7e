// The display scale for the tests (Windows only): the value the system
// reads when a process starts, and a dialog's controls as a test compares
// them with its template's.
#pragma once

#include "tests/support/registry_fixture.h"
#include "tests/support/window_text.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The scales a user meets: 100 %, 125 %, 150 % and 200 %.
inline constexpr int kDisplayScales[] = {96, 120, 144, 192};

// Sets the scale (HKCU\Control Panel\Desktop, LogPixels) that processes
// started from now on take; the one found first is put back when the object
// ends. The processes already running keep theirs.
class DisplayScale {
public:
    DisplayScale();
    ~DisplayScale();
    DisplayScale(const DisplayScale&) = delete;
    DisplayScale& operator=(const DisplayScale&) = delete;

    void Set(int dpi);

private:
    HKEY m_key = nullptr;
    bool m_hadValue = false;
    DWORD m_saved = 0;
};

// The scale this process runs at, in pixels per inch.
int ScreenDpi();

struct Control {
    HWND window;   // while the dialog lives
    int id;
    RECT place;   // in the dialog's client coordinates
    DWORD style;
    std::string text;
    bool isLabel;   // a static text without an identifier of its own
};

// The dialog's controls in template order.
std::vector<Control> Controls(HWND dialog);

// Whether `control` draws a line of text: a button, or a static that is no icon.
bool ShowsText(HWND control);

// Labels that reach past the dialog's client area or over another control,
// each named with what it is over; none when every label lies in free room.
std::vector<std::string> LabelsOutOfPlace(HWND dialog);

struct WindowDestroy {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

// The dialog as the system makes it from the template `id` of `module`, with
// no dialog procedure of the program's and not shown; null when there is no
// such template or no window can be made (no display).
Window CreateHiddenFromTemplate(HMODULE module, int id);

// The controls as the system makes them from the dialog template `id` of
// `module`, before any code of the program touches them.
std::vector<Control> TemplateControls(HMODULE module, int id);

// Whether two rectangles share a pixel.
bool Overlap(const RECT& a, const RECT& b);

// The width `control`'s own text takes on one line, drawn as a static draws it.
int OneLineTextWidth(HWND control);
// Whether that line fits the control's client area.
bool Fits(HWND control);

// Values too long for their lines at every scale, each with the ellipsis
// style it must be drawn with, then values that fit (style 0): one with an
// ampersand, the longest texts the build and service pack lines give, and
// last one that fits everywhere.
struct ScaledValue {
    const char* text;   // as its row shows it
    int control;
    DWORD ellipsis;
    std::vector<RegValue> stored;   // the values that give the row that text
};
extern const std::vector<ScaledValue> kScaledValues;

// The registry values that give `values` their texts.
std::vector<RegValue> RegistryOf(const std::vector<ScaledValue>& values);
