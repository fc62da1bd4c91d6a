#pragma once
// The main window's direct commands to the controller (emergency stop, power-on auto-run,
// save data) and the guards in front of the three screens.
#include <QString>
#include <array>

struct LinkState;
class CommPort;
class EmergencyStop;
class MainView;
class ModbusLink;
class Prompter;
class SubScreen;

class RunControl {
public:
    enum Screen { Manual = 0, Parameters = 1, Interpolation = 2 };

    RunControl(LinkState &state, CommPort &port, ModbusLink &link, EmergencyStop &stop, Prompter &prompter,
               MainView &view)
        : m_state(state), m_port(port), m_link(link), m_stop(stop), m_prompter(prompter), m_view(view)
    {
    }

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
    // The checks in front of a single command: the port open, no request outstanding.
    bool mayStart(const QString &portClosedMessage);
    void finishSend(bool sent);

    LinkState &m_state;
    CommPort &m_port;
    ModbusLink &m_link;
    EmergencyStop &m_stop;
    Prompter &m_prompter;
    MainView &m_view;
    std::array<SubScreen *, 3> m_screens{};
};
