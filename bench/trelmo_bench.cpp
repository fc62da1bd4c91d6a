// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the tool and prints one Markdown table: the transfers against the simulator's line
// model, the CPU the tool's process uses with the manual screen refreshing and with the main
// window idle (measured from outside, under a display server) beside a bare Qt program woken as
// often (`--floor DEVICE`, FloorRun.cpp), its peak memory, the same with the traffic monitor
// closed, open, paused, minimised and hidden, beside the same bare program with a Qt table fed
// the same rows (`--floor-table DEVICE`), and after a million rows of traffic (`--tool-only`
// measures the tool's process alone), the
// start-up of the real binary to its first frame, rendering and frame building, and a paste and an
// import of 500 lines from a spreadsheet (`--spreadsheet` measures these alone, Spreadsheet.cpp).
//
// `trelmo-bench --tool DEVICE` is the tool itself as a user runs it (ToolRun.cpp); the
// benchmark starts it as a child process and reads what the kernel counted for it.
#include <QApplication>
#include <QDateTime>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <poll.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "Pty.h"
#include "SimProcess.h"
#include "Spreadsheet.h"
#include "ToolRun.h"
#include "Transfers.h"
#include "protocol/Crc.h"
#include "protocol/Frames.h"
#include "editor/LineRenderer.h"
#include "ui/FlexGrid.h"
#include "ui/Widgets.h"

namespace {
constexpr int WindowMs = 10000;
constexpr int Windows = 3;
// The traffic monitor's figures are ratios of figures not far apart: longer windows, more of them.
constexpr int MonitorWindowMs = 20000;
constexpr int MonitorWindows = 5;
constexpr int StartRuns = 5;

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(100 * share, 0, 'f', 2);
}

// Reads the child's lines until one starts with `prefix`.
QByteArray expectLine(QProcess &p, const QByteArray &prefix, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        if (!p.waitForReadyRead(500) && p.state() == QProcess::NotRunning)
            break;
    }
    return {};
}

struct Cpu {
    double stat = 0, sched = 0;  // shares of one core
};

// Windows measured one by one, perhaps with others between them; the median of each count.
struct CpuWindows {
    std::vector<double> stat, sched;
    void measure(qint64 pid, int ms)
    {
        const double s0 = ProcCpuMs(pid), n0 = SchedCpuMs(pid), t0 = nowMs();
        QThread::msleep(ms);
        const double wall = nowMs() - t0;
        stat.push_back((ProcCpuMs(pid) - s0) / wall);
        sched.push_back((SchedCpuMs(pid) - n0) / wall);
    }
    Cpu median() const { return {Median(stat), Median(sched)}; }
};

// `windows` windows of `ms` in a row.
Cpu cpuWindows(qint64 pid, int windows = Windows, int ms = WindowMs)
{
    CpuWindows w;
    for (int i = 0; i < windows; ++i)
        w.measure(pid, ms);
    return w.median();
}

// A bare Qt program against a simulator of its own, measured as the tool is.
Cpu measureFloor(const QString &programFile, const QString &mode, int windows, int ms)
{
    SimProcess sim({QStringLiteral("--program"), programFile});
    QProcess floor;
    floor.start(QCoreApplication::applicationFilePath(), {mode, sim.device});
    const bool started = floor.waitForStarted(10000);
    QThread::msleep(4000);
    const bool runs = sim.ok() && started && !floor.waitForFinished(0);
    const Cpu cpu = runs ? cpuWindows(floor.processId(), windows, ms) : Cpu{};
    floor.kill();
    floor.waitForFinished(5000);
    return cpu;
}

