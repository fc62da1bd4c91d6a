// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The emergency stop (coil 16 ON) of the main window, the manual screen and the
// interpolation screen. It is never refused while the port is open: whatever request is
// outstanding is abandoned, and the stop goes out as soon as the line is quiet, ahead of
// anything else waiting for it. Its echo is awaited like any reply; unanswered after 300 ms
// it is sent again, three sends in all, and then it is given up (the user is told).
#include <QObject>
#include <QTimer>

class CommPort;
class ModbusLink;

class EmergencyStop : public QObject {
    Q_OBJECT
public:
    static constexpr int ResendMs = 300;
    static constexpr int MaxSends = 3;

    EmergencyStop(ModbusLink &link, CommPort &port);

    // Sends the stop under `tag` (tag::Stop, tag::ManualCoil or tag::InterpStop). False when
    // the send failed (the error path has run).
    bool stop(int tag);
    bool pending() const;
    int sends() const { return m_sends; }

signals:
    // The stop of `tag` has gone out (its first send), and the controller has echoed it.
    void sent(int tag);
    void confirmed(int tag);
    // The stop of `tag` has gone out three times unechoed.
    void givenUp(int tag);

private:
    void onConfirmed();
    void resend();
    void cancel();

    ModbusLink &m_link;
    CommPort &m_port;
    QTimer m_timer;
    int m_tag = 0;
    int m_sends = 0;
};
