// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns stored line records back into the texts of the program grid.
#include <QString>
#include <cstdint>

#include "core/ToolState.h"

class FlexGrid;

// Writes the texts of `count` records from the start of `display` into grid rows
// (block - 1) * 10 + 1 onwards. Stops at the last record `display` holds and at the last row
// the grid has; nothing happens for a count or block below 1.
void RenderLines(FlexGrid &grid, const ProgramBytes &display, int count, int block);
// Writes the texts of one record into grid row `row`, when the grid has that row.
void RenderLine(FlexGrid &grid, const std::uint8_t *record, int row);
