#include "core/Traffic.h"

#include "link/CommPort.h"
#include "protocol/Crc.h"
#include "protocol/Frames.h"
#include "link/EmergencyStop.h"
#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

#include <algorithm>
#include <optional>

namespace {
// The shortest frame: slave, function, one byte, CRC. An exception reply is one byte longer.
constexpr int ShortestFrame = 4;
constexpr int ExceptionLength = 5;
// Bytes that never become a frame are taken as noise, this many at a time, whatever follows.
constexpr int LongestWait = 512;
constexpr int NoiseRow = 256;
constexpr std::size_t WaitingKept = 8, LapsedKept = 4;

bool IsBlockTag(int t)
{
    return t == tag::ReadBlock || t == tag::WriteBlock || t == tag::VerifyBlock;
}

// Whether `frame` answers `request`: 0 when it does, else what is wrong with it.
std::uint16_t Judge(const QByteArray &frame, const QByteArray &request)
{
    if (std::uint8_t(frame[1]) & 0x80)
        return Traffic::Exception;
    const int length = frames::ExpectedReplyLength(request);
    if (frame.size() != length)
        return Traffic::WrongLength;
    switch (std::uint8_t(frame[1])) {
    case 0x03: return std::uint8_t(frame[2]) == length - 5 ? 0 : Traffic::WrongLength;
    case 0x05:
    case 0x06: return frame == request ? 0 : Traffic::Unexpected;
    default: return frame.left(6) == request.left(6) ? 0 : Traffic::Unexpected;
    }
}
}  // namespace

Traffic::Traffic(const ToolContext &ctx) : m_ctx(ctx)
{
    m_clock.start();
    m_silence.setSingleShot(true);
    m_silence.setInterval(SilenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        takeRest();
        emit grew();
    });
    connect(&m_ctx.port, &CommPort::written, this, &Traffic::written);
    connect(&m_ctx.port, &CommPort::bytesRead, this, &Traffic::read);
    connect(&m_ctx.port, &CommPort::failed, this, [this] { portEvent(-1); });
    // A port closed takes no more replies.
    connect(&m_ctx.port, &CommPort::closed, this, [this] {
        takeRest();
        lapseWaiting(false);
        emit grew();
    });
    connect(&m_ctx.link, &ModbusLink::sending, this, [this](quint32 serial, int t) {
        const int count = m_ctx.state.BlockCount;
        const QByteArray &f = m_ctx.link.current().frame;
        // The block's number is in its first register; the counter may not have moved yet.
        const int block = IsBlockTag(t) && f.size() >= 4
                              ? ((std::uint8_t(f[2]) << 8 | std::uint8_t(f[3])) / reg::RegistersPerBlock) + 1
                              : 0;
        m_made[m_madeNext++ % m_made.size()] = {serial, t, block, IsBlockTag(t) ? count : 0};
    });
    connect(&m_ctx.link, &ModbusLink::sendFailed, this, &Traffic::portEvent);
    // The watchdog throws away what waited at the port: it is all there is of the reply. A stop
    // still awaited keeps waiting for its echo.
    connect(&m_ctx.link, &ModbusLink::givenUp, this, [this] {
        takeRest();
        lapseWaiting(m_ctx.link.stopAwaited());
        emit grew();
    });
    connect(&m_ctx.stop, &EmergencyStop::givenUp, this, [this] {
        std::vector<Request> stops;
        std::erase_if(m_waiting, [&stops](const Request &r) {
            if (r.stop)
                stops.push_back(r);
            return r.stop;
        });
        for (const Request &r : stops)
            lapse(r);
        emit grew();
    });
}

QByteArray Traffic::bytes(const Row &row) const
{
    QByteArray out(row.size, Qt::Uninitialized);
    const auto from = m_bytes.begin() + std::ptrdiff_t(row.byteAt - m_bytesFirst);
    std::copy(from, from + row.size, out.begin());
    return out;
}

