// Replies and transfers: the acceptance rules, the watchdog, upload and download against a
// scripted controller on a pseudo-terminal, and the run-control commands.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "FakeController.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/FlexGrid.h"
#include "screens/SubScreen.h"
#include "ui/Widgets.h"

namespace {
struct Rig {
    Pty pty;
    FakeController controller{pty};
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{pty.device()}};

    explicit Rig(int storedLines = 0, quint16 runMode = 0)
    {
        controller.registers[8573] = runMode;
        controller.registers[8604] = quint16(storedLines);
        for (int i = 0; i < 12 * storedLines; ++i)
            controller.registers[i] = quint16(0x1000 + i);
        w.Form_Load();
    }
    bool idle(int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (state.RequestTag != 0 && t.elapsed() < ms)
            QTest::qWait(10);
        return state.RequestTag == 0;
    }
    // The register image of the controller, as bytes from register 0.
    QByteArray controllerProgram(int lines) const
    {
        QByteArray out;
        for (int i = 0; i < 12 * lines; ++i) {
            const quint16 v = controller.registers.value(i);
            out.append(char(v >> 8));
            out.append(char(v & 0xFF));
        }
        return out;
    }
    QByteArray image(int lines) const
    {
        return QByteArray(reinterpret_cast<const char *>(state.ProgramImage.data()) + 2, 24 * lines);
    }
};

QString requestHead(const QByteArray &frame)
{
    return hex(frame.left(6));
}
}  // namespace

class TstReplies : public QObject {
    Q_OBJECT
private slots:
    void acceptanceRules()
    {
        Rig rig;
        QVERIFY(rig.idle());
        ReceiveHandler &h = rig.w.receiveHandler();
        // Ask for the run mode without a reply, then feed replies by hand.
        rig.controller.silent = true;
        auto ask = [&] {
            rig.w.link().ReadRegisters(12, 8573, 1);
        };
        ask();
        const QByteArray good = FakeController::readReply(1, {0x0101});
        QByteArray badCrc = good;
        badCrc[6] = char(badCrc[6] ^ 0x5A);
        rig.state.PortErrorFlag = 1;
        rig.state.NoReplyTicks = 4;
        h.handleReply(badCrc);
        QCOMPARE(rig.state.RequestTag, std::int16_t(12));    // a corrupted reply is not taken
        QCOMPARE(rig.state.PortErrorFlag, std::int16_t(0));  // but it shows the line is alive
        QCOMPARE(rig.state.NoReplyTicks, std::int16_t(0));
        h.handleReply(FakeController::readReply(2, {1}));             // another slave
        h.handleReply(FakeController::withCrc(fromHex("01 83 02")));  // an exception
        h.handleReply(FakeController::readReply(1, {1, 2}));          // two registers where one was asked
        h.handleReply(good + good);                                   // two replies run together
        QCOMPARE(rig.state.RequestTag, std::int16_t(12));
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        h.handleReply(good);  // 0x0101: only the low byte counts
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
        ask();
        h.handleReply(FakeController::readReply(1, {0x0100}));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
        // A reply with no request outstanding fits no rule.
        h.handleReply(FakeController::readReply(1, {1}));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
        // Too short to test at all.
        h.handleReply(QByteArray(1, '\x01'));
        h.handleReply(QByteArray());
    }

    void staleBytesDoNotSpoilTheNextReply()
    {
        Rig rig(3);
        QVERIFY(rig.idle());
        // Half a reply of an abandoned request is still waiting when the next one goes out.
        rig.controller.silent = true;
        rig.pty.write(FakeController::readReply(1, {1, 2, 3}).left(5));
        QTest::qWait(50);
        rig.controller.silent = false;
        rig.controller.registers[8604] = 7;
        rig.w.port().setCatalogue({rig.pty.device()});
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("7"));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void screenRepliesLandInTheirArrays()
    {
        Rig rig;
        QVERIFY(rig.idle());
        rig.controller.silent = true;
        QList<quint16> status;
        for (int i = 0; i < 51; ++i)
            status << quint16(i * 3);
        rig.w.link().ReadRegisters(20, 8559, 51);
        int seen = 0;
        rig.w.receiveHandler().screenReplyAccepted = [&](int tag) { seen = tag; };
        rig.w.receiveHandler().handleReply(FakeController::readReply(1, status));
        QCOMPARE(rig.state.RequestTag, std::int16_t(21));
        QCOMPARE(seen, 20);
        QCOMPARE(rig.state.ManualReplyBytes[2 * 50 + 1], std::uint8_t(150));
        // A parameter read larger than its array never writes past it.
        rig.w.link().ReadRegisters(50, 8192, 120);
        QList<quint16> many(120, 0xABCD);
        rig.w.receiveHandler().handleReply(FakeController::readReply(1, many));
        QCOMPARE(rig.state.RequestTag, std::int16_t(51));
        QCOMPARE(rig.state.ParamReplyBytes[77], std::uint8_t(0xCD));
    }

