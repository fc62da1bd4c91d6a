// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The axis parameters kept in a file: the 24 values of the parameter screen as UTF-8 text that
// a person can read and edit. Three header lines (what the file is, its format version, the
// tool that wrote it; no date, so that the same controller always gives the same bytes), then
// one line per value, tab-separated: the axis, the screen's column caption in Chinese and in
// English, the value as the screen shows it, the registers it came from, and a note where the
// value is one the screen shows but never writes. Lines starting with '#' are comments.
#include <QByteArray>
#include <QString>
#include <array>

#include "core/ParameterEntry.h"

namespace param {

constexpr int FileFormat = 1;
// No parameter file is longer than this; nothing past it is read.
constexpr int MaxFileBytes = 1 << 16;

// The file of `values` as read from a controller.
QByteArray WriteFile(const Values &values);

// What a file holds for one box.
struct FileValue {
    QString text;            // as written in the file
    std::uint32_t raw = 0;   // the value it stands for in the controller
    // The screen would write it (with the same checks as its ENTER). The pulse equivalent never,
    // nor a value the controller held that the screen would refuse.
    bool restorable = false;
    int line = 0;
};
struct FileContents {
    std::array<FileValue, BoxCount> values;
    // Refused: the line of the file and what is wrong with it (line 0: the file as a whole).
    QString error;
    int errorLine = 0;
    bool ok() const { return error.isEmpty(); }
};
// Reads a parameter file. Anything but a whole, well-formed file is refused, first fault first.
FileContents ReadFile(const QByteArray &bytes);

}  // namespace param
