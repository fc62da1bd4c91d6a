// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TrafficWords.h"

#include "core/Texts.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

#include <QStringList>
#include <array>

namespace traffic {
namespace {
using text::InUse;

const char *const Titles[Columns] = {
    QT_TRANSLATE_NOOP("Trelmo", "时间 (ms)"), QT_TRANSLATE_NOOP("Trelmo", "间隔 (ms)"),
    QT_TRANSLATE_NOOP("Trelmo", "方向"),      QT_TRANSLATE_NOOP("Trelmo", "帧"),
    QT_TRANSLATE_NOOP("Trelmo", "用途"),      QT_TRANSLATE_NOOP("Trelmo", "延迟 (ms)"),
    QT_TRANSLATE_NOOP("Trelmo", "故障"),      QT_TRANSLATE_NOOP("Trelmo", "数据（十六进制）"),
};
const char *const FaultNames[Traffic::FaultKinds] = {
    QT_TRANSLATE_NOOP("Trelmo", "CRC 错误"),   QT_TRANSLATE_NOOP("Trelmo", "长度不对"),
    QT_TRANSLATE_NOOP("Trelmo", "异常应答"),   QT_TRANSLATE_NOOP("Trelmo", "不成帧"),
    QT_TRANSLATE_NOOP("Trelmo", "无应答"),     QT_TRANSLATE_NOOP("Trelmo", "迟到的应答"),
    QT_TRANSLATE_NOOP("Trelmo", "未请求的帧"), QT_TRANSLATE_NOOP("Trelmo", "急停重发"),
    QT_TRANSLATE_NOOP("Trelmo", "串口出错"),
};
// The exception codes a controller gives.
const char *const ExceptionNames[] = {
    QT_TRANSLATE_NOOP("Trelmo", "非法功能"),
    QT_TRANSLATE_NOOP("Trelmo", "非法数据地址"),
    QT_TRANSLATE_NOOP("Trelmo", "非法数据值"),
    QT_TRANSLATE_NOOP("Trelmo", "从站设备故障"),
};
// The columns of a line of text, in characters of the width of a Latin letter (0: as it comes).
constexpr std::array<int, Columns> Widths{12, 10, 4, 22, 24, 10, 30, 0};

int word(const QByteArray &f, int at)
{
    return std::uint8_t(f[at]) << 8 | std::uint8_t(f[at + 1]);
}

QString two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString Ms(qint64 us)
{
    return QString::number(double(us) / 1000.0, 'f', 3);
}

// What a frame is, from its own bytes: the function, the start register and the count or value.
QString FunctionWords(const QByteArray &f, Traffic::Direction way)
{
    if (f.size() < 4)
        return {};
    const int function = std::uint8_t(f[1]);
    if (function & 0x80)
        return two(function & 0x7F) + u' ' + InUse(QT_TRANSLATE_NOOP("Trelmo", "异常 %1")).arg(two(std::uint8_t(f[2])));
    const bool reply = way == Traffic::Direction::Received;
    const QString head = two(function) + u' ';
    switch (function) {
    case 0x03:
        if (reply)
            return head + (f.size() == 7 ? InUse(QT_TRANSLATE_NOOP("Trelmo", "值 %1")).arg(word(f, 3))
                                         : InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 字节")).arg(std::uint8_t(f[2])));
        [[fallthrough]];
    case 0x10:
        if (f.size() < 6)
            return head;
        return head + InUse(function == 0x03 ? QT_TRANSLATE_NOOP("Trelmo", "读 %1 ×%2")
                                             : QT_TRANSLATE_NOOP("Trelmo", "写 %1 ×%2"))
                          .arg(word(f, 2))
                          .arg(word(f, 4));
    case 0x05: {
        if (f.size() < 6)
            return head;
        const int v = word(f, 4);
        const QString value = v == 0xFF00 ? QStringLiteral("ON")
                              : v == 0    ? QStringLiteral("OFF")
                                          : QString::number(v, 16);
        return head + InUse(QT_TRANSLATE_NOOP("Trelmo", "线圈 %1 = %2")).arg(word(f, 2)).arg(value);
    }
    case 0x06:
        if (f.size() < 6)
            return head;
        return head + InUse(QT_TRANSLATE_NOOP("Trelmo", "写 %1 = %2")).arg(word(f, 2)).arg(word(f, 4));
    default: return two(function);
    }
}

QString CoilWords(int coil, bool on)
{
    static const char *const Planes[] = {"XY", "XZ", "YZ"};
    const QString onOff = on ? QStringLiteral(" ON") : QStringLiteral(" OFF");
    if (coil >= reg::coil::JogXMinus && coil <= reg::coil::HomeZ) {
        const QChar axis = QLatin1Char("XYZ"[(coil - 1) / 3]);
        if ((coil - 1) % 3 == 2)
            return InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 回原点")).arg(axis);
        return InUse(QT_TRANSLATE_NOOP("Trelmo", "点动 %1")).arg(axis + ((coil - 1) % 3 ? u'+' : u'-')) + onOff;
    }
    if (coil >= reg::coil::Out1 && coil <= reg::coil::Out4)
        return QStringLiteral("OUT%1").arg(coil - reg::coil::Out1 + 1) + onOff;
    switch (coil) {
    case reg::coil::EmergencyStop: return InUse(QT_TRANSLATE_NOOP("Trelmo", "急停"));
    case reg::coil::StepSwitch: return InUse(QT_TRANSLATE_NOOP("Trelmo", "步进开关"));
    case reg::coil::SaveData: return InUse(QT_TRANSLATE_NOOP("Trelmo", "存数据"));
    case reg::coil::LinearXY: return InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 直线插补")).arg(Planes[0]);
    case reg::coil::LinearXZ: return InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 直线插补")).arg(Planes[1]);
    case reg::coil::LinearYZ: return InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 直线插补")).arg(Planes[2]);
    case reg::coil::ArcXY:
    case reg::coil::ArcXZ:
    case reg::coil::ArcYZ:
        return InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 圆弧插补")).arg(Planes[coil - reg::coil::ArcXY]);
    default: return {};
    }
}

// What a request was for: its tag in words, with the block or the register it names.
QString PurposeWords(const Traffic::Row &row, const QByteArray &request)
{
    if (request.size() >= 6 && request[1] == 0x05)
        return CoilWords(word(request, 2), word(request, 4) == 0xFF00);
    const QString reg = request.size() >= 4 ? QString::number(word(request, 2)) : QString();
    const char *block = nullptr;
    switch (row.tag) {
    case tag::LineCount: return InUse(QT_TRANSLATE_NOOP("Trelmo", "行数"));
    case tag::VerifyLineCount: return InUse(QT_TRANSLATE_NOOP("Trelmo", "校验：行数"));
    case tag::WriteLineCount: return InUse(QT_TRANSLATE_NOOP("Trelmo", "下载：行数"));
    case tag::ReadBlock: block = QT_TRANSLATE_NOOP("Trelmo", "读取：第 %1/%2 块"); break;
    case tag::WriteBlock: block = QT_TRANSLATE_NOOP("Trelmo", "下载：第 %1/%2 块"); break;
    case tag::VerifyBlock: block = QT_TRANSLATE_NOOP("Trelmo", "校验：第 %1/%2 块"); break;
    case tag::ReadRunMode:
    case tag::WriteRunMode:
    case tag::ManualRunMode: return InUse(QT_TRANSLATE_NOOP("Trelmo", "上电运行设定"));
    case tag::ManualRead: return InUse(QT_TRANSLATE_NOOP("Trelmo", "手动状态"));
    case tag::ManualWrite: return InUse(QT_TRANSLATE_NOOP("Trelmo", "手动写入 %1")).arg(reg);
    case tag::ParamsRead: return InUse(QT_TRANSLATE_NOOP("Trelmo", "参数读取"));
    case tag::AccelRead: return InUse(QT_TRANSLATE_NOOP("Trelmo", "加速度读取"));
    case tag::ParamsWrite: return InUse(QT_TRANSLATE_NOOP("Trelmo", "参数写入 %1")).arg(reg);
    case tag::InterpReadA: return InUse(QT_TRANSLATE_NOOP("Trelmo", "插补读取 %1")).arg(u'A');
    case tag::InterpReadB: return InUse(QT_TRANSLATE_NOOP("Trelmo", "插补读取 %1")).arg(u'B');
    case tag::InterpWrite: return InUse(QT_TRANSLATE_NOOP("Trelmo", "插补写入 %1")).arg(reg);
    default: return {};
    }
    return InUse(block).arg(row.block).arg(row.blocks);
}

QString FaultWords(const Traffic::Row &row, const QByteArray &bytes)
{
    QStringList words;
    for (int k = 0; k < Traffic::FaultKinds; ++k) {
        if (!(row.faults & (1u << k)))
            continue;
        QString w = FaultName(k);
        switch (1u << k) {
        case Traffic::WrongLength:
            if (row.expected > 0)
                w += u' ' + InUse(QT_TRANSLATE_NOOP("Trelmo", "%1 字节，应为 %2")).arg(row.size).arg(row.expected);
            break;
        case Traffic::Exception:
            if (bytes.size() >= 3) {
                const int code = std::uint8_t(bytes[2]);
                w += u' ' + two(code);
                if (code >= 1 && code <= 4)
                    w += u' ' + InUse(ExceptionNames[code - 1]);
            }
            break;
        case Traffic::Resent: w += QStringLiteral(" %1/3").arg(row.send); break;
        default: break;
        }
        words << w;
    }
    return words.join(QStringLiteral("; "));
}

// How wide a text stands in a line of fixed-width letters: Chinese characters take two.
int DisplayWidth(const QString &s)
{
    int w = 0;
    for (QChar c : s)
        w += c.unicode() >= 0x2E80 ? 2 : 1;
    return w;
}
}  // namespace

QString Title(int column)
{
    return column >= 0 && column < Columns ? InUse(Titles[column]) : QString();
}

QString FaultName(int kind)
{
    return kind >= 0 && kind < Traffic::FaultKinds ? InUse(FaultNames[kind]) : QString();
}

QString Cell(const Traffic &t, quint64 n, int column, int maxBytes)
{
    if (!t.has(n))
        return {};
    const Traffic::Row &row = t.row(n);
    switch (column) {
    case Time: return Ms((row.ns - t.origin()) / 1000);
    case Gap: return t.has(n - 1) && n > 0 ? Ms((row.ns - t.row(n - 1).ns) / 1000) : QString();
    case Way:
        switch (row.direction) {
        case Traffic::Direction::Sent: return InUse(QT_TRANSLATE_NOOP("Trelmo", "发"));
        case Traffic::Direction::Received: return InUse(QT_TRANSLATE_NOOP("Trelmo", "收"));
        case Traffic::Direction::Event: return InUse(QT_TRANSLATE_NOOP("Trelmo", "串口"));
        }
        return {};
    case Function: return row.faults & Traffic::NoFrame ? QString() : FunctionWords(t.bytes(row), row.direction);
    case Purpose: {
        if (row.direction == Traffic::Direction::Sent)
            return PurposeWords(row, t.bytes(row));
        const QByteArray request =
            row.request > 0 && t.has(row.request - 1) ? t.bytes(t.row(row.request - 1)) : QByteArray();
        return row.tag >= 0 || !request.isEmpty() ? PurposeWords(row, request) : QString();
    }
    case Latency: return row.latencyUs >= 0 ? Ms(row.latencyUs) : QString();
    case Faults: return FaultWords(row, t.bytes(row));
    case Bytes: {
        QByteArray b = t.bytes(row);
        const bool cut = maxBytes >= 0 && b.size() > maxBytes;
        if (cut)
            b.truncate(maxBytes);
        return QString::fromLatin1(b.toHex(' ').toUpper()) + (cut ? QStringLiteral(" …") : QString());
    }
    default: return {};
    }
}

namespace {
// The columns side by side, the numbers to the right, the bytes last as they come.
template <typename Cells> QString LinedUp(Cells cell)
{
    QString line;
    for (int c = 0; c < Columns; ++c) {
        const QString text = cell(c);
        const int pad = std::max(0, Widths[std::size_t(c)] - DisplayWidth(text));
        if (c > 0)
            line += QStringLiteral("  ");
        if (c == Time || c == Gap || c == Latency)
            line += QString(pad, u' ') + text;
        else
            line += text + QString(c + 1 < Columns ? pad : 0, u' ');
    }
    return line;
}
}  // namespace

QString Line(const Traffic &t, quint64 n)
{
    return LinedUp([&](int c) { return Cell(t, n, c); });
}

QString TitleLine()
{
    return LinedUp(Title);
}

QString Totals(const Traffic::Counts &counts)
{
    const bool any = counts.latencies > 0;
    auto ms = [any](double v) {
        return any ? QString::number(v, 'f', 3) + QStringLiteral(" ms") : QStringLiteral("-");
    };
    return QStringList{InUse(QT_TRANSLATE_NOOP("Trelmo", "请求")) + u' ' + QString::number(counts.requests),
                       InUse(QT_TRANSLATE_NOOP("Trelmo", "应答")) + u' ' + QString::number(counts.replies),
                       InUse(QT_TRANSLATE_NOOP("Trelmo", "平均延迟")) + u' ' +
                           ms(any ? counts.latencySumMs / double(counts.latencies) : 0),
                       InUse(QT_TRANSLATE_NOOP("Trelmo", "最大延迟")) + u' ' + ms(counts.latencyMaxMs)}
        .join(QStringLiteral(" · "));
}

QString FaultCounts(const Traffic::Counts &counts)
{
    QStringList parts;
    for (int k = 0; k < Traffic::FaultKinds; ++k)
        parts << FaultName(k) + u' ' + QString::number(counts.faults[std::size_t(k)]);
    return parts.join(QStringLiteral(" · "));
}

QString Summary(const Traffic::Counts &counts)
{
    return Totals(counts) + QStringLiteral(" · ") + FaultCounts(counts);
}
}  // namespace traffic
