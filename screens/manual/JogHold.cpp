// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/manual/JogHold.h"

void JogHold::press(int coil)
{
    settle();
    if (m_held)
        letGo();
    m_held = coil;
    m_queue.push_back({coil, true});
    pump();
}

void JogHold::letGo()
{
    if (!m_held)
        return;
    m_queue.push_back({m_held, false});
    m_held = 0;
    pump();
}

void JogHold::settle()
{
    if (!m_owed || !m_canReach())
        return;
    m_queue.push_front({m_owed, false});
    m_on = m_owed;
    m_owed = 0;
    pump();
}

void JogHold::pump()
{
    // A loop further down the stack is pausing before its send; it takes this write next.
    if (m_sending)
        return;
    m_sending = true;
    while (!m_queue.empty()) {
        const Write w = m_queue.front();
        m_queue.pop_front();
        // Only a coil that went on needs its OFF. After a port failure the port is closed:
        // the OFF cannot reach the controller now, and is owed until it can.
        if (!w.on && (m_on != w.coil || !m_canReach())) {
            if (m_on == w.coil) {
                m_owed = m_on;
                m_on = 0;
            }
            continue;
        }
        const Result result = m_send(w.coil, w.on);
        if (result == Result::Skipped) {
            // The screen closed while this ON paused: the coil never went on, and the hand
            // cannot hold a button of a closed screen.
            m_held = 0;
            continue;
        }
        if (result == Result::PortFailed) {
            // The port is closed now; nothing queued can go out, and no button is held as far
            // as the controller can be told. A coil left on owes its OFF.
            m_queue.clear();
            m_held = 0;
            if (m_on)
                m_owed = m_on;
            m_on = 0;
            break;
        }
        if (w.on)
            m_on = w.coil;
        else if (m_on == w.coil)
            m_on = 0;
    }
    m_sending = false;
}
