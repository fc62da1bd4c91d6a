// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include "BenchSupport.h"

// A paste of 500 lines of a spreadsheet's text and the import of a 500-line CSV table, each in the
// main window, from the key or the click to the window painted (Spreadsheet.cpp).
QList<Row> MeasureSpreadsheet(const QString &programFile);
