// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the controller against a scripted controller on a pseudo-terminal: the frames
// and line settings, finding the controller, replies and the watchdog, the transfers, the
// run-control commands and the emergency stop.
#include <QComboBox>
#include <QLabel>
#include <QSerialPort>
#include <QtTest>
#include <termios.h>

#include "Rigs.h"
#include "core/TrafficWords.h"
#include "editor/LineSelection.h"
#include "link/ModbusLink.h"
#include "protocol/Tags.h"
#include "mainwindow/TransferProgress.h"
#include "ui/Colors.h"
#include "link/CommPort.h"
#include "link/PortCatalogue.h"
#include "ui/FlexGrid.h"

using namespace Qt::StringLiterals;

namespace {
const QString NotDone = QStringLiteral("此次操作没有成功！");
const QString NoController = QStringLiteral("串口存在，但控制器没有连接上！");
const QString Unfinished = QStringLiteral("程序下载没有完成，控制器中的程序不完整！");
const QByteArray StopFrame = fromHex("01 05 00 10 FF 00 8D FF");
const QColor Green(0, 255, 0), Red(255, 0, 0);

// What the grid shows, every cell, with the line-count box.
QStringList shown(Mainfrm &w)
{
    QStringList cells{w.Text1->text()};
    for (int r = 0; r < w.MSFlexGrid1->rows(); ++r)
        for (int c = 0; c < FlexGrid::Cols; ++c)
            cells << w.MSFlexGrid1->textMatrix(r, c);
    return cells;
}
const QString Transferring = QStringLiteral("程序传输中，请稍候！");
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
        QVERIFY(ticks(rig.w.Timer1, 2));
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
        QVERIFY(ticks(rig.w.Timer1, 2));
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
        ToolRig rig(lines, false);
        rig.start();  // the read of the stored program shows its progress, as the button's does
        auto *row = rig.w.findChild<TransferProgress *>();
        QCOMPARE(!row->isHidden() ? row->label()->text() : QString(), lines ? u"读取 0/%1"_s.arg(lines) : QString());
        QVERIFY(rig.idle());
        QTRY_VERIFY(row->isHidden());
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
        rig.w.status().setAutoRun(false);
        rig.w.receiveHandler().receive(good.left(4));  // a reply in two pieces is seen once, whole
        rig.w.receiveHandler().receive(good.mid(4));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));  // only the low byte counts
        QVERIFY(rig.w.link().ReadRegisters(tag::ReadRunMode, 8573, 1));
        QVERIFY(h.handleReply(FakeController::readReply(1, {0x0100})));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
    }

    // The traffic record cuts what comes back into frames by the request and the CRC, and names
    // what is wrong on the row it is wrong with: bytes that make no frame, a bad CRC, another
    // length, an exception, another slave, no reply, and a reply that came after the next request,
    // merged with that one's.
    void trafficFaultsOnTheirRows_data()
    {
        columns<QString, QStringList>("reply", "rows");
        row("whole", "whole", QStringList{"发|", "收|"});
        row("CRC", "crc", QStringList{"发|", "收|CRC 错误"});
        row("exception", "exception", QStringList{"发|", "收|异常应答 02 非法数据地址"});
        row("cut short", "short", QStringList{"发|无应答", "收|不成帧"});
        row("two registers", "long", QStringList{"发|", "收|长度不对 9 字节，应为 7"});
        row("slave 2", "slave 2", QStringList{"发|无应答", "收|未请求的帧"});
        row("noise first", "noise", QStringList{"发|", "收|不成帧", "收|"});
        row("none", "none", QStringList{"发|无应答"});
        row("late, merged", "late", QStringList{"发|无应答", "发|", "收|迟到的应答", "收|"});
    }
    void trafficFaultsOnTheirRows()
    {
        QFETCH(QString, reply);
        ToolRig rig;
        const Traffic &t = rig.w.core().traffic;
        const Traffic::Counts before = t.counts();
        QByteArray held;
        rig.filter = [&](const QByteArray &, const QByteArray &r) {
            const QByteArray spoilt = r.left(6) + char(r[6] ^ 1);
            const QMap<QString, QByteArray> replies{{"whole", r},
                                                    {"crc", spoilt},
                                                    {"exception", FakeController::withCrc(fromHex("01 83 02"))},
                                                    {"short", r.left(5)},
                                                    {"long", FakeController::readReply(1, {1, 2})},
                                                    {"slave 2", FakeController::readReply(2, {1})},
                                                    {"noise", fromHex("FF 00") + r},
                                                    {"none", {}}};
            if (reply != "late")
                return replies[reply];
            if (held.isEmpty()) {
                held = r;  // comes in front of the next reply
                return QByteArray();
            }
            return std::exchange(held, {}) + r;
        };
        rig.registers[8604] = 7;
        const quint64 from = t.end();
        for (int address : reply == "late" ? QList<int>{8573, 8604} : QList<int>{8573}) {
            QVERIFY(rig.idle());
            QVERIFY(rig.w.link().ReadRegisters(tag::ReadRunMode, address, 1));
        }
        QFETCH(QStringList, rows);
        QTRY_COMPARE(trafficRows(t, from, {traffic::Way, traffic::Faults}), rows);
        QVERIFY(rig.idle());
        QCOMPARE(trafficRows(t, from, {traffic::Way, traffic::Faults}), rows);
        quint64 faults = 0;
        for (int k = 0; k < Traffic::FaultKinds; ++k)
            faults += t.counts().faults[std::size_t(k)] - before.faults[std::size_t(k)];
        QCOMPARE(faults, quint64(rows.filter(QRegularExpression("\\|.")).size()));
        QCOMPARE(t.counts().requests - before.requests, quint64(rows.filter("发|").size()));
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
        rig.prompter.clear();
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("控制器中的程序有501行，超过500行，无法读取！")});
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("12"));
        // One line: its block is asked for, and the button says the read is on its way.
        rig.storeProgram(1);
        rig.late("01 03 00 00", -1);
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_COMPARE(BackColor(rig.w.Cmd5), Green);
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
        row("upload, busy", "Cmd5", "busy", NotDone);
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
        rig.w.status().setAutoRun(how == "autorun");
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
            QTimer::singleShot(100, &rig.controller(), [&] { QTest::mouseClick(rig.w.Command12, Qt::LeftButton); });
        }
        const int from = rig.mark();
        const QByteArray before = rig.image();
        const QStringList grid = shown(rig.w);
        QTest::mouseClick(rig.w.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(rig.prompter.messages.value(0), message);
        if (button == "Cmd5") {  // a refused upload changes nothing of the program
            QCOMPARE(rig.image(), before);
            QCOMPARE(shown(rig.w), grid);
        }
        QVERIFY(ticks(rig.w.Timer1, 2));
        QCOMPARE(rig.since(from).filter(
                     QRegularExpression(how == "busy later" ? "^01 (06|10)|^01 03 00" : "^01 (05|06|10)")),
                 QStringList());
    }

    void runControlCommands()
    {
        ToolRig rig;
        rig.w.status().setAutoRun(false);
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
        QTimer::singleShot(clickAt, &rig.controller(), [&] { QTest::mouseClick(rig.w.Command14, Qt::LeftButton); });
        if (upload)
            QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        else
            rig.start();
        QTRY_COMPARE(BackColor(rig.w.Command14), Red);
        if (answered) {
            QVERIFY(rig.idle());
            QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
            QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
            // A stop inside the read button's wait ends the read before it changed anything.
            QCOMPARE(rig.w.Text1->text(), QStringLiteral("3"));
            QCOMPARE(rig.prompter.messages,
                     upload ? QStringList{"程序读取没有完成，工程没有改变！"} : QStringList());
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
                    QTimer::singleShot(50, &rig.controller(), [&] { rig.hangUp(); });
                return reply;
            };
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        if (how == "stop") {
            QTRY_COMPARE(rig.state.BlockIndex, std::int16_t(2));
            QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w.transfer().downloading(), 10000);
        QVERIFY(ticks(rig.w.Timer1, 2));
        QCOMPARE(rig.prompter.count(Unfinished), how == "finished" ? 0 : 1);
        if (how == "port") {  // stopped at the first block: red, not "running"
            QCOMPARE(rig.prompter.count(QStringLiteral("串口出错！")), 1);
            QCOMPARE(BackColor(rig.w.Command8), Red);
        }
    }
    // The stop's echo counts only as a whole frame where a frame starts: the same eight bytes
    // inside a block that was on its way when the stop went out are data. Unanswered, the stop
    // is sent three times and the user is told; the read it cut short leaves the program as it was.
    void theStopsEchoOnlyAtAFrameBoundary()
    {
        ToolRig rig(10);
        const QList<quint16> stop{0x0105, 0x0010, 0xFF00, 0x8DFF};
        for (int i = 0; i < 4; ++i)
            rig.registers[21 + i] = stop[i];
        const QByteArray before = rig.image();
        const QStringList grid = shown(rig.w);
        rig.filter = [&](const QByteArray &request, const QByteArray &reply) {
            if (request == StopFrame)
                return QByteArray();  // never echoed
            if (request[1] != 3 || request[3] != 0)
                return reply;
            // The block comes in two pieces; the stop goes out between them.
            QTimer::singleShot(30, &rig.controller(), [&] { QTest::mouseClick(rig.w.Command14, Qt::LeftButton); });
            QTimer::singleShot(60, &rig.controller(), [&rig, rest = reply.mid(20)] { rig.pty().write(rest); });
            return reply.left(20);
        };
        const quint64 from = rig.w.core().traffic.end();
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.count("急停命令没有得到控制器确认！"), 1, 5000);
        QCOMPARE(rig.since(0, 5), QStringList(3, hex(StopFrame)));
        // The monitor: the block whole in its row, the stop's three sends, the last unanswered.
        QCOMPARE(trafficRows(rig.w.core().traffic, from, {traffic::Way, traffic::Purpose, traffic::Faults}).mid(2),
                 QStringList({"发|读取：第 1/1 块|", "发|急停|", "收|读取：第 1/1 块|", "发|急停|急停重发 2/3",
                              "发|急停|无应答; 急停重发 3/3"}));
        QCOMPARE(BackColor(rig.w.Command14), Green);
        QCOMPARE(rig.prompter.messages.first(), QStringLiteral("程序读取没有完成，工程没有改变！"));
        QCOMPARE(rig.image(), before);
        QCOMPARE(shown(rig.w), grid);
    }

    // A stop clicked while a block waits for the line drops the block: the monitor shows what
    // the controller got, the stop's three sends included, and no block that never went out.
    void aDroppedFrameIsNoRow()
    {
        ToolRig rig;
        rig.late("01 05 00 10", -1);
        for (int i = 2; i < 2 + 24 * 300; ++i)
            rig.state.ProgramImage[std::size_t(i)] = std::uint8_t(i * 7);
        rig.w.Text1->setText(QStringLiteral("300"));
        const Traffic &t = rig.w.core().traffic;
        const quint64 from = t.end();
        const int requests = rig.mark();
        QTimer poll;
        connect(&poll, &QTimer::timeout, &rig, [&] {
            if (rig.state.BlockIndex > 2 && rig.w.port().queued() > 0) {
                poll.stop();
                QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
            }
        });
        poll.start(1);
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.count("急停命令没有得到控制器确认！"), 1, 10000);
        QStringList sent = trafficRows(t, from, {traffic::Way, traffic::Bytes}).filter(QRegularExpression("^发"));
        sent.replaceInStrings(QRegularExpression("^发\\|"), QString());
        QCOMPARE(sent, rig.since(requests));
        QCOMPARE(sent.filter(hex(StopFrame)).size(), 3);
        QCOMPARE(sent.indexOf(hex(StopFrame)), sent.size() - 3);  // nothing of the download behind the stop
    }

    // The port's writer: a frame starts only after the one before it has left the line and 3.5
    // characters of silence; the stop overtakes what waits, which goes but for coil OFFs; a
    // closing port drops what waits.
    void portWriter()
    {
        Pty pty;
        CommPort port;
        port.setCatalogue({pty.device()});
        QVERIFY(port.open());
        QList<QPair<QByteArray, qint64>> written;
        QElapsedTimer clock;
        clock.start();
        connect(&port, &CommPort::written, &port,
                [&](quint32, const QByteArray &f) { written << qMakePair(f, clock.nsecsElapsed()); });
        const QByteArray block(249, '\x10'), read = fromHex("01 03 00 00 00 78 45 E8"),
                         off = fromHex("01 05 00 02 00 00 6C 0A");
        QVERIFY(port.write(block) && port.write(read) && port.write(off) && port.write(read));
        QCOMPARE(port.queued(), 3);
        port.dropQueued(frames::IsCoilOff);
        QVERIFY(port.write(StopFrame, CommPort::Priority::Urgent));
        QTRY_COMPARE(written.size(), 3);
        QCOMPARE(written[1].first, StopFrame);
        QCOMPARE(written[2].first, off);
        const double charNs = 1e10 / 19200;  // ten bits a character
        QVERIFY(written[1].second - written[0].second >= (249 + 3.5) * charNs);
        QVERIFY(written[2].second - written[1].second >= (8 + 3.5) * charNs);
        // On a quiet line the first goes at once; the second waits for it, and a close drops it.
        QVERIFY(QTest::qWaitFor([&] { return port.msUntilQuiet() <= 0; }));
        QVERIFY(port.write(read) && port.write(read));
        port.close();
        QVERIFY(QTest::qWaitFor([&] { return port.msUntilQuiet() <= 0; }));  // when the next would have gone
        QCoreApplication::processEvents();
        QCOMPARE(written.size(), 4);
        QCOMPARE(pty.readAvailable(), block + StopFrame + off + read);
    }

    // The errors of a device that went away (an adapter pulled out, a read or write the system
    // refused) close the port and say so; others do not.
    void aGoneDeviceFailsThePort_data()
    {
        columns<int, bool>("error", "fails");
        row("resource", int(QSerialPort::ResourceError), true);
        row("read", int(QSerialPort::ReadError), true);
        row("write", int(QSerialPort::WriteError), true);
        row("timeout", int(QSerialPort::TimeoutError), false);
        row("none", int(QSerialPort::NoError), false);
    }
    void aGoneDeviceFailsThePort()
    {
        QFETCH(int, error);
        QFETCH(bool, fails);
        Pty pty;
        CommPort port;
        port.setCatalogue({pty.device()});
        QVERIFY(port.open());
        QSignalSpy failed(&port, &CommPort::failed);
        emit port.findChild<QSerialPort *>()->errorOccurred(QSerialPort::SerialPortError(error));
        QCoreApplication::processEvents();
        QCOMPARE(failed.count(), int(fails));
        QCOMPARE(port.isOpen(), !fails);
    }

    // While a program is on its way, or the main window waits for a reply, nothing changes the
    // program or the connection: refused with one message, and the transfer goes on to its end.
    void aProgramOnItsWayIsLeftAlone_data()
    {
        columns<QString, QString>("during", "click");
        row("工程读取 during a download", "download", "Cmd5");
        row("新建工程 during a download", "download", "Command5");
        row("a cell during a download", "download", "cell");
        row("typing a line count during a download", "download", "Text1");
        row("下载工程 during an upload", "upload", "Command8");
        row("保存工程 during an upload", "upload", "Command7");
        row("清除工程 during an upload", "upload", "Command6");
        row("插入代码行 during an upload", "upload", "Command1");
        row("lines deleted during a download", "download", "lines:Delete");
        row("lines pasted during an upload", "upload", "lines:Ctrl+V");
        row("打开工程 inside the read button's wait", "count", "Command10");
        row("连接控制器 inside a probe's wait", "probe", "Cmd1");
    }
    void aProgramOnItsWayIsLeftAlone()
    {
        QFETCH(QString, during);
        QFETCH(QString, click);
        ToolRig rig(30, during != "probe");
        rig.w.status().setAutoRun(false);
        const QByteArray program = rig.image();
        rig.prompter.fileNames.enqueue(QStringLiteral("/nonexistent/x"));
        // The click comes while the second block (or the count, or a probe) is on its way.
        const QByteArray head = fromHex(during == "count" || during == "probe" ? "01 03 21" : "01 10 00 78");
        const QByteArray upload = fromHex("01 03 00 78");
        bool clicked = false;
        rig.filter = [&](const QByteArray &request, const QByteArray &reply) {
            if (clicked || !(request.startsWith(head) || (during == "upload" && request.startsWith(upload))))
                return reply;
            clicked = true;
            QTimer::singleShot(0, &rig.controller(), [&] {
                if (click == "cell")
                    rig.w.MSFlexGrid1->setCurrentCell(25, 4), emit rig.w.MSFlexGrid1->clicked();
                else if (click == "Text1")
                    QTest::keyClick(rig.w.Text1, Qt::Key_9);
                else if (click.startsWith("lines:"))  // lines 3 to 5 selected by their numbers
                    rig.w.findChild<LineSelection *>()->select(3, 5),
                        QTest::keySequence(rig.w.MSFlexGrid1, QKeySequence(click.section(u':', 1)));
                else
                    QTest::mouseClick(rig.w.findChild<QPushButton *>(click), Qt::LeftButton);
            });
            QTimer::singleShot(100, &rig.controller(), [&rig, reply] { rig.pty().write(reply); });
            return QByteArray();
        };
        if (during == "download")
            QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        else if (during == "probe")
            rig.start();
        else
            QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_VERIFY(clicked);
        QVERIFY(rig.idle());
        QTRY_VERIFY(!rig.w.transfer().downloading() && !rig.w.transfer().uploading());
        QCOMPARE(rig.prompter.messages, QStringList{Transferring});
        QVERIFY(rig.prompter.fileRequests.isEmpty() && rig.w.Combo1->isHidden() && rig.w.Text2->isHidden());
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("30"));
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
        QCOMPARE(rig.image().mid(2, 24 * 30), rig.program(30));
        if (during == "download")
            QCOMPARE(rig.image(), program);
    }

    // A user's disconnect takes an open screen away quietly, as its return button would; a
    // transfer ends as on a port failure, with its own message.
    void disconnecting_data()
    {
        columns<int, QString>("screen", "message");
        row("manual screen open", int(RunControl::Manual), QString());
        row("parameter screen open", int(RunControl::Parameters), QString());
        row("interpolation screen open", int(RunControl::Interpolation), QString());
        row("during a download", -1, Unfinished);
        row("during an upload", -2, QStringLiteral("程序读取没有完成，工程没有改变！"));
        row("inside a run control's pause", -3, QString());  // the command goes quietly
    }
    void disconnecting()
    {
        QFETCH(int, screen);
        QFETCH(QString, message);
        ToolRig rig(30);
        rig.w.status().setAutoRun(false);
        const QByteArray program = rig.image();
        rig.storeProgram(20);
        if (screen >= 0)
            QVERIFY(rig.open(RunControl::Screen(screen)));
        else if (screen > -3)
            QTest::mouseClick(screen == -1 ? rig.w.Command8 : rig.w.Cmd5, Qt::LeftButton);
        QTRY_VERIFY(screen >= 0 || screen == -3 || rig.state.BlocksDone >= 1);
        const int from = rig.mark();
        if (screen == -3)  // "控制器存数据", and the disconnect 10 ms into its pause
            QTimer::singleShot(10, &rig.controller(), [&] { QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton); });
        QTest::mouseClick(screen == -3 ? rig.w.Command12 : rig.w.Cmd1, Qt::LeftButton);
        QCOMPARE(rig.since(from, 5), QStringList());
        QSignalSpy ticks(rig.w.Timer1, &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 5);
        QCOMPARE(rig.prompter.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(!rig.w.port().isOpen() && rig.w.Cmd1->text() == QStringLiteral("连接控制器"));
        for (RunControl::Screen s : {RunControl::Manual, RunControl::Parameters, RunControl::Interpolation})
            QVERIFY(!rig.w.runControl().screen(s)->isLoaded());
        QCOMPARE(rig.image(), program);
    }
    // "程序校验" reads the controller's program into a buffer of its own and compares: the count,
    // then each line; a stop or a port failure ends it, said so. The program is never touched.
    void verifyInTheWindow_data()
    {
        columns<QString, QString>("how", "message");
        row("equal", "equal", "程序校验一致：共 25 行。");
        row("the controller holds more lines", "count", "程序校验不一致：行数：工程 25，控制器 27。共 2 行不同。");
        row("a record differs", "record", "程序校验不一致：第 13 行 参数1：工程 278073.49，控制器 278073.494。共 1 行不同。");
        row("stopped", "stop", "程序校验没有完成！");
        row("the port fails", "port", "程序校验没有完成！");
    }
    void verifyInTheWindow()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        ToolRig rig(25);
        const QByteArray program = rig.image();
        if (how == "count")
            rig.storeProgram(27);
        if (how == "record")
            rig.registers[12 * 12 + 2] = quint16(rig.registers.value(12 * 12 + 2) + 4);
        auto *row = rig.w.findChild<TransferProgress *>();
        QStringList shown;
        rig.filter = [&](const QByteArray &request, const QByteArray &reply) {
            shown << (row->isHidden() ? QString() : row->label()->text());
            if (request.startsWith(fromHex("01 03 00 78")) && how == "stop")
                QTimer::singleShot(0, &rig.controller(), [&] { QTest::mouseClick(rig.w.Command14, Qt::LeftButton); });
            if (request.startsWith(fromHex("01 03 00 78")) && how == "port")
                QTimer::singleShot(0, &rig.controller(), [&] { rig.hangUp(); });
            return reply;
        };
        const int from = rig.mark();
        // Each block is asked for once the one before is in, never on a tick: with Timer1 standing
        // still the verify reads to its end all the same.
        if (how == "equal")
            rig.w.Timer1->stop();
        QTest::mouseClick(rig.w.Command15, Qt::LeftButton);
        QCOMPARE(BackColor(rig.w.Command15), Green);
        QTRY_VERIFY(!rig.w.verify().running());
        QCOMPARE(rig.prompter.messages.last(), message);
        QCOMPARE(BackColor(rig.w.Command15), QColor(255, 255, 192));
        QCOMPARE(rig.image(), program);
        QCOMPARE(rig.since(from).value(0), QStringLiteral("01 03 21 9C 00 01 4E 18"));
        if (how == "equal") {
            QCOMPARE(shown.value(1), QStringLiteral("校验 0/25"));
            QCOMPARE(rig.since(from).size(), 4);
        }
    }
};

QTEST_MAIN(TstLink)
#include "tst_link.moc"
