// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's instruction set and the 24-byte line record in which a program line is
// kept. A line names a category (1 to 6) and a command within it (counted from 1), and carries
// five parameters; 0 means "not set" for both codes. The tool never interprets a line: the
// controller alone decides what a command does with its parameters.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "protocol/Program.h"
#include "core/NumberText.h"
#include "core/Texts.h"

namespace program {

constexpr int ParameterCount = 5;

// Shown for a line without a category or command.
QString NoneText();
QString NoneText(Language language);

// The six category names in code order.
QStringList CategoryNames();
// The command names of a category in code order; empty for anything that is not a category.
QStringList CommandNames(const QString &category);
// 1 to 6, or 0 when `name` is not a category name.
int CategoryCode(const QString &name);
// The code of a (category, command) pair, or 0 when the pair is unknown.
int CommandCode(const QString &category, const QString &command);
// Names of codes; a null string for a code that has none.
QString CategoryName(int category);
QString CommandName(int category, int command);
// The same names in `language`, whichever language is in use.
QString CategoryName(int category, Language language);
QString CommandName(int category, int command, Language language);
// The titles of a line's cells, columns 1 to 7: "指令集", "命令", "参数1" to "参数5".
text::Text ColumnTitle(int column);
// All names are in the language in use. A category or command name, or the text for none, as
// a cell shows it in either language: the same name in the language in use. Any other text
// comes back as it is.
QString NameInUse(const QString &shown);

// A parameter is a signed 32-bit count of thousandths. Positive numbers are rounded to the
// nearest thousandth (halves to even), negative magnitudes up to the next thousandth, so that
// a tiny negative input never turns into 0. Empty when the result does not fit 32 bits.
std::optional<std::int32_t> EncodeParameter(double value);
// The shortest plain decimal text of a count of thousandths: 1500 -> "1.5", -1 -> "-0.001".
QString ThousandthsText(std::int64_t thousandths);
// The same text in `buffer`, no string made.
QLatin1StringView ThousandthsDigits(std::int64_t thousandths, DecimalBuffer &buffer);

// Parameter k (1 to 5) of a record, bytes 4k to 4k + 3, low 16-bit word first, each word
// high byte first.
void WriteParameter(std::uint8_t *record, int k, std::int32_t value);
std::int32_t ReadParameter(const std::uint8_t *record, int k);

// Offset of line r in the program image, or -1 when the image has no room for it.
int RecordOffset(int line);
// Line r's record in the program image, or null for a line the image cannot hold.
std::uint8_t *Record(ProgramBytes &image, int line);
const std::uint8_t *Record(const ProgramBytes &image, int line);

// Lines `after` + 1 to `lines` move down by `count` lines and the `count` records at `records`
// take their place; the records past the new last line keep what they held. The caller keeps
// 0 <= `after` <= `lines` and `lines` + `count` <= MaxLines.
void InsertLines(ProgramBytes &image, int lines, int after, const std::uint8_t *records, int count);
// Lines `first` to `first` + `count` - 1 go and the lines after them move up; the old last
// `count` records stay in the image, past the new line count. The caller keeps 1 <= `first` and
// `first` + `count` - 1 <= `lines` <= MaxLines.
void RemoveLines(ProgramBytes &image, int lines, int first, int count);

// Copies the records into the display image: DisplayImage[i - 2] = ProgramImage[i].
void CopyToDisplay(const ProgramBytes &programImage, ProgramBytes &displayImage);

}  // namespace program
