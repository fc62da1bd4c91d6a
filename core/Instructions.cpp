// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Instructions.h"

#include "core/NumberText.h"
#include "core/Texts.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace program {
namespace {

struct Category {
    const char *name;
    std::initializer_list<const char *> commands;
};

// Code order: the category code is the position + 1, and so is a command's code within it.
const Category Catalogue[] = {
    {QT_TRANSLATE_NOOP("Trelmo", "系统操作"),
     {QT_TRANSLATE_NOOP("Trelmo", "停止"), QT_TRANSLATE_NOOP("Trelmo", "启动"), QT_TRANSLATE_NOOP("Trelmo", "暂停"),
      QT_TRANSLATE_NOOP("Trelmo", "恢复"), QT_TRANSLATE_NOOP("Trelmo", "延时等待"),
      QT_TRANSLATE_NOOP("Trelmo", "等待电机完成"), QT_TRANSLATE_NOOP("Trelmo", "停止电机运动"),
      QT_TRANSLATE_NOOP("Trelmo", "常等待")}},
    {QT_TRANSLATE_NOOP("Trelmo", "流程控制"),
     {QT_TRANSLATE_NOOP("Trelmo", "程序间跳转"), QT_TRANSLATE_NOOP("Trelmo", "程序循环"),
      QT_TRANSLATE_NOOP("Trelmo", "输入跳转"), QT_TRANSLATE_NOOP("Trelmo", "开启输入中断"),
      QT_TRANSLATE_NOOP("Trelmo", "关闭输入中断")}},
    {QT_TRANSLATE_NOOP("Trelmo", "输出口设置"), {QT_TRANSLATE_NOOP("Trelmo", "输出口设置")}},
    {QT_TRANSLATE_NOOP("Trelmo", "回零运动"),
     {QT_TRANSLATE_NOOP("Trelmo", "设置回零速度"), QT_TRANSLATE_NOOP("Trelmo", "启动回零")}},
    {QT_TRANSLATE_NOOP("Trelmo", "插补运动"),
     {QT_TRANSLATE_NOOP("Trelmo", "设置点位速度"), QT_TRANSLATE_NOOP("Trelmo", "三轴相对运动"),
      QT_TRANSLATE_NOOP("Trelmo", "单轴绝对运动"), QT_TRANSLATE_NOOP("Trelmo", "XY绝对运动"),
      QT_TRANSLATE_NOOP("Trelmo", "XZ绝对运动"), QT_TRANSLATE_NOOP("Trelmo", "YZ绝对运动"),
      QT_TRANSLATE_NOOP("Trelmo", "三轴绝对运动"), QT_TRANSLATE_NOOP("Trelmo", "XY圆弧插补"),
      QT_TRANSLATE_NOOP("Trelmo", "XZ圆弧插补"), QT_TRANSLATE_NOOP("Trelmo", "YZ圆弧插补")}},
    {QT_TRANSLATE_NOOP("Trelmo", "独立运动"),
     {QT_TRANSLATE_NOOP("Trelmo", "独立运动速度"), QT_TRANSLATE_NOOP("Trelmo", "相对运动"),
      QT_TRANSLATE_NOOP("Trelmo", "X绝对运动"), QT_TRANSLATE_NOOP("Trelmo", "Y绝对运动"),
      QT_TRANSLATE_NOOP("Trelmo", "Z绝对运动")}},
};
constexpr int CategoryCount = int(std::size(Catalogue));
const text::Text None{QT_TRANSLATE_NOOP("Trelmo", "无")};

// A name of the catalogue in the language in use.
QString inUse(const char *name)
{
    return text::Text{name}();
}

// The catalogue's own (Chinese) names of codes, or null.
const char *categorySource(int category)
{
    return category >= 1 && category <= CategoryCount ? Catalogue[category - 1].name : nullptr;
}
const char *commandSource(int category, int command)
{
    if (!categorySource(category) || command < 1)
        return nullptr;
    const auto &commands = Catalogue[category - 1].commands;
    return command <= int(commands.size()) ? *(commands.begin() + (command - 1)) : nullptr;
}
QString named(const char *source, Language language)
{
    return source ? text::Text{source}.in(language) : QString();
}

const text::Text ColumnTitles[] = {{""},
                                   {QT_TRANSLATE_NOOP("Trelmo", "指令集")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "命令")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "参数1")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "参数2")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "参数3")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "参数4")},
                                   {QT_TRANSLATE_NOOP("Trelmo", "参数5")}};

}  // namespace

QString NoneText()
{
    return None();
}

QString NoneText(Language language)
{
    return None.in(language);
}

QStringList CategoryNames()
{
    QStringList names;
    for (const Category &c : Catalogue)
        names << inUse(c.name);
    return names;
}

int CategoryCode(const QString &name)
{
    for (int i = 0; i < CategoryCount; ++i)
        if (name == inUse(Catalogue[i].name))
            return i + 1;
    return 0;
}

QStringList CommandNames(const QString &category)
{
    QStringList names;
    const int code = CategoryCode(category);
    if (code > 0)
        for (const char *c : Catalogue[code - 1].commands)
            names << inUse(c);
    return names;
}

int CommandCode(const QString &category, const QString &command)
{
    const int index = int(CommandNames(category).indexOf(command));
    return index < 0 ? 0 : index + 1;
}

QString CategoryName(int category)
{
    const char *source = categorySource(category);
    return source ? inUse(source) : QString();
}

