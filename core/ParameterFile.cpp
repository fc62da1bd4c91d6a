// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ParameterFile.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace param {

namespace {
const QString Title = QStringLiteral("Trelmo 轴参数 axis parameters");
const QString FormatKey = QStringLiteral("格式 format");
const QString ToolKey = QStringLiteral("工具 tool");
const QString Columns = QStringLiteral("# 轴 axis\t参数\tparameter\t值 value\t寄存器 registers\t说明 note");
// The note of a value the file keeps but a restore never writes.
const QString ShownOnly = QStringLiteral("只显示，不写入 shown only, never written");
const QString HeldOnly = QStringLiteral("控制器中的值，界面不能写入 the controller's own value, the screen cannot write it");

const text::Text NotAFile{QT_TRANSLATE_NOOP("Trelmo", "不是参数文件")};
const text::Text OtherFormat{QT_TRANSLATE_NOOP("Trelmo", "参数文件格式 %1 无法读取")};
const text::Text UnknownLine{QT_TRANSLATE_NOOP("Trelmo", "无法识别的行")};
const text::Text GivenTwice{QT_TRANSLATE_NOOP("Trelmo", "%1 %2 出现两次")};
const text::Text Missing{QT_TRANSLATE_NOOP("Trelmo", "缺少 %1 %2")};
const text::Text WrongRegisters{QT_TRANSLATE_NOOP("Trelmo", "%1 %2 的寄存器应为 %3")};
const text::Text NotANumber{QT_TRANSLATE_NOOP("Trelmo", "%1 %2 的值不是数字")};
const text::Text TooLarge{QT_TRANSLATE_NOOP("Trelmo", "%1 %2 的值超出范围")};
const text::Text LineError{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行：%2")};
const text::Text Named{QT_TRANSLATE_NOOP("Trelmo", "%1：%2")};

QString RegistersText(int box)
{
    const Registers r = Source(box);
    return r.count == 1 ? QString::number(r.start) : QStringLiteral("%1-%2").arg(r.start).arg(r.start + r.count - 1);
}

QString Name(int box, Language language)
{
    return AxisName(AxisOf(box)) + u' ' + Caption(ColumnOf(box)).in(language);
}

// The boxes in the order of the screen: each axis left to right.
int BoxAt(int position)
{
    return BoxIndex(position / ColumnCount, Column(position % ColumnCount));
}

// The raw value of a shown value: the number times the column's divisor, as the controller
// holds it; false when it does not fit the register (pair).
bool RawOfShown(int box, const QString &text, std::uint32_t &raw)
{
    const Column column = ColumnOf(box);
    const double v = text.toDouble();
    if (column == Column::OriginDirection) {
        if (v < 0 || v > 65535 || v != std::floor(v))
            return false;
        raw = std::uint32_t(v);
        return true;
    }
    const double divisor = column == Column::PulseEquivalent ? 1e6 : column == Column::Microstep ? 1 : 1e3;
    const double scaled = std::nearbyint(v * divisor);
    if (scaled < -2147483648.0 || scaled > 2147483647.0 || std::fabs(v * divisor - scaled) > 1e-6)
        return false;
    raw = std::uint32_t(std::int32_t(scaled));
    return true;
}
}  // namespace

QByteArray WriteFile(const Values &values)
{
    QStringList lines{Title, FormatKey + u'\t' + QString::number(FileFormat),
                      ToolKey + QStringLiteral("\tTrelmo 2.0"), Columns};
    for (int position = 0; position < BoxCount; ++position) {
        const int box = BoxAt(position);
        const std::uint32_t raw = values[std::size_t(box)];
        const QString shown = Shown(box, raw);
        QStringList fields{AxisName(AxisOf(box)), Caption(ColumnOf(box)).in(Language::Chinese),
                           Caption(ColumnOf(box)).in(Language::English), shown, RegistersText(box)};
        if (!WriteAddress(box))
            fields << ShownOnly;
        else if (!EvaluateEntry(box, shown).error.isEmpty())
            fields << HeldOnly;
        lines << fields.join(u'\t');
    }
    return (lines.join(u'\n') + u'\n').toUtf8();
}

FileContents ReadFile(const QByteArray &bytes)
{
    FileContents c;
    const auto refuse = [&c](int line, const QString &what) {
        c.errorLine = line;
        c.error = line > 0 ? LineError().arg(line).arg(what) : what;
        return c;
    };
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');
    if (lines.value(0).trimmed() != Title)
        return refuse(1, NotAFile());
    const QStringList format = lines.value(1).split(u'\t');
    if (format.value(0).trimmed() != FormatKey)
        return refuse(2, NotAFile());
    if (format.value(1).trimmed() != QString::number(FileFormat))
        return refuse(2, OtherFormat().arg(format.value(1).trimmed()));
    if (!lines.value(2).startsWith(ToolKey))
        return refuse(3, NotAFile());

    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    for (int i = 3; i < lines.size(); ++i) {
        const int line = i + 1;
        const QString &l = lines[i];
        if (l.trimmed().isEmpty() || l.startsWith(u'#'))
            continue;
        const QStringList f = l.split(u'\t');
        int box = -1;
        for (int b = 0; b < BoxCount && f.size() >= 5; ++b) {
            const text::Text caption = Caption(ColumnOf(b));
            if (f[0].trimmed() == AxisName(AxisOf(b)) && (f[1].trimmed() == caption.in(Language::Chinese) ||
                                                          f[2].trimmed() == caption.in(Language::English)))
                box = b;
        }
        if (box < 0 || f.size() > 6)
            return refuse(line, UnknownLine());
        const QString name = Name(box, text::CurrentLanguage());
        FileValue &v = c.values[std::size_t(box)];
        if (v.line)
            return refuse(line, GivenTwice().arg(AxisName(AxisOf(box)), Caption(ColumnOf(box))()));
        if (f[4].trimmed() != RegistersText(box))
            return refuse(line, WrongRegisters().arg(AxisName(AxisOf(box)), Caption(ColumnOf(box))(), RegistersText(box)));
        v.line = line;
        v.text = f[3].trimmed();
        if (!number.match(v.text).hasMatch())
            return refuse(line, NotANumber().arg(AxisName(AxisOf(box)), Caption(ColumnOf(box))()));
        const Entry entry = WriteAddress(box) ? EvaluateEntry(box, v.text) : Entry{UnknownLine(), 0};
        if (entry.error.isEmpty()) {
            v.raw = RawOf(box, entry.value);
            v.restorable = true;
            continue;
        }
        // A value the screen shows but does not write is kept as the controller holds it; a
        // restore leaves it out. Any other value the screen would refuse makes the file wrong.
        if (WriteAddress(box) && f.value(5).trimmed() != HeldOnly)
            return refuse(line, Named().arg(name, entry.error));
        if (!RawOfShown(box, v.text, v.raw))
            return refuse(line, TooLarge().arg(AxisName(AxisOf(box)), Caption(ColumnOf(box))()));
    }
    for (int position = 0; position < BoxCount; ++position) {
        const int box = BoxAt(position);
        if (!c.values[std::size_t(box)].line)
            return refuse(int(lines.size()), Missing().arg(AxisName(AxisOf(box)), Caption(ColumnOf(box))()));
    }
    return c;
}

}  // namespace param