// The tool in a process of its own against trelmo-sim holding 500 lines: idle, then the manual
// screen refreshing, then the other two screens in turn for its peak memory. The simulator
// answers at once here: its line model hands each reply over a byte at a time, as no PC's
// serial port does (a UART's FIFO or a USB adapter hands over many bytes at once), and would
// count a wake-up per byte that a user's tool never has.
QList<Row> measureTool(const QString &programFile)
{
    SimProcess sim({QStringLiteral("--program"), programFile});
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--tool"), sim.device});
    const QByteArray loaded = expectLine(tool, "loaded", 60000);
    if (!sim.ok() || loaded != "loaded 500")
        return {Row{QStringLiteral("the tool's process"), QStringLiteral("-"), QStringLiteral("did not start")}};
    const qint64 pid = tool.processId();
    auto click = [&](const QByteArray &command, int ms = 10000) {
        tool.write(command + '\n');
        const QByteArray done = expectLine(tool, "done " + command, ms);
        QThread::msleep(2000);  // the screen settles into its cycle
        return done == "done " + command;
    };

    QThread::msleep(2000);
    const Cpu idle = cpuWindows(pid);
    const bool manualOpen = click("manual");
    const Cpu manual = cpuWindows(pid);
    const bool othersOpen = click("parameters") && click("interpolation") && click("close");
    const long peakKiB = PeakRssKiB(pid);
    // The manual screen again, with the traffic monitor closed; then open beside it, following
    // the rows, paused, hidden and minimised, in turn, window after window; then a million rows
    // into the record (it keeps the last 100,000), the monitor showing them.
    const bool monitorOpen = click("manual");
    const Cpu closed = cpuWindows(pid, MonitorWindows, MonitorWindowMs);
    bool monitorShown = monitorOpen && click("monitor");
    CpuWindows following, paused, hidden, minimised;
    for (int i = 0; monitorShown && i < MonitorWindows; ++i) {
        following.measure(pid, MonitorWindowMs);
        monitorShown = click("pause");
        paused.measure(pid, MonitorWindowMs);
        monitorShown = monitorShown && click("pause") && click("hide");
        hidden.measure(pid, MonitorWindowMs);
        monitorShown = monitorShown && click("monitor") && click("minimise");
        minimised.measure(pid, MonitorWindowMs);
        monitorShown = monitorShown && click("normal");
    }
    const bool rowsIn = monitorShown && click("rows 1000000", 300000);
    const long rowsPeakKiB = PeakRssKiB(pid);
    tool.write("quit\n");
    if (!tool.waitForFinished(10000))
        tool.kill();

    const QString how = QStringLiteral("of one core, median of %1 windows of %2 s, the tool's whole process under X, "
                                       "/proc/<pid>/stat (utime + stime, 10 ms ticks); %3 by the scheduler's count")
                            .arg(Windows)
                            .arg(WindowMs / 1000);
    // The same wake-ups in a bare Qt program, with the same simulator: what the machine, its
    // display server and Qt take before the tool does anything; and with a Qt table showing the
    // same rows as the monitor.
    const Cpu bare = measureFloor(programFile, QStringLiteral("--floor"), Windows, WindowMs);
    const Cpu bareTable = measureFloor(programFile, QStringLiteral("--floor-table"), MonitorWindows, MonitorWindowMs);

    QList<Row> rows;
    // Against the bare programs by the scheduler's count, which is not rounded to 10-ms ticks.
    auto ratio = [](double a, double b) { return QString::number(b > 0 ? a / b : 0, 'f', 2); };
    const QString againstFloor =
        bare.sched > 0 ? QStringLiteral("; %1 x the bare Qt program below").arg(ratio(manual.sched, bare.sched))
                       : QString();
    rows << Row{QStringLiteral("CPU, manual screen refreshing"),
                manualOpen ? percent(manual.stat) : QStringLiteral("-"), how.arg(percent(manual.sched)) + againstFloor};
    // The monitor's figures by the scheduler's count, each against the monitor closed and the
    // one open against the bare table.
    const QString monitorHow = QStringLiteral("median of %1 windows of %2 s, measured as the row above, once the peak "
                                              "memory below is taken; %3 by the scheduler's count")
                                   .arg(MonitorWindows)
                                   .arg(MonitorWindowMs / 1000);
    auto monitorRow = [&](const QString &what, const Cpu &cpu, const QString &against) {
        rows << Row{QStringLiteral("CPU, manual screen refreshing, traffic monitor ") + what,
                    cpu.sched > 0 ? percent(cpu.stat) : QStringLiteral("-"),
                    monitorHow.arg(percent(cpu.sched)) + against};
    };
    monitorRow(QStringLiteral("closed"), closed,
               QStringLiteral(": the screen opened again, the monitor not yet opened"));
    monitorRow(
        QStringLiteral("open"), following.median(),
        QStringLiteral(": following the rows, %1 x a bare Qt table (goal 1.1), %2 x the monitor closed")
            .arg(ratio(following.median().sched, bareTable.sched), ratio(following.median().sched, closed.sched)));
    for (const auto &[what, cpu] : {std::pair{QStringLiteral("paused"), paused.median()},
                                    {QStringLiteral("minimised"), minimised.median()},
                                    {QStringLiteral("hidden"), hidden.median()}})
        monitorRow(what, cpu,
                   QStringLiteral(": %1 x the monitor closed (goal 1.1); each window of the four in turn with the "
                                  "other three, five times")
                       .arg(ratio(cpu.sched, closed.sched)));
    rows << Row{QStringLiteral("CPU, the same wake-ups in a bare Qt program"),
                bare.sched > 0 ? percent(bare.stat) : QStringLiteral("-"),
                QStringLiteral("measured as the manual screen's row (%1 by the scheduler's count), right after the "
                               "tool: two windows, four timers of 100 and 200 ms, the status read every 200 ms, a box "
                               "and a lamp repainted as the tool repaints them, nothing else")
                    .arg(percent(bare.sched))};
    rows << Row{QStringLiteral("CPU, the same rows in a bare Qt table"),
                bareTable.sched > 0 ? percent(bareTable.stat) : QStringLiteral("-"),
                QStringLiteral("measured as the monitor's rows (%1 by the scheduler's count), right after the row "
                               "above: the same program, and a QTableView over a plain model of texts, the size of "
                               "the monitor's table, fed a row for each status read and reply, taken twice a second "
                               "and scrolled to the newest")
                    .arg(percent(bareTable.sched))};
    rows << Row{QStringLiteral("CPU, main window connected and idle"), percent(idle.stat),
                how.arg(percent(idle.sched))};
    rows << Row{QStringLiteral("peak memory"),
                othersOpen ? QStringLiteral("%1 MiB").arg(peakKiB / 1024.0, 0, 'f', 1) : QStringLiteral("-"),
                QStringLiteral("VmHWM of the tool's process: 500 lines read at start-up, then the manual, parameter "
                               "and interpolation screens opened in turn")};
    rows << Row{QStringLiteral("peak memory, a million rows of traffic"),
                rowsIn ? QStringLiteral("%1 MiB").arg(rowsPeakKiB / 1024.0, 0, 'f', 1) : QStringLiteral("-"),
                QStringLiteral("VmHWM after the row above, the monitor open, once 1,000,000 rows of the manual "
                               "screen's traffic (a status read and its 107-byte reply) have gone into the record and "
                               "the monitor shows the 100,000 it keeps: %1 MiB more (goal 30)")
                    .arg((rowsPeakKiB - peakKiB) / 1024.0, 0, 'f', 1)};
    return rows;
}

