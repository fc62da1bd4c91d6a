// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything that talks to the controller works with the same few objects, all owned by the
// tool's core: the shared state, the port, the request path, the emergency stop, what is to be
// told to the user, what is known of the controller, the program, and the two link timers.
#include <QTimer>

struct ToolState;
class CommPort;
class ControllerStatus;
class EmergencyStop;
class ModbusLink;
class ProgramModel;
class Notices;

// The link's two timers (100 ms each): Timer1 takes the block transfers a step further, Timer2
// is the watchdog of the main window's requests.
struct LinkTimers {
    QTimer Timer1, Timer2;
    QTimer &timer(int n) { return n == 1 ? Timer1 : Timer2; }
    // Enabling a timer that was off starts its period afresh; one that runs keeps its period.
    void enable(int n, bool on)
    {
        if (on && !timer(n).isActive())
            timer(n).start();
        else if (!on)
            timer(n).stop();
    }
};

struct ToolContext {
    ToolState &state;
    CommPort &port;
    ModbusLink &link;
    EmergencyStop &stop;
    Notices &notices;
    ControllerStatus &status;
    ProgramModel &program;
    LinkTimers &timers;
};
