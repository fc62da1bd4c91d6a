#include "cli/Cli.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

#include "core/Texts.h"
#include "core/ToolCore.h"
#include "link/PortCatalogue.h"
#include "link/RegisterMap.h"
#include "link/Tags.h"

namespace cli {

namespace {
const text::Text NotAProject{
    QT_TRANSLATE_NOOP("Trelmo", "不是可用的工程文件（无法读取、不足 2 字节，或行数不在 1 至 500 之间）：%1")};
const text::Text NoPort{QT_TRANSLATE_NOOP("Trelmo", "没有找到有效的串口！")};
const text::Text AutoRunOn{
    QT_TRANSLATE_NOOP("Trelmo", "请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！")};
const text::Text Downloaded{QT_TRANSLATE_NOOP("Trelmo", "下载完成：共 %1 行。")};
const text::Text Uploaded{QT_TRANSLATE_NOOP("Trelmo", "读取完成：共 %1 行，已保存到 %2。")};
const text::Text SaveFailed{QT_TRANSLATE_NOOP("Trelmo", "程序保存出错！")};
const text::Text InterruptedText{QT_TRANSLATE_NOOP("Trelmo", "已中断。")};
const text::Text Answers{QT_TRANSLATE_NOOP("Trelmo", "%1：控制器应答，程序 %2 行")};
const text::Text Silent{QT_TRANSLATE_NOOP("Trelmo", "%1：没有控制器应答")};
const text::Text Closed{QT_TRANSLATE_NOOP("Trelmo", "%1：无法打开")};
const text::Text NoDevices{QT_TRANSLATE_NOOP("Trelmo", "没有串口设备。")};
const text::Text UnitPassed{QT_TRANSLATE_NOOP("Trelmo", "第 %1 台：通过（%2 秒）。请换下一台控制器。")};
const text::Text UnitFailed{QT_TRANSLATE_NOOP("Trelmo", "第 %1 台：失败：%2")};
const text::Text Waiting{QT_TRANSLATE_NOOP("Trelmo", "等待控制器……")};
const text::Text Summary{QT_TRANSLATE_NOOP("Trelmo", "共 %1 台：通过 %2 台，失败 %3 台。")};
const text::Text PortError{QT_TRANSLATE_NOOP("Trelmo", "串口出错！")};
const text::Text TraceFailed{QT_TRANSLATE_NOOP("Trelmo", "无法写入跟踪文件：%1")};

// How often the production loop looks for a controller coming or going.
constexpr int PollMs = 500;

void Err(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stderr);
    std::fflush(stderr);
}

QString CsvField(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

const char *ResultName(int exit)
{
    switch (exit) {
    case Done: return "ok";
    case BadProject: return "bad-project";
    case PortFailed: return "port-failed";
    case NoController: return "no-controller";
    case Different: return "different";
    case CutShort: return "cut-short";
    case AutoRun: return "auto-run";
    case Interrupted: return "interrupted";
    default: return "usage";
    }
}
}  // namespace

QuietPrompter::Answer QuietPrompter::message(const QString &text, Buttons buttons, const QString &)
{
    messages << text;
    return buttons == Buttons::YesNoCancel ? Answer::No : Answer::Ok;
}

int Say(const QString &line, int exit)
{
    Err(line);
    return exit;
}

QString Help()
{
    return QCoreApplication::translate(
        "Trelmo",
        "用法：trelmo-cli 命令 [选项]\n"
        "\n"
        "命令：\n"
        "  download 工程文件   连接控制器，下载工程，然后校验\n"
        "  verify 工程文件     比较控制器中的程序与工程\n"
        "  upload 工程文件     读取控制器中的程序，保存为工程文件\n"
        "  ports               列出串口，以及哪个串口上有控制器应答\n"
        "  convert 文件A 文件B 在工程文件与 CSV 表格之间转换（以扩展名 .csv 区分）\n"
        "  params save 参数文件     读取控制器的轴参数，保存到文件\n"
        "  params diff 参数文件     比较文件与控制器的轴参数（相同退出码 0，不同 5）\n"
        "  params restore 参数文件  把文件中不同的参数写入控制器（--yes 不再询问）\n"
        "\n"
        "选项：\n"
        "  --port 设备         使用这个串口设备（默认：像窗口一样依次尝试系统的串口）\n"
        "  --no-verify         下载后不校验\n"
        "  --repeat            生产线循环：每台控制器编程后等它断开，再等下一台\n"
        "  --log 文件.csv      每台一行记录，追加写入\n"
        "  --json              在标准输出打印一个结果对象\n"
        "  --yes               params restore 不询问，直接写入\n"
        "  --trace 文件        把线路上的每一帧写入文本文件：时间、间隔、方向、数据、用途、延迟、故障\n"
        "\n"
        "退出码：0 完成（并校验一致）；1 用法错误；2 工程文件缺失、无法读取或不是工程；\n"
        "3 没有串口或串口出错；4 没有控制器应答；5 校验发现不同；6 传输没有完成；\n"
        "7 控制器设为上电自运行（没有发送任何数据）；130 按了 Ctrl+C。\n");
}

std::optional<Options> Parse(const QStringList &arguments, QString &error)
{
    Options o;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *value = a == QLatin1String("--port")    ? &o.port
                         : a == QLatin1String("--log")   ? &o.log
                         : a == QLatin1String("--trace") ? &o.trace
                                                         : nullptr;
        if (value) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1: ?").arg(a);
                return std::nullopt;
            }
            *value = arguments[++i];
        } else if (a == QLatin1String("--no-verify")) {
            o.verify = false;
        } else if (a == QLatin1String("--repeat")) {
            o.repeat = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--yes")) {
            o.yes = true;
        } else if (a.startsWith(u'-')) {
            error = a;
            return std::nullopt;
        } else {
            positional << a;
        }
    }
    o.command = positional.value(0);
    o.file = positional.value(1);
    o.target = positional.value(2);
    const bool takesFile = o.command == QLatin1String("download") || o.command == QLatin1String("verify") ||
                           o.command == QLatin1String("upload");
    const int wanted = takesFile                               ? 2
                       : o.command == QLatin1String("convert") ? 3
                       : o.command == QLatin1String("ports")   ? 1
                                                               : -1;
    bool valid = positional.size() == wanted;
    if (o.command == QLatin1String("params")) {
        o.sub = positional.value(1);
        o.file = positional.value(2);
        valid = positional.size() == 3 && QStringList{"save", "diff", "restore"}.contains(o.sub);
    }
    if (!valid || (o.repeat && o.command != QLatin1String("download") && o.command != QLatin1String("verify"))) {
        error = positional.join(u' ');
        return std::nullopt;
    }
    return o;
}

