#include "core/ParameterEntry.h"

#include "link/RegisterMap.h"
#include "core/NumberText.h"
#include "core/Texts.h"

namespace param {

namespace {
// Boxes 0 .. 6 of an axis in register order, then the three manual accelerations.
constexpr int AxisBoxes = 7;
constexpr int AccelBox = 21;
constexpr std::int64_t MaxRaw = 2147483647;  // the register pair carries a signed 32-bit value

// Box offset within an axis, by the register order of the axis block.
constexpr Column AxisColumns[AxisBoxes] = {
    Column::PulseEquivalent, Column::Lead,        Column::Microstep, Column::Travel,
    Column::OriginDirection, Column::HomingSpeed, Column::BackOff};
constexpr int AxisRegisterOffsets[AxisBoxes] = {
    reg::axis::PulseEquivalent, reg::axis::Lead,        reg::axis::Microstep, reg::axis::Travel,
    reg::axis::OriginDirection, reg::axis::HomingSpeed, reg::axis::BackOff};
}  // namespace

int BoxIndex(int axis, Column column)
{
    if (column == Column::ManualAccel)
        return AccelBox + axis;
    for (int j = 0; j < AxisBoxes; ++j)
        if (AxisColumns[j] == column)
            return AxisBoxes * axis + j;
    return -1;
}

Column ColumnOf(int box)
{
    if (box < 0 || box >= BoxCount)
        return Column::PulseEquivalent;  // no box: nothing to write
    if (box >= AccelBox)
        return Column::ManualAccel;
    return AxisColumns[box % AxisBoxes];
}

std::optional<WriteTarget> WriteAddress(int box)
{
    if (box < 0 || box >= BoxCount)
        return std::nullopt;
    if (box >= AccelBox)
        return WriteTarget{reg::ManualAccelX + 2 * (box - AccelBox), 2};
    const int axis = box / AxisBoxes;
    const int j = box % AxisBoxes;
    if (AxisColumns[j] == Column::PulseEquivalent)
        return std::nullopt;  // the controller derives it; shown only
    const int start = reg::AxisParamsX + reg::AxisParamStride * axis + AxisRegisterOffsets[j];
    return WriteTarget{start, AxisColumns[j] == Column::OriginDirection ? 1 : 2};
}

Entry EvaluateEntry(int box, const QString &text)
{
    const double v = NumericValue(text);
    const Column column = ColumnOf(box);
    if (column == Column::OriginDirection) {
        if (v != 0.0 && v != 1.0)
            return {QCoreApplication::translate("Trelmo", "输入数据不在0或1的范围，出错！"), 0};
        return {QString(), std::int64_t(v)};
    }
    const QString refused = text::BadEntry();
    if (v < 0)
        return {refused, 0};
    const double n = RoundHalfEven(column == Column::Microstep ? v : v * 1000.0);
    // A value the register pair cannot carry would arrive as a negative number.
    if (!(n <= double(MaxRaw)))
        return {refused, 0};
    return {QString(), std::int64_t(n)};
}

}  // namespace param
