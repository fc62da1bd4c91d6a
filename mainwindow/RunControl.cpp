#include "mainwindow/RunControl.h"

#include "link/EmergencyStop.h"
#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "link/Tags.h"
#include "screens/SubScreen.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/Texts.h"
#include "ui/WaitMs.h"

bool RunControl::mayStart(const QString &portClosedMessage)
{
    m_view.HideCellEditors();
    if (!m_port.isOpen()) {
        m_prompter.message(portClosedMessage);
        return false;
    }
    if (m_state.RequestTag != tag::Idle) {
        m_prompter.message(text::NotDone());
        return false;
    }
    return true;
}

// After a command has gone out, Timer1 runs again once the reply had a moment to come; after
// a failed send it stays off.
void RunControl::finishSend(bool sent)
{
    if (!sent)
        return;
    WaitMs(50);
    m_view.setTimer1Enabled(true);
}

void RunControl::EmergencyStopClick()
{
    m_view.HideCellEditors();
    if (!m_port.isOpen()) {
        m_prompter.message(text::PortInvalidCommand());
        return;
    }
    // Whatever is outstanding is abandoned; the stop goes out as soon as the line is quiet.
    m_stop.stop(tag::Stop);
}

void RunControl::SaveDataClick()
{
    if (!mayStart(text::PortInvalidCommand()))
        return;
    m_view.setTimer1Enabled(false);
    m_state.RequestTag = tag::SaveData;
    WaitMs(50);
    const bool sent = m_link.SendCoilOn(tag::SaveData, reg::coil::SaveData);
    if (sent)
        m_view.setButtonColor(MainView::Button::Command12, colors::Green);
    finishSend(sent);
}

void RunControl::PowerOnRunClick()
{
    if (!mayStart(text::PortInvalidDownload()))
        return;
    m_view.setTimer1Enabled(false);
    m_state.RequestTag = tag::WriteRunMode;
    WaitMs(50);
    // The caption changes before the controller acknowledges.
    const QString caption = m_view.runModeCaption();
    bool sent = true;
    if (caption == text::AutoRunOff()) {
        m_view.setRunModeCaption(text::AutoRunOn());
        sent = m_link.SendRegister(tag::WriteRunMode, reg::PowerOnRun, 1);
    } else if (caption == text::AutoRunOn()) {
        m_view.setRunModeCaption(text::AutoRunOff());
        sent = m_link.SendRegister(tag::WriteRunMode, reg::PowerOnRun, 0);
    }
    finishSend(sent);
}

void RunControl::OpenScreen(Screen which)
{
    m_view.HideCellEditors();
    if (m_view.runModeCaption() == text::AutoRunOn()) {
        m_prompter.message(
            QCoreApplication::translate("Trelmo", "请将运行设置：更改为上电不自动运行，再进入参数设置界面！"));
        return;
    }
    if (!m_port.isOpen()) {
        m_prompter.message(QCoreApplication::translate("Trelmo", "串口无效！"));
        return;
    }
    m_state.RequestTag = tag::Idle;
    if (SubScreen *s = m_screens[which])
        s->showScreen();
    // The other two are unloaded in the fixed order: manual, parameters, interpolation.
    for (int other = Manual; other <= Interpolation; ++other)
        if (other != which && m_screens[other])
            m_screens[other]->unloadScreen();
}