// The real binary, started as a user starts it, to its first frame on the port.
Row measureStartUp()
{
    std::vector<double> ms;
    for (int i = 0; i < StartRuns; ++i) {
        Pty pty;
        QProcess tool;
        const double t0 = nowMs();
        tool.start(QStringLiteral(TRELMO_PATH), {pty.device()});
        QByteArray got;
        while (got.size() < 8 && nowMs() - t0 < 20000) {
            pollfd p{pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 100) > 0)
                got += pty.readAvailable();
        }
        if (got.size() >= 8)
            ms.push_back(nowMs() - t0);
        tool.kill();
        tool.waitForFinished(5000);
    }
    if (ms.empty())
        return Row{QStringLiteral("start-up to the first frame"), QStringLiteral("-"), QStringLiteral("no frame!")};
    const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
    return Row{QStringLiteral("start-up to the first frame"), QStringLiteral("%1 ms").arg(Median(ms), 0, 'f', 0),
               QStringLiteral("the trelmo binary under X, process start to 8 bytes on the port; median of %1 "
                              "(%2 to %3 ms)")
                   .arg(ms.size())
                   .arg(*lo, 0, 'f', 0)
                   .arg(*hi, 0, 'f', 0)};
}

Row measureRenderLines()
{
    FlexGrid grid;
    grid.setRows(501);
    ProgramBytes display{};
    for (std::size_t i = 0; i < display.size(); ++i)
        display[i] = std::uint8_t(i * 13);
    for (int r = 0; r < 500; ++r) {
        display[std::size_t(24 * r + 1)] = std::uint8_t(1 + r % 6);
        display[std::size_t(24 * r + 3)] = std::uint8_t(1 + r % 5);
    }
    constexpr int Rounds = 20;
    const double t0 = nowMs();
    for (int i = 0; i < Rounds; ++i)
        RenderLines(grid, display, 500, 1);
    return Row{QStringLiteral("RenderLines, 500 lines"),
               QStringLiteral("%1 ms").arg((nowMs() - t0) / Rounds, 0, 'f', 2),
               QStringLiteral("mean of %1").arg(Rounds)};
}

