// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ProgramGrid.h"

#include <QWidget>
#include <algorithm>

#include "core/Instructions.h"
#include "ui/FlexGrid.h"
#include "core/Texts.h"

namespace program {

namespace {
constexpr int RowHeightTwips = 400;
constexpr int Centred = 4;
}  // namespace

void LayOutGridColumns(FlexGrid &grid)
{
    // All eight columns equally wide, the label column included.
    const int width = (grid.gridWidthTwips() - 500) / 8;
    for (int c = 0; c < FlexGrid::Cols; ++c) {
        grid.setColWidthTwips(c, width);
        grid.setFixedAlignment(c, Centred);
        grid.setColAlignment(c, Centred);
    }
    for (int c = 1; c < FlexGrid::Cols; ++c)
        grid.setTextMatrix(0, c, ColumnTitle(c)());
}

void LayOutGridRows(FlexGrid &grid, int lines)
{
    // The image holds no more than MaxLines lines; the grid never shows more.
    lines = std::clamp(lines, 0, MaxLines);
    grid.setRows(lines + 1);
    grid.setRowHeightTwips(0, RowHeightTwips);
    grid.setRowHeightsTwips(1, lines, RowHeightTwips);
    const FlexGrid::TextBatch batch(grid);
    DecimalBuffer number;
    for (int r = 1; r <= lines; ++r)
        grid.setTextMatrix(r, 0, DecimalDigits(r, 1, number));
}

void RebuildGrid(FlexGrid &grid, int lines)
{
    // The cells keep their items: the program rendered next writes into them, and a cell that
    // shows the same text as before is not touched at all.
    grid.selectionModel()->reset();
    LayOutGridColumns(grid);
    LayOutGridRows(grid, lines);
}

void HideCellEditors(QWidget &chooser, QWidget &entry)
{
    chooser.hide();
    entry.hide();
    chooser.move(-100, -100);
    entry.move(-100, -100);
}

void RetranslateNames(FlexGrid &grid)
{
    for (int r = 1; r < grid.rows(); ++r)
        for (int c : {1, 2}) {
            const QString shown = grid.textMatrix(r, c);
            const QString name = NameInUse(shown);
            if (name != shown)
                grid.setTextMatrix(r, c, name);
        }
}

}  // namespace program
