// SPDX-License-Identifier: GPL-3.0-or-later
// A 500-line download and upload against trelmo-sim --wire-time, which models the line both
// ways at 19200 baud, 8N1. Each time is set beside the pure wire time of its frames and
// beside the floor of the tool's own design: a block goes out on the first tick of the main
// window's Timer1 (100 ms) after the previous block's reply is complete, and the upload's
// line-count read is followed by a fixed 500 ms pause. The floor is worked out from the
// ticks this very run had, observed as they came.
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "BenchSupport.h"
#include "SimProcess.h"
#include "Transfers.h"
#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Colors.h"
#include "link/CommPort.h"
#include "ui/Widgets.h"

namespace {
constexpr int Blocks = 50;

// The first tick after `t`; past the last tick observed, the ticks go on every 100 ms.
double nextTick(const std::vector<double> &ticks, double t)
{
    for (double tick : ticks)
        if (tick > t)
            return tick;
    double last = ticks.empty() ? t : ticks.back();
    while (last <= t)
        last += 100;
    return last;
}

struct Run {
    double start = 0, end = -1;
    std::vector<double> ticks;       // Timer1, from the click on
    std::vector<double> blockSends;  // the ticks that sent a block
    std::vector<double> replies;     // receive events
};

// The floor: the first block leaves at `firstSend` (or on the tick after `firstSend` when
// `onTick`), every block's reply is complete `cycleMs` after it left, and the next block
// leaves on the tick after that.
struct Floor {
    double end;
    int lateBlocks;  // blocks the run sent on a later tick than the floor
};
Floor floorOf(const Run &run, double firstSend, bool onTick, double cycleMs)
{
    double send = onTick ? nextTick(run.ticks, firstSend) : firstSend;
    int late = 0;
    double done = send + cycleMs;
    for (int k = 1; k <= Blocks; ++k) {
        done = send + cycleMs;
        if (k < Blocks) {
            send = nextTick(run.ticks, done);
            if (std::size_t(k) < run.blockSends.size() && run.blockSends[std::size_t(k)] > send + 1)
                ++late;
        }
    }
    return {done, late};
}

QString secs(double ms)
{
    return QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 2);
}
}  // namespace