Row measureFrames()
{
    QByteArray frame;
    constexpr int Frames = 200000;
    std::uint32_t sink = 0;
    const double t0 = nowMs();
    for (int i = 0; i < Frames; ++i) {
        frames::BuildHeader(frame, 1, 3, i & 0x3FFF, 120);
        sink += ModbusCrc(frame);
    }
    const double s = (nowMs() - t0) / 1000.0;
    return Row{QStringLiteral("frames built with CRC"), QStringLiteral("%1 /s").arg(Frames / s, 0, 'f', 0),
               QStringLiteral("8-byte read requests (check %1)").arg(sink % 10)};
}
}  // namespace

int main(int argc, char **argv)
{
    PrepareDisplay();  // as the tool's own start-up does
    QApplication app(argc, argv);
    nowMs();
    if (argc == 3 && QByteArray(argv[1]) == "--tool")
        return RunTool(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && (QByteArray(argv[1]) == "--floor" || QByteArray(argv[1]) == "--floor-table"))
        return RunFloor(QString::fromLocal8Bit(argv[2]), QByteArray(argv[1]) == "--floor-table");

    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("program500.dat"));
    if (!WriteProgram500(program))
        return 1;
    QList<Row> rows;
    // `--spreadsheet`: the paste and the import alone; `--tool-only`: the tool's process alone.
    if (argc == 2 && QByteArray(argv[1]) == "--tool-only")
        rows << measureTool(program);
    else if (argc != 2 || QByteArray(argv[1]) != "--spreadsheet") {
        rows << MeasureTransfers(program) << measureTool(program);
        rows << measureStartUp() << measureRenderLines() << measureFrames();
    }
    if (argc != 2 || QByteArray(argv[1]) != "--tool-only")
        rows << MeasureSpreadsheet(program);

    QTextStream out(stdout);
    out << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd")) << ", " << QThread::idealThreadCount()
        << " cores, " << QSysInfo::prettyProductName() << ", display " << QGuiApplication::platformName() << "\n\n";
    out << "| measurement | result | note |\n|---|---|---|\n";
    for (const Row &r : rows)
        out << "| " << r.what << " | " << r.value << " | " << r.note << " |\n";
    return 0;
}
