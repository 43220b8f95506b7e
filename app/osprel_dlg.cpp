#include "app/osprel_dlg.h"

#include "afx/clipboard.h"
#include "afx/gdi.h"
#include "afx/menu.h"
#include "afx/resources.h"
#include "afx/static_text.h"
#include "app/about_box.h"
#include "res/resource.h"

#include <algorithm>

namespace {

// The system command bits the system keeps for itself.
constexpr UINT kSystemCommandMask = 0xFFF0;

HICON LoadAppIcon()
{
    const char* name = MAKEINTRESOURCEA(IDI_APP);
    return LoadIconA(AfxFindResourceHandle(name, RT_GROUP_ICON), name);
}

} // namespace

// A value cut at a word would name another organisation or product than the
// machine's; the ellipsis says that more follows. Paths keep their drive and
// last folder.
const std::array<ValueRow, 11> COsprelDlg::kValueRows = {{
    {fields::kInstallDate, IDC_INSTALL_DATE, SS_ENDELLIPSIS},
    {fields::kRegisteredOrganization, IDC_REG_ORG, SS_ENDELLIPSIS},
    {fields::kRegisteredOwner, IDC_REG_OWNER, SS_ENDELLIPSIS},
    {fields::kBuildNumber, IDC_BUILD, SS_ENDELLIPSIS},
    {fields::kSystemRoot, IDC_SYSTEM_ROOT, SS_PATHELLIPSIS},
    {fields::kVersionText, IDC_VERSION, SS_ENDELLIPSIS},
    {fields::kPlusVersion, IDC_PLUS_VERSION, SS_ENDELLIPSIS},
    {fields::kServicePack, IDC_SERVICE_PACK, SS_ENDELLIPSIS},
    {fields::kProcessorType, IDC_PROCESSOR_TYPE, SS_ENDELLIPSIS},
    {fields::kProductType, IDC_PRODUCT_TYPE, SS_ENDELLIPSIS},
    {fields::kSourcePath, IDC_SOURCE_PATH, SS_PATHELLIPSIS},
}};

COsprelDlg::COsprelDlg(CWnd* parent) : CDialog(IDD_MAIN, parent), m_hIcon(LoadAppIcon()) {}

bool COsprelDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    FillValues();
    AddAboutEntry();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    return true;
}

void COsprelDlg::FillValues()
{
    for (const ValueRow& row : kValueRows)
        SetDlgItemText(row.control, row.field.read());
    afx::TextMeter meter(m_hWnd);
    for (const ValueRow& row : kValueRows) {
        const HWND control = GetDlgItem(m_hWnd, row.control);
        const afx::WideString text = afx::WindowTextW(control);   // as the control keeps it
        afx::ShowAmpersands(control, text);   // an ampersand in a value is the value's own
        m_anyScriptFont.UseWhereNeeded(meter, control, text);   // a name in a script the template font lacks
        afx::ShortenIfCut(meter, control, text, row.ellipsis);
    }
}

void COsprelDlg::AddAboutEntry()
{
    CMenu systemMenu = GetSystemMenu(false);
    if (!systemMenu)
        return;
    CString text;
    text.LoadString(IDS_ABOUT_ITEM);
    if (text.IsEmpty())
        return;
    systemMenu.AppendMenu(MF_SEPARATOR);
    systemMenu.AppendMenu(MF_STRING, IDM_ABOUT, text);
}

void COsprelDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & kSystemCommandMask) != IDM_ABOUT) {
        Default();
        return;
    }
    CAboutBox about;
    about.DoModal();
}

void COsprelDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    // Integer division truncating toward zero, also when the icon is the larger.
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR COsprelDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

// No control takes the focus: keys go to a static, which ignores them, so the
// copy keys are taken before the dialog manager sees them.
bool COsprelDlg::PreTranslateMessage(const MSG& message)
{
    if (message.message != WM_KEYDOWN || !afx::IsCopyKey(static_cast<UINT>(message.wParam)))
        return false;
    if (!afx::CopyToClipboard(m_hWnd, RowsAsText().GetString()))
        MessageBeep(MB_OK);   // the clipboard was held too long: no copy, and the user hears so
    return true;
}

// The rows from the top down, as the template lays them out: each value
// control follows its label. A line is the label, a tab and the value's whole
// text, not the shortened drawing; CR LF ends it, as text on the clipboard does.
afx::WideString COsprelDlg::RowsAsText() const
{
    const auto isValue = [](int id) {
        const auto hasId = [id](const ValueRow& row) { return row.control == id; };
        return std::any_of(kValueRows.begin(), kValueRows.end(), hasId);
    };
    afx::WideString text;
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!isValue(GetDlgCtrlID(child)))
            continue;
        text.Append(afx::WindowTextW(GetWindow(child, GW_HWNDPREV)));
        text.Append(L"\t");
        text.Append(afx::WindowTextW(child));
        text.Append(L"\r\n");
    }
    return text;
}
