// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramModel.h"

#include <algorithm>

#include "core/Instructions.h"
#include "core/NumberText.h"

namespace {
QByteArray Records(const ProgramBytes &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()) + program::CountWordSize,
                      program::RecordSize * program::MaxLines);
}
}  // namespace

double ProgramModel::Parse(const QString &text)
{
    return std::clamp(NumericValue(text), -1e6, 1e6);
}

int ProgramModel::lines() const
{
    return int(RoundHalfEven(m_count));
}

void ProgramModel::setCount(double count)
{
    m_count = count;
    emit countChanged(count);
}

void ProgramModel::setCountWord(int lines)
{
    m_state.ProgramImage[0] = std::uint8_t(lines >> 8);
    m_state.ProgramImage[1] = std::uint8_t(lines & 0xFF);
}

void ProgramModel::copyToDisplay()
{
    program::CopyToDisplay(m_state.ProgramImage, m_state.DisplayImage);
}

void ProgramModel::setBaseline()
{
    m_baseline = {m_count, Records(m_state.ProgramImage)};
}

bool ProgramModel::changed(int shownLines) const
{
    if (lines() != int(RoundHalfEven(m_baseline.count)))
        return true;
    const int compared =
        std::clamp(std::max({lines(), int(RoundHalfEven(m_baseline.count)), shownLines}), 0, program::MaxLines);
    const qsizetype bytes = qsizetype(program::RecordSize) * compared;
    return Records(m_state.ProgramImage).left(bytes) != m_baseline.records.left(bytes);
}
