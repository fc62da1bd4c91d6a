#include "RtuFramer.h"

#include <algorithm>

namespace trelmo::sim {

void RtuFramer::feed(std::span<const std::uint8_t> bytes, double nowMs)
{
    if (bytes.empty())
        return;
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_lastByteMs = nowMs;
    if (m_buffer.size() > MaxBuffered)
        dropFront(m_buffer.size() - MaxBuffered);
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

void RtuFramer::dropFront(std::size_t n)
{
    const std::size_t keep = std::min(n, MaxBuffered - std::min(MaxBuffered, m_noise.size()));
    m_noise.insert(m_noise.end(), m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(keep));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
    m_discarded += n;
}

std::optional<Bytes> RtuFramer::next(double nowMs)
{
    while (!m_buffer.empty()) {
        const bool silent = nowMs - m_lastByteMs >= m_silenceMs;
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

Bytes RtuFramer::takeNoise()
{
    Bytes noise;
    noise.swap(m_noise);
    return noise;
}

double RtuFramer::msUntilSilence(double nowMs) const
{
    if (m_buffer.empty())
        return -1;
    const double left = m_lastByteMs + m_silenceMs - nowMs;
    return left > 0 ? left : 0;
}

}  // namespace trelmo::sim