Runner::Runner(Options options) : m_options(std::move(options)), m_state(std::make_unique<LinkState>())
{
    m_terminal = isatty(STDERR_FILENO);
    const QString port = m_options.port;
    m_core = std::make_unique<ToolCore>(*m_state, m_prompter, [port] {
        return port.isEmpty() ? PortCatalogue::build({}) : QStringList{port};
    });
    // A connection proves a controller answers and reads its run mode: nothing of its program.
    m_core->connection.beginUpload = nullptr;
}

Runner::~Runner() = default;

int Runner::run()
{
    if (m_options.command == QLatin1String("convert"))
        return Convert(m_options.file, m_options.target);
    if (!m_options.trace.isEmpty() && !m_trace.open(m_options.trace, m_core->traffic))
        return Say(TraceFailed().arg(m_options.trace), Usage);
    const int exit = command();
    m_trace.finish();
    return exit;
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
    while (!done() && !m_interrupted && (ms < 0 || clock.elapsed() < ms))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

QString Runner::lastMessage(const QStringList &texts) const
{
    for (auto it = m_prompter.messages.crbegin(); it != m_prompter.messages.crend(); ++it)
        if (texts.isEmpty() || texts.contains(*it))
            return *it;
    return {};
}

std::optional<int> Runner::connect()
{
    m_prompter.messages.clear();
    switch (m_core->start()) {
    case Connection::Outcome::Connected: return std::nullopt;
    case Connection::Outcome::NoPort: return PortFailed;
    default: return m_prompter.messages.contains(PortError()) ? PortFailed : NoController;
    }
}

bool Runner::loadProject(QString &why)
{
    m_project = project::Read(m_options.file);
    if (!m_project || m_project->lines < 1) {
        why = NotAProject().arg(m_options.file);
        return false;
    }
    return true;
}

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
        Err(format.arg(done).arg(total));
    }
    m_lastPercent = percent;
}

int Runner::transferProgram(Unit &u)
{
    Transfer &transfer = m_core->transfer;
    bool ended = false, complete = false;
    const auto finished = QObject::connect(&transfer, &Transfer::finished, [&] { ended = complete = true; });
    const auto cut = QObject::connect(&transfer, &Transfer::cutShort, [&] { ended = true; });
    const auto tick = QObject::connect(&m_core->timers.Timer1, &QTimer::timeout, [&] {
        if (transfer.downloading() && m_state->BlockCount > 0)
            progress(QCoreApplication::translate("Trelmo", "下载 %1/%2"),
                     std::min(m_state->BlocksDone * program::LinesPerBlock, u.lines), u.lines);
    });
    m_lastPercent = -100;
    m_prompter.messages.clear();
    transfer.DownloadClick();
    if (transfer.downloading())
        waitUntil([&] { return ended; });
    QObject::disconnect(finished);
    QObject::disconnect(cut);
    QObject::disconnect(tick);
    if (complete) {
        progress(QCoreApplication::translate("Trelmo", "下载 %1/%2"), u.lines, u.lines);
        u.message = Downloaded(u.lines);
        return Done;
    }
    u.message = lastMessage({});
    if (m_interrupted)
        return Interrupted;
    return m_core->port.isOpen() || ended ? CutShort : PortFailed;
}

