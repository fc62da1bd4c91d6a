// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli params: the axis parameters saved to a file, compared with a controller, restored,
// and stored in the controller's non-volatile memory.
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include "cli/Cli.h"
#include "core/Files.h"
#include "core/ParameterIo.h"
#include "core/ToolCore.h"

namespace cli {

namespace {
const text::Text Answer{QT_TRANSLATE_NOOP("Trelmo", "[y/N] ")};
const text::Text NothingWritten{QT_TRANSLATE_NOOP("Trelmo", "没有确认，没有写入任何参数。")};
const text::Text NotStored{
    QT_TRANSLATE_NOOP("Trelmo", "参数在控制器的工作存储中；要掉电保持，请运行 trelmo-cli params store。")};
const text::Text StoredNow{QT_TRANSLATE_NOOP("Trelmo", "控制器已保存参数。")};
const text::Text NotStoredNow{QT_TRANSLATE_NOOP("Trelmo", "控制器没有确认保存参数。")};
const text::Text AutoRunOn{QT_TRANSLATE_NOOP(
    "Trelmo", "控制器设为上电自运行，没有写入任何参数。请先在 Trelmo 窗口中把运行模式改成“上电不自动运行”。")};

void Print(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
}
}  // namespace

// Asks on the terminal. Nothing when a signal came meanwhile; a key is looked for five times a
// second, so that a signal is seen at once whenever it comes.
std::optional<bool> Runner::confirm(const QString &question)
{
    std::fputs(qPrintable(question + u' ' + Answer()), stderr);
    std::fflush(stderr);
    QByteArray reply;
    for (;;) {
        if (CaughtSignal())
            break;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 200) <= 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 1 || c == '\n')
            break;
        reply += c;
    }
    if (CaughtSignal()) {
        std::fputc('\n', stderr);
        m_signal = CaughtSignal();
        return std::nullopt;
    }
    reply = reply.trimmed();
    return reply == "y" || reply == "Y" || reply == "yes";
}

int Runner::params()
{
    std::optional<param::FileContents> file;
    if (m_options.sub == QLatin1String("diff") || m_options.sub == QLatin1String("restore")) {
        const std::optional<QByteArray> bytes = files::ReadRegular(m_options.file, param::MaxFileBytes);
        file = param::ReadFile(bytes.value_or(QByteArray()));
        if (!bytes || !file->ok())
            return Say(param::FileUnusable().arg(bytes ? file->error : m_options.file), BadProject);
    }
    if (const int exit = connect(true); exit != Done)
        return Say(failureText(exit), exit);
    param::ParameterIo io(m_core->ctx);
    const auto ended = [&](param::ParameterIo::Outcome outcome, const QString &why) {
        const int exit = m_signal || m_exception >= 0 || outcome == param::ParameterIo::Outcome::PortFailed
                             ? failure(false)
                             : CutShort;
        return Say(failureText(exit).isEmpty() ? why : failureText(exit), exit);
    };
    if (m_options.sub == QLatin1String("store")) {
        const auto outcome = io.store();
        m_state->RequestTag = 0;
        return outcome == param::ParameterIo::Outcome::Done ? Say(StoredNow(), Done) : ended(outcome, NotStoredNow());
    }
    // The values are written only where the parameter screen would open.
    if (m_options.sub == QLatin1String("restore") && m_core->status.autoRun())
        return Say(AutoRunOn(), AutoRun);
    param::Values values{};
    const auto read = io.read(values);
    m_state->RequestTag = 0;
    if (read != param::ParameterIo::Outcome::Done)
        return ended(read, param::NotRead());

    if (m_options.sub == QLatin1String("save")) {
        if (!files::WriteWhole(m_options.file, param::WriteFile(values)))
            return Say(param::FileNotSaved(), NotWritable);
        return Say(param::FileSaved().arg(m_options.file), Done);
    }

    const auto rows = param::ParameterIo::Compare(*file, values);
    const param::ParameterIo::Summary summary = param::ParameterIo::Summarise(rows);
    Print(param::ParameterIo::Headers().join(u'\t'));
    for (const auto &row : rows)
        Print(param::ParameterIo::Texts(row).join(u'\t'));
    std::fflush(stdout);
    if (m_options.sub == QLatin1String("diff") || !summary.toWrite)
        return Say(summary.text(false), summary.differing ? Different : Done);
    if (!m_options.yes) {
        const std::optional<bool> yes = confirm(summary.text(true));
        if (!yes)
            return Say(NothingWritten(), SignalBase + m_signal);
        if (!*yes)
            return Say(NothingWritten(), NotConfirmed);
    }
    const param::ParameterIo::Restored done = io.restore(*file, values);
    Say(done.report(), 0);
    if (done.outcome == param::ParameterIo::Outcome::PortFailed || done.outcome == param::ParameterIo::Outcome::Stopped ||
        m_signal || m_exception >= 0)
        return ended(done.outcome, QString());
    const int exit = done.complete() && done.left.isEmpty() ? Done : Different;
    if (!m_options.store || exit != Done)
        return Say(NotStored(), exit);
    const auto stored = io.store();
    m_state->RequestTag = 0;
    return stored == param::ParameterIo::Outcome::Done ? Say(StoredNow(), Done) : ended(stored, NotStoredNow());
}

}  // namespace cli
