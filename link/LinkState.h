// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the link keeps of the requests for the whole run: what was asked last, the port's flags,
// the slave, and the counts of the watchdogs. One instance, inside the tool's state.
#include <cstdint>

struct LinkState {
    std::int16_t RequestTag = 0;     // what was asked last, 0 = idle (protocol/Tags.h)
    std::uint8_t PortOpenFlag = 0;   // 1 once a port scan has opened a port
    std::int16_t PortErrorFlag = 0;  // 1 after a failed send, until the caller has seen it
    std::int16_t SlaveAddress = 1;
    std::int16_t NoReplyTicks = 0;   // sub-screen ticks without received data
    std::int16_t WatchdogTicks = 0;  // main-window watchdog ticks with a request outstanding
    // The port failed under us and the user has been told; further failed sends on the dead
    // port stay quiet until a port is opened again.
    bool PortLostReported = false;
};
