// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the three screens share besides their cycle: the four-slot staging buffer of their
// function-16 writes, and the display rule of a scaled value.
#include <QString>
#include <array>
#include <cstdint>

// Four data bytes of the next function-16 request, in frame order.
using StagingBuffer = std::array<std::uint8_t, 4>;

// A 32-bit value as two registers, low-order word first, each register high byte first:
// slot 0 = high byte of the low word, slot 1 its low byte, slot 2 = high byte of the high
// word, slot 3 its low byte. Negative values go as two's complement.
void FillStaging(StagingBuffer &staging, std::int64_t value);

// The raw 32-bit value of four reply bytes b0 b1 b2 b3 (low word first).
std::uint32_t RawScaled(const std::uint8_t *bytes);
// The text of a scaled value: raw / divisor, or "-" followed by (4294967296 - raw) / divisor
// above 2147483647, in the plain shortest decimal form (12.5, 0.001, 0, 2147483.647).
QString ScaledText(std::uint32_t raw, std::int64_t divisor = 1000);
