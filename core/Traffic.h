// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record of the line: one row for every frame the port handed to the device and for every
// frame read from it, with the time it happened, kept from start-up on whether anybody looks or
// not (the last 100,000 rows), so that a technician who opens the monitor after a fault sees what
// led to it. It only listens: nothing that goes out, nor when, depends on it.
//
// Rows keep raw bytes and times; they are put into words only when shown (TrafficWords.h).
// A row is an event of the link's one reading of the line (link/Framer.h): a frame written, a
// frame received and what it answers or what is wrong with it; a request's row learns when no
// reply came. A frame the stop's barrier dropped before it reached the device is no row; the
// stop's resends are.
#include <QByteArray>
#include <QObject>
#include <array>
#include <cstdint>
#include <deque>

#include "core/ToolContext.h"
#include "link/Framer.h"

class Traffic : public QObject {
    Q_OBJECT
public:
    static constexpr int Capacity = 100000;

    // What is wrong with a row: the link's faults, one bit each, in the order the counts are shown.
    enum Fault : std::uint16_t {
        CrcError = LinkEvent::CrcError,
        WrongLength = LinkEvent::WrongLength,
        Exception = LinkEvent::Exception,
        NoFrame = LinkEvent::NoFrame,
        NoReply = LinkEvent::NoReply,
        Late = LinkEvent::Late,
        Unexpected = LinkEvent::Unexpected,
        Resent = LinkEvent::Resent,
        PortError = LinkEvent::PortError,
    };
    static constexpr int FaultKinds = LinkEvent::FaultKinds;
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
    // Times are told from here on the link's clock: the start, the monitor's opening, a clear.
    qint64 origin() const { return m_origin; }
    void timeFromNow();
    // Starts the record afresh: no rows, no counts, the time from now.
    void clear();
    // Takes whatever waits at the link to be cut into frames, as it is (the end of a run).
    void flush();

    // An event of the link (public for benchmarks and fuzzing).
    void take(const LinkEvent &event);

signals:
    // Rows have been added or have changed. Nobody need listen.
    void grew();

private:
    // A request lately made: what it was for, and its row (a stop's: its last send).
    struct Made {
        quint32 serial = 0;
        int tag = -1, block = 0, blocks = 0;
        quint64 row = 0;
        bool recorded = false;
    };
    Made *made(quint32 serial);
    quint64 append(Row row, const QByteArray &bytes);
    void setFaults(quint64 n, std::uint16_t faults);
    void count(std::uint16_t faults);

    ToolContext m_ctx;
    qint64 m_origin = 0;
    std::deque<Row> m_rows;
    std::deque<std::uint8_t> m_bytes;
    quint64 m_first = 0;
    quint64 m_bytesFirst = 0;  // the byte store's first byte, counted from the start
    quint64 m_bytesEnd = 0;
    Counts m_counts;
    std::array<Made, 32> m_made{};
    std::size_t m_madeNext = 0;
};
