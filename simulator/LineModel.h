// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's end of the serial line: bytes from the master are cut into
// requests, the requests go through fault injection to the slave, and the
// replies go back out when they are due. Time is whatever the caller says it
// is, so a run can be replayed exactly.
#pragma once

#include "Controller.h"
#include "FaultInjector.h"
#include "ModbusRtu.h"
#include "RtuFramer.h"
#include "RtuSlave.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>

namespace trelmo::sim {

// Writes bytes to the master. Returns how many were taken (fewer, even 0, when
// the device is full), or a negative number when the write failed.
using WriteBytes = std::function<long(std::span<const std::uint8_t>)>;
using LogLine = std::function<void(const std::string &)>;

// Replies on their way to the master. Each is held until it is due, then goes
// on the line after the one before it has gone: at once, or paced at one
// character time a byte.
class ReplyScheduler {
public:
    explicit ReplyScheduler(bool paced = false) : m_paced(paced) {}

    void setLog(LogLine log) { m_log = std::move(log); }

    // Replies due at the same time keep their order.
    void queue(Bytes reply, double dueMs);

    // Writes what has come due by nowMs. A reply whose write fails is lost.
    void pump(double nowMs, const WriteBytes &write);

    // When pump() has something to do next; negative when nothing waits.
    double nextMs(double nowMs) const;

private:
    struct Held {
        double dueMs;
        Bytes bytes;
    };

    bool m_paced;
    std::deque<Held> m_held;  // replies not yet due
    Bytes m_line;             // the reply being sent
    std::size_t m_sent = 0;
    double m_lineStartMs = 0;  // when its first character started
    double m_lineFreeMs = 0;   // when the reply before it ended
    LogLine m_log;
};

struct LineSettings {
    // The line model both ways: requests framed by modelled silence, replies
    // paced at one character time a byte. Otherwise frames are cut by their
    // length and replies go out at once.
    bool wireTime = false;
    std::uint32_t seed = 1;
    FaultRates rates;
};

// The framer, the fault injector, the slave and the replies together: what the
// simulator's poll loop drives with the bytes it reads and the time it is.
class SlaveLine {
public:
    SlaveLine(Controller &controller, const LineSettings &settings);

    // Frames both ways, faults and noise, for --log.
    void setLog(LogLine log);

    // Bytes read from the master at nowMs.
    void receive(std::span<const std::uint8_t> bytes, double nowMs);

    // Acts on the requests complete by nowMs and writes the reply bytes due by then.
    void service(double nowMs, const WriteBytes &write);

    // When service() has something to do next; negative when nothing waits.
    double nextMs(double nowMs) const;

    // Lets the controller's time catch up with nowMs.
    void advanceTo(double nowMs);

private:
    void handleFrame(const Bytes &frame, double nowMs);
    void logNoise();
    void log(const std::string &text) const;

    Controller &m_controller;
    RtuSlave m_slave;
    FaultInjector m_faults;
    RtuFramer m_framer;
    ReplyScheduler m_replies;
    double m_controllerMs = 0;
    LogLine m_log;
};

}  // namespace trelmo::sim
