// A dialog of the class library's (`Base`: CDialog or one of the program's)
// that runs a test's scenario inside its own modal loop once it is open, and
// a watchdog that ends it with kWatchdogResult should the scenario leave it
// open. `Self` is the class the scenario is given.
#pragma once

#include "afx/dialog.h"

#include <functional>
#include <utility>

constexpr INT_PTR kWatchdogResult = -2;

template <class Self, class Base>
class ScenarioDialog : public Base {
public:
    using Scenario = std::function<void(Self&)>;

    template <class... BaseArguments>
    explicit ScenarioDialog(Scenario scenario, BaseArguments&&... arguments)
        : Base(std::forward<BaseArguments>(arguments)...), m_scenario(std::move(scenario))
    {
    }

protected:
    bool OnInitDialog() override
    {
        const bool focusFirst = Base::OnInitDialog();
        PostMessageA(this->m_hWnd, kRunScenario, 0, 0);
        SetTimer(this->m_hWnd, kWatchdogTimer, 10000, nullptr);
        return focusFirst;
    }
    bool OnWndMsg(const afx::Message& message, LRESULT& result) override
    {
        if (message.id == kRunScenario) {
            m_scenario(static_cast<Self&>(*this));
            return true;
        }
        if (message.id == WM_TIMER && message.wParam == kWatchdogTimer) {
            this->EndDialog(static_cast<int>(kWatchdogResult));
            return true;
        }
        return Base::OnWndMsg(message, result);
    }

private:
    static constexpr UINT kRunScenario = WM_APP + 1;
    static constexpr UINT_PTR kWatchdogTimer = 1;
    Scenario m_scenario;
};
