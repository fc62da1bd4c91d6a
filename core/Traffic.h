#pragma once
// The record of the line: one row for every frame the port handed to the device and for every
// frame read from it, with the time it happened, kept from start-up on whether anybody looks or
// not (the last 100,000 rows), so that a technician who opens the monitor after a fault sees what
// led to it. It only listens: nothing that goes out, nor when, depends on it.
//
// Rows keep raw bytes and times; they are put into words only when shown (TrafficWords.h).
// Received bytes come in pieces of any size. They are cut into frames by what the requests on
// their way asked for and by the CRC; what makes no frame is a row of its own, flagged. A frame
// the stop's barrier dropped before it reached the device is no row; the stop's resends are.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/ToolContext.h"

class Traffic : public QObject {
    Q_OBJECT
public:
    static constexpr int Capacity = 100000;
    // Received bytes that begin no reply asked for are taken as they are after this silence.
    static constexpr int SilenceMs = 50;
    // The rest of a late reply may take longer: a tool kept busy for a moment (a loaded PC) must
    // not cut it in two rows.
    static constexpr int LateSilenceMs = 1000;

    // What is wrong with a row; one bit each, in the order the counts are shown.
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
    enum class Direction : std::uint8_t { Sent, Received, Event };

    struct Row {
        qint64 ns = 0;       // on the record's clock
        quint64 byteAt = 0;  // where its bytes start in the byte store
        std::uint16_t size = 0;
        Direction direction = Direction::Sent;
        std::uint8_t send = 0;  // the stop's send, 1 to 3; 0 for other frames
        std::uint16_t faults = 0;
        std::int16_t tag = -1;               // the request's tag; a reply's is its request's; -1: none
        std::int16_t block = 0, blocks = 0;  // a block of a transfer: which of how many
        std::uint16_t expected = 0;          // a reply: the length its request asked for
        std::int32_t latencyUs = -1;         // a reply: since its request went out
        quint64 request = 0;                 // a reply: its request's row, +1 (0: none)
    };
    struct Counts {
        quint64 requests = 0, replies = 0;
        std::array<quint64, FaultKinds> faults{};
        quint64 latencies = 0;
        double latencySumMs = 0, latencyMaxMs = 0;
    };

    explicit Traffic(const ToolContext &ctx);

    // Rows are numbered from the start of the run; those from first() to end() are kept.
    quint64 first() const { return m_first; }
    quint64 end() const { return m_first + m_rows.size(); }
    const Row &row(quint64 n) const { return m_rows[std::size_t(n - m_first)]; }
    bool has(quint64 n) const { return n >= first() && n < end(); }
    QByteArray bytes(const Row &row) const;
    // Rows before this one change no more (a request's row may still learn that no reply came).
    quint64 settled() const;
    const Counts &counts() const { return m_counts; }
    // Times are told from here on the record's clock: the start, the monitor's opening, a clear.
    qint64 origin() const { return m_origin; }
    void timeFromNow() { m_origin = now(); }
    // Starts the record afresh: no rows, no counts, the time from now.
    void clear();
    // Takes whatever waits to be cut into frames, as it is (the end of a run).
    void flush() { takeRest(); }

    // What the port and the link report (public for benchmarks and fuzzing).
    void written(quint32 id, const QByteArray &frame);
    void read(const QByteArray &bytes);

signals:
    // Rows have been added or have changed. Nobody need listen.
    void grew();

private:
    struct Request {
        quint64 row;
        qint64 ns;  // on the clock, not since the record began
        QByteArray frame;
        int tag, block, blocks;
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
    qint64 now() const { return m_clock.nsecsElapsed(); }
    quint64 append(Row row, const QByteArray &bytes);
    void setFaults(quint64 n, std::uint16_t faults);
    void count(std::uint16_t faults);
    void portEvent(int tag);  // a port error or a send refused: a row of its own
    void lapse(Request r);
    void lapseWaiting(bool keepStop);
    // Received bytes into frames.
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

    ToolContext m_ctx;
    QElapsedTimer m_clock;
    qint64 m_origin = 0;
    std::deque<Row> m_rows;
    std::deque<std::uint8_t> m_bytes;
    quint64 m_first = 0;
    quint64 m_bytesFirst = 0;  // the byte store's first byte, counted from the start
    quint64 m_bytesEnd = 0;
    Counts m_counts;

    // Tags of the requests lately made, by the id they are written with.
    struct Made {
        quint32 serial;
        int tag, block, blocks;
    };
    std::array<Made, 8> m_made{};
    std::size_t m_madeNext = 0;
    // Requests whose reply has not come, oldest first; those given up lately, newest last.
    std::vector<Request> m_waiting;
    std::deque<Request> m_lapsed;
    // Received bytes not yet cut into frames, and when each piece of them came.
    QByteArray m_rx;
    std::vector<Chunk> m_chunks;
    bool m_replyComing = false;  // they begin a reply asked for, and more is to come
    bool m_lateComing = false;   // they begin the reply of a request given up, more is to come
    QTimer m_silence;
};