QList<Row> MeasureTransfers(const QString &programFile)
{
    QList<Row> rows;
    SimProcess sim({QStringLiteral("--wire-time"), QStringLiteral("--program"), programFile});
    if (!sim.ok())
        return {Row{QStringLiteral("transfers"), QStringLiteral("-"), QStringLiteral("trelmo-sim did not start")}};
    ToolState state;
    SilentPrompter prompter;
    Mainfrm w(state, prompter, QStringList{sim.device});
    w.show();

    Run run;
    int lastBlock = 0;
    QObject::connect(w.Timer1, &QTimer::timeout, [&] {
        // Connected after the window's own handler: the tick has just done its work.
        run.ticks.push_back(nowMs());
        if (state.BlockIndex != lastBlock && (state.RequestTag == 2 || state.RequestTag == 4))
            run.blockSends.push_back(run.ticks.back());
        lastBlock = state.BlockIndex;
    });
    QObject::connect(w.MSComm, &CommPort::received, [&] { run.replies.push_back(nowMs()); });

    // Start-up reads the stored 500 lines.
    {
        EventWait loaded([&] { return BackColor(w.Cmd5) == colors::LightYellow && state.RequestTag == 0; });
        w.Form_Load();
        if (!loaded.wait(60000))
            return {Row{QStringLiteral("transfers"), QStringLiteral("-"), QStringLiteral("start-up read failed")}};
    }

    auto measure = [&](QPushButton *button, bool firstBlockInClick) {
        run = Run{};
        lastBlock = state.BlockIndex;
        ColorWatch *endWatch = nullptr;
        EventWait finished([&] { return endWatch && endWatch->reachedAt >= 0; });
        ColorWatch end(button, colors::LightYellow, &finished);
        endWatch = &end;
        run.start = nowMs();
        button->click();
        // The upload's first block is sent from inside the click, after its pause.
        if (firstBlockInClick)
            run.blockSends.push_back(nowMs());
        lastBlock = state.BlockIndex;
        finished.wait(120000);
        run.end = end.reachedAt;
        // A few more ticks, so that the floor never runs out of observed ones.
        EventWait settle([] { return false; });
        settle.wait(300);
    };

    // Download: the line count (8 + 8 bytes), then 50 blocks of 249 bytes with 8-byte echoes.
    measure(w.Command8, false);
    const Run down = run;
    const double downWire = ByteMs * (8 + 8 + Blocks * (249 + 8));
    const Floor downFloor = floorOf(down, down.start + ByteMs * (8 + 8) + FrameGapMs, true, ByteMs * 257 + FrameGapMs);
    // Upload: the count (8 + 7 bytes) and its 500 ms pause, then 50 reads of 8 bytes with
    // 245-byte replies.
    measure(w.Cmd5, true);
    const Run up = run;
    const double upWire = ByteMs * (8 + 7 + Blocks * (8 + 245));
    const Floor upFloor = floorOf(up, up.start + 500, false, ByteMs * 253 + FrameGapMs);

    auto row = [&](const char *what, const Run &r, double wire, const Floor &f) {
        if (r.end < 0)
            return Row{QString::fromUtf8(what), QStringLiteral("-"), QStringLiteral("did not finish")};
        const double ms = r.end - r.start, floorMs = f.end - r.start;
        return Row{QString::fromUtf8(what), secs(ms),
                   QStringLiteral("%1 x wire time (%2); %3 x the floor (%4) of %5 ticks observed%6")
                       .arg(ms / wire, 0, 'f', 2)
                       .arg(secs(wire))
                       .arg(ms / floorMs, 0, 'f', 3)
                       .arg(secs(floorMs))
                       .arg(r.ticks.size())
                       .arg(f.lateBlocks ? QStringLiteral(", %1 blocks a tick late").arg(f.lateBlocks) : QString())};
    };
    rows << row("download 500 lines", down, downWire, downFloor);
    rows << row("upload 500 lines", up, upWire, upFloor);

    // Verify: the count and 50 reads, each asked for as soon as the reply before it is in; the
    // same bytes on the wire as the upload's.
    {
        bool done = false;
        EventWait finished([&] { return done; });
        QObject::connect(&w.verify(), &Verify::finished, [&] { done = true; });
        const double start = nowMs();
        w.Command15->click();
        const bool ok = finished.wait(60000) && w.verify().result().equal();
        const double ms = nowMs() - start;
        rows << (ok ? Row{QStringLiteral("verify 500 lines"), secs(ms),
                          QStringLiteral("%1 x wire time (%2): the count and 50 blocks, each asked for as soon as the "
                                         "reply before it is in")
                              .arg(ms / upWire, 0, 'f', 3)
                              .arg(secs(upWire))}
                    : Row{QStringLiteral("verify 500 lines"), QStringLiteral("-"), QStringLiteral("did not pass")});
    }
    w.close();

    // One unit of the production loop: trelmo-cli connects, downloads and verifies.
    {
        QProcess cli;
        const double start = nowMs();
        cli.start(QStringLiteral(TRELMO_CLI_PATH),
                  {QStringLiteral("download"), programFile, QStringLiteral("--port"), sim.device});
        EventWait ended([&] { return cli.state() == QProcess::NotRunning; });
        ended.wait(120000);
        const double ms = nowMs() - start;
        const double floorMs = downFloor.end - down.start + upWire;
        rows << (cli.exitCode() == 0 && cli.exitStatus() == QProcess::NormalExit
                     ? Row{QStringLiteral("production unit, 500 lines"), secs(ms),
                           QStringLiteral("trelmo-cli download with its verify, connect included; the download's "
                                          "floor and the verify's wire time: %1")
                               .arg(secs(floorMs))}
                     : Row{QStringLiteral("production unit, 500 lines"), QStringLiteral("-"),
                           QStringLiteral("exit %1").arg(cli.exitCode())});
    }
    if (!prompter.messages.isEmpty())
        rows << Row{QStringLiteral("messages shown"), prompter.messages.join(QStringLiteral(" / ")), QString()};
    return rows;
}
