// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ParameterIo.h"

#include <algorithm>

#include "link/CommPort.h"
#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

namespace param {

namespace {
const text::Text Axis{QT_TRANSLATE_NOOP("Trelmo", "轴")};
const text::Text Parameter{QT_TRANSLATE_NOOP("Trelmo", "参数")};
const text::Text InFile{QT_TRANSLATE_NOOP("Trelmo", "文件")};
const text::Text InController{QT_TRANSLATE_NOOP("Trelmo", "控制器")};
const text::Text Difference{QT_TRANSLATE_NOOP("Trelmo", "差异")};
const text::Text Differs{QT_TRANSLATE_NOOP("Trelmo", "不同")};
const text::Text LeftOut{QT_TRANSLATE_NOOP("Trelmo", "不同，不写入")};
const text::Text Derived{QT_TRANSLATE_NOOP("Trelmo", "由控制器算出，仅供参考")};
const text::Text Confirmed{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：已写入 %3，读回一致")};
const text::Text ReadOtherwise{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：已写入 %3，读回为 %4")};
const text::Text NotReadBack{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：已写入 %3，没有读回")};
const text::Text Unanswered{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：已发出 %3，控制器没有应答")};
const text::Text NotWritten{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：没有写入")};
const text::Text AllEqual{QT_TRANSLATE_NOOP("Trelmo", "文件与控制器的参数全部相同。")};
const text::Text SomeDiffer{QT_TRANSLATE_NOOP("Trelmo", "有 %1 个参数不同。")};
const text::Text WriteThem{QT_TRANSLATE_NOOP("Trelmo", "有 %1 个参数不同，将写入其中 %2 个。写入吗？")};
const text::Text NotRestorable{QT_TRANSLATE_NOOP("Trelmo", "%1 %2：文件中的 %3 不能写入，保持 %4")};
}  // namespace

ParameterIo::Outcome ParameterIo::await(std::uint32_t stops)
{
    const bool answered = m_ctx.link.WaitForAnswer(ReplyMs);
    if (m_ctx.link.stopsSent() != stops || m_ctx.link.lastDropped())
        return Outcome::Stopped;
    if (!m_ctx.port.isOpen())
        return Outcome::PortFailed;
    return answered ? Outcome::Done : Outcome::NoReply;
}

ParameterIo::Outcome ParameterIo::read(Values &values)
{
    const std::uint32_t stops = m_ctx.link.stopsSent();
    if (!m_ctx.link.ReadRegisters(tag::ParamsRead, reg::AxisParamsX, reg::AxisParamsCount))
        return Outcome::PortFailed;
    if (const Outcome o = await(stops); o != Outcome::Done)
        return o;
    DecodeParameterBlock(m_ctx.state.ParamReplyBytes.data(), values);
    if (!m_ctx.link.ReadRegisters(tag::AccelRead, reg::ManualAccelX, reg::ManualAccelCount))
        return Outcome::PortFailed;
    if (const Outcome o = await(stops); o != Outcome::Done)
        return o;
    DecodeAccelerationBlock(m_ctx.state.ParamReplyBytes.data(), values);
    return Outcome::Done;
}

ParameterIo::Outcome ParameterIo::store()
{
    const std::uint32_t stops = m_ctx.link.stopsSent();
    if (!m_ctx.link.SendCoilOn(tag::SaveData, reg::coil::SaveData))
        return Outcome::PortFailed;
    return await(stops);
}

ParameterIo::Outcome ParameterIo::write(int box, std::int64_t value)
{
    const std::optional<WriteTarget> target = WriteAddress(box);
    if (!target)
        return Outcome::Done;
    const std::uint32_t stops = m_ctx.link.stopsSent();
    if (!m_ctx.link.WriteRegisters(tag::ParamsWrite, target->start, WriteData(box, value)))
        return Outcome::PortFailed;
    return await(stops);
}

QList<ParameterIo::Row> ParameterIo::Compare(const FileContents &file, const Values &controller)
{
    QList<Row> rows;
    for (int axis = 0; axis < 3; ++axis)
        for (int c = 0; c < ColumnCount; ++c) {
            const int box = BoxIndex(axis, Column(c));
            const FileValue &v = file.values[std::size_t(box)];
            const std::uint32_t held = controller[std::size_t(box)];
            const bool derived = Column(c) == Column::PulseEquivalent;
            const bool differs = v.raw != held && !derived;
            rows << Row{box, v.text, Shown(box, held), differs, differs && v.restorable, derived && v.raw != held};
        }
    return rows;
}

ParameterIo::Summary ParameterIo::Summarise(const QList<Row> &rows)
{
    Summary s;
    for (const Row &row : rows) {
        s.differing += row.differs;
        s.toWrite += row.written;
    }
    return s;
}

QString ParameterIo::Summary::text(bool asking) const
{
    if (!differing)
        return AllEqual();
    return asking && toWrite ? WriteThem().arg(differing).arg(toWrite) : SomeDiffer(differing);
}

QStringList ParameterIo::Headers()
{
    return {Axis(), Parameter(), InFile(), InController(), Difference()};
}

QStringList ParameterIo::Texts(const Row &row)
{
    return {AxisName(AxisOf(row.box)), Caption(ColumnOf(row.box))(), row.file, row.controller,
            row.derivedUnlike ? Derived() : !row.differs ? QString() : row.written ? Differs() : LeftOut()};
}

ParameterIo::Restored ParameterIo::restore(const FileContents &file, const Values &controller)
{
    Restored r;
    for (const Row &row : Compare(file, controller))
        if (row.written)
            r.written << Written{row.box, Result::NotWritten, row.file, QString()};
        else if (row.differs)
            r.left << row;
    // Each value as the screen's ENTER writes it, after the echo of the one before.
    bool sent = false;
    for (Written &w : r.written) {
        const std::uint32_t serial = m_ctx.link.current().serial;
        r.outcome = write(w.box, EvaluateEntry(w.box, w.wanted).value);
        const bool wentOut = m_ctx.link.current().serial != serial && m_ctx.link.current().written;
        if (r.outcome != Outcome::Done) {
            w.result = wentOut ? Result::Unanswered : Result::NotWritten;
            break;
        }
        w.result = Result::NotReadBack;
        sent = true;
    }
    // Read back, unless nothing can be read any more.
    Values now = controller;
    const bool readable = r.outcome != Outcome::PortFailed && r.outcome != Outcome::Stopped;
    const bool readBack = sent && readable && read(now) == Outcome::Done;
    for (Written &w : r.written) {
        w.readBack = Shown(w.box, now[std::size_t(w.box)]);
        if (w.result == Result::NotReadBack && readBack)
            w.result = now[std::size_t(w.box)] == file.values[std::size_t(w.box)].raw ? Result::Confirmed
                                                                                     : Result::ReadOtherwise;
    }
    if (sent && readable && !readBack && r.outcome == Outcome::Done)
        r.outcome = Outcome::NoReply;
    m_ctx.state.RequestTag = tag::Idle;
    return r;
}

bool ParameterIo::Restored::complete() const
{
    return outcome == Outcome::Done &&
           std::all_of(written.cbegin(), written.cend(), [](const Written &w) { return w.result == Result::Confirmed; });
}

QString ParameterIo::Restored::report() const
{
    QStringList lines;
    for (const Written &w : written) {
        const QString axis = AxisName(AxisOf(w.box)), name = Caption(ColumnOf(w.box))();
        switch (w.result) {
        case Result::Confirmed: lines << Confirmed().arg(axis, name, w.wanted); break;
        case Result::ReadOtherwise: lines << ReadOtherwise().arg(axis, name, w.wanted, w.readBack); break;
        case Result::NotReadBack: lines << NotReadBack().arg(axis, name, w.wanted); break;
        case Result::Unanswered: lines << Unanswered().arg(axis, name, w.wanted); break;
        case Result::NotWritten: lines << NotWritten().arg(axis, name); break;
        }
    }
    for (const Row &row : left)
        lines << NotRestorable().arg(AxisName(AxisOf(row.box)), Caption(ColumnOf(row.box))(), row.file, row.controller);
    return lines.join(u'\n');
}

}  // namespace param
