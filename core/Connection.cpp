// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Connection.h"

#include "core/ToolState.h"
#include "core/WaitGuard.h"
#include "core/ControllerStatus.h"
#include "link/ModbusLink.h"
#include "core/ProgramRead.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "link/CommPort.h"
#include "core/Notices.h"

#include <algorithm>

void Connection::commonTail()
{
    m_ctx.timers.enable(1, true);
    m_ctx.timers.enable(2, true);
    m_ctx.state.PortErrorFlag = 0;
    m_ctx.state.NoReplyTicks = 0;
}

void Connection::Cmd1Click()
{
    if (m_ctx.state.MainWaiting) {
        ProgramRead::refuseWhileLocked(m_ctx.state, m_ctx.notices);
        return;
    }
    m_ctx.timers.enable(2, false);
    m_ctx.timers.enable(1, false);
    if (m_ctx.status.connected()) {
        // Nothing is sent: the controller simply stops hearing from us. An open screen goes
        // quietly, as its return button would take it, and a transfer ends as it would on a
        // port failure.
        if (beforeDisconnect)
            beforeDisconnect();
        m_ctx.port.close();
        m_ctx.timers.enable(1, false);
        m_ctx.status.show(false);
        commonTail();
        return;
    }
    if (ConnectController() == Outcome::Connected)
        commonTail();
}

// Sends one probe and waits for its reply. Connected when this very request was answered;
// otherwise the port has been closed.
Connection::Outcome Connection::probe(int tag, int address)
{
    if (!m_ctx.link.ReadRegisters(tag, address, 1))
        return Outcome::PortFailed;
    {
        // Inside this wait: replies, the emergency stop, a jog release and closing the window
        // go on; a click that would change the program or the connection (a second "连接控制器"
        // too) is refused.
        const WaitGuard wait(m_ctx.state, m_ctx.port, WaitGuard::Lock::Program);
        if (m_ctx.link.WaitForReply(ProbeWaitMs))
            return Outcome::Connected;
    }
    if (!m_ctx.port.isOpen())
        return Outcome::PortFailed;  // the port failed meanwhile, and the user has been told
    m_ctx.status.setLabel(ControllerStatus::Label::NotConnected);
    m_ctx.port.close();
    m_ctx.notices.tell(Notice::NoController);
    return Outcome::NoController;
}

Connection::Outcome Connection::ConnectController()
{
    // The system's devices are looked up afresh: an adapter plugged in since the last attempt
    // is found.
    m_ctx.port.refreshCatalogue();
    // A port left open by a controller that went away without a word is let go first.
    m_ctx.port.close();
    bool opened = false;
    for (int n = 1; n <= MaxPort && !opened; ++n) {
        m_ctx.port.setInputLen(0);
        m_ctx.port.setSettings(QStringLiteral("19200,N,8,1"));
        m_ctx.port.setBinaryInput(true);
        m_ctx.port.setRThreshold(7);
        m_ctx.port.setCommPort(n);
        m_ctx.port.open();  // a port that does not exist is simply skipped
        opened = m_ctx.port.isOpen();
    }
    if (!opened) {
        m_ctx.notices.tell(Notice::NoPortFound);
        m_ctx.status.setLabel(ControllerStatus::Label::NotConnected);
        return Outcome::NoPort;
    }
    m_ctx.state.PortOpenFlag = 1;
    m_ctx.state.PortLostReported = false;

    for (const auto &[t, address] : {std::pair{tag::ReadRunMode, reg::PowerOnRun}, {tag::LineCount, reg::LineCount}})
        if (const Outcome o = probe(t, address); o != Outcome::Connected)
            return o;

    if (m_ctx.state.ReportedLineCount > program::MaxLines) {
        // Connected, but the stored program cannot be shown: the grid stays as it is.
        m_ctx.notices.tell(Notice::TooManyLines, m_ctx.state.ReportedLineCount);
        return Outcome::Connected;
    }
    if (confirmReplace && !confirmReplace())
        return Outcome::Connected;  // connected; the program stays as it is, to be downloaded
    // The grid takes the stored program, read block by block.
    if (beginUpload && !beginUpload(m_ctx.state.ReportedLineCount))
        return Outcome::SendFailed;
    return Outcome::Connected;
}
