// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ToolCore.h"

#include "protocol/Tags.h"

ToolCore::ToolCore(ToolState &state_, std::function<QStringList()> catalogue)
    : state(state_), program(state_), link(state_, port), stop(link, port),
      ctx{state_, port, link, stop, notices, status, program, timers}, receive(ctx),
      connection(ctx), transfer(ctx), verify(ctx), traffic(ctx)
{
    port.setObjectName(QStringLiteral("MSComm"));
    port.setCatalogueSource(std::move(catalogue));
    for (int n : {1, 2}) {
        QTimer &t = timers.timer(n);
        t.setObjectName(n == 1 ? QStringLiteral("Timer1") : QStringLiteral("Timer2"));
        t.setInterval(100);
    }
    connect(&timers.Timer1, &QTimer::timeout, this, &ToolCore::onTimer1);
    connect(&timers.Timer2, &QTimer::timeout, &receive, &ReceiveHandler::watchdogTick);
    connect(&port, &CommPort::received, &receive, &ReceiveHandler::onReceive);
    // The port failed under us (the adapter was pulled out): the one path of a lost port.
    connect(&port, &CommPort::failed, &link, &ModbusLink::lost);
    connect(&link, &ModbusLink::portLost, this, &ToolCore::onPortLost);
    connect(&stop, &EmergencyStop::givenUp, this, [this] { notices.tell(Notice::StopUnconfirmed); });
    connect(&receive, &ReceiveHandler::accepted, &transfer, &Transfer::replyAccepted);
    connect(&receive, &ReceiveHandler::accepted, &verify, &Verify::replyAccepted);
    // A stop ends a verify at once.
    connect(&stop, &EmergencyStop::sent, &verify, &Verify::checkEnded);
    // A connection reads the stored program into the tool, unless the front end says otherwise.
    connection.beginUpload = [this](int lines) { return transfer.beginUpload(lines); };
}

Connection::Outcome ToolCore::start()
{
    timers.enable(2, false);
    timers.enable(1, false);
    state.SlaveAddress = 1;
    const Connection::Outcome outcome = connection.ConnectController();
    switch (outcome) {
    case Connection::Outcome::Connected:
        timers.enable(1, true);
        timers.enable(2, true);
        state.PortErrorFlag = 0;
        state.NoReplyTicks = 0;
        break;
    case Connection::Outcome::NoPort:
        status.setLabel(ControllerStatus::Label::NotConnected);
        timers.enable(1, true);
        state.PortErrorFlag = 0;
        break;
    default: break;  // the port is closed again; both timers stay off
    }
    return outcome;
}

void ToolCore::onTimer1()
{
    const bool goOn = transfer.timerStep();
    verify.checkEnded();
    if (goOn)
        emit ticked();
}

// A lost port (a send that failed, or the port failing under us): "not connected", the user
// told once, and a transfer or a verify on its way ends as cut short.
void ToolCore::onPortLost(bool reported, int tag)
{
    status.show(false);
    if (!reported)
        notices.tell(Notice::PortLost);
    transfer.portFailed(tag);
    verify.portFailed();
    transfer.checkEnded();
}
