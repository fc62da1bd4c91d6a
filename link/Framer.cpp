// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Framer.h"

#include <algorithm>
#include <array>
#include <optional>

#include "protocol/Crc.h"
#include "protocol/Frames.h"

namespace {
// The shortest frame: slave, function, one byte, CRC.
constexpr int ShortestFrame = 4;
// Bytes that never become a frame are taken as noise, this many at a time, whatever follows.
constexpr int LongestWait = 512;
constexpr int NoiseRow = 256;
constexpr std::size_t WaitingKept = 8, LapsedKept = 4;

// Whether `frame` answers `request`: 0 when it does, else what is wrong with it.
std::uint16_t Judge(const QByteArray &frame, const QByteArray &request)
{
    switch (frames::Judge(frame, request)) {
    case frames::Verdict::Answers: return 0;
    case frames::Verdict::Exception: return LinkEvent::Exception;
    case frames::Verdict::WrongLength: return LinkEvent::WrongLength;
    default: return LinkEvent::Unexpected;
    }
}
}  // namespace

Framer::Framer()
{
    m_clock.start();
    m_silence.setSingleShot(true);
    m_silence.setInterval(SilenceMs);
    connect(&m_silence, &QTimer::timeout, this, &Framer::takeRest);
}

void Framer::waitingChanged()
{
    m_waitingIds.clear();
    for (const Request &r : m_waiting)
        m_waitingIds.push_back(r.id);
}

void Framer::portError(int tag)
{
    LinkEvent e;
    e.kind = LinkEvent::Kind::PortError;
    e.ns = now();
    e.faults = LinkEvent::PortError;
    e.tag = tag;
    emit happened(e);
}

void Framer::lapse(Request r)
{
    LinkEvent e;
    e.kind = LinkEvent::Kind::NoReply;
    e.ns = now();
    e.request = r.id;
    e.faults = LinkEvent::NoReply;
    emit happened(e);
    m_lapsed.push_back(std::move(r));
    if (m_lapsed.size() > LapsedKept)
        m_lapsed.pop_front();
}

void Framer::lapseWaiting(bool keepStop)
{
    std::vector<Request> waiting;
    waiting.swap(m_waiting);
    for (Request &r : waiting)
        if ((keepStop && r.stop) || waitedFor(r.id))
            m_waiting.push_back(std::move(r));
        else
            lapse(std::move(r));
    waitingChanged();
}

void Framer::givenUp()
{
    // The watchdog throws away what waited at the port: it is all there is of the reply.
    takeRest();
    lapseWaiting(stopAwaited());
}

void Framer::stopGivenUp()
{
    std::vector<Request> stops;
    std::erase_if(m_waiting, [&stops](const Request &r) {
        if (r.stop)
            stops.push_back(r);
        return r.stop;
    });
    for (Request &r : stops)
        lapse(std::move(r));
    waitingChanged();
}

void Framer::closed()
{
    // A port closed takes no more replies.
    takeRest();
    lapseWaiting(false);
}

void Framer::written(quint32 id, const QByteArray &frame)
{
    const bool stop = frames::IsStop(frame);
    // The stop sent again goes out without an id of its own.
    auto waitingStop = std::find_if(m_waiting.begin(), m_waiting.end(),
                                    [&frame](const Request &r) { return r.stop && r.frame == frame; });
    const bool resend = id == 0 && waitingStop != m_waiting.end();
    // A new request: whatever came before it is over (the request path throws those bytes away
    // too), but for a reply half way down the line: it runs on behind this request and is taken
    // whole, as the late reply it now is. Behind a stop only OFFs go out, and the stop and the
    // request it overtook still wait.
    if (!stop && !stopAwaited()) {
        if (!m_replyComing && !m_lateComing)
            takeRest();
        lapseWaiting(false);
        if (!m_rx.isEmpty())  // a reply on its way, late from now on
            m_silence.start(LateSilenceMs);
    }
    LinkEvent e;
    e.kind = LinkEvent::Kind::Written;
    e.ns = now();
    e.bytes = frame;
    if (resend) {
        // Its echo answers the last send.
        waitingStop->ns = e.ns;
        e.request = waitingStop->id;
        e.send = std::uint8_t(++waitingStop->sends);
        e.faults = LinkEvent::Resent;
    } else {
        e.request = id;
        e.send = stop ? 1 : 0;
        m_waiting.push_back({id, e.ns, frame, stop, 1});
        if (m_waiting.size() > WaitingKept) {
            Request oldest = m_waiting.front();
            m_waiting.erase(m_waiting.begin());
            lapse(std::move(oldest));
        }
        waitingChanged();
    }
    emit happened(e);
}

