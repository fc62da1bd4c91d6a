// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the controller: the ports 1 to 20 are tried in turn, the first that opens is
// kept, and two registers are read to prove that a controller answers. On success the grid
// is laid out for the stored program and its first block is asked for.

#include "core/ToolContext.h"
#include <functional>

class Connection {
public:
    explicit Connection(const ToolContext &ctx) : m_ctx(ctx) {}

    // No port opens; one opens but no controller answers; the port failed (a send, or the port
    // itself, under a probe); the first block of the stored program could not be asked for.
    // Except when connected, the port has been closed again.
    enum class Outcome { NoPort, NoController, PortFailed, SendFailed, Connected };

    // The port scan and handshake. At start-up the caller has already stopped the timers
    // and takes care of the tail itself.
    Outcome ConnectController();
    // The connect button: disconnects when connected, else connects.
    void Cmd1Click();

    // The grid takes the controller's program of `lines` lines (false when the first block
    // could not be asked for), and what a user's disconnect must end first.
    std::function<bool(int lines)> beginUpload;
    // Asked once a controller answers, before its program replaces the one in the tool: false
    // keeps the program (and the connection) as they are.
    std::function<bool()> confirmReplace;
    std::function<void()> beforeDisconnect;

    static constexpr int MaxPort = 20;
    static constexpr double ProbeWaitMs = 300;

private:
    Outcome probe(int tag, int address);
    void commonTail();

    ToolContext m_ctx;
};
