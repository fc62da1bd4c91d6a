#include "link/Connection.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/ProgramRead.h"
#include "link/RegisterMap.h"
#include "link/Tags.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/NumberText.h"
#include "ui/Texts.h"

#include <algorithm>

void Connection::commonTail()
{
    m_view.setTimer1Enabled(true);
    m_view.setTimer2Enabled(true);
    m_state.PortErrorFlag = 0;
    m_state.NoReplyTicks = 0;
}

void Connection::Cmd1Click()
{
    m_view.HideCellEditors();
    m_view.setTimer2Enabled(false);
    m_view.setTimer1Enabled(false);
    if (m_view.connectCaption() == text::Disconnect()) {
        // Nothing is sent: the controller simply stops hearing from us.
        m_port.close();
        m_view.setTimer1Enabled(false);
        m_view.setConnectCaption(text::Connect());
        m_view.setConnectionLabel(text::NotConnected());
        commonTail();
        return;
    }
    if (m_view.connectCaption() == text::Connect() && ConnectController() == Outcome::Connected)
        commonTail();
}

// Sends one probe and waits for its reply. Returns false (with the port closed) when the
// send failed or nothing answered this very request.
bool Connection::probe(int tag, int address)
{
    if (!m_link.ReadRegisters(tag, address, 1))
        return false;
    if (m_link.WaitForReply(ProbeWaitMs))
        return true;
    if (!m_port.isOpen())
        return false;  // the port failed meanwhile, and the user has been told
    m_view.setConnectionLabel(text::NotConnected());
    m_port.close();
    m_prompter.message(text::NoController());
    return false;
}

Connection::Outcome Connection::ConnectController()
{
    // The system's devices are looked up afresh: an adapter plugged in since the last attempt
    // is found.
    m_port.refreshCatalogue();
    // A port left open by a controller that went away without a word is let go first.
    m_port.close();
    bool opened = false;
    for (int n = 1; n <= MaxPort && !opened; ++n) {
        m_port.setInputLen(0);
        m_port.setSettings(QStringLiteral("19200,N,8,1"));
        m_port.setBinaryInput(true);
        m_port.setRThreshold(7);
        m_port.setCommPort(n);
        m_port.open();  // a port that does not exist is simply skipped
        opened = m_port.isOpen();
    }
    if (!opened) {
        m_prompter.message(QCoreApplication::translate("Trelmo", "没有找到有效的串口！"), Prompter::Buttons::Ok,
                           QStringLiteral(""));
        m_view.setConnectionLabel(text::NotConnected());
        return Outcome::NoPort;
    }
    m_state.PortOpenFlag = 1;
    m_state.PortLostReported = false;

    if (!probe(tag::ReadRunMode, reg::PowerOnRun) || !probe(tag::LineCount, reg::LineCount))
        return Outcome::NoController;

    if (m_state.RejectedLineCount) {
        // Connected, but the stored program cannot be shown: the grid stays as it is.
        ProgramRead::reportRejectedCount(m_state, m_prompter);
        return Outcome::Connected;
    }
    // Lay the grid out for the stored program and start reading it.
    const int lines = int(std::clamp(NumericValue(m_view.lineCountText()), -1.0, double(program::MaxLines)));
    m_view.layoutProgramRows(lines);
    if (!ProgramRead::requestFirstBlock(m_state, m_link, m_view, lines))
        return Outcome::SendFailed;
    return Outcome::Connected;
}
