// The tool against trelmo-sim, the controller simulator, over a pseudo-terminal: a whole
// program there and back with its progress shown, the screens moving the axes, a line that drops, delays, corrupts
// and refuses replies, a controller that goes away, and the emergency stop on a line that
// takes its time as a real RS-232 line does.
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include "Rigs.h"
#include "link/EmergencyStop.h"
#include "link/Tags.h"
#include "mainwindow/TransferProgress.h"
#include "ui/CommPort.h"
#include "ui/FlexGrid.h"

namespace {
void fill(LinkState &s, int lines, int seed)
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
        QVERIFY(row->isHidden());  // after the start-up read of the simulator's sample program
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
        QVERIFY(rig.prompter.messages.isEmpty());

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
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("行数输入不正确！")});
    }

    // The screens against the controller: a jog moves X while held, the parameter entry is
    // read back, a linear move ends at its end point.
    void screensMoveTheAxes()
    {
        SimRig rig;
        QVERIFY(rig.ok() && rig.open(RunControl::Manual));
        ManualScreen *m = rig.manual();
        const QString before = m->Text1[0]->text();
        QTest::mousePress(m->Command1[0], Qt::LeftButton);
        QTest::qWait(600);
        QTest::mouseRelease(m->Command1[0], Qt::LeftButton);
        QTRY_VERIFY(m->Text1[0]->text().toDouble() > before.toDouble() + 1);
        const QString stopped = (QTest::qWait(500), m->Text1[0]->text());
        QTest::qWait(600);
        QCOMPARE(m->Text1[0]->text(), stopped);

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

    // A line that loses, delays, spoils and refuses replies: the manual screen keeps going,
    // every line an upload brings in is the controller's, and nothing hangs.
    void aFaultyLine()
    {
        SimRig rig({"--seed", "11", "--drop", "0.05", "--delay", "0.05", "--delay-ms", "700", "--corrupt", "0.05",
                    "--exception", "0.05"},
                   false);
        QVERIFY(rig.ok());
        for (int attempt = 0; attempt < 10 && rig.w.Label3->text() != QStringLiteral("控制器已经连接！"); ++attempt) {
            rig.w.Cmd1->setText(QStringLiteral("连接控制器"));
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
        for (const QString &m : rig.prompter.messages)
            QVERIFY2(m == QStringLiteral("串口存在，但控制器没有连接上！"), qPrintable(m));
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
        rig.w.Cmd1->setText(QStringLiteral("连接控制器"));
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
            const qint64 x = positionX(rig);
            QTest::qWait(300);
            QCOMPARE(positionX(rig), x);
        }
    }
};

QTEST_MAIN(TstSystem)
#include "tst_system.moc"
