#include "tests/support/display_scale.h"

#include "res/resource.h"

#include <cstring>
#include <stdexcept>

namespace {

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kLogPixels = "LogPixels";

bool IsClass(HWND control, const char* name)
{
    char actual[16] = {};
    GetClassNameA(control, actual, sizeof actual);
    return lstrcmpiA(actual, name) == 0;
}

bool IsStaticText(HWND control)
{
    const DWORD type = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & SS_TYPEMASK;
    return IsClass(control, "Static") && type != SS_ICON;
}

INT_PTR CALLBACK NoHandlers(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace

DisplayScale::DisplayScale()
{
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &m_key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open HKCU\\Control Panel\\Desktop");
    DWORD type = 0, size = sizeof m_saved;
    m_hadValue = RegQueryValueExA(m_key, kLogPixels, nullptr, &type, reinterpret_cast<BYTE*>(&m_saved), &size) ==
                     ERROR_SUCCESS &&
                 type == REG_DWORD;
}

DisplayScale::~DisplayScale()
{
    if (m_hadValue)
        RegSetValueExA(m_key, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_saved), sizeof m_saved);
    else
        RegDeleteValueA(m_key, kLogPixels);
    RegCloseKey(m_key);
}

void DisplayScale::Set(int dpi)
{
    const DWORD value = static_cast<DWORD>(dpi);
    if (RegSetValueExA(m_key, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot set LogPixels");
}

int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::vector<Control> Controls(HWND dialog)
{
    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Control c{child, GetDlgCtrlID(child), {}, static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)),
                  WindowText(child), false};
        c.isLabel = c.id == -1 && IsStaticText(child);
        GetWindowRect(child, &c.place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.place), 2);
        controls.push_back(c);
    }
    return controls;
}

bool ShowsText(HWND control)
{
    return IsStaticText(control) || IsClass(control, "Button");
}

std::vector<std::string> LabelsOutOfPlace(HWND dialog)
{
    RECT client{};
    GetClientRect(dialog, &client);
    const std::vector<Control> controls = Controls(dialog);
    std::vector<std::string> found;
    for (const Control& label : controls) {
        if (label.isLabel && label.place.right > client.right)
            found.push_back('"' + label.text + "\" past the client area");
        for (const Control& other : controls) {
            if (label.isLabel && &other != &label && Overlap(label.place, other.place))
                found.push_back('"' + label.text + "\" over \"" + other.text + '"');
        }
    }
    return found;
}

Window CreateHiddenFromTemplate(HMODULE module, int id)
{
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    const auto* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    if (!data || SizeofResource(module, found) < 16)
        return nullptr;
    std::vector<BYTE> bytes(data, data + SizeofResource(module, found));
    // Hidden: the style is the first DWORD of a classic template and the
    // fourth of an extended one.
    const bool extended = bytes[2] == 0xFF && bytes[3] == 0xFF;
    DWORD style;
    std::memcpy(&style, bytes.data() + (extended ? 12 : 0), sizeof style);
    style &= ~DWORD{WS_VISIBLE};
    std::memcpy(bytes.data() + (extended ? 12 : 0), &style, sizeof style);
    return Window(CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), nullptr,
                                             NoHandlers, 0));
}

std::vector<Control> TemplateControls(HMODULE module, int id)
{
    const Window dialog = CreateHiddenFromTemplate(module, id);
    return dialog ? Controls(dialog.get()) : std::vector<Control>{};
}

bool Overlap(const RECT& a, const RECT& b)
{
    RECT shared;
    return IntersectRect(&shared, &a, &b) != FALSE;
}

// Read and drawn as UTF-16: the ANSI drawing functions read bytes in the code
// page of the font's character set, not in the process's (UTF-8).
int OneLineTextWidth(HWND control)
{
    const std::wstring text = WindowTextW(control);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    const bool noPrefix = GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX;
    RECT bounds{};
    DrawTextW(dc, text.c_str(), -1, &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | (noPrefix ? DT_NOPREFIX : 0));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return bounds.right;
}

bool Fits(HWND control)
{
    RECT client{};
    GetClientRect(control, &client);
    return OneLineTextWidth(control) <= client.right;
}

namespace {

// A value the row shows as it is stored.
ScaledValue AsStored(const char* name, const char* text, int control, DWORD ellipsis)
{
    return {text, control, ellipsis, {Text(CV, name, text)}};
}

} // namespace

// The build with revision: Windows' builds have five digits so far, and the
// revision is a 32-bit count, ten digits at most.
const std::vector<ScaledValue> kScaledValues = {
    AsStored("ProductName", "Windows Server 2012 R2 Datacenter Evaluation", IDC_VERSION, SS_ENDELLIPSIS),
    AsStored("RegisteredOrganization", "Example Pharmaceuticals International Holdings GmbH & Co. KG", IDC_REG_ORG,
             SS_ENDELLIPSIS),
    AsStored("SourcePath", "D:\\Installation Media\\Windows Server 2012 R2\\sources\\amd64", IDC_SOURCE_PATH,
             SS_PATHELLIPSIS),
    AsStored("SystemRoot", "C:\\Program Installations\\Datacenter Evaluation Copy\\Windows", IDC_SYSTEM_ROOT,
             SS_PATHELLIPSIS),
    AsStored("RegisteredOwner", "A & B", IDC_REG_OWNER, 0),
    {"Version 22H2", IDC_SERVICE_PACK, 0, {Text(CV, "DisplayVersion", "22H2")}},
    {"22631.4294967295", IDC_BUILD, 0, {Text(CV, "CurrentBuildNumber", "22631"), Revision(Dword(0xFFFFFFFF))}},
};

std::vector<RegValue> RegistryOf(const std::vector<ScaledValue>& values)
{
    std::vector<RegValue> registry;
    for (const ScaledValue& v : values)
        registry.insert(registry.end(), v.stored.begin(), v.stored.end());
    return registry;
}
