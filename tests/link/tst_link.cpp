// The link to the controller against a scripted controller on a pseudo-terminal: the frames
// and line settings, finding the controller, replies and the watchdog, the transfers, the
// run-control commands and the emergency stop.
#include <QLabel>
#include <QtTest>
#include <termios.h>

#include "Rigs.h"
#include "link/Tags.h"
#include "ui/CommPort.h"
#include "ui/PortCatalogue.h"
#include "ui/FlexGrid.h"

namespace {
const QString NotDone = QStringLiteral("此次操作没有成功！");
const QString NoController = QStringLiteral("串口存在，但控制器没有连接上！");
const QString Unfinished = QStringLiteral("程序下载没有完成，控制器中的程序不完整！");
const QByteArray StopFrame = fromHex("01 05 00 10 FF 00 8D FF");
const QColor Green(0, 255, 0), Red(255, 0, 0);

// Ticks of `timer` from now until `done`, counting `start`'s own.
int ticksUntil(QTimer *timer, const std::function<void()> &start, const std::function<bool()> &done)
{
    int ticks = 0;
    QMetaObject::Connection c = QObject::connect(timer, &QTimer::timeout, [&] { ticks += done() ? 0 : 1; });
    start();
    (void)QTest::qWaitFor(done, 5000);
    QObject::disconnect(c);
    return ticks + 1;  // the tick that gave up
}
}  // namespace

class TstLink : public QObject {
    Q_OBJECT
private slots:
    void lineSettingsAsTheControllerNeedsThem()
    {
        ToolRig rig;
        termios t{};
        QVERIFY(tcgetattr(rig.slaveFd(), &t) == 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(cfgetispeed(&t), speed_t(B19200));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    }

    // An argument the frame cannot carry takes the one error path: nothing is sent, the
    // user is told, the request is forgotten and the port closed.
    void argumentsOutsideTheFrameAreRefused_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("-1") << -1;
        QTest::newRow("32768") << 32768;
    }
    void argumentsOutsideTheFrameAreRefused()
    {
        QFETCH(int, value);
        ToolRig rig;
        const int from = rig.mark();
        QVERIFY(!rig.w.link().SendRegister(tag::WriteRunMode, 8573, value));
        QTest::qWait(50);
        QCOMPARE(rig.since(from), QStringList());
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口出错！")});
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器没有连接！"));
        QCOMPARE(rig.w.Cmd1->text(), QStringLiteral("连接控制器"));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QVERIFY(!rig.w.port().isOpen());
    }

