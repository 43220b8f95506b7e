// A dialog for the layer's tests: it records which handlers ran and, once
// open, runs the test's scenario inside its own modal loop. A watchdog ends
// it with kWatchdogResult should the scenario leave it open.
#pragma once

#include "afx/dialog.h"

#include <functional>
#include <string>
#include <vector>

constexpr INT_PTR kWatchdogResult = -2;
constexpr UINT kRoutedCommand = 500;     // handled twice in ProbeDialog's map

class ProbeDialog : public CDialog {
public:
    using Scenario = std::function<void(ProbeDialog&)>;

    ProbeDialog(UINT templateId, Scenario scenario, CWnd* parent = nullptr)
        : CDialog(templateId, parent), m_scenario(std::move(scenario)) {}

    std::vector<std::string> calls;
    bool passSystemCommands = true;
    HCURSOR dragCursor = nullptr;

    using CWnd::Default;

protected:
    bool OnInitDialog() override
    {
        calls.push_back("OnInitDialog");
        CDialog::OnInitDialog();
        PostMessageA(m_hWnd, kRunScenario, 0, 0);
        SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
        return true;
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
    static constexpr UINT kRunScenario = WM_APP + 1;
    static constexpr UINT_PTR kWatchdogTimer = 1;

    LRESULT OnRunScenario(WPARAM, LPARAM)
    {
        m_scenario(*this);
        return 0;
    }
    LRESULT OnTimer(WPARAM timer, LPARAM)
    {
        if (timer != kWatchdogTimer)
            return Default();
        calls.push_back("watchdog");
        EndDialog(static_cast<int>(kWatchdogResult));
        return 0;
    }
    void OnSysCommand(UINT, LPARAM)
    {
        calls.push_back("OnSysCommand");
        if (passSystemCommands)
            Default();
    }
    HCURSOR OnQueryDragIcon() { return dragCursor; }
    void OnFirstRoutedCommand() { calls.push_back("first"); }
    void OnSecondRoutedCommand() { calls.push_back("second"); }

    Scenario m_scenario;

    BEGIN_MSG_MAP(ProbeDialog, CDialog)
        afx::OnMessage<&ProbeDialog::OnRunScenario>(kRunScenario),
        afx::OnMessage<&ProbeDialog::OnTimer>(WM_TIMER),
        afx::OnWmSysCommand<&ProbeDialog::OnSysCommand>(),
        afx::OnWmQueryDragIcon<&ProbeDialog::OnQueryDragIcon>(),
        afx::OnCommand<&ProbeDialog::OnFirstRoutedCommand>(kRoutedCommand),
        afx::OnCommand<&ProbeDialog::OnSecondRoutedCommand>(kRoutedCommand),
    END_MSG_MAP()
};
