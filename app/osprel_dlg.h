// COsprelDlg: the main dialog. It shows the facts the readers give, one row
// each, read once while the dialog initialises; it offers the About box from
// its system menu, shows the application icon while minimised, and copies its
// rows as text with Ctrl+C or Ctrl+Insert.
#pragma once

#include "afx/dialog.h"
#include "afx/static_text.h"
#include "afx/wide_string.h"
#include "readers/fields.h"

#include <array>

// A value row: the fact it shows, its control, and how a value too long for
// its line is drawn shortened (the control's text stays whole).
struct ValueRow {
    const Field& field;
    int control;
    DWORD ellipsis;
};

// The readers are the dialog's own members (COsprelDlg::GetBuildNumber...),
// static ones in a base of their own because they use nothing of a dialog:
// the host build and the tests call them with no window. The rows reach the
// same functions through the table of fields.
class COsprelDlg : public CDialog, public COsprelReaders {
public:
    explicit COsprelDlg(CWnd* parent = nullptr);

    // The value rows in the order the dialog fills them.
    static const std::array<ValueRow, 11> kValueRows;

protected:
    bool OnInitDialog() override;
    bool PreTranslateMessage(const MSG& message) override;

    void OnSysCommand(UINT id, LPARAM param);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    HICON m_hIcon;   // shared with the system's icon cache: never destroyed
    // For values the template's font cannot draw. It ends with this object,
    // after the window and its controls, which are gone when DoModal returns.
    afx::AnyScriptFont m_anyScriptFont;

private:
    void FillValues();
    void AddAboutEntry();
    afx::WideString RowsAsText() const;

    BEGIN_MSG_MAP(COsprelDlg, CDialog)
        afx::OnWmSysCommand<&COsprelDlg::OnSysCommand>(),
        afx::OnWmPaint<&COsprelDlg::OnPaint>(),
        afx::OnWmQueryDragIcon<&COsprelDlg::OnQueryDragIcon>(),
    END_MSG_MAP()
};
