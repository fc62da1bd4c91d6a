// SPDX-License-Identifier: GPL-3.0-or-later
// The tool against trelmo-sim, the controller simulator, over a pseudo-terminal: a whole
// program there and back with its progress shown, the screens moving the axes, a line that drops, delays, corrupts
// and refuses replies, a controller that goes away, and the emergency stop on a line that
// takes its time as a real RS-232 line does.
#include <QLabel>
#include <QTemporaryDir>
#include <QProgressBar>
#include <QtTest>

#include "Rigs.h"
#include "core/TrafficWords.h"
#include "link/EmergencyStop.h"
#include "protocol/Tags.h"
#include "editor/EditHistory.h"
#include "mainwindow/TransferProgress.h"
#include "ui/Colors.h"
#include "link/CommPort.h"
#include "ui/FlexGrid.h"
#include "mainwindow/TrafficMonitor.h"
#include "plot/MotionPlot.h"
#include "screens/MotionFeed.h"

namespace {
// The frames of a simulator's log that it received ("<- ") or sent ("-> "), in order, from line
// `from` on.
QStringList simFrames(const QString &path, const QString &way, int from = 0)
{
    QFile file(path);
    QStringList out;
    for (const QString &line :
         file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n').mid(from) : QStringList())
        if (line.contains(way))
            out << line.section(way, 1).section(QStringLiteral("   ("), 0, 0);
    return out;
}
int logLines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}
// The traffic record's rows one way ("发" sent, "收" received) from row `from` on, with `column`
// in words.
QStringList recorded(SimRig &rig, const QString &way, int column, quint64 from = 0)
{
    QStringList out;
    for (const QString &r : trafficRows(rig.w.core().traffic, from, {traffic::Way, column}))
        if (r.startsWith(way + u'|'))
            out << r.section(u'|', 1);
    return out;
}
void fill(ToolState &s, int lines, int seed)
{
    s.ProgramImage[0] = std::uint8_t(lines >> 8);
    s.ProgramImage[1] = std::uint8_t(lines & 0xFF);
    for (int i = 2; i < 2 + 24 * lines; ++i)
        s.ProgramImage[std::size_t(i)] = std::uint8_t((i * 31 + seed) ^ (i >> 8));
}
// The X position as the controller reports it (register pair 8559, 8560), through the link.
qint64 positionX(SimRig &rig)
{
    rig.state.RequestTag = 0;
    if (!rig.w.link().ReadRegisters(tag::ManualRead, 8559, 2) ||
        !QTest::qWaitFor([&] { return rig.state.RequestTag == tag::ManualReceived; }, 3000))
        return -1;
    const auto &b = rig.state.ManualReplyBytes;
    return qint64(b[0]) << 8 | b[1] | qint64(b[2]) << 24 | qint64(b[3]) << 16;
}
}  // namespace

