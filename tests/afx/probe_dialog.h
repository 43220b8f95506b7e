// A dialog for the layer's tests: it records which handlers ran, and runs
// the test's scenario inside its own modal loop once open.
#pragma once

#include "tests/support/scenario_dialog.h"

#include <string>
#include <vector>

constexpr UINT kRoutedCommand = 500;     // handled twice in ProbeDialog's map

class ProbeDialog : public ScenarioDialog<ProbeDialog, CDialog> {
public:
    ProbeDialog(UINT templateId, Scenario scenario, CWnd* parent = nullptr)
        : ScenarioDialog(std::move(scenario), templateId, parent)
    {
    }

    std::vector<std::string> calls;
    bool passSystemCommands = true;
    HCURSOR dragCursor = nullptr;

    using CWnd::Default;

protected:
    bool OnInitDialog() override
    {
        calls.push_back("OnInitDialog");
        return ScenarioDialog::OnInitDialog();
    }
    void OnOK() override
    {
        calls.push_back("OnOK");
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        calls.push_back("OnCancel");
        CDialog::OnCancel();
    }
private:
    void OnSysCommand(UINT, LPARAM)
    {
        calls.push_back("OnSysCommand");
        if (passSystemCommands)
            Default();
    }
    HCURSOR OnQueryDragIcon() { return dragCursor; }
    void OnFirstRoutedCommand() { calls.push_back("first"); }
    void OnSecondRoutedCommand() { calls.push_back("second"); }

    BEGIN_MSG_MAP(ProbeDialog, ScenarioDialog)
        afx::OnWmSysCommand<&ProbeDialog::OnSysCommand>(),
        afx::OnWmQueryDragIcon<&ProbeDialog::OnQueryDragIcon>(),
        afx::OnCommand<&ProbeDialog::OnFirstRoutedCommand>(kRoutedCommand),
        afx::OnCommand<&ProbeDialog::OnSecondRoutedCommand>(kRoutedCommand),
    END_MSG_MAP()
};
