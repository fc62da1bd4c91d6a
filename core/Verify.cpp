// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Verify.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/Instructions.h"
#include "core/ProgramModel.h"
#include "core/Notices.h"
#include "core/Texts.h"
#include "link/CommPort.h"
#include "link/ModbusLink.h"
#include "core/ProgramRead.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

namespace {
const text::Text Equal{QT_TRANSLATE_NOOP("Trelmo", "程序校验一致：共 %1 行。")};
const text::Text Different{QT_TRANSLATE_NOOP("Trelmo", "程序校验不一致：%1。共 %2 行不同。")};
const text::Text CountDiffers{QT_TRANSLATE_NOOP("Trelmo", "行数：工程 %1，控制器 %2")};
const text::Text FieldDiffers{QT_TRANSLATE_NOOP("Trelmo", "第 %1 行 %2：工程 %3，控制器 %4")};
const text::Text Field[] = {{QT_TRANSLATE_NOOP("Trelmo", "指令集")}, {QT_TRANSLATE_NOOP("Trelmo", "命令")},
                            {QT_TRANSLATE_NOOP("Trelmo", "参数1")},  {QT_TRANSLATE_NOOP("Trelmo", "参数2")},
                            {QT_TRANSLATE_NOOP("Trelmo", "参数3")},  {QT_TRANSLATE_NOOP("Trelmo", "参数4")},
                            {QT_TRANSLATE_NOOP("Trelmo", "参数5")}};

// A field of a line in words: a category or command by its name, or by its number when it has
// none; a parameter as the grid shows it.
QString Shown(const std::uint8_t *record, int field)
{
    if (field >= 2)
        return program::ThousandthsText(program::ReadParameter(record, field - 1));
    const QString category = program::CategoryName(record[1]);
    const QString name = field == 0 || category.isNull() ? category : program::CommandName(record[1], record[3]);
    return name.isNull() ? QString::number(record[2 * field + 1]) : name;
}
// The same field of two records, told apart: where the words would read alike (a name is taken
// from the low byte of its word), the two 16-bit words.
std::pair<QString, QString> TwoSides(const std::uint8_t *ours, const std::uint8_t *theirs, int field)
{
    QString a = Shown(ours, field), b = Shown(theirs, field);
    if (a == b && field < 2) {
        const auto word = [field](const std::uint8_t *r) {
            return QStringLiteral("0x") + QStringLiteral("%1").arg(r[2 * field] << 8 | r[2 * field + 1], 4, 16, QLatin1Char('0')).toUpper();
        };
        a = word(ours), b = word(theirs);
    }
    return {a, b};
}
// The bytes of field `field` of a record: two for the codes, four for each parameter.
bool Differs(const std::uint8_t *a, const std::uint8_t *b, int field)
{
    const int at = field < 2 ? 2 * field : 4 * (field - 1);
    const int size = field < 2 ? 2 : 4;
    return !std::equal(a + at, a + at + size, b + at);
}
}  // namespace

QString Verify::Result::message() const
{
    if (equal())
        return Equal(projectLines);
    return Different().arg(firstDifference).arg(differingLines);
}

Verify::Verify(const ToolContext &ctx) : m_ctx(ctx) {}

bool Verify::start()
{
    // The program as it stands now is what the controller must hold.
    return begin(m_ctx.program.image(), m_ctx.program.lines());
}

bool Verify::start(const QByteArray &project)
{
    ProgramBytes bytes{};
    const qsizetype size =
        std::min<qsizetype>(project.size(), program::CountWordSize + program::RecordSize * program::MaxLines);
    std::copy(project.cbegin(), project.cbegin() + size, bytes.begin());
    return begin(bytes, size >= program::CountWordSize ? bytes[0] << 8 | bytes[1] : 0);
}

