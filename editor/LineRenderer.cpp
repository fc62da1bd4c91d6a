// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/LineRenderer.h"

#include "core/Instructions.h"
#include "ui/FlexGrid.h"

namespace {
// Category and command of a record: only the low bytes of the two code registers carry the
// codes; a command unknown to its category keeps showing its number.
void renderNames(FlexGrid &grid, int row, const std::uint8_t *record)
{
    const int category = record[1];
    const int command = record[3];
    const QString categoryName = program::CategoryName(category);
    if (categoryName.isNull()) {
        grid.setTextMatrix(row, 1, program::NoneText());
        grid.setTextMatrix(row, 2, program::NoneText());
        return;
    }
    grid.setTextMatrix(row, 1, categoryName);
    const QString name = program::CommandName(category, command);
    if (name.isNull()) {
        DecimalBuffer number;
        grid.setTextMatrix(row, 2, DecimalDigits(command, 1, number));
    } else {
        grid.setTextMatrix(row, 2, name);
    }
}
}  // namespace

void RenderLines(FlexGrid &grid, const ProgramBytes &display, int count, int block)
{
    if (count < 1 || block < 1)
        return;
    const qint64 firstRow = qint64(block - 1) * 10 + 1;
    const qint64 lastGridRow = grid.rows() - 1;
    for (int line = 1; line <= count; ++line) {
        const qint64 row = firstRow + line - 1;
        const std::size_t offset = std::size_t(line - 1) * program::RecordSize;
        if (row > lastGridRow || offset + program::RecordSize > display.size())
            return;
        RenderLine(grid, display.data() + offset, int(row));
    }
}

void RenderLine(FlexGrid &grid, const std::uint8_t *record, int row)
{
    if (row < 1 || row >= grid.rows())
        return;
    renderNames(grid, row, record);
    // A program rendered again mostly shows what its cells already hold: the digits are
    // compared with the cell before a string is made.
    DecimalBuffer digits;
    for (int k = 1; k <= program::ParameterCount; ++k)
        grid.setTextMatrix(row, 2 + k, program::ThousandthsDigits(program::ReadParameter(record, k), digits));
}
