// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool without its windows: the port, the request path and the reply handler, the
// emergency stop, finding the controller, the program and its transfers, and the two link
// timers they run on. The main window and the command line are two front ends on it: they show
// its state and pass the user's requests in.
#include <QObject>
#include <QStringList>
#include <functional>

#include "core/Connection.h"
#include "core/Notices.h"
#include "core/ControllerStatus.h"
#include "core/ProgramModel.h"
#include "core/ReceiveHandler.h"
#include "core/ToolContext.h"
#include "core/ToolState.h"
#include "core/Traffic.h"
#include "core/Transfer.h"
#include "core/Verify.h"
#include "link/CommPort.h"
#include "link/EmergencyStop.h"
#include "link/ModbusLink.h"

class ToolCore : public QObject {
    Q_OBJECT
public:
    // `catalogue` gives the devices that port numbers 1 to 20 stand for; it is asked afresh at
    // every connect.
    ToolCore(ToolState &state, std::function<QStringList()> catalogue);

    // The start-up connect: port scan, handshake, the read of the stored program, the timers.
    Connection::Outcome start();

    ToolState &state;
    // What the operations have to tell the user, for the front end to put into words.
    Notices notices;
    CommPort port;
    LinkTimers timers;
    ControllerStatus status;
    ProgramModel program;
    ModbusLink link;
    EmergencyStop stop;
    ToolContext ctx;
    ReceiveHandler receive;
    Connection connection;
    Transfer transfer;
    Verify verify;
    // Every frame on the line, from start-up on, for the traffic monitor and --trace.
    Traffic traffic;

signals:
    // Timer1 has taken the transfers a step further, and the tick goes on (it ends at once when
    // a send failed and the port was closed).
    void ticked();

private:
    void onTimer1();
    void onPortLost(bool reported, int tag);
};
