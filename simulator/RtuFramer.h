// Cuts the byte stream that arrives from the master into request frames.
//
// The length of every request the controller understands follows from its
// first bytes (8 bytes for functions 03, 05 and 06; 9 + byte count for 16), so a
// frame is complete as soon as its last byte is in, without waiting for the
// inter-frame silence. A candidate whose CRC fails is treated as line noise: the
// framer drops one byte and looks again from the next one. Bytes that do not
// make a frame by the time the line falls silent are thrown away, except that a
// silent, CRC-correct frame with an unknown function code is passed on so that
// the slave can answer it with exception 01.
#pragma once

#include "ModbusRtu.h"

#include <cstddef>
#include <optional>
#include <span>

namespace trelmo::sim {

class RtuFramer {
public:
    // 3.5 characters at 19200 baud are 1.8 ms; on a pseudo-terminal the pieces
    // of one request can be further apart than that, so the default is wider.
    static constexpr double DefaultSilenceMs = 20.0;
    static constexpr std::size_t MaxBuffered = 600;

    explicit RtuFramer(double silenceMs = DefaultSilenceMs) : m_silenceMs(silenceMs) {}

    void feed(std::span<const std::uint8_t> bytes, double nowMs);

    // The next complete frame, if one is there at time nowMs.
    std::optional<Bytes> next(double nowMs);

    // Milliseconds until buffered bytes time out, or a negative value when
    // nothing is waiting; for the caller's poll timeout.
    double msUntilSilence(double nowMs) const;

    std::size_t pending() const { return m_buffer.size(); }
    std::size_t discarded() const { return m_discarded; }

    // The bytes thrown away since the last call, for the log. Kept up to
    // MaxBuffered; older ones are only counted.
    Bytes takeNoise();

private:
    // Frame length implied by the buffered head: > 0 known, 0 not yet known,
    // < 0 unknown function code.
    long expectedLength() const;
    void dropFront(std::size_t n);

    Bytes m_buffer;
    Bytes m_noise;
    double m_lastByteMs = 0;
    double m_silenceMs;
    std::size_t m_discarded = 0;
};

}  // namespace trelmo::sim
