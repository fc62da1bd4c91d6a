// The request frames as they reach the wire, and the one error path of the senders.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "Pty.h"
#include "RecordingPrompter.h"
#include "link/Crc.h"
#include "mainwindow/Mainfrm.h"
#include "ui/CommPort.h"
#include "ui/NumberText.h"
#include "ui/WaitMs.h"

class TstRequests : public QObject {
    Q_OBJECT

    struct Rig {
        Pty pty;
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm window{state, prompter, QStringList{pty.device()}};
        Rig()
        {
            window.port().setCommPort(1);
            window.port().open();
            state.PortOpenFlag = 1;
        }
        QByteArray sent() { return pty.readFrame(1 << 20, 200); }
    };

private slots:
    void workedFrames_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<QString>("bytes");
        QTest::newRow("read 8573") << 3 << 8573 << 1 << "01 03 21 7D 00 01 1E 2E";
        QTest::newRow("read 8604") << 3 << 8604 << 1 << "01 03 21 9C 00 01 4E 18";
        QTest::newRow("read 120 at 0") << 3 << 0 << 120 << "01 03 00 00 00 78 45 E8";
        QTest::newRow("coil 34 on") << 5 << 34 << 1 << "01 05 00 22 FF 00 2C 30";
        QTest::newRow("coil 16 on") << 5 << 16 << 1 << "01 05 00 10 FF 00 8D FF";
        QTest::newRow("8573 := 1") << 6 << 8573 << 1 << "01 06 21 7D 00 01 D2 2E";
        QTest::newRow("8573 := 0") << 6 << 8573 << 0 << "01 06 21 7D 00 00 13 EE";
        QTest::newRow("8604 := 1") << 6 << 8604 << 1 << "01 06 21 9C 00 01 82 18";
        QTest::newRow("256 high byte first") << 6 << 8573 << 256 << "01 06 21 7D 01 00";
    }
    void workedFrames()
    {
        QFETCH(int, kind);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QString, bytes);
        Rig rig;
        QVERIFY(rig.pty.ok());
        ModbusLink &link = rig.window.link();
        if (kind == 3)
            link.ReadRegisters(1, a, b);
        else if (kind == 5)
            link.SendCoilOn(1, a);
        else
            link.SendRegister(1, a, b);
        const QByteArray wire = rig.sent();
        QVERIFY2(hex(wire).startsWith(bytes), qPrintable(hex(wire)));
        QCOMPARE(wire.size(), 8);
        QVERIFY(CrcMatches(wire));
        QCOMPARE(rig.prompter.messages.size(), 0);
    }

    void coilOffAndBlockFrames()
    {
        Rig rig;
        rig.window.link().SendCoilOff(1, 4);
        QCOMPARE(hex(rig.sent()), QStringLiteral("01 05 00 04 00 00 8C 0B"));

        // The one-line program of the download example: category 1, command 5, 1.5.
        ProgramBytes &img = rig.state.ProgramImage;
        img.fill(0);
        img[3] = 1;
        img[5] = 5;
        img[6] = 0x05;
        img[7] = 0xDC;
        rig.state.BlockIndex = 1;
        rig.window.link().WriteProgramBlock(0, 12);
        const QByteArray wire = rig.sent();
        QCOMPARE(hex(wire.left(15)), QStringLiteral("01 10 00 00 00 0C 18 00 01 00 05 05 DC 00 00"));
        QCOMPARE(wire.size(), 9 + 24);
        QCOMPARE(wire.mid(15, 16), QByteArray(16, '\0'));
        QCOMPARE(hex(wire.right(2)), QStringLiteral("2D C0"));
    }

    void argumentsOutsideRangeTakeTheErrorPath()
    {
        for (int bad : {-1, 32768, 65535}) {
            Rig rig;
            rig.window.Label3->clear();
            rig.window.Cmd1->setText(QStringLiteral("断开控制器"));
            rig.state.RequestTag = 11;
            QVERIFY(!rig.window.link().SendRegister(11, 8573, bad));
            QCOMPARE(rig.sent(), QByteArray());
            QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口出错！")});
            QCOMPARE(rig.window.Label3->text(), QStringLiteral("控制器没有连接！"));
            QCOMPARE(rig.window.Cmd1->text(), QStringLiteral("连接控制器"));
            // The request is forgotten and the port closed.
            QCOMPARE(rig.state.RequestTag, std::int16_t(0));
            QCOMPARE(rig.state.PortErrorFlag, std::int16_t(0));
            QVERIFY(!rig.window.port().isOpen());
        }
    }

    void nothingIsWrittenBeforeAPortWasOpened()
    {
        Rig rig;
        rig.state.PortOpenFlag = 0;
        rig.window.link().ReadRegisters(1, 8573, 1);
        QCOMPARE(rig.sent(), QByteArray());
        QVERIFY(rig.prompter.messages.isEmpty());
        // The frame is built all the same, CRC included.
        QCOMPARE(hex(rig.window.link().TxFrame()), QStringLiteral("01 03 21 7D 00 01 1E 2E"));
    }

    void sendOnAClosedPortFails()
    {
        Rig rig;
        rig.window.port().close();
        QVERIFY(!rig.window.link().SendCoilOn(13, 16));
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口出错！")});
        // The program block writer closes the port in its own error path.
        Rig rig2;
        rig2.state.BlockIndex = 51;  // past the image: refused, never read out of bounds
        rig2.window.link().WriteProgramBlock(6000, 120);
        QCOMPARE(rig2.sent(), QByteArray());
        QVERIFY(!rig2.window.port().isOpen());
    }

    void crcOfAllBytes()
    {
        // CRC-16/MODBUS check value.
        QCOMPARE(ModbusCrc(QByteArray("123456789")), std::uint16_t(0x4B37));
        QVERIFY(!CrcMatches(fromHex("01 03 21 7D 00 01 2E 1E")));
    }

    void waitMsHandlesEventsWithoutSpinning()
    {
        int fired = 0;
        QTimer::singleShot(0, [&] { ++fired; });
        WaitMs(0);
        QCOMPARE(fired, 0);  // no event is handled by a zero wait
        QElapsedTimer clock;
        clock.start();
        std::clock_t cpu0 = std::clock();
        WaitMs(120);
        QVERIFY(clock.elapsed() >= 120);
        QCOMPARE(fired, 1);
        // A sleeping wait uses a small fraction of the elapsed time on the CPU.
        const double cpuMs = 1000.0 * double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 60, qPrintable(QString::number(cpuMs)));
    }

    void numericValueOfText()
    {
        QCOMPARE(NumericValue(QStringLiteral("12.5mm")), 12.5);
        QCOMPARE(NumericValue(QStringLiteral("1/2")), 1.0);
        QCOMPARE(NumericValue(QStringLiteral("-")), 0.0);
        QCOMPARE(NumericValue(QString()), 0.0);
        QCOMPARE(NumericValue(QStringLiteral("-0.5.3")), -0.5);
        QCOMPARE(NumericValue(QStringLiteral("1-2")), 1.0);
        QVERIFY(NumericValue(QString(400, u'9')) > 1e300);
        QCOMPARE(RoundHalfEven(2.5), 2.0);
        QCOMPARE(RoundHalfEven(3.5), 4.0);
        QCOMPARE(RoundHalfEven(-2.5), -2.0);
    }
};

QTEST_MAIN(TstRequests)
#include "tst_requests.moc"
