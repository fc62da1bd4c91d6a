// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtuFramer.h"

#include <algorithm>

namespace trelmo::sim {

void RtuFramer::feed(std::span<const std::uint8_t> bytes, double nowMs)
{
    if (bytes.empty())
        return;
    if (m_mode == Mode::ByLength) {
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
        m_lastByteMs = nowMs;
        if (m_buffer.size() > MaxBuffered)
            dropFront(m_buffer.size() - MaxBuffered);
        return;
    }
    const double startMs = std::max(nowMs, m_lineEndMs);
    if (startMs >= m_lineEndMs + FrameGapMs) {
        closeFrame();
        m_overlong = false;
    }
    if (!m_overlong && m_buffer.size() + bytes.size() > MaxBuffered) {
        // Longer than any request: noise, and so is the rest of it.
        addNoise(m_buffer);
        m_buffer.clear();
        m_overlong = true;
    }
    if (m_overlong)
        addNoise(bytes);
    else
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_lineEndMs = startMs + double(bytes.size()) * CharMs;
}

std::optional<Bytes> RtuFramer::next(double nowMs)
{
    return m_mode == Mode::ByLength ? nextByLength(nowMs) : nextOnLine(nowMs);
}

long RtuFramer::expectedLength() const
{
    if (m_buffer.size() < 2)
        return 0;
    switch (m_buffer[1]) {
    case fc::ReadHoldingRegisters:
    case fc::WriteSingleCoil:
    case fc::WriteSingleRegister: return 8;
    case fc::WriteMultipleRegisters: return m_buffer.size() < 7 ? 0 : 9 + long(m_buffer[6]);
    default: return -1;
    }
}

void RtuFramer::addNoise(std::span<const std::uint8_t> bytes)
{
    const std::size_t keep = std::min(bytes.size(), MaxBuffered - std::min(MaxBuffered, m_noise.size()));
    m_noise.insert(m_noise.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
}

void RtuFramer::dropFront(std::size_t n)
{
    addNoise({m_buffer.data(), n});
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
}

std::optional<Bytes> RtuFramer::nextByLength(double nowMs)
{
    while (!m_buffer.empty()) {
        const bool silent = nowMs >= m_lastByteMs + m_silenceMs;
        const long expected = expectedLength();
        if (expected > 0 && m_buffer.size() >= std::size_t(expected)) {
            const std::span<const std::uint8_t> candidate(m_buffer.data(), std::size_t(expected));
            if (hasValidCrc(candidate)) {
                Bytes frame(candidate.begin(), candidate.end());
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + expected);
                return frame;
            }
            dropFront(1);
            continue;
        }
        if (!silent)
            return std::nullopt;
        if (expected < 0 && m_buffer.size() >= 4 && hasValidCrc(m_buffer)) {
            Bytes frame;
            frame.swap(m_buffer);
            return frame;
        }
        dropFront(1);
    }
    return std::nullopt;
}

void RtuFramer::closeFrame()
{
    if (m_buffer.empty())
        return;
    m_complete.push_back(std::move(m_buffer));
    m_buffer.clear();
}

std::optional<Bytes> RtuFramer::nextOnLine(double nowMs)
{
    if (nowMs >= m_lineEndMs + FrameGapMs)
        closeFrame();
    while (!m_complete.empty()) {
        Bytes frame = std::move(m_complete.front());
        m_complete.pop_front();
        if (frame.size() >= 4 && hasValidCrc(frame))
            return frame;
        addNoise(frame);
    }
    return std::nullopt;
}

std::size_t RtuFramer::pending() const
{
    std::size_t n = m_buffer.size();
    for (const Bytes &frame : m_complete)
        n += frame.size();
    return n;
}

Bytes RtuFramer::takeNoise()
{
    Bytes noise;
    noise.swap(m_noise);
    return noise;
}

double RtuFramer::silenceDueMs() const
{
    if (!m_complete.empty())
        return m_lineEndMs;  // already due
    if (m_buffer.empty())
        return -1;
    return m_mode == Mode::ByLength ? m_lastByteMs + m_silenceMs : m_lineEndMs + FrameGapMs;
}

}  // namespace trelmo::sim