int Runner::verifyProgram(Unit &u)
{
    Verify &verify = m_core->verify;
    bool ended = false;
    const auto finished = QObject::connect(&verify, &Verify::finished, [&] { ended = true; });
    const auto started = QObject::connect(&verify, &Verify::started, [&](int lines) {
        m_lastPercent = -100;
        progress(QCoreApplication::translate("Trelmo", "校验 %1/%2"), 0, lines);
    });
    const auto tick = QObject::connect(&m_core->timers.Timer1, &QTimer::timeout, [&] {
        const int lines = std::min(verify.result().projectLines, verify.result().controllerLines);
        if (verify.running() && m_state->BlockCount > 0 && lines > 0)
            progress(QCoreApplication::translate("Trelmo", "校验 %1/%2"),
                     std::min(m_state->BlocksDone * program::LinesPerBlock, lines), lines);
    });
    m_prompter.messages.clear();
    if (verify.start())
        waitUntil([&] { return ended; });
    QObject::disconnect(finished);
    QObject::disconnect(started);
    QObject::disconnect(tick);
    u.verify = verify.result();
    u.message = lastMessage({});
    if (m_interrupted)
        return Interrupted;
    if (!ended)
        return m_core->port.isOpen() ? CutShort : PortFailed;
    if (!u.verify.complete)
        return CutShort;
    return u.verify.equal() ? Done : Different;
}

Runner::Unit Runner::unit()
{
    QElapsedTimer clock;
    clock.start();
    Unit u;
    const auto done = [&](int exit) {
        u.exit = exit;
        u.seconds = double(clock.elapsed()) / 1000.0;
        return u;
    };
    QString why;
    if (!loadProject(why)) {
        u.message = why;
        return done(BadProject);
    }
    u.lines = m_project->lines;
    if (const auto failed = connect()) {
        u.message = lastMessage({});
        if (u.message.isEmpty())
            u.message = NoPort();
        return done(*failed);
    }
    // The program to write or compare is the project's, whatever the controller holds.
    project::Apply(*m_project, m_core->program.image());
    m_core->program.setCount(m_project->lines);
    if (m_options.command == QLatin1String("download")) {
        // Nothing goes to a controller that starts its program at power-on.
        if (m_core->status.autoRun()) {
            u.message = AutoRunOn();
            return done(AutoRun);
        }
        if (const int exit = transferProgram(u); exit != Done || !m_options.verify)
            return done(exit);
    }
    return done(verifyProgram(u));
}

void Runner::report(const Unit &u)
{
    if (m_terminal && m_lastPercent >= 0 && m_lastPercent < 100)
        std::fputc('\n', stderr);
    if (!u.message.isEmpty())
        Err(u.message);
}

void Runner::log(const Unit &u)
{
    if (m_options.log.isEmpty())
        return;
    QFile file(m_options.log);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray sha;
    if (QFile project(m_options.file); project.open(QIODevice::ReadOnly))
        sha = QCryptographicHash::hash(project.readAll(), QCryptographicHash::Sha256).toHex();
    QStringList fields{QDateTime::currentDateTime().toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                           .toString(Qt::ISODate),
                       CsvField(m_core->port.deviceName()),
                       CsvField(QFileInfo(m_options.file).absoluteFilePath()),
                       QString::fromLatin1(sha),
                       QString::number(u.lines),
                       QString::fromLatin1(ResultName(u.exit)),
                       QString::number(u.seconds, 'f', 2),
                       CsvField(u.verify.firstDifference)};
    if (fresh)
        file.write("time,port,project,sha256,lines,result,seconds,first difference\n");
    file.write(fields.join(u',').toUtf8() + '\n');
}

int Runner::finish(const Unit &u)
{
    report(u);
    log(u);
    if (m_options.json) {
        QJsonObject o{{"command", m_options.command},
                      {"file", m_options.file},
                      {"port", m_core->port.deviceName()},
                      {"lines", u.lines},
                      {"result", QString::fromLatin1(ResultName(u.exit))},
                      {"exit", u.exit},
                      {"seconds", u.seconds},
                      {"message", u.message}};
        if (u.verify.complete)
            o.insert("verify", QJsonObject{{"equal", u.verify.equal()},
                                           {"projectLines", u.verify.projectLines},
                                           {"controllerLines", u.verify.controllerLines},
                                           {"differingLines", u.verify.differingLines},
                                           {"firstLine", u.verify.firstLine},
                                           {"firstDifference", u.verify.firstDifference}});
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
        std::fputc('\n', stdout);
    }
    return u.exit;
}

