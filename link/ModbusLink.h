// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one request path. Every request is built in one transmit buffer for SlaveAddress, gets
// its CRC, and goes to the port in one write; the same call sets RequestTag, and the receive
// threshold to the length of the reply that this frame asks for. No sender waits for the
// reply. A failed send takes the one error path: the request is forgotten (RequestTag 0,
// PortErrorFlag 0), the port closed, and portLost() tells whoever shows it ("串口出错！", "not
// connected"); the sender then returns false.
//
// The emergency stop is a barrier in this path. From the moment it is sent until the
// controller echoes it or it is given up, nothing but the stop and coil OFF frames (a jog or an
// output switched off) goes out; frames waiting for the line are dropped, but OFFs, which
// follow the stop. A command is set up (its tag set) before the pause that precedes its send:
// a command set up before a stop is dropped when it comes to send, whenever that is. A dropped
// request changes nothing: RequestTag stays with the stop, and the sender returns true with
// lastDropped() set.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "link/Framer.h"
#include "link/LinkState.h"
#include "protocol/Frames.h"

class CommPort;

class ModbusLink : public QObject {
    Q_OBJECT
public:
    ModbusLink(LinkState &state, CommPort &port);

    // Function 03: `count` holding registers at `address`.
    bool ReadRegisters(int tag, int address, int count);
    // The same from another slave (the read button asks slave 1 for the line count).
    bool ReadRegistersFrom(int slave, int tag, int address, int count);
    // Function 05: one coil ON (FF00) or OFF (0000).
    bool SendCoilOn(int tag, int coil);
    bool SendCoilOff(int tag, int coil);
    // Function 06: one register.
    bool SendRegister(int tag, int address, int value);
    // Function 16: data.size() / 2 registers from `start`, each register high byte first.
    bool WriteRegisters(int tag, int start, std::span<const std::uint8_t> data);
    // Coil 16 ON, the emergency stop: whatever is on its way is abandoned (see above), and
    // the stop goes out ahead of anything waiting for the line.
    bool SendStop(int tag);
    // The same frame once more, without touching RequestTag (an unanswered stop).
    bool ResendStop();

    // A command about to pause before its send: RequestTag := tag, and the stops sent so far.
    struct Setup {
        int tag = 0;
        std::uint32_t stops = 0;
    };
    Setup setUp(int tag);
    // Runs `send` (which calls one sender) as the send of the command set up as `setup`.
    bool sendFor(const Setup &setup, const std::function<bool()> &send);
    std::uint32_t stopsSent() const { return m_stops; }
    // The last request was not sent: the stop's barrier held it back.
    bool lastDropped() const { return m_lastDropped; }
    // No frame but the stop and OFFs may go out now.
    bool barrierUp() const { return stopAwaited(); }

    // Runs `then` once the request just sent has been handed to the device (not when it is
    // merely queued); never when it is dropped or the port closes first. `context` going away
    // cancels it.
    void whenWritten(QObject *context, std::function<void()> then);

    // Waits `ms`, handling events, for the reply to the request just sent. True when that
    // very reply was accepted, whatever else happened meanwhile.
    bool WaitForReply(double ms);
    // The same, but over as soon as that reply has been accepted, or the port has closed.
    bool WaitForAnswer(double ms);


    // What the receive handler needs to know about the requests on their way.
    struct Request {
        int tag = 0;
        QByteArray frame;
        std::uint32_t serial = 0;
        bool answered = false;
        bool written = false;
    };
    const Request &current() const { return m_current; }
    // Requests somebody is waiting for (WaitForReply), innermost last.
    std::vector<Request> &awaited() { return m_awaited; }
    void markAnswered(std::uint32_t serial);

    // A reply the framer has cut that answers a request still waited for: the request outstanding,
    // one somebody waits for, the one a stop overtook on the wire, or the stop's echo. The
    // receive handler takes them, in the order they came, at the port's receive event.
    struct Delivery {
        std::uint32_t serial;
        QByteArray frame;
    };
    std::vector<Delivery> takeDeliveries() { return std::exchange(m_deliveries, {}); }
    // The stop's echo: awaited from the stop's send until it comes or the stop is given up.
    void setStopAwaited(bool on);
    bool stopAwaited() const { return !m_stopEcho.isEmpty(); }
    const QByteArray &stopEcho() const { return m_stopEcho; }
    std::function<void()> stopConfirmed;
    // The reply to the request that was on the wire when the stop went out: its bytes still
    // come first, and are taken by its length, so that the echo is found at a frame boundary.
    const std::optional<Request> &abandoned() const { return m_abandoned; }
    void clearAbandoned() { m_abandoned.reset(); }
    // The stop's echo has been found at the start of the bytes received.
    void confirmStop();
    // Sets the receive threshold for what is still expected.
    void armReceive();
    // Throws away every byte waiting at the port or held back here.
    void discardInput();

    // The one reading of the line, and its events.
    Framer &framer() { return m_framer; }
    const Framer &framer() const { return m_framer; }

    const QByteArray &TxFrame() const { return m_tx; }
    std::uint8_t CrcLo() const { return m_crcLo; }
    std::uint8_t CrcHi() const { return m_crcHi; }

signals:
    // For listeners only (the traffic record); nothing here depends on them.
    // A request goes to the port as `serial` (the id it is written with) under `tag`.
    void sending(quint32 serial, int tag);
    // A send took the error path.
    void sendFailed(int tag);
    // The port failed under a send (or under us: lost()): the request outstanding (`tag`) is
    // forgotten and the port closed. `reported`: the loss has been told of already.
    void portLost(bool reported, int tag);
    // A watchdog has given the request outstanding up and thrown away what waited at the port.
    void givenUp();
    // The reply to the request of `serial` has been accepted.
    void answered(std::uint32_t serial);
    // The controller refused the request outstanding (sent under `tag`) with an exception reply
    // (its function code with the high bit set, and `code`). The window's reply handling takes no
    // notice of it (the watchdog gives the request up); the command line ends the operation.
    void exceptionReceived(int tag, int code);

private:
    bool request(int tag, bool built, bool urgent = false);
    void ComputeCrc();
    bool fail();
    void forget(std::optional<bool> reported = std::nullopt);
public:
    // The port failed under us (the adapter was pulled out): the one path of a lost port, as a
    // failed send takes it; the port is closed already.
    void lost();
private:
    void frameWritten(quint32 id);
    void cut(quint32 serial, const QByteArray &frame, std::uint16_t faults);

    LinkState &m_state;
    CommPort &m_port;
    Framer m_framer;
    QByteArray m_tx;
    std::uint8_t m_crcLo = 0;
    std::uint8_t m_crcHi = 0;
    Request m_current;
    std::vector<Request> m_awaited;
    std::uint32_t m_serial = 0;
    std::vector<Delivery> m_deliveries;
    QByteArray m_stopEcho;
    std::optional<Request> m_abandoned;
    std::uint32_t m_stops = 0;
    const Setup *m_sendingFor = nullptr;
    bool m_lastDropped = false;
    struct Pending {
        std::uint32_t serial;
        QPointer<QObject> context;
        std::function<void()> then;
    };
    std::vector<Pending> m_whenWritten;
};
