#pragma once
// The rules of the 24 parameter boxes: which column a box belongs to, where an entry is
// written, and how a typed text becomes the value sent to the controller.
#include <QString>
#include <cstdint>
#include <optional>

namespace param {

constexpr int BoxCount = 24;

// The columns of the grid, left to right.
enum class Column { PulseEquivalent, Lead, Microstep, ManualAccel, Travel, OriginDirection, HomingSpeed, BackOff };
constexpr int ColumnCount = 8;

// The box shown in `column` of axis `axis` (0 X, 1 Y, 2 Z).
int BoxIndex(int axis, Column column);
Column ColumnOf(int box);

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

}  // namespace param
