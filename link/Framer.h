// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one reading of the line. Every byte read from the port is cut into frames here, once, by
// what the requests on their way asked for and by the CRC, as it comes: the reply to a request
// (or its exception reply, or a frame of another length), a reply that comes after its request
// was given up (late), a frame that answers nothing asked, and bytes that make no frame. What
// happened is reported as events, with the time it happened: a frame written to the device, a
// frame received and what it answers, a request that got no reply, a port error. The request
// path takes the replies it waits for from here; the traffic record only listens.
//
// Where bytes that make no frame end is decided here too: bytes that begin no reply asked for
// are taken as they are after 50 ms of silence; the rest of a late reply may take a second (a
// tool kept busy for a moment must not cut it in two), and a reply asked for waits for its bytes,
// the next request or the watchdog.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

// What happened on the line.
struct LinkEvent {
    enum class Kind : std::uint8_t { Written, Received, NoReply, PortError };
    // What is wrong with a frame; one bit each.
    enum Fault : std::uint16_t {
        CrcError = 1 << 0,     // a reply of the length asked for whose CRC fails
        WrongLength = 1 << 1,  // a whole frame, good CRC, not of the length asked for
        Exception = 1 << 2,    // an exception reply
        NoFrame = 1 << 3,      // bytes that make no frame: a broken or merged frame, noise
        NoReply = 1 << 4,      // no reply before the next request, the watchdog, or the stop's last send
        Late = 1 << 5,         // the reply to a request given up already
        Unexpected = 1 << 6,   // a whole frame that answers nothing asked: another slave, function or echo
        Resent = 1 << 7,       // the stop sent again, unechoed
        PortError = 1 << 8,    // the port failed under us, or a send was refused
    };
    static constexpr int FaultKinds = 9;

    Kind kind = Kind::Written;
    qint64 ns = 0;             // when, on the framer's clock
    QByteArray bytes;          // the frame written or received
    // Written: the request's id (a stop sent again: the stop's); Received: the request it
    // answers (0: none); NoReply: the request given up.
    quint32 request = 0;
    std::uint16_t faults = 0;
    std::uint8_t send = 0;     // Written: the stop's send, 1 to 3; 0 for other frames
    int expected = 0;          // Received: the length its request asked for
    qint64 requestNs = 0;      // Received: when its request (its last send) went out
    int tag = -1;              // PortError: the tag of the request outstanding
};

class Framer : public QObject {
    Q_OBJECT
public:
    static constexpr int SilenceMs = 50;
    static constexpr int LateSilenceMs = 1000;

    Framer();

    qint64 now() const { return m_clock.nsecsElapsed(); }
    // Bytes held that make no whole frame yet.
    int pending() const { return int(m_rx.size()); }
    // Requests whose reply has not come and that are not given up.
    const std::vector<quint32> &waiting() const { return m_waitingIds; }

    // What the port and the request path report.
    // A frame has gone to the device (`id` 0: the emergency stop sent again).
    void written(quint32 id, const QByteArray &frame);
    void read(const QByteArray &bytes);
    // The watchdog has given the request outstanding up (a stop still awaited waits on).
    void givenUp();
    // The stop has gone out three times unechoed.
    void stopGivenUp();
    // The port has closed: nothing more comes.
    void closed();
    void portError(int tag);
    // Takes whatever waits to be cut into frames, as it is (the end of a run).
    void flush() { takeRest(); }

    // A frame that answers a request not given up (cleanly, or with its exception reply), as it is
    // cut; the request path decides whether it is one it waits for.
    std::function<void(quint32 request, const QByteArray &frame, std::uint16_t faults)> answered;
    // Whether an emergency stop is on its way: behind it only OFFs go out, and the stop and the
    // request it overtook still wait for their replies.
    std::function<bool()> stopAwaited = [] { return false; };
    // Whether somebody still waits for the reply of request `id` (a probe waiting out its time):
    // another request, a watchdog or a reply behind it leave it waiting.
    std::function<bool(quint32 id)> waitedFor = [](quint32) { return false; };

signals:
    void happened(const LinkEvent &event);

private:
    struct Request {
        quint32 id;
        qint64 ns;
        QByteArray frame;
        bool stop;
        int sends;
    };
    struct Guess {
        int length;
        const Request *request;  // none: what the frame says of itself
        bool lapsed;
    };
    struct Chunk {
        int at;
        qint64 ns;
    };
    void lapse(Request r);
    void lapseWaiting(bool keepStop);
    void cut();
    void takeRest();
    std::vector<Guess> guessesAt(int at) const;
    bool answers(int at, const Guess &g) const;
    bool answerAt(int at) const;
    bool takeFront(bool rest);
    void takeReply(int length, const Request *request, bool lapsed, std::uint16_t faults);
    void takeNoise(int length);
    qint64 timeAt(int at) const;
    void consume(int length);
    void waitingChanged();

    QElapsedTimer m_clock;
    // Requests whose reply has not come, oldest first; those given up lately, newest last.
    std::vector<Request> m_waiting;
    std::deque<Request> m_lapsed;
    std::vector<std::pair<char, char>> m_starts;  // takeFront's: kept to spare an allocation per call
    std::vector<quint32> m_waitingIds;
    // Received bytes not yet cut into frames, and when each piece of them came.
    QByteArray m_rx;
    std::vector<Chunk> m_chunks;
    bool m_replyComing = false;  // they begin a reply asked for, and more is to come
    bool m_lateComing = false;   // they begin the reply of a request given up, more is to come
    QTimer m_silence;
};
