// SPDX-License-Identifier: GPL-3.0-or-later
// What trelmo-cli tells: progress on standard error (a bar on a terminal, plain lines
// otherwise), one line saying how a unit ended, one row per unit in the log, and --json.
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "cli/Cli.h"
#include "core/Texts.h"
#include "core/Files.h"
#include "core/ToolCore.h"

namespace cli {

namespace {
const text::Text LogLost{QT_TRANSLATE_NOOP("Trelmo", "无法写入日志：%1")};
// The log's first line; its last column holds the verify's first difference, or why a unit
// failed and where it stopped.
constexpr char LogHeader[] = "time,port,project,sha256,lines,result,seconds,detail\n";
}  // namespace

void Runner::progress(const QString &format, int done, int total)
{
    if (m_options.json && !m_terminal)
        return;
    const int percent = total > 0 ? 100 * done / total : 100;
    if (m_terminal) {
        constexpr int Width = 30;
        const int filled = Width * percent / 100;
        std::fprintf(stderr, "\r%s [%s%s]", qPrintable(format.arg(done).arg(total)),
                     QByteArray(filled, '#').constData(), QByteArray(Width - filled, '.').constData());
        if (done >= total)
            std::fputc('\n', stderr);
        std::fflush(stderr);
    } else if (percent / 10 != m_lastPercent / 10 || done >= total) {
        Say(format.arg(done).arg(total), 0);
    }
    m_lastPercent = percent;
}

void Runner::report(const Unit &u)
{
    if (m_terminal && m_lastPercent >= 0 && m_lastPercent < 100)
        std::fputc('\n', stderr);
    m_lastPercent = -100;
    if (!u.message.isEmpty())
        Say(u.message, 0);
}

// The log is opened before anything is sent, and only ever appended to.
bool Runner::openLog()
{
    const QFileInfo target(m_options.log);
    if (target.exists() && !target.isFile())
        return false;
    m_log.setFileName(m_options.log);
    return m_log.open(QIODevice::ReadWrite | QIODevice::Append);
}

bool Runner::log(const Unit &u)
{
    if (!m_log.isOpen())
        return true;
    QByteArray row;
    // A new log starts with the byte-order mark, so that a spreadsheet reads its Chinese; a row
    // never runs on from a last line that has no line end.
    if (m_log.size() == 0) {
        row = "\xEF\xBB\xBF" + QByteArray(LogHeader);
    } else if (char last = 0; m_log.seek(m_log.size() - 1) && m_log.getChar(&last) && last != '\n') {
        row = "\n";
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList fields{now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate),
                             files::CsvField(device()),
                             files::CsvField(QFileInfo(m_options.file).absoluteFilePath()),
                             QString::fromLatin1(u.sha256),
                             QString::number(u.lines),
                             ResultName(u.exit),
                             QString::number(u.seconds, 'f', 2),
                             files::CsvField(u.exit == Different ? u.verify.firstDifference
                                             : u.exit == Done    ? QString()
                                                                 : u.message)};
    row += fields.join(u',').toUtf8() + '\n';
    if (m_log.write(row) == row.size() && m_log.flush())
        return true;
    Say(LogLost().arg(m_options.log), 0);
    m_log.close();
    return false;
}

void Runner::json(const Unit &u)
{
    if (!m_options.json)
        return;
    QJsonObject o{{"command", m_options.command},
                  {"file", m_options.file},
                  {"port", device()},
                  {"lines", u.lines},
                  {"result", ResultName(u.exit)},
                  {"exit", u.exit},
                  {"seconds", u.seconds},
                  {"message", u.message}};
    if (!u.sha256.isEmpty())
        o.insert("sha256", QString::fromLatin1(u.sha256));
    if (u.verify.complete)
        o.insert("verify", QJsonObject{{"equal", u.verify.equal()},
                                       {"projectLines", u.verify.projectLines},
                                       {"controllerLines", u.verify.controllerLines},
                                       {"differingLines", u.verify.differingLines},
                                       {"firstLine", u.verify.firstLine},
                                       {"firstField", u.verify.firstField},
                                       {"firstDifference", u.verify.firstDifference}});
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    std::fflush(stdout);
}

int Runner::finish(const Unit &u)
{
    report(u);
    const bool logged = log(u);
    json(u);
    return logged ? u.exit : NotWritable;
}

}  // namespace cli
