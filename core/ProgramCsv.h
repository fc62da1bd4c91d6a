// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program as a spreadsheet holds it: one row a line, the columns 指令集, 命令 and 参数1 to 参数5,
// with or without a column of line numbers in front and a row of column titles on top. The same
// text is a CSV file (commas, titles and line numbers, Chinese names, UTF-8 with a byte-order mark,
// so that a spreadsheet opens it with the Chinese intact) and the text of copied lines (tabs, as a
// spreadsheet copies cells, names in the language in use).
//
// The text is written from the records, never from what a cell shows. A category or command that
// the catalogue does not name (0, a code outside its tables, a code register whose high byte is
// not 0) is written as the number its register holds, so that reading the text back gives every
// record byte for byte.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "core/ProjectFile.h"
#include "core/Texts.h"
#include "protocol/Program.h"

namespace sheet {

enum class Separator : char16_t { Comma = u',', Tab = u'\t' };

struct Layout {
    Separator separator;
    Language names;
    bool titles;       // a row of column titles first
    bool lineNumbers;  // a column of line numbers first
    const char *rowEnd;
};
// The CSV file: commas, titles, line numbers, Chinese names, CRLF as a spreadsheet writes it.
Layout FileLayout();
// Copied lines: tabs, the seven cells of each line, names in the language in use.
Layout CopyLayout();

// The text of `count` 24-byte records from `records`, the first one numbered line 1.
QString Write(const std::uint8_t *records, int count, const Layout &layout);

// Why a text is not a program: the first wrong cell of a row, or a row of the wrong width, or
// more lines than fit.
struct Problem {
    enum Kind { TooManyLines, Width, Category, Command, Code, Number, Range, LineNumber } kind;
    int row = 0;     // as a spreadsheet numbers its rows, from 1
    int column = 0;  // as the text counts its cells, from 1
    int field = 0;   // what the cell holds: 0 a line number, 1 to 7 the line's own columns
    QString cell;    // the cell's text (Width: how many cells the row has; TooManyLines: how many lines)
    int limit = 0;   // TooManyLines: how many lines fit; Width: how many cells a row has (0: 7 or 8)
};

struct Reading {
    QByteArray records;  // 24 bytes a line
    QList<Problem> problems;
    int found = 0;  // the lines of the text, taken or not
    int lines() const { return int(records.size() / program::RecordSize); }
};

// Reads the lines of a text, cells separated by `separator`, rows by CRLF, LF or CR, cells in
// double quotes as spreadsheets quote them. A row has 7 cells, or 8 with a line number first (a
// whole number, not checked against its place), and every row as many as the first; a row of
// column titles in either language may come first, and rows without any text are passed over.
// A category or command is a name in either language, "无" for none, or a code 0 to 65535; a
// parameter is a number with an optional minus and at most three decimals, -2147483.648 to
// 2147483.647. When more than `room` lines come, that alone is the problem.
Reading Read(QStringView text, Separator separator, int room);

// One line that says what is wrong, in the language in use.
QString Describe(const Problem &problem);
// Every refused row by its number: the first rows each with what is wrong, then the numbers of
// the rest.
QString Report(const QList<Problem> &problems);

// A CSV file is known by its extension, whatever the file dialog showed.
bool IsCsvPath(const QString &path);
// A CSV file's text: UTF-8 with or without a byte-order mark, UTF-16 with one, or else GB18030,
// what a Chinese spreadsheet writes by default.
QString Decode(const QByteArray &bytes);
// The file's bytes for lines 1 to `lines` of `image`.
QByteArray FileBytes(const ProgramBytes &image, int lines);

// Reads a CSV file; nothing when it cannot be read (no file, not a plain file, too large for a
// program). The lines past the file's last are empty in the image an open takes.
std::optional<Reading> ReadFile(const QString &path);
// What an open takes from a reading without problems: a whole image, its count word the number
// of lines.
project::Contents Contents(const Reading &reading);
// Writes lines 1 to `lines` of `image` as a CSV file, whole or not at all.
bool WriteFile(const QString &path, const ProgramBytes &image, int lines);

}  // namespace sheet
