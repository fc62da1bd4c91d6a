// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Traffic.h"

#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

#include <algorithm>

namespace {
bool IsBlockTag(int t)
{
    return t == tag::ReadBlock || t == tag::WriteBlock || t == tag::VerifyBlock;
}
}  // namespace

Traffic::Traffic(const ToolContext &ctx) : m_ctx(ctx)
{
    connect(&m_ctx.link.framer(), &Framer::happened, this, &Traffic::take);
    connect(&m_ctx.link, &ModbusLink::sending, this, [this](quint32 serial, int t) {
        const int count = m_ctx.state.BlockCount;
        const QByteArray &f = m_ctx.link.current().frame;
        // The block's number is in its first register; the counter may not have moved yet.
        const int block = IsBlockTag(t) && f.size() >= 4
                              ? ((std::uint8_t(f[2]) << 8 | std::uint8_t(f[3])) / reg::RegistersPerBlock) + 1
                              : 0;
        m_made[m_madeNext++ % m_made.size()] = {serial, t, block, IsBlockTag(t) ? count : 0, 0, false};
    });
}

void Traffic::timeFromNow()
{
    m_origin = m_ctx.link.framer().now();
}

void Traffic::flush()
{
    m_ctx.link.framer().flush();
}

QByteArray Traffic::bytes(const Row &row) const
{
    QByteArray out(row.size, Qt::Uninitialized);
    const auto from = m_bytes.begin() + std::ptrdiff_t(row.byteAt - m_bytesFirst);
    std::copy(from, from + row.size, out.begin());
    return out;
}

Traffic::Made *Traffic::made(quint32 serial)
{
    for (Made &m : m_made)
        if (serial != 0 && m.serial == serial)
            return &m;
    return nullptr;
}

quint64 Traffic::settled() const
{
    quint64 n = end();
    for (const quint32 serial : m_ctx.link.framer().waiting())
        for (const Made &m : m_made)
            if (m.recorded && m.serial == serial)
                n = std::min(n, std::max(m.row, first()));
    return n;
}

void Traffic::clear()
{
    m_first = end();
    m_rows.clear();
    m_bytes.clear();
    m_bytesFirst = m_bytesEnd;
    m_counts = {};
    timeFromNow();
    emit grew();
}

quint64 Traffic::append(Row row, const QByteArray &data)
{
    row.byteAt = m_bytesEnd;
    row.size = std::uint16_t(data.size());
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    m_bytesEnd += row.size;
    m_rows.push_back(row);
    count(row.faults);
    if (m_rows.size() > std::size_t(Capacity)) {
        const std::uint16_t gone = m_rows.front().size;
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + gone);
        m_bytesFirst += gone;
        m_rows.pop_front();
        ++m_first;
    }
    return end() - 1;
}

void Traffic::count(std::uint16_t faults)
{
    for (int k = 0; k < FaultKinds; ++k)
        if (faults & (1u << k))
            ++m_counts.faults[std::size_t(k)];
}

void Traffic::setFaults(quint64 n, std::uint16_t faults)
{
    if (has(n)) {
        Row &r = m_rows[std::size_t(n - m_first)];
        faults &= std::uint16_t(~r.faults);
        r.faults |= faults;
    }
    count(faults);
}

void Traffic::take(const LinkEvent &e)
{
    Made *m = made(e.request);
    Row row;
    row.ns = e.ns;
    row.faults = e.faults;
    if (m) {
        row.tag = std::int16_t(m->tag);
        row.block = std::int16_t(m->block);
        row.blocks = std::int16_t(m->blocks);
    }
    switch (e.kind) {
    case LinkEvent::Kind::NoReply:
        if (m && m->recorded)
            setFaults(m->row, NoReply);
        else
            count(NoReply);
        break;
    case LinkEvent::Kind::PortError:
        row.direction = Direction::Event;
        row.tag = std::int16_t(e.tag);
        append(row, {});
        break;
    case LinkEvent::Kind::Written: {
        row.direction = Direction::Sent;
        row.send = e.send;
        const quint64 n = append(row, e.bytes);
        ++m_counts.requests;
        // A stop's echo answers its last send.
        if (m) {
            m->row = n;
            m->recorded = true;
        }
        break;
    }
    case LinkEvent::Kind::Received:
        row.direction = Direction::Received;
        if (e.request != 0) {
            row.expected = std::uint16_t(e.expected);
            row.latencyUs = std::int32_t(std::min<qint64>((e.ns - e.requestNs) / 1000, INT32_MAX));
            row.request = m && m->recorded ? m->row + 1 : 0;
        }
        append(row, e.bytes);
        if (e.request != 0) {
            ++m_counts.replies;
            const double ms = row.latencyUs / 1000.0;
            ++m_counts.latencies;
            m_counts.latencySumMs += ms;
            m_counts.latencyMaxMs = std::max(m_counts.latencyMaxMs, ms);
        }
        break;
    }
    emit grew();
}
