#include "mainwindow/RunControl.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/SubScreen.h"
#include "ui/WaitMs.h"

namespace {
const QString AutoRunOn = QStringLiteral("上电自运行");
const QString AutoRunOff = QStringLiteral("上电后不自动运行");
const QString NotDone = QStringLiteral("此次操作没有成功！");
}  // namespace

void RunControl::finishSend(bool reenableTimer)
{
    if (m_link.SendFailed())
        return;
    WaitMs(50);
    if (reenableTimer)
        m_view.setTimer1Enabled(true);
}

void RunControl::EmergencyStopClick()
{
    m_view.HideCellEditors();
    if (!m_port.isOpen()) {
        m_prompter.message(QStringLiteral("串口无效，无法通信！"));
        return;
    }
    // An emergency stop is never refused: whatever is outstanding is abandoned, as the
    // watchdog would, and the stop goes out at once.
    if (m_state.RequestTag != 0) {
        m_port.readAll();
        m_state.WatchdogTicks = 0;
    }
    m_view.setTimer1Enabled(false);
    m_state.RequestTag = 13;
    m_port.setRThreshold(8);
    m_link.SendCoilOn(m_state.SlaveAddress, reg::coil::EmergencyStop);
    if (m_state.PortErrorFlag != 1)
        m_view.setButtonColor(MainView::Button::Command14, colors::Green);
    finishSend(true);
}

void RunControl::SaveDataClick()
{
    m_view.HideCellEditors();
    if (!m_port.isOpen()) {
        m_prompter.message(QStringLiteral("串口无效，无法通信！"));
        return;
    }
    if (m_state.RequestTag != 0) {
        m_prompter.message(NotDone);
        return;
    }
    m_view.setTimer1Enabled(false);
    m_state.RequestTag = 10;
    WaitMs(50);
    m_port.setRThreshold(8);
    m_link.SendCoilOn(m_state.SlaveAddress, reg::coil::SaveData);
    if (m_state.PortErrorFlag != 1)
        m_view.setButtonColor(MainView::Button::Command12, colors::Green);
    finishSend(true);
}

void RunControl::PowerOnRunClick()
{
    m_view.HideCellEditors();
    if (!m_port.isOpen()) {
        m_prompter.message(QStringLiteral("串口无效，无法下载！"));
        return;
    }
    if (m_state.RequestTag != 0) {
        m_prompter.message(NotDone);
        return;
    }
    m_view.setTimer1Enabled(false);
    m_state.RequestTag = 11;
    WaitMs(50);
    // The caption changes before the controller acknowledges.
    const QString caption = m_view.runModeCaption();
    if (caption == AutoRunOff) {
        m_view.setRunModeCaption(AutoRunOn);
        m_port.setRThreshold(8);
        m_link.SendRegister(m_state.SlaveAddress, reg::PowerOnRun, 1);
    } else if (caption == AutoRunOn) {
        m_view.setRunModeCaption(AutoRunOff);
        m_port.setRThreshold(8);
        m_link.SendRegister(m_state.SlaveAddress, reg::PowerOnRun, 0);
    }
    finishSend(true);
}

void RunControl::OpenScreen(Screen which)
{
    m_view.HideCellEditors();
    if (m_view.runModeCaption() == AutoRunOn) {
        m_prompter.message(QStringLiteral("请将运行设置：更改为上电不自动运行，再进入参数设置界面！"));
        return;
    }
    if (!m_port.isOpen()) {
        m_prompter.message(QStringLiteral("串口无效！"));
        return;
    }
    m_state.RequestTag = 0;
    if (SubScreen *s = m_screens[which])
        s->showScreen();
    // The other two are unloaded in the fixed order: manual, parameters, interpolation.
    for (int other = Manual; other <= Interpolation; ++other)
        if (other != which && m_screens[other])
            m_screens[other]->unloadScreen();
}