quint64 Traffic::settled() const
{
    quint64 n = end();
    for (const Request &r : m_waiting)
        n = std::min(n, std::max(r.row, first()));
    return n;
}

void Traffic::clear()
{
    m_first = end();
    m_rows.clear();
    m_bytes.clear();
    m_bytesFirst = m_bytesEnd;
    m_counts = {};
    m_origin = now();
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

void Traffic::portEvent(int t)
{
    Row row;
    row.ns = now();
    row.direction = Direction::Event;
    row.faults = PortError;
    row.tag = std::int16_t(t);
    append(row, {});
    emit grew();
}

void Traffic::lapse(Request r)
{
    setFaults(r.row, NoReply);
    m_lapsed.push_back(std::move(r));
    if (m_lapsed.size() > LapsedKept)
        m_lapsed.pop_front();
}

void Traffic::lapseWaiting(bool keepStop)
{
    std::vector<Request> waiting;
    waiting.swap(m_waiting);
    for (Request &r : waiting)
        if (keepStop && r.stop)
            m_waiting.push_back(std::move(r));
        else
            lapse(std::move(r));
}

void Traffic::written(quint32 id, const QByteArray &frame)
{
    const bool stop = frames::IsStop(frame);
    // The stop sent again goes out without an id of its own.
    auto waitingStop = std::find_if(m_waiting.begin(), m_waiting.end(),
                                    [&frame](const Request &r) { return r.stop && r.frame == frame; });
    const bool resend = id == 0 && waitingStop != m_waiting.end();
    // A new request: whatever came before it is over (the link throws those bytes away too),
    // but for a reply half way down the line: it runs on behind this request and is taken
    // whole, as the late reply it now is. Behind a stop only OFFs go out, and the stop and the
    // request it overtook still wait.
    if (!stop && !m_ctx.link.stopAwaited()) {
        if (!m_replyComing && !m_lateComing)
            takeRest();
        lapseWaiting(false);
        if (!m_rx.isEmpty())  // a reply on its way, late from now on
            m_silence.start(LateSilenceMs);
    }
    const qint64 t = now();
    Row row;
    row.ns = t;
    row.direction = Direction::Sent;
    if (resend) {
        row.tag = std::int16_t(waitingStop->tag);
        row.send = std::uint8_t(++waitingStop->sends);
        row.faults = Resent;
    } else {
        row.send = stop ? 1 : 0;
        for (const Made &m : m_made)
            if (id != 0 && m.serial == id) {
                row.tag = std::int16_t(m.tag);
                row.block = std::int16_t(m.block);
                row.blocks = std::int16_t(m.blocks);
            }
    }
    const quint64 n = append(row, frame);
    ++m_counts.requests;
    if (resend) {
        // Its echo answers the last send.
        waitingStop->row = n;
        waitingStop->ns = t;
    } else {
        m_waiting.push_back({n, t, frame, row.tag, row.block, row.blocks, stop, 1});
        if (m_waiting.size() > WaitingKept) {
            Request oldest = m_waiting.front();
            m_waiting.erase(m_waiting.begin());
            lapse(std::move(oldest));
        }
    }
    emit grew();
}

void Traffic::read(const QByteArray &data)
{
    m_chunks.push_back({int(m_rx.size()), now()});
    m_rx += data;
    cut();
    // The rest of a reply asked for may take its time (an adapter hands bytes over in pieces, a
    // stop may go out in between): it waits for its bytes, the next request or the watchdog.
    // Anything else is taken as it is after a silence.
    if (m_rx.isEmpty() || m_replyComing)
        m_silence.stop();
    else
        m_silence.start(m_lateComing ? LateSilenceMs : SilenceMs);
    emit grew();
}

qint64 Traffic::timeAt(int at) const
{
    qint64 t = m_chunks.empty() ? now() : m_chunks.front().ns;
    for (const Chunk &c : m_chunks)
        if (c.at <= at)
            t = c.ns;
    return t;
}

void Traffic::consume(int length)
{
    m_rx.remove(0, length);
    std::size_t keep = 0;
    while (keep + 1 < m_chunks.size() && m_chunks[keep + 1].at <= length)
        ++keep;
    m_chunks.erase(m_chunks.begin(), m_chunks.begin() + std::ptrdiff_t(keep));
    for (Chunk &c : m_chunks)
        c.at = std::max(0, c.at - length);
    if (m_rx.isEmpty())
        m_chunks.clear();
}

void Traffic::cut()
{
    while (!m_rx.isEmpty() && takeFront(false))
        ;
    while (m_rx.size() > LongestWait)
        takeNoise(NoiseRow);
}

void Traffic::takeRest()
{
    m_silence.stop();
    while (!m_rx.isEmpty())
        if (!takeFront(true))
            takeNoise(int(m_rx.size()));
}

// The lengths a frame at `at` may have: the replies asked for, oldest request first, then those
// of requests given up lately.
std::vector<Traffic::Guess> Traffic::guessesAt(int at) const
{
    std::vector<Guess> guesses;
    if (m_rx.size() - at < 2)
        return guesses;
    const std::uint8_t slave = std::uint8_t(m_rx[at]), function = std::uint8_t(m_rx[at + 1]);
    auto add = [&](const Request &r, bool lapsed) {
        if (std::uint8_t(r.frame[0]) != slave)
            return;
        if (function == std::uint8_t(r.frame[1]))
            guesses.push_back({frames::ExpectedReplyLength(r.frame), &r, lapsed});
        else if (function == (std::uint8_t(r.frame[1]) | 0x80))
            guesses.push_back({ExceptionLength, &r, lapsed});
    };
    for (const Request &r : m_waiting)
        add(r, false);
    for (auto it = m_lapsed.rbegin(); it != m_lapsed.rend(); ++it)
        add(*it, true);
    return guesses;
}

// Whether the bytes at `at` are a whole frame of the guess's length that answers its request
// (an exception reply included).
bool Traffic::answers(int at, const Guess &g) const
{
    const QByteArray frame = m_rx.mid(at, g.length);
    return frame.size() == g.length && CrcMatches(frame) && (Judge(frame, g.request->frame) & ~Exception) == 0;
}

bool Traffic::answerAt(int at) const
{
    const std::vector<Guess> guesses = guessesAt(at);
    return std::any_of(guesses.begin(), guesses.end(), [&](const Guess &g) { return answers(at, g); });
}

// Takes what the bytes at the front can be told to be. With `rest` no more bytes are coming.
// False when nothing was taken: the frame may still be coming.
bool Traffic::takeFront(bool rest)
{
    const int left = int(m_rx.size());
    m_replyComing = left < 2 && !m_waiting.empty();
    m_lateComing = left < 2 && !m_lapsed.empty();
    if (left < 2)
        return false;
    const std::uint8_t function = std::uint8_t(m_rx[1]);
    std::vector<Guess> guesses = guessesAt(0);
    // Then what the frame says of itself.
    if (function & 0x80)
        guesses.push_back({ExceptionLength, nullptr, false});
    else if (function >= 1 && function <= 4)
        guesses.push_back({left >= 3 ? std::uint8_t(m_rx[2]) + 5 : 0x7FFF, nullptr, false});
    else if (function == 5 || function == 6 || function == 15 || function == 16)
        guesses.push_back({8, nullptr, false});

    std::optional<Guess> best;
    std::uint16_t bestFaults = 0;
    bool coming = false;
    m_replyComing = false;
    m_lateComing = false;
    for (const Guess &g : guesses) {
        if (left < g.length) {
            coming = true;
            m_replyComing = m_replyComing || (g.request && !g.lapsed);
            m_lateComing = m_lateComing || (g.request && g.lapsed);
            continue;
        }
        const QByteArray frame = m_rx.left(g.length);
        if (g.length < ShortestFrame || !CrcMatches(frame))
            continue;
        const std::uint16_t faults = g.request ? Judge(frame, g.request->frame) : std::uint16_t(WrongLength);
        if (!best || (g.request && (faults & ~Exception) == 0)) {
            best = g;
            bestFaults = faults;
        }
        if (g.request && (faults & ~Exception) == 0) {
            // Two replies back to back that either request could have had: the first is the
            // late one, of the request given up before.
            for (const Guess &l : guesses)
                if (l.lapsed && !g.lapsed && answers(0, l) && answers(l.length, g)) {
                    best = l;
                    bestFaults = Judge(m_rx.left(l.length), l.request->frame);
                    break;
                }
            break;
        }
    }
    if (!best && coming && !rest)
        return false;
    if (best) {
        const Request *r = best->request;
        // A whole frame of another length than asked: the reply of the request waiting with its
        // slave and function, if there is one; a frame that answers nothing otherwise.
        if (!r && bestFaults == WrongLength) {
            for (const Guess &g : guesses)
                if (g.request && !g.lapsed && function == std::uint8_t(g.request->frame[1])) {
                    r = g.request;
                    break;
                }
            if (!r)
                bestFaults = Unexpected;
        }
        takeReply(best->length, bestFaults == Unexpected ? nullptr : r, r && r == best->request && best->lapsed,
                  bestFaults);
        return true;
    }
    // A reply further on: what comes before it makes no frame.
    for (int k = 1; k + ShortestFrame <= left; ++k)
        if (answerAt(k)) {
            takeNoise(k);
            return true;
        }
    // A reply of the length asked for, from the slave asked and with its function, but for the
    // CRC.
    for (const Guess &g : guesses)
        if (g.request && !g.lapsed && left >= g.length && function == std::uint8_t(g.request->frame[1])) {
            takeReply(g.length, g.request, false, CrcError);
            return true;
        }
    return false;
}

void Traffic::takeNoise(int length)
{
    length = std::min(length, int(m_rx.size()));
    Row row;
    row.ns = timeAt(0);
    row.direction = Direction::Received;
    const QByteArray data = m_rx.left(length);
    // The whole of what came, taken because nothing more comes, may still be one good frame.
    row.faults = data.size() >= ShortestFrame && CrcMatches(data) ? Unexpected : NoFrame;
    append(row, data);
    consume(length);
}

void Traffic::takeReply(int length, const Request *request, bool lapsed, std::uint16_t faults)
{
    Row row;
    const qint64 at = timeAt(0);
    row.ns = at;
    row.direction = Direction::Received;
    row.faults = std::uint16_t(faults | (lapsed ? Late : 0));
    Request r;
    if (request) {
        r = *request;
        row.tag = std::int16_t(r.tag);
        row.block = std::int16_t(r.block);
        row.blocks = std::int16_t(r.blocks);
        row.expected = std::uint16_t(frames::ExpectedReplyLength(r.frame));
        row.latencyUs = std::int32_t(std::min<qint64>((at - r.ns) / 1000, INT32_MAX));
        row.request = r.row + 1;
    }
    append(row, m_rx.left(length));
    consume(length);
    if (!request)
        return;
    ++m_counts.replies;
    const double ms = row.latencyUs / 1000.0;
    ++m_counts.latencies;
    m_counts.latencySumMs += ms;
    m_counts.latencyMaxMs = std::max(m_counts.latencyMaxMs, ms);
    if (lapsed) {
        std::erase_if(m_lapsed, [&r](const Request &l) { return l.row == r.row; });
        return;
    }
    // Replies come in the order of their requests: those asked before it got none. A stop
    // still awaited waits on.
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [&r](const Request &w) { return w.row == r.row; });
    std::vector<Request> before(m_waiting.begin(), it);
    m_waiting.erase(m_waiting.begin(), it + 1);
    std::vector<Request> kept;
    for (Request &b : before)
        if (b.stop && m_ctx.link.stopAwaited())
            kept.push_back(std::move(b));
        else
            lapse(std::move(b));
    m_waiting.insert(m_waiting.begin(), kept.begin(), kept.end());
}
