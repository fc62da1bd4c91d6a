#include "projects/LineRenderer.h"

#include "editor/Instructions.h"
#include "ui/FlexGrid.h"

LineTexts RenderRecord(const std::uint8_t *record)
{
    LineTexts texts;
    // Only the low bytes of the two code registers carry the codes.
    const int category = record[1];
    const int command = record[3];
    for (int k = 1; k <= program::ParameterCount; ++k)
        texts.parameters[k - 1] = program::ThousandthsText(program::ReadParameter(record, k));

    const QString categoryName = program::CategoryName(category);
    if (!categoryName.isNull()) {
        texts.category = categoryName;
        // A command unknown to its category keeps showing its number.
        const QString name = program::CommandName(category, command);
        texts.command = name.isNull() ? QString::number(command) : name;
    } else {
        texts.category = texts.command = program::NoneText();
    }
    return texts;
}

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
        const LineTexts texts = RenderRecord(display.data() + offset);
        const int r = int(row);
        grid.setTextMatrix(r, 1, texts.category);
        grid.setTextMatrix(r, 2, texts.command);
        for (int k = 0; k < program::ParameterCount; ++k)
            grid.setTextMatrix(r, 3 + k, texts.parameters[k]);
    }
}
