// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a program is held: a count word (high byte first), then one 24-byte record per line,
// moved to and from the controller in blocks of ten lines.
#include <array>
#include <cstdint>

namespace program {
constexpr int MaxLines = 500;
constexpr int CountWordSize = 2;
constexpr int RecordSize = 24;  // twelve registers
constexpr int LinesPerBlock = 10;
constexpr int BlockBytes = RecordSize * LinesPerBlock;  // 240
// The count word, 500 records and 23 bytes after the last one that hold no line.
constexpr int ImageSize = 12025;
static_assert(ImageSize == CountWordSize + RecordSize * MaxLines + 23);
}  // namespace program

using ProgramBytes = std::array<std::uint8_t, program::ImageSize>;