class TstSystem : public QObject {
    Q_OBJECT
private slots:
    // 500 lines into the controller and back, byte for byte, with the line's own pace. The
    // bottom row counts the lines block by block, and a stopped upload stays shown where it
    // stopped until a transfer button is clicked again.
    void wholeProgramThereAndBack()
    {
        SimRig rig({QStringLiteral("--wire-time")});
        QVERIFY(rig.ok());
        auto *row = rig.w.findChild<TransferProgress *>();
        QTRY_VERIFY(row->isHidden());  // after the start-up read of the simulator's sample program
        fill(rig.state, 500, 3);
        const QByteArray written = rig.image(0, 2 + 24 * 500);
        rig.w.Text1->setText(QStringLiteral("500"));
        for (const auto &[button, what] : {std::pair{rig.w.Command8, "下载 "}, std::pair{rig.w.Cmd5, "读取 "}}) {
            if (button == rig.w.Cmd5)
                rig.state.ProgramImage.fill(0);
            QTest::mouseClick(button, Qt::LeftButton);
            QStringList seen;  // each text once, in order; "" while the row is hidden
            QVERIFY(QTest::qWaitFor(
                [&] {
                    const QString now = row->isHidden() ? QString() : row->label()->text();
                    if (seen.isEmpty() || seen.last() != now)
                        seen << now;
                    return rig.state.RequestTag == 0 && row->isHidden();
                },
                60000));
            QCOMPARE(rig.state.BlocksDone, std::int16_t(50));
            const auto lines = [&](int i) { return seen[i].mid(3).section(u'/', 0, 0).toInt(); };
            QCOMPARE(seen.first(), what + QStringLiteral("0/500"));
            QCOMPARE(seen.mid(seen.size() - 2), (QStringList{what + QStringLiteral("500/500"), QString()}));
            QVERIFY2(seen.size() > 30, qPrintable(seen.join(u',')));  // block by block
            for (int i = 1; i < seen.size() - 1; ++i)
                QVERIFY2(seen[i].startsWith(what) && lines(i) > lines(i - 1) && lines(i) % 10 == 0,
                         qPrintable(seen[i]));
        }
        QCOMPARE(rig.image(0, 2 + 24 * 500), written);
        QCOMPARE(rig.w.MSFlexGrid1->rows(), 501);
        // The program filled in was never saved: the read over it asked first (answered 否).
        QCOMPARE(rig.prompter.messages, QStringList{"工程已修改，是否保存？"});
        rig.prompter.clear();

        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.state.BlocksDone >= 14 && rig.state.RequestTag == tag::ReadBlock, 20000);
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QTRY_COMPARE(rig.state.RequestTag, std::int16_t(0));
        QSignalSpy ticks(rig.w.Timer1, &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 10);  // a second after the stop
        const int done = rig.state.BlocksDone * 10;
        QVERIFY(!row->isHidden() && done >= 140 && done < 500);
        QCOMPARE(row->label()->text(), QStringLiteral("读取 %1/500").arg(done));
        QCOMPARE(row->bar()->value(), done);
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);  // "中 / EN": the row says it in English
        QCOMPARE(row->label()->text(), QStringLiteral("Read %1/500").arg(done));
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
        rig.w.Text1->setText(QStringLiteral("0"));
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);  // refused: no lines to send
        QVERIFY(row->isHidden());
        QCOMPARE(rig.prompter.messages, (QStringList{"程序读取没有完成，工程没有改变！", "行数输入不正确！"}));
    }

    // Every frame the monitor shows is a frame the controller got or sent, byte for byte, in the
    // same order, none missing: the start-up, a 500-line download and the manual screen's
    // refresh, twice. With the monitor open and showing, a download sends the same frames.
    void theMonitorShowsTheLine()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("sim.log"));
        SimRig rig({QStringLiteral("--wire-time"), QStringLiteral("--log")}, true, log);
        QVERIFY(rig.ok());
        fill(rig.state, 500, 4);
        rig.w.Text1->setText(QStringLiteral("500"));
        QStringList downloads[2];
        for (QStringList &frames : downloads) {
            if (&frames == &downloads[1])
                QTest::mouseClick(rig.w.Command16, Qt::LeftButton);  // the monitor
            const int from = logLines(log);
            QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
            QVERIFY2(rig.w.transfer().downloading(), qPrintable(rig.prompter.messages.join(u',')));
            QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().downloading() && rig.state.RequestTag == 0, 30000);
            QVERIFY(rig.open(RunControl::Manual) && Tool::lampChanges(rig.manual()->Shape2, 15));
            rig.manual()->unloadScreen();
            QVERIFY(rig.idle());
            // The screen's last status read has had its reply: the line is quiet.
            QTRY_COMPARE(rig.w.core().traffic.settled(), rig.w.core().traffic.end());
            frames = simFrames(log, QStringLiteral("<- "), from).filter(QRegularExpression("^01 (06 21 9C|10)"));
        }
        QCOMPARE(downloads[1], downloads[0]);
        QCOMPARE(downloads[0].size(), 51);
        QVERIFY(rig.w.trafficMonitor()->isVisible());
        QTRY_COMPARE(rig.w.trafficMonitor()->model().rowCount(), int(rig.w.core().traffic.end()));
        QTRY_COMPARE(recorded(rig, QStringLiteral("发"), traffic::Bytes), simFrames(log, QStringLiteral("<- ")));
        QTRY_COMPARE(recorded(rig, QStringLiteral("收"), traffic::Bytes), simFrames(log, QStringLiteral("-> ")));
    }

    // The simulator drops requests, spoils replies' CRC and refuses with exceptions, or holds
    // replies back so that they come after the next request, back to back with its reply on the
    // modelled line: every reply is a row of its own, and each fault is on the row it happened
    // to, and counted.
    void faultsOnTheirRows_data()
    {
        columns<QStringList>("faults");
        row("dropped, spoilt, refused",
            QStringList{"--seed", "5", "--drop", "0.15", "--corrupt", "0.15", "--exception", "0.15"});
        row("held back on the line", QStringList{"--seed", "3", "--wire-time", "--delay", "0.3", "--delay-ms", "650"});
    }
    void faultsOnTheirRows()
    {
        QFETCH(QStringList, faults);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("sim.log"));
        SimRig rig(QStringList{"--log"} + faults, false, log);
        QVERIFY(rig.ok());
        // Compared from the opening of the port that the tool keeps on: a connect attempt whose probe
        // went unanswered in time closes its port, and a reply that was still on its way is thrown
        // away unread (the next opening clears the port), though the simulator logged it.
        const Traffic &t = rig.w.core().traffic;
        quint64 fromRow = 0;
        for (int attempt = 0; attempt < 10 && rig.w.Label3->text() != QStringLiteral("控制器已经连接！"); ++attempt) {
            rig.w.status().setConnected(false);
            fromRow = t.end();
            QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
            rig.idle();
        }
        QVERIFY(rig.open(RunControl::Manual) && Tool::lampChanges(rig.manual()->Shape2, 30, 30000));
        rig.manual()->unloadScreen();
        QVERIFY(rig.idle());
        // The line is quiet: bytes still waiting for the rest of a frame are all there will be.
        QTRY_COMPARE(rig.w.core().traffic.settled(), rig.w.core().traffic.end());
        rig.w.core().traffic.flush();
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        const int from = int(lines.lastIndexOf(QRegularExpression(QStringLiteral(".*device opened.*"))));
        QVERIFY(from >= 0);
        lines = lines.mid(from);
        const QString received = QStringLiteral("收"), sent = QStringLiteral("发");
        QTRY_COMPARE(simFrames(log, QStringLiteral("-> "), from), recorded(rig, received, traffic::Bytes, fromRow));
        QTRY_COMPARE(simFrames(log, QStringLiteral("<- "), from), recorded(rig, sent, traffic::Bytes, fromRow));
        // The rows with each fault; a late reply counts when its request is a row here too.
        std::array<int, Traffic::FaultKinds> rows{};
        for (quint64 n = fromRow; n < t.end(); ++n)
            for (int k = 0; k < Traffic::FaultKinds; ++k)
                rows[std::size_t(k)] += (t.row(n).faults >> k & 1) && (k != 5 || t.row(n).request > fromRow);
        if (faults.contains(QStringLiteral("--delay"))) {
            QVERIFY(rows[5] >= 2);         // late
            QCOMPARE(rows[4], rows[5]);    // each request given up had its reply late
            return;
        }
        // What the simulator did to each request and reply, as the monitor should name it.
        QStringList requests, replies;
        for (const QString &line : lines) {
            if (line.contains(QStringLiteral("<- ")))
                requests << QString();
            else if (line.contains(QStringLiteral("fault: request dropped")))
                requests.last() = QStringLiteral("无应答");
            else if (line.contains(QStringLiteral("fault: CRC corrupted")))
                replies << QStringLiteral("CRC 错误");
            else if (line.contains(QStringLiteral("fault: exception reply")))
                replies << QStringLiteral("异常应答 04 从站设备故障");
        }
        QVERIFY(requests.contains(QStringLiteral("无应答")) && replies.contains(QStringLiteral("CRC 错误")) &&
                replies.contains(QStringLiteral("异常应答 04 从站设备故障")));
        QCOMPARE(recorded(rig, sent, traffic::Faults, fromRow), requests);
        QStringList faultyReplies = recorded(rig, received, traffic::Faults, fromRow);
        faultyReplies.removeAll(QString());
        QCOMPARE(faultyReplies, replies);
        QCOMPARE(rows[4], int(requests.count(QStringLiteral("无应答"))));
        QCOMPARE(rows[0] + rows[2], int(replies.size()));
    }

    // The screens against the controller: a jog moves X while held, the parameter entry is
    // read back, a linear move ends at its end point.
    void screensMoveTheAxes()
    {
        SimRig rig;
        QVERIFY(rig.ok() && rig.open(RunControl::Manual));
        ManualScreen *m = rig.manual();
        const QString before = m->Text1[0]->text();
        const quint64 from = rig.w.core().traffic.end();
        QTest::mousePress(m->Command1[0], Qt::LeftButton);
        QTRY_VERIFY(m->Text1[0]->text().toDouble() > before.toDouble() + 1);
        QTest::mouseRelease(m->Command1[0], Qt::LeftButton);
        // Released, the axis stands: the OFF went out before the next status read, and three
        // shown replies later X reads the same.
        QVERIFY(Tool::lampChanges(m->Shape2, 2));
        const QString stopped = m->Text1[0]->text();
        QVERIFY(Tool::lampChanges(m->Shape2, 3));
        QCOMPARE(m->Text1[0]->text(), stopped);
        // The monitor names the jog's ON and OFF, and their echoes.
        QCOMPARE(trafficRows(rig.w.core().traffic, from, {traffic::Way, traffic::Function, traffic::Purpose})
                     .filter(QStringLiteral("|点动")),
                 (QStringList{"发|05 线圈 2 = ON|点动 X+ ON", "收|05 线圈 2 = ON|点动 X+ ON", "发|05 线圈 2 = OFF|点动 X+ OFF",
                              "收|05 线圈 2 = OFF|点动 X+ OFF"}));

        QVERIFY(rig.open(RunControl::Parameters));
        QTest::mouseClick(rig.params()->Text7[8], Qt::LeftButton);
        QTest::keyClick(rig.params()->Text7[8], Qt::Key_A, Qt::ControlModifier);
        type(rig.params()->Text7[8], QStringLiteral("4"));  // Y lead
        QTRY_COMPARE_WITH_TIMEOUT(rig.params()->Text7[8]->text(), QStringLiteral("4"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.params()->Text7[7]->text(), QStringLiteral("0.0025"), 5000);

        QVERIFY(rig.open(RunControl::Interpolation));
        InterpolationScreen *f = rig.interp();
        type(f->Text1[3], QStringLiteral("50"));
        type(f->Text1[4], QStringLiteral("40"));
        type(f->Text1[5], QStringLiteral("60"));
        QTRY_COMPARE_WITH_TIMEOUT(f->Text1[5]->text(), QStringLiteral("60"), 5000);
        QTest::mouseClick(f->Command1[3], Qt::LeftButton);  // XY line
        QTRY_COMPARE_WITH_TIMEOUT(f->Text1[0]->text(), QStringLiteral("40"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(f->Text1[1]->text(), QStringLiteral("60"), 10000);
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    // The motion plot against the simulator, which drives its moves at the set speed without
    // ramps: a full circle of three seconds and a line of two come out as set in the figures the
    // plot reports of the readings; a move the controller refuses (its end out of travel) gets no
    // line.
    void movesOnThePlot_data()
    {
        // The move's button; the speed, end point, middle point and arc direction typed.
        columns<int, QStringList>("button", "settings");
        row("a full circle in XY", 0, QStringList{"10", "25", "40", "10", "25", "50", "10", "1"});
        row("a line in XY", 3, QStringList{"10", "45", "40", "10", "0", "0", "0", "0"});
        row("a line out of travel", 3, QStringList{"10", "400", "40", "10", "0", "0", "0", "0"});
    }
    void movesOnThePlot()
    {
        QFETCH(int, button);
        QFETCH(QStringList, settings);
        SimRig rig;
        QVERIFY(rig.ok() && rig.open(RunControl::Interpolation));
        InterpolationScreen *f = rig.interp();
        QTest::mouseClick(f->MotionPlotButton, Qt::LeftButton);
        MotionPlot *plot = rig.w.motion().window();
        for (int i = 0; i < settings.size(); ++i) {
            QTest::mouseClick(f->Text1[3 + i], Qt::LeftButton);
            QTest::keyClick(f->Text1[3 + i], Qt::Key_A, Qt::ControlModifier);
            type(f->Text1[3 + i], settings[i]);
        }
        for (int i = 0; i < settings.size(); ++i)  // read back from the controller
            QTRY_COMPARE_WITH_TIMEOUT(f->Text1[3 + i]->text(), settings[i], 5000);
        const int before = plot->track().size();
        QTest::mouseClick(f->Command1[button], Qt::LeftButton);
        if (settings[1] == QStringLiteral("400")) {
            QTRY_VERIFY_WITH_TIMEOUT(plot->track().size() >= before + 8, 10000);
            QVERIFY(!plot->track().lastCheck() && plot->Result->text().isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(plot->track().lastCheck().has_value(), 20000);
        const plot::MoveCheck check = *plot->track().lastCheck();
        QVERIFY2(check.meanSpeed && std::abs(*check.meanSpeed - 10) < 0.2, qPrintable(plot->Result->text()));
        QVERIFY2(button == 0 ? check.fitted && check.largestFromCircle < 0.01 && check.swept == plot::Turn::CounterClockwise
                             : check.largestFromLine < 0.01,
                 qPrintable(plot->Result->text()));
        QVERIFY(check.readings >= 10 && !plot->Result->text().isEmpty());  // two seconds at least
    }

    // A line that loses, delays, spoils and refuses replies: the manual screen keeps going,
    // every line an upload brings in is the controller's, and nothing hangs.
    void aFaultyLine()
    {
        SimRig rig({"--seed", "11", "--drop", "0.05", "--delay", "0.05", "--delay-ms", "700", "--corrupt", "0.05",
                    "--exception", "0.05"},
                   false);
        QVERIFY(rig.ok());
        for (int attempt = 0; attempt < 10 && rig.w.Label3->text() != QStringLiteral("控制器已经连接！"); ++attempt) {
            rig.w.status().setConnected(false);
            QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
            rig.idle();
        }
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
        QVERIFY(rig.open(RunControl::Manual));
        QVERIFY(Tool::lampChanges(rig.manual()->Shape2, 15, 20000));
        rig.manual()->unloadScreen();
        rig.prompter.clear();
        fill(rig.state, 30, 9);
        rig.w.Text1->setText(QStringLiteral("30"));
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        // It ends, one way or another: all read, or given up (the port closed when the line
        // count got no answer).
        QTRY_VERIFY_WITH_TIMEOUT(rig.state.RequestTag == 0 || !rig.w.port().isOpen(), 20000);
        for (const QString &m : rig.prompter.messages)  // the program read over is not the one filled in
            QVERIFY2(m == QStringLiteral("串口存在，但控制器没有连接上！") || m == QStringLiteral("工程已修改，是否保存？"),
                     qPrintable(m));
    }

    // The controller goes away in the middle of a download: reported, the transfer stops,
    // and once a controller is back, connecting works again.
    void controllerGoneMidTransfer()
    {
        SimRig rig({QStringLiteral("--wire-time")});
        QVERIFY(rig.ok());
        rig.w.Text1->setText(QStringLiteral("500"));
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.state.BlockIndex >= 3, 20000);
        rig.sim.reset();
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.count(QStringLiteral("程序下载没有完成，控制器中的程序不完整！")), 1,
                                  10000);
        QVERIFY(rig.prompter.count(QStringLiteral("串口出错！")) <= 1);
        QVERIFY(BackColor(rig.w.Command8) != QColor(255, 255, 192));  // not as after a whole download
        SimProcess again;
        QVERIFY(again.start());
        rig.devices = {again.device};
        rig.w.status().setConnected(false);
        QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
    }

    // A stop clicked while a 249-byte block is still on the wire waits for the line to be
    // quiet: the controller takes it as a frame of its own, echoes it at once and halts the
    // axes, wherever in the block the click falls.
    void aStopBehindABlockOnTheWire()
    {
        SimRig rig({QStringLiteral("--wire-time")});
        QVERIFY(rig.ok());
        rig.w.Text1->setText(QStringLiteral("500"));
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        for (int trial = 0; trial < 20; ++trial) {
            QVERIFY(rig.idle());
            QVERIFY(rig.w.link().SendCoilOn(tag::ManualCoil, 2));  // jog X+: the axis runs
            QVERIFY(QTest::qWaitFor([&] { return rig.state.RequestTag != tag::ManualCoil; }));
            rig.state.RequestTag = 0;
            QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
            // Each trial clicks a little later after a block has gone out: 0 to 114 ms.
            const int after = trial * 6;
            bool seen = false, clicked = false;
            QObject::disconnect(&poll, nullptr, nullptr, nullptr);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (rig.state.RequestTag == tag::WriteBlock && rig.state.BlockIndex == 2 && !seen) {
                    seen = true;
                    QTimer::singleShot(after, [&] {
                        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
                        clicked = true;
                    });
                }
            });
            poll.start(1);
            QTRY_VERIFY_WITH_TIMEOUT(clicked, 10000);
            poll.stop();
            QTRY_VERIFY_WITH_TIMEOUT(!rig.w.emergencyStop().pending(), 5000);
            QCOMPARE(BackColor(rig.w.Command14), QColor(255, 0, 0));
            QVERIFY2(rig.w.emergencyStop().sends() == 1, qPrintable(QString("trial %1").arg(trial)));
            QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.count(QStringLiteral("程序下载没有完成，控制器中的程序不完整！")),
                                      trial + 1, 3000);
            // Three reads of X, one behind the other on the line, read the same.
            const qint64 x = positionX(rig);
            QCOMPARE(positionX(rig), x);
            QCOMPARE(positionX(rig), x);
        }
    }
    // A stop while a block's reply is on the wire: the controller's first echo confirms it (the
    // echo is found behind the rest of the block, never inside its data, which holds the stop's
    // very bytes), and the read it cut short puts the program, the line-count box and the grid
    // back as they were.
    void aStopCutsAnUploadShort()
    {
        QTemporaryDir dir;
        ToolState source;
        fill(source, 500, 5);
        for (int line = 1; line <= 500; line += 7)  // the stop frame inside the records
            std::memcpy(&source.ProgramImage[std::size_t(2 + 24 * (line - 1) + 4)], "\x01\x05\x00\x10\xFF\x00\x8D\xFF", 8);
        QFile file(dir.filePath(QStringLiteral("p")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(source.ProgramImage.data()), program::ImageSize);
        file.close();
        SimRig rig({QStringLiteral("--wire-time"), QStringLiteral("--program"), file.fileName()});
        QVERIFY(rig.ok());
        QCOMPARE(rig.image(0, 2 + 24 * 500), QByteArray(reinterpret_cast<const char *>(source.ProgramImage.data()), 2 + 24 * 500));
        for (int block : {1, 25, 50}) {
            fill(rig.state, 123, block);
            rig.w.Text1->setText(QStringLiteral("123"));
            rig.w.MSFlexGrid1->setTextMatrix(7, 3, QStringLiteral("1-2"));
            const QByteArray before = rig.image();
            QStringList grid;
            for (int r = 0; r < rig.w.MSFlexGrid1->rows(); ++r)
                for (int c = 0; c < 8; ++c)
                    grid << rig.w.MSFlexGrid1->textMatrix(r, c);
            rig.prompter.clear();
            const QByteArray request = FakeController::withCrc(fromHex("01 03") + QByteArray::fromHex(
                QByteArray::number(0x10000 * (block - 1) * 120 + 0x78, 16).rightJustified(8, '0')));
            QMetaObject::Connection c = connect(&rig.w.port(), &CommPort::written, &rig.w, [&](quint32, const QByteArray &f) {
                if (f == request)  // the block's reply is on its way from now on
                    QTimer::singleShot(block == 50 ? 0 : 30, &rig.w, [&] { QTest::mouseClick(rig.w.Command14, Qt::LeftButton); });
            });
            QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().uploading() && !rig.w.emergencyStop().pending(), 60000);
            disconnect(c);
            QCOMPARE(rig.w.emergencyStop().sends(), 1);
            QCOMPARE(BackColor(rig.w.Command14), QColor(255, 0, 0));
            QCOMPARE(rig.prompter.messages, (QStringList{"工程已修改，是否保存？", "程序读取没有完成，工程没有改变！"}));
            QCOMPARE(rig.image(), before);
            QStringList now;
            for (int r = 0; r < rig.w.MSFlexGrid1->rows(); ++r)
                for (int c = 0; c < 8; ++c)
                    now << rig.w.MSFlexGrid1->textMatrix(r, c);
            QCOMPARE(now, grid);
            QCOMPARE(rig.w.Text1->text(), QStringLiteral("123"));
        }
    }

    // A download sends the program as it stood at the click: an edit, a line inserted, an undo
    // and "打开工程" while it runs are refused, and the controller ends up with exactly that program.
    void aDownloadSendsTheProgramOfTheClick()
    {
        SimRig rig({QStringLiteral("--wire-time")});
        QVERIFY(rig.ok());
        fill(rig.state, 500, 8);
        rig.w.Text1->setText(QStringLiteral("500"));
        rig.w.MSFlexGrid1->setCurrentCell(3, 3);
        emit rig.w.MSFlexGrid1->clicked();
        type(rig.w.Text2, QStringLiteral("4"));  // an edit before: something to undo
        const QByteArray clicked = rig.image(0, 2 + 24 * 500);
        rig.prompter.clear();
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.state.BlocksDone >= 5, 20000);
        rig.w.MSFlexGrid1->setCurrentCell(450, 3);
        emit rig.w.MSFlexGrid1->clicked();
        type(rig.w.Text2, QStringLiteral("9"));
        QTest::mouseClick(rig.w.Command1, Qt::LeftButton);
        rig.w.history().undo();  // Ctrl+Z
        QTest::mouseClick(rig.w.Command10, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().downloading(), 60000);
        QCOMPARE(rig.prompter.messages, QStringList(4, "程序传输中，请稍候！"));
        QCOMPARE(BackColor(rig.w.Command8), QColor(255, 255, 192));
        rig.state.ProgramImage.fill(0);
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);  // what the controller holds now
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().uploading() && rig.state.RequestTag == 0, 60000);
        QCOMPARE(rig.image(0, 2 + 24 * 500).mid(2), clicked.mid(2));
    }
};

QTEST_MAIN(TstSystem)
#include "tst_system.moc"
