#include "link/Connection.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/ProgramRead.h"
#include "link/RegisterMap.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/NumberText.h"
#include "ui/WaitMs.h"

#include <algorithm>

namespace {
const QString NotConnected = QStringLiteral("控制器没有连接！");
const QString ConnectCaption = QStringLiteral("连接控制器");
const QString DisconnectCaption = QStringLiteral("断开控制器");
}  // namespace

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
    if (m_view.connectCaption() == DisconnectCaption) {
        // Nothing is sent: the controller simply stops hearing from us.
        m_port.close();
        m_view.setTimer1Enabled(false);
        m_view.setConnectCaption(ConnectCaption);
        m_view.setConnectionLabel(NotConnected);
        commonTail();
        return;
    }
    if (m_view.connectCaption() == ConnectCaption && ConnectController() == Outcome::Connected)
        commonTail();
}

// Sends one probe and waits for the reply handler to move the tag on. Returns false (with
// the port closed) when the send failed or nothing answered.
bool Connection::probe(int tag, int address)
{
    m_state.RequestTag = std::int16_t(tag);
    m_link.ReadRegisters(m_state.SlaveAddress, address, 1);
    WaitMs(ProbeWaitMs);
    if (m_link.SendFailed())
        return false;
    if (m_state.RequestTag == tag) {
        m_view.setConnectionLabel(NotConnected);
        m_port.close();
        m_prompter.message(QStringLiteral("串口存在，但控制器没有连接上！"));
        return false;
    }
    return true;
}

Connection::Outcome Connection::ConnectController()
{
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
        m_prompter.message(QStringLiteral("没有找到有效的串口！"), Prompter::Buttons::Ok, QStringLiteral(""));
        m_view.setConnectionLabel(NotConnected);
        return Outcome::NoPort;
    }
    m_state.PortOpenFlag = 1;
    m_state.PortLostReported = false;

    if (!probe(12, reg::PowerOnRun) || !probe(1, reg::LineCount))
        return Outcome::NoController;

    if (m_state.RejectedLineCount) {
        // Connected, but the stored program cannot be shown: the grid stays as it is.
        ProgramRead::reportRejectedCount(m_state, m_prompter);
        return Outcome::Connected;
    }
    // Lay the grid out for the stored program and start reading it.
    const int lines = int(std::clamp(NumericValue(m_view.lineCountText()), -1.0, double(reg::MaxLines)));
    ProgramRead::layoutRows(m_view, lines);
    if (!ProgramRead::requestFirstBlock(m_state, m_port, m_link, m_view, lines))
        return Outcome::SendFailed;
    return Outcome::Connected;
}
