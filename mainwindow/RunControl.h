// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's direct commands to the controller (emergency stop, power-on auto-run,
// save data) and the guards in front of the three screens.
#include "core/ToolContext.h"
#include <QString>
#include <array>
#include <functional>

class Mainfrm;
class Prompter;
class SubScreen;

class RunControl {
public:
    enum Screen { Manual = 0, Parameters = 1, Interpolation = 2 };

    RunControl(const ToolContext &ctx, Prompter &prompter, Mainfrm &window)
        : m_ctx(ctx), m_prompter(prompter), m_window(window)
    {}

    void setScreen(Screen which, SubScreen *screen) { m_screens[which] = screen; }
    SubScreen *screen(Screen which) const { return m_screens[which]; }

    // "系统急停": coil 16, never refused while the port is open.
    void EmergencyStopClick();
    // "控制器存数据": coil 34.
    void SaveDataClick();
    // The power-on auto-run button: toggles register 8573.
    void PowerOnRunClick();
    // "手动操作界面", "参数配置界面", "插补操作界面".
    void OpenScreen(Screen which);

private:
    void command(const QString &portClosedMessage, int tag, const std::function<bool()> &send);

    ToolContext m_ctx;
    Prompter &m_prompter;
    Mainfrm &m_window;
    std::array<SubScreen *, 3> m_screens{};
};
