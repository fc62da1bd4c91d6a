// trelmo-cli params: the axis parameters saved to a file, compared with a controller, restored.
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <iostream>

#include "cli/Cli.h"
#include "core/ParameterIo.h"
#include "core/ToolCore.h"

namespace cli {

namespace {
const text::Text Answer{QT_TRANSLATE_NOOP("Trelmo", "[y/N] ")};
const text::Text NothingWritten{QT_TRANSLATE_NOOP("Trelmo", "没有写入任何参数。")};
const text::Text Stored{QT_TRANSLATE_NOOP("Trelmo", "参数在控制器的工作存储中；要永久保存，请用“控制器保存数据”。")};
const text::Text ScreenGuard{QT_TRANSLATE_NOOP("Trelmo", "请将运行设置：更改为上电不自动运行，再进入参数设置界面！")};

void Print(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
}
}  // namespace

int Runner::params()
{
    std::optional<param::FileContents> file;
    if (m_options.sub != QLatin1String("save")) {
        QFile f(m_options.file);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.read(1 << 16) : QByteArray();
        file = param::ReadFile(bytes);
        if (!f.isOpen() || !file->ok())
            return Say(param::FileUnusable().arg(f.isOpen() ? file->error : m_options.file), BadProject);
    }
    if (const auto failed = connect())
        return Say(lastMessage({}), *failed);
    // The values are written only where the parameter screen would open.
    if (m_options.sub == QLatin1String("restore") && m_core->status.autoRun())
        return Say(ScreenGuard(), AutoRun);
    param::ParameterIo io(m_core->ctx);
    param::Values values{};
    const auto outcome = io.read(values);
    m_state->RequestTag = 0;
    if (outcome != param::ParameterIo::Outcome::Done)
        return Say(param::NotRead(), m_core->port.isOpen() ? CutShort : PortFailed);

    if (m_options.sub == QLatin1String("save")) {
        QSaveFile out(m_options.file);
        const QByteArray bytes = param::WriteFile(values);
        const QFileInfo target(m_options.file);
        if ((target.exists() && !target.isFile()) || !out.open(QIODevice::WriteOnly) ||
            out.write(bytes) != bytes.size() || !out.commit())
            return Say(param::FileNotSaved(), BadProject);
        return Say(param::FileSaved().arg(m_options.file), Done);
    }

    const auto rows = param::ParameterIo::Compare(*file, values);
    const param::ParameterIo::Summary summary = param::ParameterIo::Summarise(rows);
    Print(param::ParameterIo::Headers().join(u'\t'));
    for (const auto &row : rows)
        Print(param::ParameterIo::Texts(row).join(u'\t'));
    if (m_options.sub == QLatin1String("diff") || !summary.toWrite)
        return Say(summary.text(false), summary.differing ? Different : Done);
    if (!m_options.yes) {
        std::fputs(qPrintable(summary.text(true) + u' ' + Answer()), stderr);
        std::string reply;
        std::getline(std::cin, reply);
        if (reply != "y" && reply != "Y" && reply != "yes")
            return Say(NothingWritten(), Done);
    }
    const param::ParameterIo::Restored done = io.restore(*file, values);
    std::fputs(qPrintable(done.report() + u'\n'), stderr);
    if (done.outcome == param::ParameterIo::Outcome::PortFailed || done.outcome == param::ParameterIo::Outcome::Stopped)
        return m_interrupted ? Interrupted : CutShort;
    return Say(Stored(), done.complete() && done.left.isEmpty() ? Done : Different);
}

}  // namespace cli
