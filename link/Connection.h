#pragma once
// Finding the controller: the ports 1 to 20 are tried in turn, the first that opens is
// kept, and two registers are read to prove that a controller answers. On success the grid
// is laid out for the stored program and its first block is asked for.

#include "link/LinkContext.h"

class Connection {
public:
    explicit Connection(const LinkContext &ctx) : m_ctx(ctx) {}

    // NoController also covers a failed send; either way the port has been closed again.
    enum class Outcome { NoPort, NoController, SendFailed, Connected };

    // The port scan and handshake. At start-up the caller has already stopped the timers
    // and takes care of the tail itself.
    Outcome ConnectController();
    // The connect button: disconnects when connected, else connects.
    void Cmd1Click();

    static constexpr int MaxPort = 20;
    static constexpr double ProbeWaitMs = 300;

private:
    bool probe(int tag, int address);
    void commonTail();

    LinkContext m_ctx;
};