    void uploadOfTwentyFiveLines()
    {
        Rig rig(25);
        QVERIFY(rig.idle());
        QCOMPARE(rig.image(25), rig.controllerProgram(25));
        QCOMPARE(BackColor(rig.w.Cmd5), colors::LightYellow);
        QStringList reads;
        for (const QByteArray &f : rig.controller.requests)
            reads << requestHead(f);
        QCOMPARE(reads, (QStringList{"01 03 21 7D 00 01", "01 03 21 9C 00 01", "01 03 00 00 00 78", "01 03 00 78 00 78",
                                     "01 03 00 F0 00 3C"}));
        // Rows 21 to 25 come from the last reply: register 12 (r - 1) + 2 holds parameter 1's
        // low word, so row r shows (0x1000 + 12 (r - 1) + 2 + 65536 * (0x1000 + 12 (r - 1) + 3)) / 1000.
        for (int r = 21; r <= 25; ++r) {
            const qint64 lo = 0x1000 + 12 * (r - 1) + 2, hi = 0x1000 + 12 * (r - 1) + 3;
            const qint64 raw = hi * 65536 + lo;
            QCOMPARE(rig.w.MSFlexGrid1->textMatrix(r, 3).remove(u'.'),
                     QString::number(raw).remove(QRegularExpression("0+$")));
        }

        // The read button does it again, from the line count on.
        rig.controller.requests.clear();
        rig.controller.registers[8604] = 12;
        rig.controller.registers[140] = 0xBEEF;
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Text1->text(), QStringLiteral("12"));
        QCOMPARE(rig.w.MSFlexGrid1->rows(), 13);
        QCOMPARE(rig.image(12), rig.controllerProgram(12));
        QCOMPARE(rig.controller.requests.size(), 3);
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void watchdogAbandonsAnUnansweredRequest()
    {
        Rig rig(25);
        QVERIFY(rig.idle());
        rig.controller.silent = true;
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);  // the count goes unanswered
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口存在，但控制器没有连接上！")});
        QVERIFY(!rig.w.port().isOpen());

        // A block that never comes: the watchdog gives up after six ticks, the button stays
        // green, and the next transfer works.
        Rig again(25);
        QVERIFY(again.idle());
        again.controller.tamper = [](const QByteArray &request, const QByteArray &reply) {
            return request.startsWith(fromHex("01 03 00 78")) ? QByteArray() : reply;
        };
        again.prompter.clear();
        QTest::mouseClick(again.w.Cmd5, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(again.state.RequestTag, std::int16_t(2), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(again.state.BlockIndex, std::int16_t(2), 3000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(again.idle(5000));
        QVERIFY(clock.elapsed() >= 400);
        QCOMPARE(BackColor(again.w.Cmd5), colors::Green);
        QVERIFY(again.prompter.messages.isEmpty());
        again.controller.tamper = nullptr;
        QTest::mouseClick(again.w.Cmd5, Qt::LeftButton);
        QVERIFY(again.idle());
        QCOMPARE(BackColor(again.w.Cmd5), colors::LightYellow);
    }

    void watchdogIdlesWhileAScreenIsLoaded()
    {
        Rig rig;
        QVERIFY(rig.idle());
        rig.controller.silent = true;
        rig.state.ManualScreenActive = 1;
        rig.state.RequestTag = 20;
        QTest::qWait(1000);
        QCOMPARE(rig.state.RequestTag, std::int16_t(20));
    }

    void downloadOfElevenLines()
    {
        Rig rig;
        QVERIFY(rig.idle());
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        rig.w.Text1->setText(QStringLiteral("11"));
        for (int i = 0; i < 11 * 24; ++i)
            rig.state.ProgramImage[std::size_t(2 + i)] = std::uint8_t(i * 7);
        rig.controller.requests.clear();
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);  // a second click while it runs
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("此次操作没有成功！")});
        rig.prompter.clear();
        QTRY_COMPARE_WITH_TIMEOUT(rig.controller.requests.size(), 3, 5000);
        QVERIFY(rig.idle());
        QCOMPARE(requestHead(rig.controller.requests[0]), QStringLiteral("01 06 21 9C 00 0B"));
        QCOMPARE(requestHead(rig.controller.requests[1]), QStringLiteral("01 10 00 00 00 78"));
        QCOMPARE(requestHead(rig.controller.requests[2]), QStringLiteral("01 10 00 78 00 0C"));
        QCOMPARE(rig.controllerProgram(11), rig.image(11));
        QCOMPARE(rig.controller.registers[8604], quint16(11));
        QCOMPARE(BackColor(rig.w.Command8), colors::LightYellow);
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void downloadRefusals()
    {
        Rig rig;
        QVERIFY(rig.idle());
        rig.controller.requests.clear();
        rig.w.Command13->setText(QStringLiteral("上电自运行"));
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        for (const char *count : {"0", "-3", "501"}) {
            rig.w.Text1->setText(QString::fromLatin1(count));
            QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
        }
        QCOMPARE(
            rig.prompter.messages,
            (QStringList{QStringLiteral("请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！"),
                         QStringLiteral("行数输入不正确！"), QStringLiteral("行数输入不正确！"),
                         QStringLiteral("行数输入不正确！")}));
        QTest::qWait(150);
        QVERIFY(rig.controller.requests.isEmpty());
        QVERIFY(rig.w.Timer1->isActive());
    }