void Framer::read(const QByteArray &data)
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
}

qint64 Framer::timeAt(int at) const
{
    qint64 t = m_chunks.empty() ? now() : m_chunks.front().ns;
    for (const Chunk &c : m_chunks)
        if (c.at <= at)
            t = c.ns;
    return t;
}

void Framer::consume(int length)
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

void Framer::cut()
{
    while (!m_rx.isEmpty() && takeFront(false))
        ;
    while (m_rx.size() > LongestWait)
        takeNoise(NoiseRow);
}

void Framer::takeRest()
{
    m_silence.stop();
    while (!m_rx.isEmpty())
        if (!takeFront(true))
            takeNoise(int(m_rx.size()));
}

// The lengths a frame at `at` may have: the replies asked for, oldest request first, then those
// of requests given up lately.
std::vector<Framer::Guess> Framer::guessesAt(int at) const
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
            guesses.push_back({frames::ExceptionLength, &r, lapsed});
    };
    for (const Request &r : m_waiting)
        add(r, false);
    for (auto it = m_lapsed.rbegin(); it != m_lapsed.rend(); ++it)
        add(*it, true);
    return guesses;
}

// Whether the bytes at `at` are a whole frame of the guess's length that answers its request
// (an exception reply included). The bytes are looked at where they are, not copied: noise is
// searched for a reply byte by byte.
bool Framer::answers(int at, const Guess &g) const
{
    if (g.length < ShortestFrame || at + g.length > m_rx.size())
        return false;
    const QByteArray frame = QByteArray::fromRawData(m_rx.constData() + at, g.length);
    return CrcMatches(frame) && (Judge(frame, g.request->frame) & ~LinkEvent::Exception) == 0;
}

bool Framer::answerAt(int at) const
{
    if (m_rx.size() - at < 2)
        return false;
    const std::uint8_t slave = std::uint8_t(m_rx[at]), function = std::uint8_t(m_rx[at + 1]);
    const auto fits = [&](const Request &r) {
        if (std::uint8_t(r.frame[0]) != slave)
            return false;
        const int length = function == std::uint8_t(r.frame[1])            ? frames::ExpectedReplyLength(r.frame)
                           : function == (std::uint8_t(r.frame[1]) | 0x80) ? frames::ExceptionLength
                                                                            : 0;
        return length > 0 && answers(at, {length, &r, false});
    };
    return std::any_of(m_waiting.begin(), m_waiting.end(), fits) || std::any_of(m_lapsed.begin(), m_lapsed.end(), fits);
}

