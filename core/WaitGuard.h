// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One guard for every pause of the tool: a command's 50 ms before its send, a wait for a reply.
// Events go on inside a pause (a reply, a tick, a click), so whoever pauses holds one while it
// lasts:
// - a wait of the main window for a reply (a probe of the handshake, the read button's line
//   count) locks the program: a click that would change the program or the connection is refused
//   meanwhile;
// - when the pause is over, holds() says whether what it began on is still there: the same
//   opening of the port and, for a screen, the same loading of the screen. A command whose
//   window was closed, or whose port a disconnect closed, then sends nothing.
#include "core/ToolState.h"
#include "link/CommPort.h"

class WaitGuard {
public:
    enum class Lock { None, Program };

    WaitGuard(ToolState &state, const CommPort &port, Lock lock = Lock::None, const unsigned *loading = nullptr)
        : m_state(state), m_port(port), m_lock(lock), m_outer(state.MainWaiting), m_openings(port.openings()),
          m_loading(loading), m_loaded(loading ? *loading : 0)
    {
        if (lock == Lock::Program)
            state.MainWaiting = true;
    }
    ~WaitGuard()
    {
        if (m_lock == Lock::Program)
            m_state.MainWaiting = m_outer;
    }
    WaitGuard(const WaitGuard &) = delete;
    WaitGuard &operator=(const WaitGuard &) = delete;

    // The window that paused is still the one loaded.
    bool sameLoading() const { return !m_loading || *m_loading == m_loaded; }
    // ... and its port is still open, on the same opening.
    bool holds() const { return sameLoading() && m_port.isOpen() && m_port.openings() == m_openings; }

private:
    ToolState &m_state;
    const CommPort &m_port;
    Lock m_lock;
    bool m_outer;
    quint64 m_openings;
    const unsigned *m_loading;
    unsigned m_loaded;
};
