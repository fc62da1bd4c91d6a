// SPDX-License-Identifier: GPL-3.0-or-later
// The motion plot's benchmark. Run under a display server (xvfb-run when there is none), it
// measures from outside, as trelmo-bench does, the CPU of two processes of its own in turn, each
// fed the same readings five times a second by a timer (PlotFeed.h), after the same few thousand:
//   --window  the motion plot window, shown and following the readings (it redraws at most every
//             MotionPlot::RedrawMs, mostly the plottables' layer alone);
//   --floor   a bare Qt program that draws the same points with the same library at the same rate
//             (PlotFloor.cpp), in a plot of the window's plot's size, the whole plot per reading;
//   --hidden  the window fed but never shown, for what keeping the readings costs;
// then the peak memory of a process whose window takes 100,000 readings, then 50,000 and 150,000
// more (--memory): the track keeps 100,000, and neither it nor the plot grows past them.
// `--show zh|en` shows the window with an arc move, in Chinese or English, for screenshots.
// It prints one Markdown table.
#include <QApplication>
#include <QDateTime>
#include <QProcess>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <qcustomplot.h>

#include "BenchSupport.h"
#include "PlotFeed.h"
#include "plot/MotionPlot.h"
#include "ui/Language.h"
#include "ui/Widgets.h"

int RunPlotFloor(QSize size);

namespace {
using namespace plotbench;
constexpr int WindowMs = 10000;
constexpr int Windows = 3;

void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

void feed(MotionPlot &w, qint64 n)
{
    const plot::Position p = FeedPosition(n);
    w.addReading(FeedTime(n), p.x, p.y, p.z);
}

int runWindow(bool shown)
{
    SilentPrompter prompter;
    MotionPlot w(prompter);
    w.setSetSpeed(SetSpeed);
    qint64 n = 0;
    while (n < Prefill)
        feed(w, n++);
    if (shown)
        w.show();
    QTimer::singleShot(1000, [&w] { say(QStringLiteral("plot %1 %2").arg(w.Plot->width()).arg(w.Plot->height()).toLatin1()); });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { feed(w, n++); });
    timer.start(FeedMs);
    return QApplication::exec();
}

// Readings as fast as the event loop takes them, a few thousand per turn, so that the window
// redraws as it would while they came.
int runMemory()
{
    SilentPrompter prompter;
    MotionPlot w(prompter);
    w.setSetSpeed(SetSpeed);
    w.show();
    qint64 n = 0, target = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (int i = 0; i < 2000 && n < target; ++i)
            feed(w, n++);
    });
    auto settle = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    settle(1000);
    say("before " + QByteArray::number(OwnPeakKiB()));
    timer.start(0);
    for (const qint64 more : {100000, 50000, 150000}) {
        target += more;
        while (n < target)
            settle(100);
        settle(1000);  // the last redraw
        say("after " + QByteArray::number(n) + ' ' + QByteArray::number(OwnPeakKiB()) + ' ' +
            QByteArray::number(w.track().size()));
    }
    return 0;
}

// An XY arc of 20 mm radius, counter-clockwise from (10, 0) through (30, -20) to (50, 0), run at
// 5 mm/s after the axes stood still at its start, read five times a second.
int runShow(bool english)
{
    LanguageSwitch language;
    if (english)
        language.use(Language::English);
    SilentPrompter prompter;
    MotionPlot w(prompter);
    w.setSetSpeed(5);
    qint64 ms = 0;
    for (int i = 0; i < 5; ++i, ms += FeedMs)
        w.addReading(ms, 10, 0, 5);
    w.moveStarted({plot::MoveKind::Circular, plot::Plane::XY, {}, {30, -20, 5}, {50, 0, 5},
                   plot::Turn::CounterClockwise, 5});
    w.addReading(ms, 10, 0, 5);
    const double step = 5.0 * FeedMs / 1000.0 / 20.0;  // radians per reading
    for (double a = std::numbers::pi + step; a < 2 * std::numbers::pi; a += step) {
        ms += FeedMs;
        w.addReading(ms, std::round((30 + 20 * std::cos(a)) * 1000) / 1000, std::round(20 * std::sin(a) * 1000) / 1000,
                     5);
    }
    for (int i = 0; i < 4; ++i)
        w.addReading(ms += FeedMs, 50, 0, 5);
    w.show();
    QTimer::singleShot(1500, [] { say("shown"); });
    return QApplication::exec();
}

struct Cpu {
    double stat = 0, sched = 0;  // shares of one core
};

