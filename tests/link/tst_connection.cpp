// Finding the controller: the port scan over real pseudo-terminals, the handshake, the
// start-up variants and the connect button.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "FakeController.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "mainwindow/Mainfrm.h"
#include "ui/CommPort.h"
#include "ui/FlexGrid.h"
#include "ui/Widgets.h"
#include "ui/Colors.h"
#include "ui/PortCatalogue.h"

namespace {
const QString NoController = QStringLiteral("串口存在，但控制器没有连接上！");

QStringList missing(int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QStringLiteral("/nonexistent/tty%1").arg(i);
    return out;
}
}  // namespace

class TstConnection : public QObject {
    Q_OBJECT
private slots:
    void onlyPortFiveExists()
    {
        Pty pty;
        FakeController controller(pty);
        controller.silent = true;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, missing(4) << pty.device());
        w.Form_Load();
        QCOMPARE(w.port().commPort(), 5);
        QCOMPARE(controller.requests.size(), 1);
        QCOMPARE(hex(controller.requests[0]), QStringLiteral("01 03 21 7D 00 01 1E 2E"));
        QCOMPARE(prompter.messages, QStringList{NoController});
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器没有连接！"));
        QVERIFY(!w.port().isOpen());
        // A controller that did not answer leaves both timers off.
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(!w.Timer2->isActive());
    }

    void silentDeviceOnPortOneStopsTheScan()
    {
        Pty first, second;
        FakeController silentOne(first), other(second);
        silentOne.silent = true;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{first.device(), second.device()});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(w.connection().ConnectController(), Connection::Outcome::NoController);
        QVERIFY(clock.elapsed() >= 300);
        QCOMPARE(w.port().commPort(), 1);
        QCOMPARE(silentOne.requests.size(), 1);
        QCOMPARE(other.requests.size(), 0);
        QCOMPARE(prompter.messages, QStringList{NoController});
        QVERIFY(!w.port().isOpen());
    }

    void noPortAtAll()
    {
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{});
        w.Form_Load();
        QCOMPARE(prompter.messages, QStringList{QStringLiteral("没有找到有效的串口！")});
        QCOMPARE(prompter.titles, QStringList{QStringLiteral("")});
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器没有连接！"));
        QVERIFY(w.Timer1->isActive());
        QVERIFY(!w.Timer2->isActive());
        QCOMPARE(w.MSFlexGrid1->rows(), 501);
        QCOMPARE(w.MSFlexGrid1->textMatrix(0, 1), QStringLiteral("指令集"));
        QCOMPARE(w.MSFlexGrid1->textMatrix(0, 7), QStringLiteral("参数5"));
        QCOMPARE(w.MSFlexGrid1->textMatrix(1, 0), QString());  // no line numbers without a controller
    }

    void handshakeReadsRunModeCountAndFirstBlock_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("firstRead");
        QTest::addColumn<int>("blocks");
        QTest::newRow("none") << 0 << QString() << 0;
        QTest::newRow("10 lines") << 10 << QStringLiteral("01 03 00 00 00 78") << 1;
        QTest::newRow("11 lines") << 11 << QStringLiteral("01 03 00 00 00 78") << 2;
        QTest::newRow("23 lines") << 23 << QStringLiteral("01 03 00 00 00 78") << 3;
        QTest::newRow("3 lines") << 3 << QStringLiteral("01 03 00 00 00 24") << 1;
    }
    void handshakeReadsRunModeCountAndFirstBlock()
    {
        QFETCH(int, lines);
        QFETCH(QString, firstRead);
        QFETCH(int, blocks);
        Pty pty;
        FakeController controller(pty);
        controller.registers[8573] = 0x0100;  // only the low byte counts: auto-run off
        controller.registers[8604] = quint16(lines);
        controller.tamper = [](const QByteArray &request, const QByteArray &reply) {
            // Hold the program back so that the first block request stays outstanding.
            return request.startsWith(fromHex("01 03 00 00")) ? QByteArray() : reply;
        };
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{pty.device()});
        w.Form_Load();
        QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messages.join(u'|')));
        QCOMPARE(w.Command13->text(), QStringLiteral("上电后不自动运行"));
        QCOMPARE(w.Text1->text(), QString::number(lines));
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器已经连接！"));
        QCOMPARE(w.Cmd1->text(), QStringLiteral("断开控制器"));
        QCOMPARE(w.MSFlexGrid1->rows(), lines + 1);
        if (lines)
            QCOMPARE(w.MSFlexGrid1->textMatrix(lines, 0), QString::number(lines));
        QVERIFY(w.Timer1->isActive() && w.Timer2->isActive());
        QCOMPARE(state.ProgramImage[1], std::uint8_t(lines));
        if (firstRead.isEmpty()) {
            QTest::qWait(100);
            QCOMPARE(controller.requests.size(), 2);
            QCOMPARE(state.RequestTag, std::int16_t(0));
        } else {
            QTRY_COMPARE(controller.requests.size(), 3);
            QVERIFY(hex(controller.requests[2]).startsWith(firstRead));
            QCOMPARE(state.RequestTag, std::int16_t(2));
            QCOMPARE(state.BlockCount, std::int16_t(blocks));
            QCOMPARE(BackColor(w.Cmd5), colors::Green);
            QCOMPARE(w.port().rThreshold(), lines <= 10 ? 24 * lines + 5 : 245);
        }
    }

    void disconnectSendsNothingAndReconnectWorks()
    {
        Pty pty;
        FakeController controller(pty);
        controller.registers[8573] = 1;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{pty.device()});
        w.Form_Load();
        QCOMPARE(w.Command13->text(), QStringLiteral("上电自运行"));
        QCOMPARE(w.Cmd1->text(), QStringLiteral("断开控制器"));
        const int before = int(controller.requests.size());
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(!w.port().isOpen());
        QCOMPARE(w.Cmd1->text(), QStringLiteral("连接控制器"));
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器没有连接！"));
        QVERIFY(w.Timer1->isActive() && w.Timer2->isActive());
        QTest::qWait(50);
        QCOMPARE(int(controller.requests.size()), before);

        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(w.port().isOpen());
        QCOMPARE(w.Cmd1->text(), QStringLiteral("断开控制器"));
        QTRY_COMPARE(int(controller.requests.size()), before + 2);
    }

    void failedConnectFromTheButtonLeavesTimersOff()
    {
        Pty pty;
        FakeController controller(pty);
        controller.silent = true;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{pty.device()});
        w.Timer1->start();
        w.Timer2->start();
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QCOMPARE(prompter.messages, QStringList{NoController});
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(!w.Timer2->isActive());
    }

    void aLineCountAboveFiveHundredIsNotTaken()
    {
        Pty pty;
        FakeController controller(pty);
        controller.registers[8604] = 501;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{pty.device()});
        w.Text1->setText(QStringLiteral("7"));
        w.Form_Load();
        QCOMPARE(prompter.messages.size(), 1);
        QVERIFY(prompter.messages[0].contains(QStringLiteral("501")));
        QCOMPARE(w.Text1->text(), QStringLiteral("7"));
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器已经连接！"));
        QCOMPARE(controller.requests.size(), 2);  // no block is asked for
        QCOMPARE(w.MSFlexGrid1->rows(), 501);
    }

    void portNumbersFollowTheSystemOrder()
    {
        const QStringList sorted = PortCatalogue::order({QStringLiteral("/dev/ttyS1"), QStringLiteral("/dev/ttyACM0"),
                                                         QStringLiteral("/dev/ttyUSB10"), QStringLiteral("/dev/ttyS0"),
                                                         QStringLiteral("/dev/ttyUSB2")});
        QCOMPARE(sorted, (QStringList{QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyUSB10"),
                                      QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyS0"),
                                      QStringLiteral("/dev/ttyS1")}));
        QCOMPARE(PortCatalogue::build(missing(25)).size(), 20);
    }
};

QTEST_MAIN(TstConnection)
#include "tst_connection.moc"