    void emergencyStopIsNeverRefused()
    {
        Rig rig(25);
        QVERIFY(rig.idle());
        rig.controller.tamper = [](const QByteArray &request, const QByteArray &reply) {
            return request.startsWith(fromHex("01 03 00 78")) ? QByteArray() : reply;
        };
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.state.BlockIndex, std::int16_t(2), 3000);
        QCOMPARE(rig.state.RequestTag, std::int16_t(2));
        rig.controller.requests.clear();
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QVERIFY(rig.prompter.messages.isEmpty());
        QTRY_VERIFY(!rig.controller.requests.isEmpty());
        QCOMPARE(hex(rig.controller.requests[0]), QStringLiteral("01 05 00 10 FF 00 8D FF"));
        QVERIFY(rig.idle());
        QCOMPARE(BackColor(rig.w.Command14), colors::Red);

        // With the port closed nothing is sent.
        rig.w.port().close();
        rig.controller.requests.clear();
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口无效，无法通信！")});
        QTest::qWait(50);
        QVERIFY(rig.controller.requests.isEmpty());
    }

    void powerOnRunToggleAndSave()
    {
        Rig rig(0, 0);
        QVERIFY(rig.idle());
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
        rig.controller.requests.clear();
        rig.controller.silent = true;  // the acknowledgement is lost
        QTest::mouseClick(rig.w.Command13, Qt::LeftButton);
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
        QCOMPARE(hex(rig.controller.requests.value(0)), QStringLiteral("01 06 21 7D 00 01 D2 2E"));
        QTest::mouseClick(rig.w.Command13, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("此次操作没有成功！")});
        QVERIFY(rig.idle(3000));  // the watchdog frees the line
        rig.controller.silent = false;
        QTest::mouseClick(rig.w.Command12, Qt::LeftButton);
        QCOMPARE(hex(rig.controller.requests.last()), QStringLiteral("01 05 00 22 FF 00 2C 30"));
        QVERIFY(rig.idle());
        QCOMPARE(BackColor(rig.w.Command12), colors::Apricot);
    }

    void screenGuards()
    {
        Rig rig(0, 1);
        QVERIFY(rig.idle());
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages,
                 QStringList{QStringLiteral("请将运行设置：更改为上电不自动运行，再进入参数设置界面！")});
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(0));
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        QTest::mouseClick(rig.w.Cmd4, Qt::LeftButton);
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(1));
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(1));
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(0));
        auto *manual = rig.w.runControl().screen(RunControl::Manual);
        QCOMPARE(manual->windowTitle(), QStringLiteral("手控操作界面"));
        QVERIFY(manual->isVisible());
        QTest::mouseClick(rig.w.Command9, Qt::LeftButton);
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(0));
        QCOMPARE(rig.state.InterpScreenActive, std::int16_t(1));
        rig.w.port().close();
        rig.prompter.clear();
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口无效！")});
        // Closing the main window closes the open screen with it.
        rig.w.show();
        rig.w.close();
        QVERIFY(!rig.w.runControl().screen(RunControl::Interpolation)->isVisible());
        QCOMPARE(rig.state.InterpScreenActive, std::int16_t(0));
    }
};

QTEST_MAIN(TstReplies)
#include "tst_replies.moc"
