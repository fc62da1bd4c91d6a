// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The jog coils of the manual screen, as a hand on a button holds them.
//
// A jog coil switched on must always be switched off again, and the OFF must reach the
// controller after its ON. Every send pauses first (the screen's command), and a pause
// handles events, so a release, a focus change or a message box can arrive while the press
// is still waiting to send its ON. Therefore the coil writes are not sent from the events
// themselves: the events queue them, and one loop sends them one after the other, in the
// order the hand gave them. An event that arrives while the loop is pausing only queues its
// write; the running loop sends it after the write in flight.
#include <deque>
#include <functional>

class JogHold {
public:
    // What became of one coil write: sent; not sent because the screen closed while the
    // write paused (an ON only: an OFF always goes out); or the port failed, after which
    // nothing more can reach the controller.
    enum class Result { Sent, Skipped, PortFailed };
    using Send = std::function<Result(int coil, bool on)>;
    // Whether an OFF can still reach the controller at all.
    using CanReach = std::function<bool()>;

    JogHold(Send send, CanReach canReach) : m_send(std::move(send)), m_canReach(std::move(canReach)) {}

    // The hand presses a jog button: its coil goes ON. A coil still held is let go first.
    void press(int coil);
    // The hand has left the button, for whatever reason: the held coil goes OFF. Nothing
    // happens when no coil is held, so every cause may call it.
    void letGo();
    // A coil left ON when the port failed still owes the controller its OFF: it goes out as
    // soon as the controller can be reached again.
    void settle();
    int owedCoil() const { return m_owed; }

    int heldCoil() const { return m_held; }
    // The coil whose ON has reached the port and whose OFF has not yet (0 when none).
    int coilOn() const { return m_on; }
    bool sending() const { return m_sending; }

private:
    struct Write {
        int coil;
        bool on;
    };
    void pump();

    Send m_send;
    CanReach m_canReach;
    std::deque<Write> m_queue;
    int m_held = 0;
    int m_on = 0;
    int m_owed = 0;
    bool m_sending = false;
};
