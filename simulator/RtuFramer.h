// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts the bytes that arrive from the master into request frames, in one of
// two ways.
//
// By length (the default, kind to a pseudo-terminal, which delivers bytes with
// its own timing): the length of every request the controller understands
// follows from its first bytes (8 bytes for functions 03, 05 and 06; 9 + byte
// count for 16), so a frame is complete as soon as its last byte is in. A
// candidate whose CRC fails is treated as line noise: the framer drops one byte
// and looks again from the next one. Bytes that do not make a frame by the time
// the line falls silent are thrown away, except that a silent, CRC-correct frame
// with an unknown function code is passed on so that the slave can answer it
// with exception 01.
//
// By the line model (--wire-time), as a real slave at 19200 8N1 sees its line.
// A pseudo-terminal hands over at once what the master writes, so each chunk
// read is placed on a modelled wire: it starts when it was read or when the
// bytes before it have gone, whichever is later, and takes one character time
// a byte. A chunk that starts less than 3.5 character times after the bytes
// before it ended belongs to the same frame; this is what a real line does
// when a master writes its next request while the last one is still going out:
// the UART sends them back to back and the slave sees one long frame. A frame
// is complete after 3.5 character times of silence after its last byte, not
// before. One whose CRC fails (such a merged frame, say) is noise and is
// dropped whole: a slave cannot tell where a frame would start inside it.
#pragma once

#include "ModbusRtu.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <span>

namespace trelmo::sim {

class RtuFramer {
public:
    enum class Mode { ByLength, LineModel };

    // 3.5 characters at 19200 baud are 1.8 ms; on a pseudo-terminal the pieces
    // of one request can be further apart than that, so the default is wider.
    // The line model always uses 3.5 character times.
    static constexpr double DefaultSilenceMs = 20.0;
    static constexpr std::size_t MaxBuffered = 600;

    explicit RtuFramer(Mode mode = Mode::ByLength, double silenceMs = DefaultSilenceMs)
        : m_mode(mode), m_silenceMs(silenceMs)
    {}

    // Bytes read from the master at time nowMs.
    void feed(std::span<const std::uint8_t> bytes, double nowMs);

    // The next complete frame, if one is there at time nowMs.
    std::optional<Bytes> next(double nowMs);

    // When the line will have been silent long enough for next() to hand on
    // or throw away what is buffered; negative when nothing waits. For the
    // caller's poll timeout: next() at that time does the work.
    double silenceDueMs() const;

    std::size_t pending() const;

    // The bytes thrown away since the last call, for the log; at most
    // MaxBuffered of them, the first ones.
    Bytes takeNoise();

private:
    std::optional<Bytes> nextByLength(double nowMs);
    std::optional<Bytes> nextOnLine(double nowMs);
    // Frame length implied by the buffered head: > 0 known, 0 not yet known,
    // < 0 unknown function code.
    long expectedLength() const;
    void dropFront(std::size_t n);
    void addNoise(std::span<const std::uint8_t> bytes);
    void closeFrame();

    Mode m_mode;
    Bytes m_buffer;  // by length: the stream; on the line: the frame still arriving
    Bytes m_noise;
    double m_lastByteMs = 0;  // by length: when the last bytes were read
    double m_silenceMs;

    // The line model.
    std::deque<Bytes> m_complete;  // frames ended by silence, not yet taken
    double m_lineEndMs = 0;        // modelled end of the last character
    bool m_overlong = false;       // the frame arriving outgrew any request: noise
};

}  // namespace trelmo::sim
