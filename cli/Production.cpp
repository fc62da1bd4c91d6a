// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli --repeat: the production loop. It waits for a controller to answer, programs it (or
// verifies it) as one unit, then waits until that controller is unplugged before it waits for
// the next. One controller is one unit, however lossy its line: it counts as unplugged only after
// it has left a run of reads unanswered, or at once when its port goes away.
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "cli/Cli.h"
#include "core/Texts.h"
#include "core/ToolCore.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

namespace cli {

namespace {
const text::Text Waiting{QT_TRANSLATE_NOOP("Trelmo", "等待控制器……")};
const text::Text UnitPassed{QT_TRANSLATE_NOOP("Trelmo", "第 %1 台：通过（%2 秒）。请换下一台控制器。")};
const text::Text UnitFailed{QT_TRANSLATE_NOOP("Trelmo", "第 %1 台：失败。请换下一台控制器。")};
const text::Text Interrupted{QT_TRANSLATE_NOOP("Trelmo", "已中断。")};
const text::Text Summary{QT_TRANSLATE_NOOP("Trelmo", "共 %1 台：通过 %2 台，失败 %3 台。")};

// How often the loop asks whether a controller is there (plugged in, or still plugged in).
constexpr int PollMs = 500;
// A read of the run mode waits this long for its reply.
constexpr int ReplyMs = 300;
// Reads in a row without an answer before a controller counts as unplugged: eight, each asked
// as soon as the one before went unanswered, about 2.5 s of silence. A line that loses one reply
// in ten loses eight in a row once in a hundred million reads.
constexpr int UnpluggedAfter = 8;
}  // namespace

// Whether the controller on the open port answers a read of its run mode (a refusal is an answer).
bool Runner::answers()
{
    m_exception = -1;
    return m_core->port.isOpen() && m_core->link.ReadRegisters(tag::ReadRunMode, reg::PowerOnRun, 1) &&
           (m_core->link.WaitForReply(ReplyMs) || m_exception >= 0);
}

void Runner::waitUnplugged()
{
    int unanswered = 0;
    while (!m_signal && m_core->port.isOpen() && unanswered < UnpluggedAfter) {
        if (answers()) {
            unanswered = 0;
            waitUntil([] { return false; }, PollMs);
        } else {
            ++unanswered;
        }
    }
    m_core->port.close();
}

int Runner::repeat()
{
    int passed = 0, failed = 0;
    bool logged = true;
    while (!m_signal && logged) {
        Say(Waiting(), 0);
        // A controller answers (or refuses): that is the next unit.
        int found = NoController;
        while (!m_signal && (found = connect(false)) != Done && found != Refused)
            waitUntil([] { return false; }, PollMs);
        if (m_signal)
            break;
        const Unit u = unit(found);
        // A controller that refused the probes is still there: the port is opened again to see it go.
        if (found == Refused)
            m_core->port.open();
        report(u);
        logged = log(u);
        json(u);
        const int number = passed + failed + 1;
        u.exit == Done ? ++passed : ++failed;
        if (u.exit < SignalBase)
            Say(u.exit == Done ? UnitPassed(number).arg(u.seconds, 0, 'f', 1) : UnitFailed(number), 0);
        m_exception = -1;
        if (!m_signal && logged)
            waitUnplugged();
    }
    const int exit = !logged ? NotWritable : SignalBase + m_signal;
    Say((m_signal ? Interrupted() + u' ' : QString()) + Summary(passed + failed).arg(passed).arg(failed), 0);
    if (m_options.json) {
        const QJsonObject o{{"command", m_options.command}, {"units", passed + failed}, {"passed", passed},
                            {"failed", failed},         {"result", ResultName(exit)}, {"exit", exit}};
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
        std::fflush(stdout);
    }
    return exit;
}

}  // namespace cli