int Runner::upload()
{
    Unit u;
    QElapsedTimer clock;
    clock.start();
    const auto done = [&](int exit) {
        u.exit = exit;
        u.seconds = double(clock.elapsed()) / 1000.0;
        return finish(u);
    };
    if (const auto failed = connect()) {
        u.message = lastMessage({});
        return done(*failed);
    }
    const int lines = m_state->ReportedLineCount;
    if (lines > program::MaxLines) {
        u.message = lastMessage({});
        return done(CutShort);
    }
    u.lines = lines;
    Transfer &transfer = m_core->transfer;
    bool ended = false, complete = false;
    const auto finished = QObject::connect(&transfer, &Transfer::finished, [&] { ended = complete = true; });
    const auto cut = QObject::connect(&transfer, &Transfer::cutShort, [&] { ended = true; });
    const auto tick = QObject::connect(&m_core->timers.Timer1, &QTimer::timeout, [&] {
        if (transfer.uploading())
            progress(QCoreApplication::translate("Trelmo", "读取 %1/%2"),
                     std::min(m_state->BlocksDone * program::LinesPerBlock, lines), lines);
    });
    m_prompter.messages.clear();
    transfer.beginUpload(lines);
    waitUntil([&] { return ended; });
    QObject::disconnect(finished);
    QObject::disconnect(cut);
    QObject::disconnect(tick);
    if (!complete) {
        u.message = lastMessage({});
        return done(m_interrupted ? Interrupted : CutShort);
    }
    // What the window's save writes after the same read.
    ProgramBytes bytes = m_core->program.image();
    project::SetCountWord(bytes, lines);
    if (!project::Write(m_options.file, bytes)) {
        u.message = SaveFailed();
        return done(BadProject);
    }
    u.message = Uploaded(lines).arg(m_options.file);
    return done(Done);
}

int Runner::ports()
{
    const QStringList devices = m_options.port.isEmpty() ? PortCatalogue::build({}) : QStringList{m_options.port};
    if (devices.isEmpty()) {
        Err(NoDevices());
        return PortFailed;
    }
    for (const QString &device : devices) {
        m_core->port.setCatalogue({device});
        m_prompter.messages.clear();
        const Connection::Outcome outcome = m_core->connection.ConnectController();
        const QString line = outcome == Connection::Outcome::Connected
                                 ? Answers().arg(device).arg(m_state->ReportedLineCount)
                             : outcome == Connection::Outcome::NoPort ? Closed().arg(device)
                                                                      : Silent().arg(device);
        std::fputs(qPrintable(line + u'\n'), stdout);
        m_core->port.close();
        if (m_interrupted)
            return Interrupted;
    }
    return Done;
}

// Whether the controller on the open port still answers a read of its run mode.
bool Runner::controllerAnswers()
{
    if (!m_core->port.isOpen() || m_state->RequestTag != tag::Idle)
        return m_core->port.isOpen();
    return m_core->link.ReadRegisters(tag::ReadRunMode, reg::PowerOnRun, 1) && m_core->link.WaitForReply(300);
}

int Runner::repeat()
{
    int passed = 0, failed = 0;
    while (!m_interrupted) {
        Err(Waiting());
        // A controller answers: program it.
        while (!m_interrupted && connect())
            waitUntil([] { return false; }, PollMs);
        if (m_interrupted)
            break;
        const Unit u = unit();
        if (u.exit == Interrupted)
            break;
        report(u);
        log(u);
        const int number = passed + failed + 1;
        u.exit == Done ? ++passed : ++failed;
        Err(u.exit == Done ? UnitPassed(number).arg(u.seconds, 0, 'f', 1) : UnitFailed(number).arg(u.message));
        // Until it stops answering: unplugged.
        while (!m_interrupted && controllerAnswers())
            waitUntil([] { return false; }, PollMs);
        m_core->port.close();
    }
    Err(InterruptedText() + u' ' + Summary(passed + failed).arg(passed).arg(failed));
    if (m_options.json)
        std::printf("%s\n", QJsonDocument(QJsonObject{{"command", m_options.command},
                                                       {"units", passed + failed},
                                                       {"passed", passed},
                                                       {"failed", failed},
                                                       {"exit", int(Interrupted)}})
                                .toJson(QJsonDocument::Compact)
                                .constData());
    return Interrupted;
}

}  // namespace cli
