// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/MotionTrack.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace plot {

namespace {
// The titles of the CSV table's columns.
const char *const CsvTitles[] = {QT_TRANSLATE_NOOP("Trelmo", "时间 (ms)"), QT_TRANSLATE_NOOP("Trelmo", "X (mm)"),
                                 QT_TRANSLATE_NOOP("Trelmo", "Y (mm)"), QT_TRANSLATE_NOOP("Trelmo", "Z (mm)"),
                                 QT_TRANSLATE_NOOP("Trelmo", "速度 (mm/s)")};

double Distance(const Position &a, const Position &b)
{
    return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
}
}  // namespace

MotionTrack::MotionTrack(int capacity) : m_capacity(std::max(1, capacity)) {}

MotionTrack::Step MotionTrack::add(qint64 ms, const Position &at)
{
    Reading reading{ms, at, Unknown, m_setSpeed};
    const bool first = m_ring.empty();
    if (m_added == 0)
        m_origin = ms;
    if (!first && ms > last().ms)
        reading.speed = Distance(last().at, at) * 1000.0 / double(ms - last().ms);
    const bool same = !first && Same(last().at, at);

    if (size() < m_capacity) {
        // Grown by doubling up to the capacity, never past it.
        if (m_ring.size() == m_ring.capacity())
            m_ring.reserve(std::size_t(std::min(m_capacity, std::max(1024, 2 * size()))));
        m_ring.push_back(reading);
    } else {
        m_ring[std::size_t(m_head)] = reading;
        m_head = (m_head + 1) % m_capacity;
    }
    const quint64 n = m_added++;
    if (same) {
        ++m_run;
    } else {
        m_run = 1;
        m_arrival = n;
    }

    switch (m_state) {
    case MoveState::None: return Step::Kept;
    case MoveState::Announced:
        // Until a reading leaves the start position, the move has not begun: a refused move never
        // does.
        if (!m_startKnown || Same(at, m_move->start)) {
            if (!m_startKnown)
                m_move->start = at;
            m_startKnown = true;
            m_startReading = n;
            return Step::Kept;
        }
        m_state = MoveState::Moving;
        return Step::MoveBegan;
    case MoveState::Moving:
        if (m_run < RestReadings)
            return Step::Kept;
        moveOn();
        return Step::MoveEnded;
    }
    return Step::Kept;
}

// The move has come to rest: its figures from the last reading at the start to the first one at
// rest (those the ring still keeps).
void MotionTrack::moveOn()
{
    std::vector<Reading> readings;
    for (quint64 n = std::max(m_startReading, firstKept()); n <= m_arrival; ++n)
        readings.push_back(numbered(n));
    m_check = Check(*m_move, readings);
    m_state = MoveState::None;
}

void MotionTrack::moveStarted(Move move)
{
    m_startKnown = !m_ring.empty();
    if (m_startKnown) {
        move.start = last().at;
        m_startReading = m_added - 1;
    }
    if (std::isnan(move.setSpeed))
        move.setSpeed = m_setSpeed;
    m_move = move;
    m_state = MoveState::Announced;
}

bool MotionTrack::moveRefused()
{
    if (m_state != MoveState::Announced)
        return false;
    m_state = MoveState::None;
    m_move.reset();
    return true;
}

void MotionTrack::clear()
{
    std::vector<Reading>().swap(m_ring);
    m_head = 0;
    m_added = 0;
    m_origin = 0;
    m_state = MoveState::None;
    m_move.reset();
    m_check.reset();
    m_run = 0;
}

QByteArray Thousandths(double value)
{
    if (!std::isfinite(value))
        return {};
    const qint64 n = std::llround(value * 1000.0);
    const qint64 whole = std::abs(n) / 1000, fraction = std::abs(n) % 1000;
    QByteArray text = n < 0 ? "-" : "";
    text += QByteArray::number(whole) + '.';
    text += QByteArray::number(fraction).rightJustified(3, '0');
    return text;
}

QByteArray MotionTrack::csv() const
{
    QByteArray out("\xEF\xBB\xBF");
    for (const char *title : CsvTitles)
        out += QCoreApplication::translate("Trelmo", title).toUtf8() + ',';
    out.back() = '\r';
    out += '\n';
    if (m_ring.empty())
        return out;
    const qint64 t0 = at(0).ms;
    for (int i = 0; i < size(); ++i) {
        const Reading &r = at(i);
        out += QByteArray::number(r.ms - t0) + ',' + Thousandths(r.at.x) + ',' + Thousandths(r.at.y) + ',' +
               Thousandths(r.at.z) + ',' + Thousandths(r.speed) + "\r\n";
    }
    return out;
}

}  // namespace plot
