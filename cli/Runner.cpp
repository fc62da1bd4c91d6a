// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli's verbs on the core: the checks made before anything is sent, connecting as the
// window does, one unit (a download and its verify, or a verify), the upload and the port list.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

#include "cli/Cli.h"
#include "core/Files.h"
#include "core/Texts.h"
#include "core/ToolCore.h"
#include "link/PortCatalogue.h"

namespace cli {

namespace {
const text::Text NotAProject{
    QT_TRANSLATE_NOOP("Trelmo", "不是可用的工程文件（无法读取、不足 2 字节，或行数不在 1 至 500 之间）：%1")};
const text::Text ShortProject{QT_TRANSLATE_NOOP("Trelmo", "工程文件不完整：%1 有 %2 行，但只有 %3 字节（应为 %4 字节以上）")};
const text::Text SameFile{QT_TRANSLATE_NOOP("Trelmo", "同一个文件不能兼作工程或参数文件、日志和跟踪：%1")};
const text::Text TraceFailed{QT_TRANSLATE_NOOP("Trelmo", "无法写入跟踪文件：%1")};
const text::Text LogFailed{QT_TRANSLATE_NOOP("Trelmo", "无法写入日志：%1")};
const text::Text OutputFailed{QT_TRANSLATE_NOOP("Trelmo", "无法写入：%1")};
const text::Text NoTerminal{
    QT_TRANSLATE_NOOP("Trelmo", "params restore 需要确认：没有终端可以询问，请加上 --yes。没有写入任何参数。")};
const text::Text NoDevices{QT_TRANSLATE_NOOP("Trelmo", "没有串口设备。")};
const text::Text NotOpened{QT_TRANSLATE_NOOP("Trelmo", "无法打开串口 %1。")};
const text::Text NoneOpened{QT_TRANSLATE_NOOP("Trelmo", "没有一个串口能打开：%1")};
const text::Text PortBroke{QT_TRANSLATE_NOOP("Trelmo", "串口 %1 出错。")};
const text::Text Silent{QT_TRANSLATE_NOOP("Trelmo", "%1：没有控制器应答。")};
const text::Text Exception{QT_TRANSLATE_NOOP("Trelmo", "控制器拒绝了请求：异常 %1，%2。")};
const text::Text AutoRunOn{QT_TRANSLATE_NOOP(
    "Trelmo", "控制器设为上电自运行，没有发送任何数据。请先在 Trelmo 窗口中把运行模式改成“上电不自动运行”。")};
const text::Text Downloaded{QT_TRANSLATE_NOOP("Trelmo", "下载完成：共 %1 行。")};
const text::Text DownloadCut{QT_TRANSLATE_NOOP("Trelmo", "下载没有完成，已写入 %1/%2 块：控制器中的程序不完整！")};
const text::Text VerifyCut{QT_TRANSLATE_NOOP("Trelmo", "校验没有完成，已比较 %1/%2 块。")};
const text::Text UploadCut{QT_TRANSLATE_NOOP("Trelmo", "读取没有完成，已读取 %1/%2 块，没有保存任何文件。")};
const text::Text Uploaded{QT_TRANSLATE_NOOP("Trelmo", "读取完成：共 %1 行，已保存到 %2。")};
const text::Text TooManyLines{QT_TRANSLATE_NOOP("Trelmo", "控制器报告 %1 行，程序最多 500 行：没有读取。")};
const text::Text Interrupted{QT_TRANSLATE_NOOP("Trelmo", "已中断。")};
const text::Text Answers{QT_TRANSLATE_NOOP("Trelmo", "%1：控制器应答，程序 %2 行")};
const text::Text SilentPort{QT_TRANSLATE_NOOP("Trelmo", "%1：没有控制器应答")};
const text::Text RefusingPort{QT_TRANSLATE_NOOP("Trelmo", "%1：控制器以异常 %2 应答")};
const text::Text Closed{QT_TRANSLATE_NOOP("Trelmo", "%1：无法打开")};
const text::Text Broken{QT_TRANSLATE_NOOP("Trelmo", "%1：串口出错")};
const text::Text ExceptionNames[] = {
    {QT_TRANSLATE_NOOP("Trelmo", "未知的异常")},         {QT_TRANSLATE_NOOP("Trelmo", "非法功能")},
    {QT_TRANSLATE_NOOP("Trelmo", "非法数据地址")},       {QT_TRANSLATE_NOOP("Trelmo", "非法数据值")},
    {QT_TRANSLATE_NOOP("Trelmo", "从站设备故障")},       {QT_TRANSLATE_NOOP("Trelmo", "已确认，正在处理")},
    {QT_TRANSLATE_NOOP("Trelmo", "从站设备忙")},         {QT_TRANSLATE_NOOP("Trelmo", "未知的异常")},
    {QT_TRANSLATE_NOOP("Trelmo", "存储器奇偶校验错误")}, {QT_TRANSLATE_NOOP("Trelmo", "未知的异常")},
    {QT_TRANSLATE_NOOP("Trelmo", "网关路径不可用")},     {QT_TRANSLATE_NOOP("Trelmo", "网关目标设备没有响应")},
};

QString ExceptionText(int code)
{
    const int known = code >= 0 && code < int(std::size(ExceptionNames)) ? code : 0;
    return Exception().arg(code, 2, 16, QLatin1Char('0')).arg(ExceptionNames[known]());
}

int BlocksOf(int lines)
{
    return (lines + program::LinesPerBlock - 1) / program::LinesPerBlock;
}
}  // namespace

Runner::Runner(Options options) : m_options(std::move(options)), m_state(std::make_unique<ToolState>())
{
    m_terminal = isatty(STDERR_FILENO);
    const QString port = m_options.port;
    m_core = std::make_unique<ToolCore>(*m_state, [port] {
        return port.isEmpty() ? PortCatalogue::build({}) : QStringList{port};
    });
    // A connection proves a controller answers and reads its run mode: nothing of its program.
    m_core->connection.beginUpload = nullptr;
    QObject::connect(&m_core->link, &ModbusLink::exceptionReceived, &m_core->link, [this](int, int code) {
        if (m_exception < 0)
            m_exception = code;
    });
}

Runner::~Runner() = default;

int Runner::run()
{
    if (m_options.command == QLatin1String("convert"))
        return Convert(m_options.file, m_options.target);
    if (const int exit = prepare(); exit != Done)
        return exit;
    const int exit = command();
    m_trace.finish();
    return exit;
}

// Everything that can be refused is refused before the first frame goes out.
int Runner::prepare()
{
    if (m_options.sub == QLatin1String("restore") && !m_options.yes && !isatty(STDIN_FILENO))
        return Say(NoTerminal(), NotConfirmed);
    // The project or the parameter file, the log and the trace: three files, or a trace opened
    // first would write over the file the command is about to read.
    const QStringList named{m_options.file, m_options.log, m_options.trace};
    for (int a = 0; a < named.size(); ++a)
        for (int b = a + 1; b < named.size(); ++b)
            if (!named[a].isEmpty() && !named[b].isEmpty() && files::Same(named[a], named[b]))
                return Say(SameFile().arg(named[b]), Usage);
    if (!m_options.trace.isEmpty() && !m_trace.open(m_options.trace, m_core->traffic))
        return Say(TraceFailed().arg(m_options.trace), NotWritable);
    if (!m_options.log.isEmpty() && !openLog())
        return Say(LogFailed().arg(m_options.log), NotWritable);
    const bool writes = m_options.command == QLatin1String("upload") || m_options.sub == QLatin1String("save");
    if (writes && !files::Writable(m_options.file))
        return Say(OutputFailed().arg(m_options.file), NotWritable);
    return Done;
}

int Runner::command()
{
    if (m_options.command == QLatin1String("ports"))
        return ports();
    if (m_options.command == QLatin1String("upload"))
        return upload();
    if (m_options.command == QLatin1String("params"))
        return params();
    return m_options.repeat ? repeat() : finish(unit());
}

bool Runner::waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    // Something wakes the wait at least this often, whatever else happens.
    QTimer wake;
    wake.start(50);
    while (!done() && !m_signal && (ms < 0 || clock.elapsed() < ms))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// An exception reply ends the operation at once: its request is given up, as the watchdog would
// give it up, and the operation ends as it ends then.
void Runner::awaitEnd(const bool &ended, const std::function<void()> &givenUp)
{
    waitUntil([&] { return ended || m_exception >= 0; });
    if (ended || m_signal || m_exception < 0)
        return;
    m_core->receive.giveUp();
    givenUp();
    waitUntil([&] { return ended; }, 1000);
}

QString Runner::device() const
{
    const QString opened = m_core->port.deviceName();
    if (!opened.isEmpty())
        return opened;
    return m_options.port.isEmpty() ? m_core->port.catalogue().join(u' ') : m_options.port;
}

int Runner::failure(bool cut) const
{
    if (m_signal)
        return SignalBase + m_signal;
    if (m_exception >= 0)
        return Refused;
    return m_core->port.isOpen() || cut ? CutShort : PortFailed;
}

QString Runner::failureText(int exit) const
{
    switch (exit) {
    case Refused: return ExceptionText(m_exception);
    case PortFailed:
        if (m_opened)
            return PortBroke().arg(device());
        if (m_core->port.catalogue().isEmpty())
            return NoDevices();
        return m_options.port.isEmpty() ? NoneOpened().arg(device()) : NotOpened().arg(device());
    case NoController: return Silent().arg(device());
    default: return exit > SignalBase ? Interrupted() : QString();
    }
}

// Connects as the window does. A probe that goes unanswered once is asked again (`retry`) before
// the controller is taken for absent.
int Runner::connect(bool retry)
{
    for (int attempt = 0;; ++attempt) {
        const Connection::Outcome outcome = m_core->start();
        m_opened = outcome != Connection::Outcome::NoPort;
        if (m_signal)
            return SignalBase + m_signal;
        if (m_exception >= 0) {
            m_core->port.close();
            return Refused;
        }
        switch (outcome) {
        case Connection::Outcome::Connected: return Done;
        case Connection::Outcome::NoController:
            if (retry && attempt == 0)
                continue;
            return NoController;
        default: return PortFailed;
        }
    }
}

bool Runner::loadProject(Unit &u)
{
    m_project = project::Read(m_options.file);
    if (!m_project || m_project->lines < 1) {
        u.message = NotAProject().arg(m_options.file);
        return false;
    }
    u.lines = m_project->lines;
    u.sha256 = QCryptographicHash::hash(m_project->bytes, QCryptographicHash::Sha256).toHex();
    if (m_project->whole())
        return true;
    const int needed = program::CountWordSize + program::RecordSize * u.lines;
    u.message = ShortProject().arg(m_options.file).arg(u.lines).arg(m_project->bytes.size()).arg(needed);
    return false;
}

// Runs the transfer that `begin` starts until it ends, with its progress; the exit code, and the
// message of one that did not complete (`cut`, with the blocks done and the blocks in all).
int Runner::runTransfer(const std::function<void()> &begin, const QString &format, int lines, const text::Text &cut,
                        QString &message)
{
    Transfer &transfer = m_core->transfer;
    bool ended = false;
    Transfer::Outcome outcome{};
    const auto over = QObject::connect(&transfer, &Transfer::ended, [&](const Transfer::Outcome &o) {
        ended = true;
        outcome = o;
    });
    const auto tick = QObject::connect(&m_core->timers.Timer1, &QTimer::timeout, [&] {
        if ((transfer.downloading() || transfer.uploading()) && m_state->BlockCount > 0)
            progress(format, std::min(m_state->BlocksDone * program::LinesPerBlock, lines), lines);
    });
    m_lastPercent = -100;
    begin();
    if (transfer.downloading() || transfer.uploading())
        awaitEnd(ended, [&] { transfer.checkEnded(); });
    QObject::disconnect(over);
    QObject::disconnect(tick);
    if (ended && outcome.complete && !m_signal && m_exception < 0) {
        if (lines > 0)
            progress(format, lines, lines);
        return Done;
    }
    const int exit = failure(ended);
    message = failureText(exit);
    // Cut by a signal, the transfer is still on its way: the blocks done so far.
    const int done = ended ? outcome.blocksDone : m_state->BlocksDone;
    message += (message.isEmpty() ? QString() : QStringLiteral(" ")) + cut().arg(done).arg(BlocksOf(lines));
    return exit;
}

int Runner::transferProgram(Unit &u)
{
    const int exit = runTransfer([this] { m_core->transfer.DownloadClick(); },
                                 QCoreApplication::translate("Trelmo", "下载 %1/%2"), u.lines, DownloadCut, u.message);
    if (exit == Done)
        u.message = Downloaded(u.lines);
    return exit;
}

int Runner::verifyProgram(Unit &u)
{
    Verify &verify = m_core->verify;
    bool ended = false;
    const QString format = QCoreApplication::translate("Trelmo", "校验 %1/%2");
    const auto finished = QObject::connect(&verify, &Verify::finished, [&] { ended = true; });
    const auto started = QObject::connect(&verify, &Verify::started, [&](int lines) {
        m_lastPercent = -100;
        progress(format, 0, lines);
    });
    const auto tick = QObject::connect(&m_core->timers.Timer1, &QTimer::timeout, [&] {
        const int lines = std::min(verify.result().projectLines, verify.result().controllerLines);
        if (verify.running() && m_state->BlockCount > 0 && lines > 0)
            progress(format, std::min(m_state->BlocksDone * program::LinesPerBlock, lines), lines);
    });
    // The controller is compared with the project file's own bytes.
    if (verify.start(m_project->bytes))
        awaitEnd(ended, [&] { verify.checkEnded(); });
    QObject::disconnect(finished);
    QObject::disconnect(started);
    QObject::disconnect(tick);
    u.verify = verify.result();
    if (u.verify.complete && !m_signal && m_exception < 0) {
        if (const int lines = std::min(u.verify.projectLines, u.verify.controllerLines); lines > 0)
            progress(format, lines, lines);
        u.message = u.verify.message();
        return u.verify.equal() ? Done : Different;
    }
    const int exit = failure(ended);
    const int lines = std::min(u.verify.projectLines, u.verify.controllerLines);
    u.message = failureText(exit);
    if (lines > 0)
        u.message += (u.message.isEmpty() ? QString() : QStringLiteral(" ")) +
                     VerifyCut().arg(m_state->BlocksDone).arg(BlocksOf(lines));
    return exit;
}

Runner::Unit Runner::unit(std::optional<int> connected)
{
    QElapsedTimer clock;
    clock.start();
    Unit u;
    const auto done = [&](int exit) {
        u.exit = exit;
        u.seconds = double(clock.elapsed()) / 1000.0;
        if (u.message.isEmpty())
            u.message = failureText(exit);
        return u;
    };
    if (!loadProject(u))
        return done(BadProject);
    if (const int exit = connected ? *connected : connect(true); exit != Done)
        return done(exit);
    if (m_options.command == QLatin1String("download")) {
        // Nothing goes to a controller that starts its program at power-on.
        if (m_core->status.autoRun()) {
            u.message = AutoRunOn();
            return done(AutoRun);
        }
        // What goes out is the project's lines 1 to n, byte for byte.
        project::Apply(*m_project, m_core->program.image());
        m_core->program.setCount(m_project->lines);
        if (const int exit = transferProgram(u); exit != Done || !m_options.verify)
            return done(exit);
    }
    return done(verifyProgram(u));
}

int Runner::upload()
{
    Unit u;
    QElapsedTimer clock;
    clock.start();
    const auto done = [&](int exit) {
        u.exit = exit;
        u.seconds = double(clock.elapsed()) / 1000.0;
        if (u.message.isEmpty())
            u.message = failureText(exit);
        return finish(u);
    };
    if (const int exit = connect(true); exit != Done)
        return done(exit);
    const int lines = m_state->ReportedLineCount;
    if (lines > program::MaxLines) {
        u.message = TooManyLines(lines);
        return done(CutShort);
    }
    u.lines = lines;
    if (const int exit = runTransfer([&] { m_core->transfer.beginUpload(lines); },
                                     QCoreApplication::translate("Trelmo", "读取 %1/%2"), lines, UploadCut, u.message);
        exit != Done)
        return done(exit);
    // What the window's save writes after the same read.
    ProgramBytes bytes = m_core->program.image();
    project::SetCountWord(bytes, lines);
    if (!project::Write(m_options.file, bytes)) {
        u.message = OutputFailed().arg(m_options.file);
        return done(NotWritable);
    }
    u.sha256 = QCryptographicHash::hash(QByteArrayView(bytes.data(), bytes.size()), QCryptographicHash::Sha256).toHex();
    u.message = Uploaded(lines).arg(m_options.file);
    return done(Done);
}

int Runner::ports()
{
    const QStringList devices = m_options.port.isEmpty() ? PortCatalogue::build({}) : QStringList{m_options.port};
    if (devices.isEmpty())
        return Say(NoDevices(), PortFailed);
    QJsonArray found;
    int exit = Done;
    for (const QString &device : devices) {
        m_core->port.setCatalogue({device});
        const Connection::Outcome outcome = m_core->connection.ConnectController();
        QString line, state;
        if (m_exception >= 0) {
            line = RefusingPort().arg(device).arg(m_exception, 2, 16, QLatin1Char('0')), state = "refused";
            exit = Refused;
        } else if (outcome == Connection::Outcome::Connected) {
            line = Answers().arg(device).arg(m_state->ReportedLineCount), state = "answers";
        } else if (outcome == Connection::Outcome::NoPort) {
            line = Closed().arg(device), state = "closed";
        } else if (outcome == Connection::Outcome::PortFailed) {
            line = Broken().arg(device), state = "port-failed";
        } else {
            line = SilentPort().arg(device), state = "silent";
        }
        QJsonObject o{{"device", device}, {"state", state}};
        if (outcome == Connection::Outcome::Connected)
            o.insert("lines", m_state->ReportedLineCount);
        found.append(o);
        if (!m_options.json)
            std::fputs(qPrintable(line + u'\n'), stdout);
        m_core->port.close();
        if (m_signal)
            exit = SignalBase + m_signal;
        if (exit != Done)
            break;
    }
    if (m_options.json) {
        const QJsonObject o{{"command", "ports"}, {"ports", found}, {"exit", exit}};
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    }
    std::fflush(stdout);
    if (exit == Refused)
        Say(ExceptionText(m_exception), exit);
    return exit;
}

}  // namespace cli
