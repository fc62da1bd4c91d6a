// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readings behind the motion plot, without any window: the last 100,000 positions the
// controller reported (more than five hours at five a second), each timed when its reply arrived,
// with the path speed since the one before; the interpolation move under way, when it has started
// and ended; the figures of the last one that ended; and the readings as a CSV table.
#include <QByteArray>
#include <optional>
#include <vector>

#include "plot/MoveCheck.h"

namespace plot {

class MotionTrack {
public:
    static constexpr int Capacity = 100000;
    // A move has ended when this many readings in a row show the same position.
    static constexpr int RestReadings = 3;

    // What a reading did besides being kept.
    enum class Step { Kept, MoveBegan, MoveEnded };
    // Where the announced move is: none, announced but not moved yet, moving.
    enum class MoveState { None, Announced, Moving };

    explicit MotionTrack(int capacity = Capacity);

    // A status reply accepted: its time (ms on one steady clock) and the positions in mm. The
    // oldest reading goes once `capacity` are kept.
    Step add(qint64 ms, const Position &at);
    // The set speed (mm/s) that the screen reads; readings from here on carry it.
    void setSetSpeed(double mmPerS) { m_setSpeed = mmPerS; }
    double setSpeed() const { return m_setSpeed; }

    // An interpolation move has been sent. Its start is the position of the last reading (of the
    // next one when none is kept yet); its set speed, when unknown, the one in force. A move
    // still announced or under way is dropped without figures.
    void moveStarted(Move move);
    // The controller refused the move announced: when no reading has moved since, it is
    // forgotten and gets no figures (true). A move already moving goes on.
    bool moveRefused();
    MoveState moveState() const { return m_state; }
    // Whether the move's start is known: a move announced before any reading takes the next one.
    bool moveStartKnown() const { return m_move && m_startKnown; }
    // The move announced, under way, or the last one that ended (for its points on the plot).
    const std::optional<Move> &move() const { return m_move; }
    // The figures of the last move that ended.
    const std::optional<MoveCheck> &lastCheck() const { return m_check; }

    // Forgets every reading, the move and its figures.
    void clear();

    int capacity() const { return m_capacity; }
    int size() const { return int(m_ring.size()); }
    // The i-th reading kept, oldest first.
    const Reading &at(int i) const { return m_ring[std::size_t((m_head + i) % size())]; }
    const Reading &last() const { return at(size() - 1); }
    // Readings are numbered from 0 since the last clear: the next one gets `added()`, the oldest
    // kept is `firstKept()`.
    quint64 added() const { return m_added; }
    quint64 firstKept() const { return m_added - quint64(size()); }
    const Reading &numbered(quint64 n) const { return at(int(n - firstKept())); }
    // When the first reading since the last clear arrived; none came yet: 0.
    qint64 origin() const { return m_origin; }

    // The readings as a spreadsheet reads them: UTF-8 with the byte-order mark, the titles in the
    // language in use, one row per reading: whole ms since the first reading kept, X, Y and Z with
    // three decimals, the path speed since the reading before with three (empty for the first
    // reading since a clear).
    QByteArray csv() const;

private:
    void moveOn();

    int m_capacity;
    std::vector<Reading> m_ring;
    int m_head = 0;
    quint64 m_added = 0;
    qint64 m_origin = 0;
    double m_setSpeed = Unknown;

    MoveState m_state = MoveState::None;
    std::optional<Move> m_move;
    std::optional<MoveCheck> m_check;
    bool m_startKnown = false;
    quint64 m_startReading = 0;    // the last reading at the start position
    quint64 m_arrival = 0;         // the first reading of the present run at one position
    int m_run = 0;                 // readings in a row at that position
};

// A number of mm or mm/s with three decimals, as the tables show it: "-0.500", "12.000".
QByteArray Thousandths(double value);

}  // namespace plot
