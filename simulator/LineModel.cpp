// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineModel.h"

#include <algorithm>
#include <iterator>

namespace trelmo::sim {

void ReplyScheduler::queue(Bytes reply, double dueMs)
{
    auto pos = m_held.end();
    while (pos != m_held.begin() && std::prev(pos)->dueMs > dueMs)
        --pos;
    m_held.insert(pos, Held{dueMs, std::move(reply)});
}

void ReplyScheduler::pump(double nowMs, const WriteBytes &write)
{
    for (;;) {
        if (m_sent == m_line.size()) {
            m_line.clear();
            m_sent = 0;
            if (m_held.empty() || m_held.front().dueMs > nowMs)
                return;
            m_line = std::move(m_held.front().bytes);
            m_lineStartMs = std::max(m_held.front().dueMs, m_lineFreeMs);
            m_held.pop_front();
            if (m_log)
                m_log("-> " + hexText(m_line));
        }
        // Paced, a byte is written once its last bit would have left the line.
        std::size_t due = m_paced ? m_sent : m_line.size();
        while (due < m_line.size() && m_lineStartMs + double(due + 1) * CharMs <= nowMs)
            ++due;
        if (due > m_sent) {
            const long n = write({m_line.data() + m_sent, due - m_sent});
            m_sent = n < 0 ? m_line.size() : std::min(due, m_sent + std::size_t(n));
        }
        if (m_sent < m_line.size())
            return;
        m_lineFreeMs = m_paced ? m_lineStartMs + double(m_line.size()) * CharMs : nowMs;
    }
}

double ReplyScheduler::nextMs(double nowMs) const
{
    if (m_sent < m_line.size()) {
        const double nextByte = m_paced ? m_lineStartMs + double(m_sent + 1) * CharMs : nowMs;
        // A byte already due is still there: the device was full, so try again shortly.
        return nextByte > nowMs ? nextByte : nowMs + 1;
    }
    return m_held.empty() ? -1 : m_held.front().dueMs;
}

SlaveLine::SlaveLine(Controller &controller, const LineSettings &settings)
    : m_controller(controller), m_slave(controller), m_faults(settings.seed, settings.rates),
      m_framer(settings.wireTime ? RtuFramer::Mode::LineModel : RtuFramer::Mode::ByLength), m_replies(settings.wireTime)
{}

void SlaveLine::setLog(LogLine log)
{
    m_log = log;
    m_replies.setLog(std::move(log));
}

void SlaveLine::log(const std::string &text) const
{
    if (m_log)
        m_log(text);
}

void SlaveLine::receive(std::span<const std::uint8_t> bytes, double nowMs)
{
    m_framer.feed(bytes, nowMs);
}

void SlaveLine::advanceTo(double nowMs)
{
    m_controller.advance(nowMs - m_controllerMs);
    m_controllerMs = std::max(m_controllerMs, nowMs);
}

// Bytes that made no frame: a bad CRC, a cut-off request or line noise.
void SlaveLine::logNoise()
{
    const Bytes noise = m_framer.takeNoise();
    if (!noise.empty())
        log("<- " + hexText(noise) + "   (no valid frame, ignored)");
}

void SlaveLine::service(double nowMs, const WriteBytes &write)
{
    m_replies.pump(nowMs, write);
    while (auto frame = m_framer.next(nowMs)) {
        logNoise();
        handleFrame(*frame, nowMs);
    }
    // Noise is logged once the line is clear, in one piece.
    if (m_framer.pending() == 0)
        logNoise();
    m_replies.pump(nowMs, write);
}

double SlaveLine::nextMs(double nowMs) const
{
    double next = m_replies.nextMs(nowMs);
    if (const double silence = m_framer.silenceDueMs(); silence >= 0 && (next < 0 || silence < next))
        next = silence;
    return next;
}

void SlaveLine::handleFrame(const Bytes &frame, double nowMs)
{
    advanceTo(nowMs);
    log("<- " + hexText(frame));
    if (!m_slave.accepts(frame)) {
        log("   not for this slave, or a bad CRC: ignored");
        return;
    }
    FaultInjector::Response r = m_faults.respond(m_slave, frame);
    switch (r.fault) {
    case FaultInjector::Fault::Drop: log("   fault: request dropped"); break;
    case FaultInjector::Fault::Exception: log("   fault: exception reply"); break;
    case FaultInjector::Fault::Corrupt: log("   fault: CRC corrupted"); break;
    case FaultInjector::Fault::None: break;
    }
    if (r.reply.empty())
        return;
    if (r.delayMs > 0)
        log("   fault: reply held back " + std::to_string(int(r.delayMs)) + " ms");
    m_replies.queue(std::move(r.reply), nowMs + r.delayMs);
}

}  // namespace trelmo::sim