QString CommandName(int category, int command)
{
    const char *source = commandSource(category, command);
    return source ? inUse(source) : QString();
}

QString CategoryName(int category, Language language)
{
    return named(categorySource(category), language);
}

QString CommandName(int category, int command, Language language)
{
    return named(commandSource(category, command), language);
}

text::Text ColumnTitle(int column)
{
    return column >= 1 && column < int(std::size(ColumnTitles)) ? ColumnTitles[column] : ColumnTitles[0];
}

QString NameInUse(const QString &shown)
{
    // A name stands for one text wherever it appears: a category and a command of the same
    // name read the same in both languages.
    for (const Category &c : Catalogue) {
        if (text::Text{c.name}.matches(shown))
            return inUse(c.name);
        for (const char *command : c.commands)
            if (text::Text{command}.matches(shown))
                return inUse(command);
    }
    return None.matches(shown) ? None() : shown;
}

std::optional<std::int32_t> EncodeParameter(double value)
{
    // Anything this far out cannot fit; it also keeps the digit string below short.
    if (!std::isfinite(value) || std::fabs(value) > 1e10)
        return std::nullopt;
    // Round on the decimal digits the user typed, not on the binary fraction nearest to them:
    // 1.0015 is a tie and -4.35 a whole number of thousandths, which value * 1000 in floating
    // point would miss. The shortest text that reads back as `value` gives those digits.
    const QString text = QString::number(std::fabs(value), 'f', QLocale::FloatingPointShortest);
    const qsizetype point = text.indexOf(u'.');
    const QString whole = point < 0 ? text : text.left(point);
    QString fraction = point < 0 ? QString() : text.mid(point + 1);
    const QString kept = (fraction + QStringLiteral("000")).left(3);
    const QString rest = fraction.mid(3);

    std::int64_t magnitude = whole.toLongLong() * 1000 + kept.toLongLong();
    const bool restNonZero = std::any_of(rest.begin(), rest.end(), [](QChar c) { return c != u'0'; });
    if (value < 0) {
        if (restNonZero)
            ++magnitude;  // up to the next thousandth
    } else if (!rest.isEmpty()) {
        const bool aboveHalf = rest[0] > u'5' || (rest[0] == u'5' && std::any_of(rest.begin() + 1, rest.end(),
                                                                                 [](QChar c) { return c != u'0'; }));
        const bool tie = rest[0] == u'5' && !aboveHalf;
        if (aboveHalf || (tie && magnitude % 2 != 0))
            ++magnitude;
    }
    const std::int64_t result = value < 0 ? -magnitude : magnitude;
    if (result < INT32_MIN || result > INT32_MAX)
        return std::nullopt;
    return std::int32_t(result);
}

QString ThousandthsText(std::int64_t thousandths)
{
    return DecimalText(thousandths, 1000);
}

QLatin1StringView ThousandthsDigits(std::int64_t thousandths, DecimalBuffer &buffer)
{
    return DecimalDigits(thousandths, 1000, buffer);
}

void WriteParameter(std::uint8_t *record, int k, std::int32_t value)
{
    const std::uint32_t u = std::uint32_t(value);
    record[4 * k] = std::uint8_t(u >> 8);
    record[4 * k + 1] = std::uint8_t(u);
    record[4 * k + 2] = std::uint8_t(u >> 24);
    record[4 * k + 3] = std::uint8_t(u >> 16);
}

std::int32_t ReadParameter(const std::uint8_t *record, int k)
{
    const std::uint32_t u = std::uint32_t(record[4 * k]) << 8 | std::uint32_t(record[4 * k + 1]) |
                            std::uint32_t(record[4 * k + 2]) << 24 | std::uint32_t(record[4 * k + 3]) << 16;
    return std::int32_t(u);
}

int RecordOffset(int line)
{
    if (line < 1 || line > MaxLines)
        return -1;
    return CountWordSize + RecordSize * (line - 1);
}

std::uint8_t *Record(ProgramBytes &image, int line)
{
    const int offset = RecordOffset(line);
    return offset < 0 ? nullptr : image.data() + offset;
}

const std::uint8_t *Record(const ProgramBytes &image, int line)
{
    const int offset = RecordOffset(line);
    return offset < 0 ? nullptr : image.data() + offset;
}

void InsertLines(ProgramBytes &image, int lines, int after, const std::uint8_t *records, int count)
{
    std::uint8_t *at = image.data() + CountWordSize + std::size_t(RecordSize) * std::size_t(after);
    const std::size_t moved = std::size_t(RecordSize) * std::size_t(lines - after);
    std::memmove(at + std::size_t(RecordSize) * std::size_t(count), at, moved);
    std::memcpy(at, records, std::size_t(RecordSize) * std::size_t(count));
}

void RemoveLines(ProgramBytes &image, int lines, int first, int count)
{
    std::uint8_t *at = image.data() + CountWordSize + std::size_t(RecordSize) * std::size_t(first - 1);
    const std::size_t moved = std::size_t(RecordSize) * std::size_t(lines - first - count + 1);
    std::memmove(at, at + std::size_t(RecordSize) * std::size_t(count), moved);
}

void CopyToDisplay(const ProgramBytes &programImage, ProgramBytes &displayImage)
{
    std::copy(programImage.begin() + CountWordSize, programImage.end(), displayImage.begin());
}

}  // namespace program
