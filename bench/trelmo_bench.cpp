// Measures the tool against the controller simulator and prints one Markdown table:
// transfer times against the wire time at 19200 8N1, CPU use of the manual screen's refresh,
// start-up to the first frame, peak memory, rendering and frame building.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <sys/resource.h>
#include <ctime>

#include "Pty.h"
#include "SimProcess.h"
#include "link/Crc.h"
#include "link/ModbusLink.h"
#include "mainwindow/Mainfrm.h"
#include "projects/LineRenderer.h"
#include "ui/Colors.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "ui/Widgets.h"
#include "ui/WaitMs.h"

namespace {
class SilentPrompter : public Prompter {
public:
    QStringList messages;
    Answer message(const QString &text, Buttons, const QString &) override
    {
        messages << text;
        return Answer::Ok;
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
};

// Seconds one byte takes at 19200 baud, 8N1 (10 bits).
constexpr double ByteSeconds = 10.0 / 19200.0;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

struct Row {
    QString what, value, note;
};
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QList<Row> rows;

    // Transfers of 500 lines against the simulator pacing its replies at wire speed.
    {
        SimProcess sim({QStringLiteral("--wire-time")});
        LinkState state;
        SilentPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim.device});
        w.Form_Load();
        waitFor([&] { return state.RequestTag == 0; }, 30000);
        w.Command13->setText(QStringLiteral("上电后不自动运行"));
        w.Text1->setText(QStringLiteral("500"));
        state.ProgramImage[0] = 0x01;
        state.ProgramImage[1] = 0xF4;
        // Download: 06 request and echo, then 50 blocks of 249 bytes with 8-byte replies.
        const double downWire = ByteSeconds * (8 + 8 + 50 * (9 + 240 + 8));
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        waitFor([&] { return BackColor(w.Command8) == colors::LightYellow && state.RequestTag == 0; }, 120000);
        const double down = t.elapsed() / 1000.0;
        rows << Row{QStringLiteral("download 500 lines"), QStringLiteral("%1 s").arg(down, 0, 'f', 2),
                    QStringLiteral("%1 x wire time (%2 s); the simulator paces its replies only, so the requests' "
                                   "own bytes cost nothing here")
                        .arg(down / downWire, 0, 'f', 2)
                        .arg(downWire, 0, 'f', 2)};
        // Upload: the count (8 + 7 bytes), then 50 requests of 8 bytes with 245-byte replies.
        const double upWire = ByteSeconds * (8 + 7 + 50 * (8 + 245));
        t.restart();
        QTest::mouseClick(w.Cmd5, Qt::LeftButton);
        waitFor([&] { return BackColor(w.Cmd5) == colors::LightYellow && state.RequestTag == 0; }, 120000);
        const double up = t.elapsed() / 1000.0;
        rows << Row{QStringLiteral("upload 500 lines"), QStringLiteral("%1 s").arg(up, 0, 'f', 2),
                    QStringLiteral("%1 x wire time (%2 s)").arg(up / upWire, 0, 'f', 2).arg(upWire, 0, 'f', 2)};

        // The manual screen refreshing for 10 s.
        w.Command13->setText(QStringLiteral("上电后不自动运行"));
        QTest::mouseClick(w.Cmd3, Qt::LeftButton);
        QTest::qWait(500);
        const double c0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        WaitMs(10000);  // sleeps between events, unlike a polling wait
        const double used = (cpuSeconds() - c0) / (wall.elapsed() / 1000.0);
        rows << Row{QStringLiteral("CPU, manual screen refreshing for 10 s"),
                    QStringLiteral("%1 %").arg(100 * used, 0, 'f', 2),
                    QStringLiteral("of one core, whole tool process")};
        if (!prompter.messages.isEmpty())
            rows << Row{QStringLiteral("messages shown"), prompter.messages.join(QStringLiteral(" / ")), QString()};
    }

    // Start-up of the real binary to its first frame on the port.
    {
        Pty pty;
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tool.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        tool.start(QStringLiteral(TRELMO_PATH), {pty.device()});
        const QByteArray first = pty.readFrame(8, 20000);
        const qint64 ms = t.elapsed();
        tool.kill();
        tool.waitForFinished(5000);
        rows << Row{QStringLiteral("start-up to the first frame"), QStringLiteral("%1 ms").arg(ms),
                    first.size() == 8 ? QStringLiteral("process start to 8 bytes on the port")
                                      : QStringLiteral("no frame!")};
    }

    // Rendering 500 lines into the grid.
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
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < Rounds; ++i)
            RenderLines(grid, display, 500, 1);
        rows << Row{QStringLiteral("RenderLines, 500 lines"),
                    QStringLiteral("%1 ms").arg(t.elapsed() / double(Rounds), 0, 'f', 2),
                    QStringLiteral("mean of %1").arg(Rounds)};
    }

    // Frame building with CRC.
    {
        QByteArray frame;
        constexpr int Frames = 200000;
        std::uint32_t sink = 0;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < Frames; ++i) {
            ModbusLink::buildHeader(frame, 1, 3, i & 0x3FFF, 120);
            sink += ModbusCrc(frame);
        }
        const double s = t.nsecsElapsed() / 1e9;
        rows << Row{QStringLiteral("frames built with CRC"), QStringLiteral("%1 /s").arg(Frames / s, 0, 'f', 0),
                    QStringLiteral("8-byte read requests (check %1)").arg(sink % 10)};
    }

    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    rows << Row{QStringLiteral("peak memory"), QStringLiteral("%1 MiB").arg(u.ru_maxrss / 1024.0, 0, 'f', 1),
                QStringLiteral("maximum resident set of the measuring process")};

    QTextStream out(stdout);
    out << "| measurement | result | note |\n|---|---|---|\n";
    for (const Row &r : rows)
        out << "| " << r.what << " | " << r.value << " | " << r.note << " |\n";
    return 0;
}
