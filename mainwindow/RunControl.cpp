// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/RunControl.h"

#include "core/Command.h"
#include "link/EmergencyStop.h"
#include "core/ToolState.h"
#include "core/ControllerStatus.h"
#include "mainwindow/Mainfrm.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "screens/SubScreen.h"
#include "ui/Colors.h"
#include "ui/Widgets.h"

#include <QPushButton>
#include "link/CommPort.h"
#include "ui/Dialogs.h"
#include "core/Texts.h"
#include "link/WaitMs.h"

// A single command: refused while the port is closed or another request is outstanding;
// otherwise Timer1 stands still while RequestTag is set and the line pauses for 50 ms, so that
// no transfer block goes out meanwhile. Then `send` writes the request, unless a stop came in
// between.
void RunControl::command(const QString &portClosedMessage, int tag, const std::function<bool()> &send)
{
    m_window.HideCellEditors();
    if (!m_ctx.port.isOpen()) {
        m_prompter.message(portClosedMessage);
        return;
    }
    if (m_ctx.state.RequestTag != tag::Idle) {
        m_prompter.message(text::NotDone());
        return;
    }
    m_ctx.timers.enable(1, false);
    // After a failed send Timer1 stays off; otherwise it runs again once the reply had a
    // moment to come.
    const CommandResult result = RunCommand(m_ctx, tag, send);
    if (result == CommandResult::Failed)
        return;
    if (result == CommandResult::Sent)
        WaitMs(50);
    m_ctx.timers.enable(1, true);
}

void RunControl::EmergencyStopClick()
{
    m_window.HideCellEditors();
    if (!m_ctx.port.isOpen()) {
        m_prompter.message(text::PortInvalidCommand());
        return;
    }
    // Whatever is outstanding is abandoned; the stop goes out as soon as the line is quiet.
    m_ctx.stop.stop(tag::Stop);
}

void RunControl::SaveDataClick()
{
    command(text::PortInvalidCommand(), tag::SaveData, [this] {
        if (!m_ctx.link.SendCoilOn(tag::SaveData, reg::coil::SaveData))
            return false;
        if (!m_ctx.link.lastDropped())
            SetBackColor(m_window.Command12, colors::Green);
        return true;
    });
}

void RunControl::PowerOnRunClick()
{
    command(text::PortInvalidDownload(), tag::WriteRunMode, [this] {
        // The caption changes once the write has gone to the line, before the controller
        // acknowledges it.
        const bool on = !m_ctx.status.autoRun();
        if (!m_ctx.link.SendRegister(tag::WriteRunMode, reg::PowerOnRun, on ? 1 : 0))
            return false;
        m_ctx.link.whenWritten(&m_ctx.status, [this, on] { m_ctx.status.setAutoRun(on); });
        return true;
    });
}

void RunControl::OpenScreen(Screen which)
{
    m_window.HideCellEditors();
    if (m_ctx.status.autoRun()) {
        m_prompter.message(
            QCoreApplication::translate("Trelmo", "请将运行设置：更改为上电不自动运行，再进入参数设置界面！"));
        return;
    }
    if (!m_ctx.port.isOpen()) {
        m_prompter.message(QCoreApplication::translate("Trelmo", "串口无效！"));
        return;
    }
    m_ctx.state.RequestTag = tag::Idle;
    SubScreen *chosen = m_screens[which];
    if (!chosen)
        return;
    chosen->showScreen();
    // Another screen opened while this one paused in its loading has taken its place: that
    // one stays, and this click has nothing left to do.
    if (!chosen->isLoaded())
        return;
    // The other two are unloaded in the fixed order: manual, parameters, interpolation.
    for (int other = Manual; other <= Interpolation; ++other)
        if (other != which && m_screens[other])
            m_screens[other]->unloadScreen();
}