bool Verify::begin(const ProgramBytes &expected, int lines)
{
    if (!m_ctx.port.isOpen()) {
        m_ctx.notices.tell(Notice::NoPortRead);
        return false;
    }
    const ToolState &s = m_ctx.state;
    if (s.RequestTag != tag::Idle || s.ManualScreenActive || s.ParamScreenActive || s.InterpScreenActive ||
        m_running) {
        m_ctx.notices.tell(Notice::Busy);
        return false;
    }
    m_program = expected;
    m_result = {};
    m_result.projectLines = std::clamp(lines, 0, program::MaxLines);
    m_controller.fill(0);
    m_running = true;
    // The line count is asked of slave 1, as the read button asks it.
    if (!m_ctx.link.ReadRegistersFrom(1, tag::VerifyLineCount, reg::LineCount, 1)) {
        end(false);
        return false;
    }
    return true;
}

void Verify::replyAccepted(int acceptedTag)
{
    if (!m_running)
        return;
    ToolState &s = m_ctx.state;
    if (acceptedTag == tag::VerifyLineCount) {
        m_result.controllerLines = s.ReportedLineCount;
        const int lines = std::min(m_result.projectLines, std::min(m_result.controllerLines, program::MaxLines));
        s.BlockIndex = 0;
        s.BlocksDone = 0;
        s.BlockCount = std::int16_t(ProgramRead::blockCountFor(lines));
        if (lines < 1) {
            end(true);
            return;
        }
        emit started(lines);
    } else if (acceptedTag == tag::VerifyBlock) {
        // The reply handler has put the block into the verify buffer.
        m_controller = s.VerifyImage;
        s.BlocksDone = s.BlockIndex;
        if (s.BlockIndex >= s.BlockCount) {
            end(true);
            return;
        }
    } else {
        return;
    }
    // The next block once the reply's end has had its 3.5 characters of silence.
    s.RequestTag = tag::VerifyBlockDue;
    QTimer::singleShot(int(std::ceil(3.5 * m_ctx.port.charMs())), Qt::PreciseTimer, this, &Verify::askBlock);
}

void Verify::askBlock()
{
    ToolState &s = m_ctx.state;
    if (!m_running || s.RequestTag != tag::VerifyBlockDue) {
        checkEnded();
        return;
    }
    const int k = s.BlockIndex + 1;
    const int lines = std::min(m_result.projectLines, m_result.controllerLines);
    const int rest = std::min(lines - program::LinesPerBlock * (k - 1), program::LinesPerBlock);
    s.BlockIndex = std::int16_t(k);
    if (!m_ctx.link.ReadRegisters(tag::VerifyBlock, reg::RegistersPerBlock * (k - 1), reg::RegistersPerLine * rest))
        end(false);
}

void Verify::checkEnded()
{
    const int t = m_ctx.state.RequestTag;
    if (m_running && t != tag::VerifyLineCount && t != tag::VerifyBlock && t != tag::VerifyBlockDue)
        end(false);
}

void Verify::compare()
{
    Result &r = m_result;
    const int common = std::min(r.projectLines, std::min(r.controllerLines, program::MaxLines));
    r.differingLines = std::abs(r.projectLines - r.controllerLines);
    if (r.projectLines != r.controllerLines)
        r.firstDifference = CountDiffers().arg(r.projectLines).arg(r.controllerLines);
    for (int line = 1; line <= common; ++line) {
        const std::uint8_t *ours = program::Record(m_program, line);
        const std::uint8_t *theirs = program::Record(m_controller, line);
        if (std::equal(ours, ours + program::RecordSize, theirs))
            continue;
        ++r.differingLines;
        if (!r.firstDifference.isEmpty())
            continue;
        r.firstLine = line;
        for (int field = 0; field < 7; ++field)
            if (Differs(ours, theirs, field)) {
                r.firstField = field;
                const auto [a, b] = TwoSides(ours, theirs, field);
                r.firstDifference = FieldDiffers().arg(line).arg(Field[field](), a, b);
                break;
            }
    }
}

void Verify::end(bool complete)
{
    if (!m_running)
        return;
    m_running = false;
    m_result.complete = complete;
    if (complete)
        compare();
    emit finished(m_result);
}
