// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ParameterEntry.h"

#include "protocol/RegisterMap.h"
#include "core/NumberText.h"
#include "core/ScaledValue.h"
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
const text::Text Captions[ColumnCount] = {
    {QT_TRANSLATE_NOOP("Trelmo", "脉冲当量")},     {QT_TRANSLATE_NOOP("Trelmo", "导程/")},
    {QT_TRANSLATE_NOOP("Trelmo", "细分")},         {QT_TRANSLATE_NOOP("Trelmo", "手动加速度")},
    {QT_TRANSLATE_NOOP("Trelmo", "行程(mm)")},     {QT_TRANSLATE_NOOP("Trelmo", "原点方向")},
    {QT_TRANSLATE_NOOP("Trelmo", "二次找零速度")}, {QT_TRANSLATE_NOOP("Trelmo", "原点回退距离")}};

std::int64_t Divisor(Column column)
{
    switch (column) {
    case Column::PulseEquivalent: return 1000000;
    case Column::Microstep:
    case Column::OriginDirection: return 1;
    default: return 1000;
    }
}
}  // namespace

text::Text Caption(Column column)
{
    return Captions[int(column)];
}

QString AxisName(int axis)
{
    return QString(QChar(u'X' + axis));
}

int AxisOf(int box)
{
    return box >= AccelBox ? box - AccelBox : box / AxisBoxes;
}

void DecodeParameterBlock(const std::uint8_t *b, Values &values)
{
    for (int axis = 0; axis < 3; ++axis)
        for (int j = 0; j < AxisBoxes; ++j) {
            const std::uint8_t *at = b + 2 * (reg::AxisParamStride * axis + AxisRegisterOffsets[j]);
            values[std::size_t(AxisBoxes * axis + j)] =
                AxisColumns[j] == Column::OriginDirection ? std::uint32_t(at[0] << 8 | at[1]) : RawScaled(at);
        }
}

void DecodeAccelerationBlock(const std::uint8_t *b, Values &values)
{
    for (int axis = 0; axis < 3; ++axis)
        values[std::size_t(AccelBox + axis)] = RawScaled(b + 4 * axis);
}

QString Shown(int box, std::uint32_t raw)
{
    const Column column = ColumnOf(box);
    return column == Column::OriginDirection ? QString::number(raw) : ScaledText(raw, Divisor(column));
}

Registers Source(int box)
{
    if (box >= AccelBox)
        return {reg::ManualAccelX + 2 * (box - AccelBox), 2};
    const int j = box % AxisBoxes;
    return {reg::AxisParamsX + reg::AxisParamStride * (box / AxisBoxes) + AxisRegisterOffsets[j],
            AxisColumns[j] == Column::OriginDirection ? 1 : 2};
}

std::vector<std::uint8_t> WriteData(int box, std::int64_t value)
{
    if (ColumnOf(box) == Column::OriginDirection)
        return {0, std::uint8_t(value)};
    StagingBuffer staging{};
    FillStaging(staging, value);
    return {staging.begin(), staging.end()};
}

std::uint32_t RawOf(int box, std::int64_t value)
{
    return ColumnOf(box) == Column::OriginDirection ? std::uint32_t(value & 0xFF) : std::uint32_t(value);
}

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
