#include "afx/static_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace afx {
namespace {

DWORD StyleOf(HWND control)
{
    return static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
}

bool IsStatic(HWND control)
{
    char name[16] = {};
    GetClassNameA(control, name, sizeof name);
    return lstrcmpiA(name, "Static") == 0;
}

int ClientWidth(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return client.right;
}

// Left-aligned texts only: widening to the right would move a centred or
// right-aligned one. A static with an ellipsis style shortens its text itself.
bool IsWidenableLabel(HWND control)
{
    if (!IsStatic(control))
        return false;
    const DWORD style = StyleOf(control);
    const DWORD type = style & SS_TYPEMASK;
    return (type == SS_LEFT || type == SS_LEFTNOWORDWRAP) && !(style & SS_ELLIPSISMASK);
}

// A taller static holds more lines and wraps on purpose.
bool IsOneLine(HWND control, const SIZE& extent)
{
    RECT client{};
    GetClientRect(control, &client);
    return client.bottom < 2 * extent.cy;
}

RECT RectInParent(HWND control, HWND parent)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// How far right `control` may reach: the dialog's client edge, or the left
// edge of the nearest control that shares a line with it. A control that
// already overlaps it leaves it no room at all.
LONG RightLimit(HWND dialog, HWND control)
{
    const RECT own = RectInParent(control, dialog);
    LONG limit = ClientWidth(dialog);
    for (HWND other = GetWindow(dialog, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT)) {
        if (other == control)
            continue;
        const RECT r = RectInParent(other, dialog);
        const bool sharesLines = r.top < own.bottom && own.top < r.bottom;
        if (sharesLines && r.right > own.left)
            limit = std::min(limit, std::max(r.left, own.right));
    }
    return limit;
}

void WidenToFit(HWND dialog, HWND control, int textWidth)
{
    const RECT own = RectInParent(control, dialog);
    const int frame = (own.right - own.left) - ClientWidth(control);
    const LONG wanted = own.left + textWidth + frame;
    const LONG right = std::min(wanted, RightLimit(dialog, control));
    if (right <= own.right)
        return;
    SetWindowPos(control, nullptr, 0, 0, right - own.left, own.bottom - own.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The code page of the characters a font of `charSet` has, or 0 when the
// system knows none for it.
UINT CodePageOf(BYTE charSet)
{
    if (charSet == OEM_CHARSET)
        return CP_OEMCP;
    CHARSETINFO info{};
    const auto source = reinterpret_cast<DWORD*>(static_cast<ULONG_PTR>(charSet));
    return TranslateCharsetInfo(source, &info, TCI_SRCCHARSET) ? info.ciACP : 0;
}

// Whether `text` comes back unchanged from `codePage`: a character outside it
// turns into the default character or into a look-alike ("a" for "ā"),
// and either way differs. No flags, unlike WC_NO_BEST_FIT_CHARS, which
// Windows NT 4.0 refuses.
bool RoundTrips(const WideString& text, UINT codePage)
{
    const int length = text.GetLength();
    if (length == 0)
        return true;
    const int bytes = WideCharToMultiByte(codePage, 0, text.GetString(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    // One allocation for the characters the bytes give back, which are never
    // more than the bytes, and the bytes.
    auto* back = static_cast<wchar_t*>(std::malloc(static_cast<size_t>(bytes) * (sizeof(wchar_t) + 1)));
    if (!back)
        std::abort();
    char* narrow = reinterpret_cast<char*>(back + bytes);
    WideCharToMultiByte(codePage, 0, text.GetString(), length, narrow, bytes, nullptr, nullptr);
    const int chars = MultiByteToWideChar(codePage, 0, narrow, bytes, back, bytes);
    const bool same =
        chars == length && std::memcmp(back, text.GetString(), sizeof(wchar_t) * static_cast<size_t>(chars)) == 0;
    std::free(back);
    return same;
}

} // namespace

TextMeter::TextMeter(HWND window) : m_window(window), m_dc(GetDC(window)) {}

TextMeter::~TextMeter()
{
    if (m_original)
        SelectObject(m_dc, m_original);
    ReleaseDC(m_window, m_dc);
}

void TextMeter::SelectFontOf(HWND control)
{
    // A static without a font of its own draws in the device context's
    // default, the system font, not in whatever the last control left selected.
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (!font)
        font = GetStockObject(SYSTEM_FONT);
    if (font != m_font) {
        const HGDIOBJ previous = SelectObject(m_dc, font);
        if (!m_original)
            m_original = previous;
        m_font = font;
    }
}

SIZE TextMeter::OneLine(HWND control, const WideString& text)
{
    SelectFontOf(control);
    UINT format = DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS;
    if (StyleOf(control) & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    RECT bounds{};
    DrawTextW(m_dc, text.GetString(), text.GetLength(), &bounds, format);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

bool TextMeter::Fits(HWND control, const WideString& text)
{
    return OneLine(control, text).cx <= ClientWidth(control);
}

// A bitmap font has the characters of its character set's code page and no
// others, and the system links no other font to it (Wine draws the rest as
// bars, Windows as boxes or look-alikes), so a text it can draw is one that
// survives that code page. GetGlyphIndicesW would ask the font itself and
// answers the same for bitmap fonts under Wine, but it is Windows 2000's.
bool TextMeter::DrawsEveryCharacter(HWND control, const WideString& text)
{
    SelectFontOf(control);
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(m_dc, &metrics) || (metrics.tmPitchAndFamily & TMPF_TRUETYPE))
        return true;
    const UINT codePage = CodePageOf(metrics.tmCharSet);
    return codePage == 0 || RoundTrips(text, codePage);
}

AnyScriptFont::~AnyScriptFont()
{
    if (m_font)
        DeleteObject(m_font);
}

void AnyScriptFont::UseWhereNeeded(TextMeter& meter, HWND control, const WideString& text)
{
    if (!control || meter.DrawsEveryCharacter(control, text))
        return;
    if (!m_font) {
        const auto dialogFont = reinterpret_cast<HGDIOBJ>(SendMessageA(GetParent(control), WM_GETFONT, 0, 0));
        LOGFONTW face{};
        if (!dialogFont || !GetObjectW(dialogFont, sizeof face, &face))
            return;
        static constexpr wchar_t kFace[] = L"MS Shell Dlg 2";
        static_assert(std::size(kFace) <= LF_FACESIZE);
        std::copy(std::begin(kFace), std::end(kFace), face.lfFaceName);
        m_font = CreateFontIndirectW(&face);
    }
    if (m_font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
}

void WidenCutLabels(HWND dialog)
{
    TextMeter meter(dialog);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWidenableLabel(control))
            continue;
        const SIZE extent = meter.OneLine(control);
        if (extent.cx > ClientWidth(control) && IsOneLine(control, extent))
            WidenToFit(dialog, control, extent.cx);
    }
}

void ShowAmpersands(HWND control, const WideString& text)
{
    if (!control || !text.Contains(L'&'))
        return;
    SetWindowLongA(control, GWL_STYLE, static_cast<LONG>(StyleOf(control) | SS_NOPREFIX));
    InvalidateRect(control, nullptr, TRUE);
}

void ShortenIfCut(TextMeter& meter, HWND control, const WideString& text, DWORD ellipsis)
{
    if (!control || meter.Fits(control, text))
        return;
    SetWindowLongA(control, GWL_STYLE, static_cast<LONG>((StyleOf(control) & ~SS_ELLIPSISMASK) | ellipsis));
    InvalidateRect(control, nullptr, TRUE);
}

} // namespace afx
