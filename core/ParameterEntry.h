// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of the 24 parameter boxes: which column a box belongs to, where its value comes
// from and how it is shown, where an entry is written, and how a typed text becomes the value
// sent to the controller.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/Texts.h"

namespace param {

constexpr int BoxCount = 24;

// The columns of the grid, left to right.
enum class Column { PulseEquivalent, Lead, Microstep, ManualAccel, Travel, OriginDirection, HomingSpeed, BackOff };
constexpr int ColumnCount = 8;

// The box shown in `column` of axis `axis` (0 X, 1 Y, 2 Z).
int BoxIndex(int axis, Column column);
Column ColumnOf(int box);
int AxisOf(int box);
// The column's caption on the screen.
text::Text Caption(Column column);
// "X", "Y", "Z".
QString AxisName(int axis);

// What the controller holds for each box: the raw 32-bit count of a scaled value, or the plain
// register of an origin direction. Read as two blocks, the axis parameters (39 registers from
// 8192) and the manual accelerations (6 registers from 8549).
using Values = std::array<std::uint32_t, 24>;
void DecodeParameterBlock(const std::uint8_t *bytes, Values &values);     // 78 bytes
void DecodeAccelerationBlock(const std::uint8_t *bytes, Values &values);  // 12 bytes
// A value as the screen shows it.
QString Shown(int box, std::uint32_t raw);
// The registers a box's value comes from.
struct Registers {
    int start;
    int count;
};
Registers Source(int box);

struct WriteTarget {
    int start;  // first register
    int count;  // 1 for the origin direction, 2 for the 32-bit items
};
// Where an entry into `box` goes; nothing for the display-only boxes and indices outside
// the table.
std::optional<WriteTarget> WriteAddress(int box);

// A checked entry: either an error message for the user or the value to write (the raw
// 32-bit count, or the plain register value of an origin direction).
struct Entry {
    QString error;
    std::int64_t value = 0;
};
// Only meaningful for boxes that have a write address.
Entry EvaluateEntry(int box, const QString &text);
// The data bytes of the write of `value` into `box`: one register or two, as the frame carries
// them (each register high byte first, a 32-bit value low word first).
std::vector<std::uint8_t> WriteData(int box, std::int64_t value);
// The raw value a checked entry leaves in the controller.
std::uint32_t RawOf(int box, std::int64_t value);

}  // namespace param
