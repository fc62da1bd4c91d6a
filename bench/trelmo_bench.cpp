// Measures the tool and prints one Markdown table: the transfers against the simulator's line
// model, the CPU the tool's process uses with the manual screen refreshing and with the main
// window idle (measured from outside, under a display server) beside a bare Qt program woken as
// often (`--floor DEVICE`, FloorRun.cpp), its peak memory, the same with the traffic monitor open
// and after a million rows of traffic (`--tool-only` measures the tool's process alone), the
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

// Three windows of ten seconds; the median of each count.
Cpu cpuWindows(qint64 pid)
{
    std::vector<double> stat, sched;
    for (int i = 0; i < Windows; ++i) {
        const double s0 = ProcCpuMs(pid), n0 = SchedCpuMs(pid), t0 = nowMs();
        QThread::msleep(WindowMs);
        const double wall = nowMs() - t0;
        stat.push_back((ProcCpuMs(pid) - s0) / wall);
        sched.push_back((SchedCpuMs(pid) - n0) / wall);
    }
    return {Median(stat), Median(sched)};
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
    // The manual screen again, with the traffic monitor closed and then open beside it, showing
    // each frame as it comes; then a million rows into the record (it keeps the last 100,000),
    // the monitor showing them.
    const bool monitorOpen = click("manual");
    const Cpu unmonitored = cpuWindows(pid);
    const bool monitorShown = monitorOpen && click("monitor");
    const Cpu monitored = cpuWindows(pid);
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
    // display server and Qt take before the tool does anything.
    SimProcess floorSim({QStringLiteral("--program"), programFile});
    QProcess floor;
    floor.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--floor"), floorSim.device});
    const bool floorStarted = floor.waitForStarted(10000);
    QThread::msleep(4000);
    const bool floorRuns = floorSim.ok() && floorStarted && !floor.waitForFinished(0);
    const Cpu bare = floorRuns ? cpuWindows(floor.processId()) : Cpu{};
    floor.kill();
    floor.waitForFinished(5000);

    QList<Row> rows;
    // Against the bare program by the scheduler's count, which is not rounded to 10-ms ticks.
    const QString againstFloor =
        bare.sched > 0 ? QStringLiteral("; %1 x the bare Qt program below").arg(manual.sched / bare.sched, 0, 'f', 2)
                       : QString();
    rows << Row{QStringLiteral("CPU, manual screen refreshing"),
                manualOpen ? percent(manual.stat) : QStringLiteral("-"), how.arg(percent(manual.sched)) + againstFloor};
    rows << Row{QStringLiteral("CPU, manual screen refreshing, traffic monitor open"),
                monitorShown ? percent(monitored.stat) : QStringLiteral("-"),
                QStringLiteral("measured as the row above, once the peak memory below is taken: the screen opened "
                               "again (%1, %2 by the scheduler's count), then the monitor opened beside it, following "
                               "the rows (%3 by the scheduler's count): %4 x the monitor closed (goal 1.3)")
                    .arg(percent(unmonitored.stat), percent(unmonitored.sched), percent(monitored.sched))
                    .arg(unmonitored.sched > 0 ? monitored.sched / unmonitored.sched : 0, 0, 'f', 2)};
    rows << Row{QStringLiteral("CPU, the same wake-ups in a bare Qt program"),
                floorRuns ? percent(bare.stat) : QStringLiteral("-"),
                QStringLiteral("measured as the row above (%1 by the scheduler's count), right after it: two windows, "
                               "four timers of 100 and 200 ms, the status read every 200 ms, a box and a lamp "
                               "repainted as the tool repaints them, nothing else")
                    .arg(percent(bare.sched))};
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
    if (argc == 3 && QByteArray(argv[1]) == "--floor")
        return RunFloor(QString::fromLocal8Bit(argv[2]));

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
