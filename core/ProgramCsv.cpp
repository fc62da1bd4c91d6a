// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramCsv.h"

#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <array>

#include "core/Files.h"
#include "core/Instructions.h"

namespace sheet {

namespace {
const text::Text LineNumberTitle{QT_TRANSLATE_NOOP("Trelmo", "行号")};
const text::Text TooManyLinesText{
    QT_TRANSLATE_NOOP("Trelmo", "共有 %1 行代码，这里最多还能容纳 %2 行（一个程序最多 500 行）。")};
const text::Text WidthText{QT_TRANSLATE_NOOP(
    "Trelmo", "第 %1 行有 %2 列，应有 7 列（指令集、命令、参数1 至 参数5），或前面再加一列行号共 8 列。")};
const text::Text SameWidthText{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行有 %2 列，应与第一行一样有 %3 列。")};
const text::Text CategoryText{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：“%4”不是指令集的名称或代码。")};
const text::Text CommandText{
    QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：“%4”不是这一行的指令集中的命令名称或代码。")};
const text::Text CodeText{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：代码“%4”超出范围（0 至 65535）。")};
const text::Text NumberText{
    QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：“%4”不是数（可带负号，最多三位小数）。")};
const text::Text RangeText{
    QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：“%4”超出范围（-2147483.648 至 2147483.647）。")};
const text::Text LineNumberText{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行第 %2 列（%3）：“%4”不是行号。")};
const text::Text OtherRowsText{QT_TRANSLATE_NOOP("Trelmo", "其余出错的行：%1")};

constexpr int LineCells = 7;
// Rows described one by one in a report; the rest are listed by number.
constexpr int DescribedRows = 10;
// Far more than a program of 500 lines takes in any spreadsheet's writing.
constexpr qint64 MaxFileBytes = 4 << 20;
constexpr std::uint16_t MaxCode = 0xFFFF;

// --- Writing ------------------------------------------------------------------------------

int Word(const std::uint8_t *record, int at)
{
    return record[at] << 8 | record[at + 1];
}

// --- Reading ------------------------------------------------------------------------------

// The names of the catalogue in both languages, and the text for none.
struct Names {
    QHash<QString, int> categories;
    std::array<QHash<QString, int>, 7> commands;  // by category code
    QHash<QString, int> none;

    Names()
    {
        for (const Language language : {Language::Chinese, Language::English}) {
            none.insert(program::NoneText(language), 0);
            for (int c = 1; c < int(commands.size()); ++c) {
                categories.insert(program::CategoryName(c, language), c);
                for (int k = 1; !program::CommandName(c, k, language).isNull(); ++k)
                    commands[std::size_t(c)].insert(program::CommandName(c, k, language), k);
            }
        }
    }
};

enum class Cell { Ok, Bad, TooLarge };

// A whole number: digits only.
Cell WholeNumber(QStringView s, qint64 limit, qint64 &value)
{
    if (s.isEmpty())
        return Cell::Bad;
    value = 0;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9')
            return Cell::Bad;
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            value = limit + 1;  // held there: the digits may go on for ever
    }
    return value > limit ? Cell::TooLarge : Cell::Ok;
}

// An optional minus, digits, and at most three decimals after a point: thousandths.
Cell Thousandths(QStringView s, std::int32_t &value)
{
    const bool negative = s.startsWith(u'-');
    if (negative)
        s = s.mid(1);
    const qsizetype point = s.indexOf(u'.');
    const QStringView whole = point < 0 ? s : s.left(point);
    const QStringView fraction = point < 0 ? QStringView() : s.mid(point + 1);
    constexpr qint64 Largest = qint64(1) << 31;  // the magnitude of the smallest value
    qint64 units = 0, decimals = 0;
    const Cell w = WholeNumber(whole, Largest, units);
    if (w == Cell::Bad || (point >= 0 && (fraction.size() > 3 || WholeNumber(fraction, 999, decimals) != Cell::Ok)))
        return Cell::Bad;
    for (qsizetype i = fraction.size(); i < 3; ++i)
        decimals *= 10;
    const qint64 magnitude = w == Cell::TooLarge ? Largest * 1000 : units * 1000 + decimals;
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return Cell::TooLarge;
    value = std::int32_t(signedValue);
    return Cell::Ok;
}

// Splits the text into rows of cells, as spreadsheets quote them: a cell that starts with a
// double quote runs to the next lone one and may hold separators, line ends and doubled quotes.
class Rows {
public:
    Rows(QStringView text, QChar separator) : m_text(text), m_separator(separator)
    {
        if (m_text.startsWith(QChar(0xFEFF)))
            m_text = m_text.mid(1);
    }
    // The next row into `cells`; false at the end of the text.
    bool next(QList<QString> &cells)
    {
        cells.clear();
        if (m_at >= m_text.size())
            return false;
        QString cell;
        bool quoted = false;
        bool inQuotes = false;
        while (m_at < m_text.size()) {
            const QChar c = m_text[m_at++];
            if (inQuotes) {
                // A doubled quote is one quote; a lone one ends the quoting.
                const bool doubled = c == u'"' && m_at < m_text.size() && m_text[m_at] == u'"';
                if (c != u'"' || doubled)
                    cell += c;
                m_at += doubled ? 1 : 0;
                inQuotes = c != u'"' || doubled;
            } else if (c == u'"' && !quoted && cell.trimmed().isEmpty()) {
                cell.clear();
                quoted = inQuotes = true;
            } else if (c == m_separator) {
                cells << std::exchange(cell, QString());
                quoted = false;
            } else if (c == u'\n' || c == u'\r') {
                if (c == u'\r' && m_at < m_text.size() && m_text[m_at] == u'\n')
                    ++m_at;
                break;
            } else {
                cell += c;
            }
        }
        cells << cell;
        return true;
    }

private:
    QStringView m_text;
    QChar m_separator;
    qsizetype m_at = 0;
};

bool Blank(const QList<QString> &cells)
{
    return std::all_of(cells.cbegin(), cells.cend(), [](const QString &c) { return c.trimmed().isEmpty(); });
}

// Converts one line's cells (the line number, if any, first) into a record; the first wrong cell
// makes a problem.
std::optional<Problem> Convert(const Names &names, const QList<QString> &cells, std::uint8_t *record)
{
    const int offset = int(cells.size()) - LineCells;
    const auto wrong = [&](Problem::Kind kind, int field) {
        return Problem{kind, 0, offset + field, field, cells[offset + field - 1].trimmed()};
    };
    qint64 number = 0;
    if (offset == 1 && !cells[0].trimmed().isEmpty() && WholeNumber(cells[0].trimmed(), 1000000, number) != Cell::Ok)
        return Problem{Problem::LineNumber, 0, 1, 0, cells[0].trimmed()};
    // A name, none, or the number a code register holds.
    const auto code = [&](int field, const QHash<QString, int> &named, int &word) -> std::optional<Problem> {
        const QString cell = cells[offset + field - 1].trimmed();
        const auto name = named.constFind(cell);
        if (name != named.cend() || names.none.contains(cell)) {
            word = name != named.cend() ? *name : 0;
            return std::nullopt;
        }
        switch (WholeNumber(cell, MaxCode, number)) {
        case Cell::Ok: word = int(number); return std::nullopt;
        case Cell::TooLarge: return wrong(Problem::Code, field);
        default: return wrong(field == 1 ? Problem::Category : Problem::Command, field);
        }
    };
    int category = 0, command = 0;
    if (auto p = code(1, names.categories, category))
        return p;
    static const QHash<QString, int> noCommands;
    if (auto p = code(2, category >= 1 && category <= 6 ? names.commands[std::size_t(category)] : noCommands, command))
        return p;
    record[0] = std::uint8_t(category >> 8), record[1] = std::uint8_t(category);
    record[2] = std::uint8_t(command >> 8), record[3] = std::uint8_t(command);
    for (int k = 1; k <= program::ParameterCount; ++k) {
        std::int32_t value = 0;
        switch (Thousandths(QStringView(cells[offset + 2 + k - 1]).trimmed(), value)) {
        case Cell::Ok: program::WriteParameter(record, k, value); break;
        case Cell::TooLarge: return wrong(Problem::Range, 2 + k);
        default: return wrong(Problem::Number, 2 + k);
        }
    }
    return std::nullopt;
}

QString Shown(const QString &cell)
{
    constexpr int Longest = 24;
    const QString plain = cell.simplified();
    return plain.size() > Longest ? plain.left(Longest) + QChar(0x2026) : plain;
}
}  // namespace

Layout FileLayout()
{
    return {Separator::Comma, Language::Chinese, true, true, "\r\n"};
}

Layout CopyLayout()
{
    return {Separator::Tab, text::CurrentLanguage(), false, false, "\n"};
}

QString Write(const std::uint8_t *records, int count, const Layout &layout)
{
    const QChar separator(char16_t(layout.separator));
    const QString rowEnd = QString::fromLatin1(layout.rowEnd);
    QString out;
    out.reserve(qsizetype(count + 1) * 64);
    const auto row = [&](const QStringList &cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                out += separator;
            out += files::CsvField(cells[i], separator);
        }
        out += rowEnd;
    };
    QStringList cells;
    if (layout.titles) {
        if (layout.lineNumbers)
            cells << LineNumberTitle.in(layout.names);
        for (int c = 1; c <= LineCells; ++c)
            cells << program::ColumnTitle(c).in(layout.names);
        row(cells);
    }
    for (int line = 1; line <= count; ++line) {
        const std::uint8_t *record = records + std::size_t(program::RecordSize) * std::size_t(line - 1);
        cells.clear();
        if (layout.lineNumbers)
            cells << QString::number(line);
        const int category = Word(record, 0), command = Word(record, 2);
        const QString categoryName = program::CategoryName(category, layout.names);
        const QString commandName =
            categoryName.isNull() ? QString() : program::CommandName(category, command, layout.names);
        cells << (categoryName.isNull() ? QString::number(category) : categoryName)
              << (commandName.isNull() ? QString::number(command) : commandName);
        for (int k = 1; k <= program::ParameterCount; ++k)
            cells << program::ThousandthsText(program::ReadParameter(record, k));
        row(cells);
    }
    return out;
}

Reading Read(QStringView text, Separator separator, int room)
{
    const Names names;
    Reading reading;
    Rows rows(text, QChar(char16_t(separator)));
    QList<QString> cells;
    int rowNumber = 0, lines = 0, width = -1;
    std::array<std::uint8_t, program::RecordSize> record{};
    while (rows.next(cells)) {
        ++rowNumber;
        // Cells a spreadsheet leaves empty after the last column are no column.
        while (cells.size() > (width == LineCells + 1 ? width : LineCells) && cells.constLast().trimmed().isEmpty())
            cells.removeLast();
        if (Blank(cells))
            continue;
        const int cellCount = int(cells.size());
        const bool fits = cellCount == LineCells || cellCount == LineCells + 1;
        if (width < 0) {
            // The first row sets the width, and may be the column titles.
            width = fits ? cellCount : 0;
            if (fits && program::ColumnTitle(1).matches(cells[cellCount - LineCells].trimmed()))
                continue;
        }
        if (++lines > room)
            continue;
        if (!fits || (width > 0 && cellCount != width)) {
            reading.problems << Problem{Problem::Width, rowNumber, 0, 0, QString::number(cellCount), width};
            continue;
        }
        if (auto problem = Convert(names, cells, record.data())) {
            problem->row = rowNumber;
            reading.problems << *problem;
        } else if (reading.problems.isEmpty()) {
            reading.records.append(reinterpret_cast<const char *>(record.data()), program::RecordSize);
        }
    }
    reading.found = lines;
    if (lines > room)
        reading.problems = {Problem{Problem::TooManyLines, 0, 0, 0, QString::number(lines), room}};
    if (!reading.problems.isEmpty())
        reading.records.clear();
    return reading;
}

QString Describe(const Problem &p)
{
    const QString row = QString::number(p.row), column = QString::number(p.column);
    const QString title = p.field == 0 ? LineNumberTitle() : program::ColumnTitle(p.field)();
    const QString cell = Shown(p.cell);
    switch (p.kind) {
    case Problem::TooManyLines: return TooManyLinesText().arg(p.cell, QString::number(std::max(p.limit, 0)));
    case Problem::Width:
        return p.limit > 0 ? SameWidthText().arg(row, p.cell, QString::number(p.limit)) : WidthText().arg(row, p.cell);
    case Problem::Category: return CategoryText().arg(row, column, title, cell);
    case Problem::Command: return CommandText().arg(row, column, title, cell);
    case Problem::Code: return CodeText().arg(row, column, title, cell);
    case Problem::Number: return NumberText().arg(row, column, title, cell);
    case Problem::Range: return RangeText().arg(row, column, title, cell);
    case Problem::LineNumber: return LineNumberText().arg(row, column, title, cell);
    }
    return QString();
}

QString Report(const QList<Problem> &problems)
{
    QStringList lines;
    QStringList others;
    for (const Problem &p : problems) {
        if (lines.size() < DescribedRows)
            lines << Describe(p);
        else
            others << QString::number(p.row);
    }
    if (!others.isEmpty())
        lines << OtherRowsText().arg(others.join(QStringLiteral(", ")));
    return lines.join(u'\n');
}

bool IsCsvPath(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

QString Decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return utf16.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Qt knows GB18030 through ICU. Without it the names do not read, and the rows say so.
    QStringDecoder gb18030("GB18030");
    return gb18030.isValid() ? QString(gb18030.decode(bytes)) : QString::fromLatin1(bytes);
}

QByteArray FileBytes(const ProgramBytes &image, int lines)
{
    lines = std::clamp(lines, 0, program::MaxLines);
    return "\xEF\xBB\xBF" + Write(image.data() + program::CountWordSize, lines, FileLayout()).toUtf8();
}

std::optional<Reading> ReadFile(const QString &path)
{
    // A device or a pipe is no spreadsheet, and may never end.
    const std::optional<QByteArray> bytes = files::ReadRegular(path, MaxFileBytes + 1);
    if (!bytes || bytes->size() > MaxFileBytes)
        return std::nullopt;
    return Read(Decode(*bytes), Separator::Comma, program::MaxLines);
}

project::Contents Contents(const Reading &reading)
{
    QByteArray image(program::ImageSize, '\0');
    const int lines = std::min(reading.lines(), program::MaxLines);
    image[0] = char(lines >> 8), image[1] = char(lines);
    image.replace(program::CountWordSize, lines * program::RecordSize,
                  reading.records.left(lines * program::RecordSize));
    return {image, lines};
}

bool WriteFile(const QString &path, const ProgramBytes &image, int lines)
{
    return files::WriteWhole(path, FileBytes(image, lines));
}

}  // namespace sheet
