// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The layout of the program grid: eight equal, centred columns, the column titles in row 0,
// one 400-twip row per program line with its line number in column 0.
class FlexGrid;
class QWidget;

namespace program {

// Column widths, alignment and the titles of row 0; the row count is not touched.
void LayOutGridColumns(FlexGrid &grid);
// Row count `lines` + 1, row heights and line numbers for a program of `lines` lines.
void LayOutGridRows(FlexGrid &grid, int lines);
// Lays the grid out afresh for a program of `lines` lines that is rendered into it next: the
// selection goes, the cells of lines 1 to `lines` keep their texts until they are rendered.
void RebuildGrid(FlexGrid &grid, int lines);
// Closes the chooser and the entry box without storing what they hold: hidden and parked.
void HideCellEditors(QWidget &chooser, QWidget &entry);
// After a change of language: the category and command names the cells show, in the language
// now in use (the titles come with the column layout). Parameters and any other text stay as
// they are.
void RetranslateNames(FlexGrid &grid);

}  // namespace program