    // Ports 1 to 20 are tried in turn and the first that opens is kept, whatever is behind it.
    void portScan()
    {
        Pty modem;
        ToolRig rig(0, false);
        rig.devices = {"/nonexistent/1", "/nonexistent/2", "/nonexistent/3", "/nonexistent/4", rig.device()};
        rig.start();
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.port().commPort(), 5);
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));

        // A silent device on port 1 stops the scan there, after 300 ms.
        rig.devices = {modem.device(), rig.device()};
        QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);  // disconnect
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
        QVERIFY(clock.elapsed() >= 300);
        QCOMPARE(rig.prompter.messages, QStringList{NoController});
        QCOMPARE(hex(modem.readAvailable()), QStringLiteral("01 03 21 7D 00 01 1E 2E"));
        QVERIFY(!rig.w.port().isOpen());
        QVERIFY(!rig.w.Timer1->isActive() && !rig.w.Timer2->isActive());
    }

    // Ports 1 to 20 stand for the devices named, as named; without names for the system's own,
    // USB adapters first, each group by number.
    void portCatalogue()
    {
        QStringList named{"/dev/pts/9", "/dev/ttyS0"};
        QCOMPARE(PortCatalogue::build(named), named);
        for (int i = 0; i < 25; ++i)
            named << QStringLiteral("/dev/x%1").arg(i);
        QCOMPARE(PortCatalogue::build(named), named.mid(0, 20));
        QCOMPARE(PortCatalogue::order({"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyUSB2",
                                       "/dev/ttyACM0", "/dev/rfcomm0"}),
                 QStringList({"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyACM1", "/dev/rfcomm0",
                              "/dev/ttyS2", "/dev/ttyS10"}));
        const QStringList system = PortCatalogue::build({});
        QVERIFY(system.size() <= 20 && system == PortCatalogue::order(system));
    }

    // Started without any serial port: told so, the grid laid out for 500 lines, Timer1 running. The
    // system's devices are read afresh at every connect: an adapter plugged in after start-up is found.
    void adapterPluggedInLater()
    {
        ToolRig rig(3, false);
        rig.devices.clear();
        rig.start();
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("没有找到有效的串口！")});
        QCOMPARE(QStringList({rig.w.windowTitle(), rig.w.Label1->text(), rig.w.Label3->text(), rig.w.Cmd1->text()}),
                 QStringList({"Trelmo", "TrelmoV2.0     (KESTA-MX3)", "控制器没有连接！", "连接控制器"}));
        QVERIFY(rig.w.Timer1->isActive() && !rig.w.Timer2->isActive());
        QCOMPARE(rig.w.MSFlexGrid1->rows(), 501);
        QTRY_COMPARE(rig.w.Text3->text(), QStringLiteral("0"));
        rig.devices = {rig.device()};
        QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
        QCOMPARE(rig.w.MSFlexGrid1->rows(), 4);
        QCOMPARE(rig.w.Cmd1->text(), QStringLiteral("断开控制器"));
        // Disconnecting sends nothing and leaves both timers running.
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
        QTest::qWait(100);
        QCOMPARE(rig.since(from), QStringList());
        QVERIFY(!rig.w.port().isOpen() && rig.w.Timer1->isActive() && rig.w.Timer2->isActive());
    }

    void startUpReadsTheStoredProgram_data()
    {
        columns<int, QStringList>("lines", "reads");
        row("none", 0, QStringList{});
        row("10 lines", 10, QStringList{"01 03 00 00 00 78"});
        row("11 lines", 11, QStringList{"01 03 00 00 00 78", "01 03 00 78 00 0C"});
        row("25 lines", 25, QStringList{"01 03 00 00 00 78", "01 03 00 78 00 78", "01 03 00 F0 00 3C"});
    }
    void startUpReadsTheStoredProgram()
    {
        QFETCH(int, lines);
        QFETCH(QStringList, reads);
        ToolRig rig(lines);
        QStringList blocks;
        for (const QString &r : rig.since(0, 3).mid(2))
            blocks << r.left(17);
        QCOMPARE(blocks, reads);
        QCOMPARE(rig.w.MSFlexGrid1->rows(), lines + 1);
        QCOMPARE(rig.w.MSFlexGrid1->textMatrix(lines, 0), lines ? QString::number(lines) : QString());
        QCOMPARE(rig.image(2, 24 * lines), rig.program(lines));
        QVERIFY(rig.w.Timer1->isActive() && rig.w.Timer2->isActive());
    }

    void repliesAreCheckedAgainstTheirRequest()
    {
        ToolRig rig;
        rig.silent = true;
        ReceiveHandler &h = rig.w.receiveHandler();
        QVERIFY(rig.w.link().ReadRegisters(tag::ReadRunMode, 8573, 1));
        const QByteArray good = FakeController::readReply(1, {0x0101});
        QByteArray badCrc = good;
        badCrc[5] = char(badCrc[5] ^ 0x5A);
        rig.state.NoReplyTicks = 4;
        for (const QByteArray &b : {badCrc, FakeController::readReply(2, {1}), FakeController::readReply(1, {1, 2}),
                                    FakeController::withCrc(fromHex("01 83 02"))})
            QVERIFY(!h.handleReply(b));
        QCOMPARE(rig.state.RequestTag, std::int16_t(12));
        QCOMPARE(rig.state.NoReplyTicks, std::int16_t(0));  // any bytes show the line is alive
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        rig.w.receiveHandler().receive(good.left(4));  // a reply in two pieces is seen once, whole
        rig.w.receiveHandler().receive(good.mid(4));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));  // only the low byte counts
        QVERIFY(rig.w.link().ReadRegisters(tag::ReadRunMode, 8573, 1));
        QVERIFY(h.handleReply(FakeController::readReply(1, {0x0100})));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
    }

    // With the main window alone, an unanswered request is given up on the sixth watchdog tick.
    void mainWatchdogGivesUpOnTheSixthTick()
    {
        ToolRig rig(3);
        rig.silent = true;
        auto click = [&] { QTest::mouseClick(rig.w.Command12, Qt::LeftButton); };
        QCOMPARE(ticksUntil(rig.w.Timer2, click, [&] { return rig.state.RequestTag == 0; }), 6);
        QCOMPARE(BackColor(rig.w.Command12), Green);  // it was never acknowledged
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void uploadFromTheButton()
    {
        ToolRig rig(25);
        rig.storeProgram(12);
        std::fill(rig.state.ProgramImage.begin() + 2, rig.state.ProgramImage.end(), 0xAB);
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.since(from),
                 QStringList({"01 03 21 9C 00 01 4E 18", "01 03 00 00 00 78 45 E8", "01 03 00 78 00 18 C5 D9"}));
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("12"));
        QCOMPARE(rig.w.MSFlexGrid1->rows(), 13);
        QCOMPARE(rig.image(2, 24 * 12), rig.program(12));
        QCOMPARE(rig.state.ProgramImage[2 + 24 * 12], std::uint8_t(0xAB));  // past the new count: kept
        // A controller claiming more than 500 lines is not believed.
        rig.registers[8604] = 501;
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("控制器中的程序有501行，超过500行，无法读取！")});
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("12"));
    }

    void downloadFromTheButton_data()
    {
        columns<int, QStringList>("lines", "heads");
        row("1 line", 1, QStringList{"01 06 21 9C 00 01 82 18", "01 10 00 00 00 0C 18"});
        row("10 lines", 10, QStringList{"01 06 21 9C 00 0A C3 DF", "01 10 00 00 00 78 F0"});
        row("11 lines", 11, QStringList{"01 06 21 9C 00 0B 02 1F", "01 10 00 00 00 78 F0", "01 10 00 78 00 0C 18"});
    }
    void downloadFromTheButton()
    {
        QFETCH(int, lines);
        QFETCH(QStringList, heads);
        ToolRig rig;
        for (int i = 2; i < 2 + 24 * lines; ++i)
            rig.state.ProgramImage[std::size_t(i)] = std::uint8_t(i * 7);
        rig.w.Text1->setText(QString::number(lines));
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        QTRY_COMPARE(rig.since(from).size(), heads.size());
        QVERIFY(rig.idle());
        QStringList seen;
        for (const QString &f : rig.since(from))
            seen << f.left(heads.value(seen.size()).size());
        QCOMPARE(seen, heads);
        QCOMPARE(rig.program(lines), rig.image(2, 24 * lines));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    // The commands that refuse to start, each sending nothing.
    void refusals_data()
    {
        columns<QString, QString, QString>("button", "how", "message");
        row("download, auto-run on", "Command8", "autorun",
            "请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！");
        row("download, 0 lines", "Command8", "0", "行数输入不正确！");
        row("download, 501 lines", "Command8", "501", "行数输入不正确！");
        row("download, port closed", "Command8", "closed", "串口无效，无法下载！");
        row("download, busy", "Command8", "busy", NotDone);
        row("download, a screen loaded", "Command8", "screen", NotDone);
        row("upload, port closed", "Cmd5", "closed", "串口无效，无法读取！");
        row("upload, busy after its wait", "Cmd5", "busy later", NotDone);
        row("save data, port closed", "Command12", "closed", "串口无效，无法通信！");
        row("save data, busy", "Command12", "busy", NotDone);
        row("auto-run, port closed", "Command13", "closed", "串口无效，无法下载！");
        row("auto-run, busy", "Command13", "busy", NotDone);
        row("stop, port closed", "Command14", "closed", "串口无效，无法通信！");
        row("screen, auto-run on", "Cmd4", "autorun", "请将运行设置：更改为上电不自动运行，再进入参数设置界面！");
        row("screen, port closed", "Command9", "closed", "串口无效！");
    }
    void refusals()
    {
        QFETCH(QString, button);
        QFETCH(QString, how);
        QFETCH(QString, message);
        ToolRig rig(3);
        rig.w.Command13->setText(how == "autorun" ? "上电自运行" : "上电后不自动运行");
        rig.w.Text1->setText(how == "0" || how == "501" ? how : "3");
        if (how == "closed")
            QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);
        if (how == "screen")
            QVERIFY(rig.open(RunControl::Manual));
        if (how == "busy") {
            rig.silent = true;
            QVERIFY(rig.w.link().ReadRegisters(tag::ReadRunMode, 8573, 1));
        }
        if (how == "busy later") {  // a command started inside the read button's wait is still unanswered
            rig.late("01 05 00 22", -1);
            QTimer::singleShot(100, [&] { QTest::mouseClick(rig.w.Command12, Qt::LeftButton); });
        }
        const int from = rig.mark();
        QTest::mouseClick(rig.w.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(rig.prompter.messages.value(0), message);
        QTest::qWait(100);
        QCOMPARE(rig.since(from).filter(
                     QRegularExpression(how == "busy later" ? "^01 (06|10)|^01 03 00" : "^01 (05|06|10)")),
                 QStringList());
    }

    void runControlCommands()
    {
        ToolRig rig;
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Command13, Qt::LeftButton);
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
        QVERIFY(rig.idle());
        QTest::mouseClick(rig.w.Command13, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
        QTest::mouseClick(rig.w.Command12, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.since(from),
                 QStringList({"01 06 21 7D 00 01 D2 2E", "01 06 21 7D 00 00 13 EE", "01 05 00 22 FF 00 2C 30"}));
    }

    // The emergency stop is never refused: whatever is outstanding is abandoned, the stop
    // goes out, and its echo turns the button red again.
    void emergencyStopWhileATransferRuns()
    {
        ToolRig rig(25);
        rig.late("01 03 00 78", -1);
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_COMPARE(rig.state.BlockIndex, std::int16_t(2));
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QTRY_COMPARE(BackColor(rig.w.Command14), Red);
        QCOMPARE(rig.since(from), QStringList{hex(StopFrame)});
        QVERIFY(rig.prompter.messages.isEmpty());
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
    }

    // Unanswered, the stop is sent again after 300 ms, three times in all; then the user is
    // told, and the button stays green.
    void anUnansweredStopIsSentThreeTimes()
    {
        ToolRig rig;
        rig.late("01 05 00 10", -1);
        QList<qint64> at;
        QElapsedTimer clock;
        clock.start();
        connect(&rig, &FakeController::requestSeen, [&] { at << clock.elapsed(); });
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages, QStringList{"急停命令没有得到控制器确认！"}, 3000);
        QCOMPARE(rig.since(0, 5), QStringList(3, hex(StopFrame)));
        QVERIFY(at[1] - at[0] >= 290 && at[2] - at[1] >= 290);
        QVERIFY(clock.elapsed() - at[2] >= 290);
        QCOMPARE(BackColor(rig.w.Command14), Green);
    }

    // A wait for a reply counts its own reply only: a stop clicked inside it neither makes an
    // unanswered probe pass nor an answered one fail.
    void aStopInsideAWaitForAReply_data()
    {
        columns<QString, bool, bool>("head", "answered", "upload");  // head: the request whose reply is late
        for (bool answered : {true, false}) {
            const char *how = answered ? "answered" : "unanswered";
            QTest::addRow("run mode probe %s", how) << "01 03 21 7D" << answered << false;
            QTest::addRow("line count probe %s", how) << "01 03 21 9C" << answered << false;
            QTest::addRow("upload's line count %s", how) << "01 03 21 9C" << answered << true;
        }
    }
    void aStopInsideAWaitForAReply()
    {
        QFETCH(QString, head);
        QFETCH(bool, answered);
        QFETCH(bool, upload);
        ToolRig rig(3, false);
        rig.registers[8573] = 1;
        if (upload) {
            rig.start();
            QVERIFY(rig.idle());
            rig.storeProgram(5);
        }
        rig.late(head, answered ? 150 : -1);
        // The second probe goes out when the first one's 300 ms are over.
        const int clickAt = !upload && head.endsWith("9C") ? 360 : 60;
        QTimer::singleShot(clickAt, [&] { QTest::mouseClick(rig.w.Command14, Qt::LeftButton); });
        if (upload)
            QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        else
            rig.start();
        QTRY_COMPARE(BackColor(rig.w.Command14), Red);
        if (answered) {
            QVERIFY(rig.idle());
            QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
            QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
            QCOMPARE(rig.w.Text1->text(), upload ? "5" : "3");
            QVERIFY(!rig.prompter.messages.contains(NoController));
        } else {
            QCOMPARE(rig.prompter.messages, QStringList{NoController});
            QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器没有连接！"));
            QVERIFY(!rig.w.port().isOpen());
        }
    }

    // A download that ends before its last block was echoed is reported once, after it ends.
    void anUnfinishedDownloadIsReported_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("finished") << "finished";
        QTest::newRow("stopped") << "stop";
        QTest::newRow("given up by the watchdog") << "watchdog";
        QTest::newRow("port gone at the first block") << "port";
    }
    void anUnfinishedDownloadIsReported()
    {
        QFETCH(QString, how);
        ToolRig rig;
        rig.w.Text1->setText(QStringLiteral("30"));
        if (how == "watchdog")
            rig.late("01 10 00 78", -1);
        if (how == "stop")
            rig.late("01 10 00 78", 300);
        if (how == "port")  // the line count is echoed, then the controller's end goes away
            rig.filter = [&](const QByteArray &request, const QByteArray &reply) {
                if (request.startsWith(fromHex("01 06")))
                    QTimer::singleShot(50, [&] { rig.hangUp(); });
                return reply;
            };
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        if (how == "stop") {
            QTRY_COMPARE(rig.state.BlockIndex, std::int16_t(2));
            QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().downloading(), 10000);
        QTest::qWait(200);
        QCOMPARE(rig.prompter.count(Unfinished), how == "finished" ? 0 : 1);
        if (how == "port") {  // stopped at the first block: red, not "running"
            QCOMPARE(rig.prompter.count(QStringLiteral("串口出错！")), 1);
            QCOMPARE(BackColor(rig.w.Command8), Red);
        }
    }
};

QTEST_MAIN(TstLink)
#include "tst_link.moc"