// A child process of this program in `mode`, left 4 s to settle, then three windows of 10 s.
Cpu measure(const QStringList &mode, QByteArray *first = nullptr)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), mode);
    if (!child.waitForStarted(10000))
        return {};
    if (first && child.waitForReadyRead(20000))
        *first = child.readLine().trimmed();
    QThread::msleep(4000);
    std::vector<double> stat, sched;
    for (int i = 0; i < Windows && child.state() == QProcess::Running; ++i) {
        const double s0 = ProcCpuMs(child.processId()), n0 = SchedCpuMs(child.processId()), t0 = nowMs();
        QThread::msleep(WindowMs);
        const double wall = nowMs() - t0;
        stat.push_back((ProcCpuMs(child.processId()) - s0) / wall);
        sched.push_back((SchedCpuMs(child.processId()) - n0) / wall);
    }
    child.kill();
    child.waitForFinished(5000);
    return stat.size() == Windows ? Cpu{Median(stat), Median(sched)} : Cpu{};
}

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(100 * share, 0, 'f', 2);
}

int runAll()
{
    QList<Row> rows;
    QByteArray plotSize;
    const Cpu window = measure({QStringLiteral("--window")}, &plotSize);
    const QList<QByteArray> size = plotSize.split(' ');
    const QString wide = QString::fromLatin1(size.value(1)), high = QString::fromLatin1(size.value(2));
    const Cpu floor = measure({QStringLiteral("--floor"), wide, high});
    const Cpu hidden = measure({QStringLiteral("--hidden")});
    const QString how = QStringLiteral("of one core, median of %1 windows of %2 s, /proc/<pid>/stat; %3 by the "
                                       "scheduler's count")
                            .arg(Windows)
                            .arg(WindowMs / 1000);
    rows << Row{QStringLiteral("CPU, motion plot open and following"), percent(window.stat),
                how.arg(percent(window.sched)) +
                    QStringLiteral("; %1 x the bare program below by the scheduler's count (goal 1.1); redrawn at "
                                   "most every %2 ms")
                        .arg(floor.sched > 0 ? window.sched / floor.sched : 0, 0, 'f', 2)
                        .arg(MotionPlot::RedrawMs)};
    rows << Row{QStringLiteral("CPU, the same points drawn by a bare Qt program"), percent(floor.stat),
                how.arg(percent(floor.sched)) +
                    QStringLiteral("; one QCustomPlot of the window's plot's size (%1 x %2), replotted per reading")
                        .arg(wide, high)};
    rows << Row{QStringLiteral("CPU, motion plot fed but not shown"), percent(hidden.stat), how.arg(percent(hidden.sched))};

    QProcess memory;
    memory.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory")});
    memory.waitForFinished(600000);
    QList<QByteArray> lines = memory.readAllStandardOutput().trimmed().split('\n');
    const long before = lines.value(0).split(' ').value(1).toLong();
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> f = line.split(' ');
        rows << Row{QStringLiteral("peak memory, %1 readings").arg(QString::fromLatin1(f.value(1))),
                    QStringLiteral("%1 MiB").arg(f.value(2).toLong() / 1024.0, 0, 'f', 1),
                    QStringLiteral("VmHWM of a process with the window open, fed as fast as it takes them and "
                                   "redrawing meanwhile: %1 MiB more than with the window open and empty (%2 MiB); "
                                   "%3 readings kept")
                        .arg((f.value(2).toLong() - before) / 1024.0, 0, 'f', 1)
                        .arg(before / 1024.0, 0, 'f', 1)
                        .arg(QString::fromLatin1(f.value(3)))};
    }

    QTextStream out(stdout);
    out << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd")) << ", " << QThread::idealThreadCount()
        << " cores, " << QSysInfo::prettyProductName() << ", display " << QGuiApplication::platformName()
        << ", QCustomPlot " << QCUSTOMPLOT_VERSION_STR << "\n\n";
    out << "| measurement | result | note |\n|---|---|---|\n";
    for (const Row &r : rows)
        out << "| " << r.what << " | " << r.value << " | " << r.note << " |\n";
    return 0;
}
}  // namespace

int main(int argc, char **argv)
{
    PrepareDisplay();  // as the tool's own start-up does
    QApplication app(argc, argv);
    nowMs();
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("--window") || mode == QLatin1String("--hidden"))
        return runWindow(mode == QLatin1String("--window"));
    if (mode == QLatin1String("--floor") && args.size() == 3)
        return RunPlotFloor(QSize(args[1].toInt(), args[2].toInt()));
    if (mode == QLatin1String("--memory"))
        return runMemory();
    if (mode == QLatin1String("--show"))
        return runShow(args.value(1) == QLatin1String("en"));
    return runAll();
}