// Takes what the bytes at the front can be told to be. With `rest` no more bytes are coming.
// False when nothing was taken: the frame may still be coming.
bool Framer::takeFront(bool rest)
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
        guesses.push_back({frames::ExceptionLength, nullptr, false});
    else if (function >= 1 && function <= 4)
        guesses.push_back({left >= 3 ? std::uint8_t(m_rx[2]) + 5 : 0x7FFF, nullptr, false});
    else if (function == 5 || function == 6 || function == 15 || function == 16)
        guesses.push_back({frames::EchoLength, nullptr, false});

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
        if (g.length < ShortestFrame)
            continue;
        const QByteArray frame = QByteArray::fromRawData(m_rx.constData(), g.length);
        if (!CrcMatches(frame))
            continue;
        const std::uint16_t faults = g.request ? Judge(frame, g.request->frame) : std::uint16_t(LinkEvent::WrongLength);
        if (!best || (g.request && (faults & ~LinkEvent::Exception) == 0)) {
            best = g;
            bestFaults = faults;
        }
        if (g.request && (faults & ~LinkEvent::Exception) == 0) {
            // Two replies back to back that either request could have had: the first is the
            // late one, of the request given up before.
            for (const Guess &l : guesses)
                if (l.lapsed && !g.lapsed && answers(0, l) && answers(l.length, g)) {
                    best = l;
                    bestFaults = Judge(QByteArray::fromRawData(m_rx.constData(), l.length), l.request->frame);
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
        if (!r && bestFaults == LinkEvent::WrongLength) {
            for (const Guess &g : guesses)
                if (g.request && !g.lapsed && function == std::uint8_t(g.request->frame[1])) {
                    r = g.request;
                    break;
                }
            if (!r)
                bestFaults = LinkEvent::Unexpected;
        }
        takeReply(best->length, bestFaults == LinkEvent::Unexpected ? nullptr : r, r && r == best->request && best->lapsed,
                  bestFaults);
        return true;
    }
    // A reply further on: what comes before it makes no frame. A reply starts with the slave and
    // the function (or the exception's) of a request: only there is one looked for.
    // Most bytes are no slave asked: the pairs are looked through only where one is.
    std::vector<std::pair<char, char>> &starts = m_starts;
    starts.clear();
    std::array<bool, 256> slave{};
    const auto startOf = [&starts, &slave](const Request &r) {
        slave[std::uint8_t(r.frame[0])] = true;
        starts.insert(starts.end(), {{r.frame[0], r.frame[1]}, {r.frame[0], char(r.frame[1] | 0x80)}});
    };
    std::for_each(m_waiting.begin(), m_waiting.end(), startOf);
    std::for_each(m_lapsed.begin(), m_lapsed.end(), startOf);
    const char *rx = m_rx.constData();
    for (int k = 1; k + ShortestFrame <= left; ++k)
        if (slave[std::uint8_t(rx[k])] && std::find(starts.begin(), starts.end(), std::pair{rx[k], rx[k + 1]}) != starts.end() &&
            answerAt(k)) {
            takeNoise(k);
            return true;
        }
    // A reply of the length asked for, from the slave asked and with its function, but for the
    // CRC.
    for (const Guess &g : guesses)
        if (g.request && !g.lapsed && left >= g.length && function == std::uint8_t(g.request->frame[1])) {
            takeReply(g.length, g.request, false, LinkEvent::CrcError);
            return true;
        }
    return false;
}

void Framer::takeNoise(int length)
{
    length = std::min(length, int(m_rx.size()));
    LinkEvent e;
    e.kind = LinkEvent::Kind::Received;
    e.ns = timeAt(0);
    e.bytes = m_rx.left(length);
    // The whole of what came, taken because nothing more comes, may still be one good frame.
    e.faults = e.bytes.size() >= ShortestFrame && CrcMatches(e.bytes) ? LinkEvent::Unexpected : LinkEvent::NoFrame;
    consume(length);
    emit happened(e);
}

void Framer::takeReply(int length, const Request *request, bool lapsed, std::uint16_t faults)
{
    LinkEvent e;
    e.kind = LinkEvent::Kind::Received;
    e.ns = timeAt(0);
    e.bytes = m_rx.left(length);
    e.faults = std::uint16_t(faults | (lapsed ? LinkEvent::Late : 0));
    consume(length);
    if (!request) {
        emit happened(e);
        return;
    }
    const Request r = *request;
    e.request = r.id;
    e.expected = frames::ExpectedReplyLength(r.frame);
    e.requestNs = r.ns;
    if (lapsed) {
        std::erase_if(m_lapsed, [&r](const Request &l) { return l.id == r.id; });
        emit happened(e);
        return;
    }
    // Replies come in the order of their requests: those asked before it got none. A stop
    // still awaited waits on.
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [&r](const Request &w) { return w.id == r.id; });
    std::vector<Request> before(m_waiting.begin(), it);
    m_waiting.erase(m_waiting.begin(), it + 1);
    std::vector<Request> kept;
    const bool stopOnItsWay = stopAwaited();
    for (Request &b : before)
        if ((b.stop && stopOnItsWay) || waitedFor(b.id))
            kept.push_back(std::move(b));
        else
            lapse(std::move(b));
    m_waiting.insert(m_waiting.begin(), kept.begin(), kept.end());
    waitingChanged();
    emit happened(e);
    if (answered && (e.faults & ~LinkEvent::Exception) == 0)
        answered(r.id, e.bytes, e.faults);
}
