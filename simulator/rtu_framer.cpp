#include "rtu_framer.h"

#include <algorithm>

namespace trelmo::sim {

void RtuFramer::feed(std::span<const std::uint8_t> bytes, double nowMs)
{
    if (bytes.empty())
        return;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    lastByteMs_ = nowMs;
    if (buffer_.size() > MaxBuffered)
        dropFront(buffer_.size() - MaxBuffered);
}

long RtuFramer::expectedLength() const
{
    if (buffer_.size() < 2)
        return 0;
    switch (buffer_[1]) {
    case fc::ReadHoldingRegisters:
    case fc::WriteSingleCoil:
    case fc::WriteSingleRegister: return 8;
    case fc::WriteMultipleRegisters: return buffer_.size() < 7 ? 0 : 9 + long(buffer_[6]);
    default: return -1;
    }
}

void RtuFramer::dropFront(std::size_t n)
{
    const std::size_t keep = std::min(n, MaxBuffered - std::min(MaxBuffered, noise_.size()));
    noise_.insert(noise_.end(), buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(keep));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    discarded_ += n;
}

std::optional<Bytes> RtuFramer::next(double nowMs)
{
    while (!buffer_.empty()) {
        const bool silent = nowMs - lastByteMs_ >= silenceMs_;
        const long expected = expectedLength();
        if (expected > 0 && buffer_.size() >= std::size_t(expected)) {
            const std::span<const std::uint8_t> candidate(buffer_.data(), std::size_t(expected));
            if (hasValidCrc(candidate)) {
                Bytes frame(candidate.begin(), candidate.end());
                buffer_.erase(buffer_.begin(), buffer_.begin() + expected);
                return frame;
            }
            dropFront(1);
            continue;
        }
        if (!silent)
            return std::nullopt;
        if (expected < 0 && buffer_.size() >= 4 && hasValidCrc(buffer_)) {
            Bytes frame;
            frame.swap(buffer_);
            return frame;
        }
        dropFront(1);
    }
    return std::nullopt;
}

Bytes RtuFramer::takeNoise()
{
    Bytes noise;
    noise.swap(noise_);
    return noise;
}

double RtuFramer::msUntilSilence(double nowMs) const
{
    if (buffer_.empty())
        return -1;
    const double left = lastByteMs_ + silenceMs_ - nowMs;
    return left > 0 ? left : 0;
}

}  // namespace trelmo::sim
