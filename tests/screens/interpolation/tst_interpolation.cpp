// The interpolation test screen against a scripted controller on a pseudo-terminal: the
// settings it writes, the arc direction, the display of positions, the move and stop
// coils, a move that cuts into the refresh, and the watchdog.
#include <QtTest>

#include "FakeController.h"
#include "InterpTestSupport.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "ui/Colors.h"
#include "ui/Widgets.h"

using namespace interp;

namespace {
const QByteArray ReadA = fromHex("01 03 21 6F 00 0C");  // 12 registers from 8559
const QByteArray ReadB = fromHex("01 03 21 A2 00 0D");  // 13 registers from 8610

struct Rig {
    Pty pty;
    FakeController controller{pty};
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{pty.device()}};
    InterpolationScreen *form = nullptr;
    QList<int> accepted;  // tags of the replies the screen was told about, in order
    int openMark = 0;     // requests seen before the screen was opened

    Rig()
    {
        controller.registers[8573] = 0;  // no power-on auto-run: the screen may open
        controller.registers[8604] = 0;
        w.Form_Load();
        QElapsedTimer t;
        t.start();
        while (state.RequestTag != 0 && t.elapsed() < 5000)
            QTest::qWait(10);
        auto forward = w.receiveHandler().screenReplyAccepted;
        w.receiveHandler().screenReplyAccepted = [this, forward](int tag) {
            accepted << tag;
            forward(tag);
        };
        openMark = int(controller.requests.size());
        form = openScreen(w);
    }

    // Requests seen from index `from` on whose function is `function`.
    QList<QByteArray> since(int from, int function) const
    {
        QList<QByteArray> out;
        for (int i = from; i < controller.requests.size(); ++i)
            if (quint8(controller.requests[i][1]) == function)
                out << controller.requests[i];
        return out;
    }
    // Index of the first request from `from` on with this head, or -1.
    int find(const QByteArray &head, int from = 0) const
    {
        for (int i = std::max(from, 0); from >= 0 && i < controller.requests.size(); ++i)
            if (interp::head(controller.requests[i]) == head)
                return i;
        return -1;
    }
    int mark() const { return int(controller.requests.size()); }
};

QByteArray frame(const char *text)
{
    return FakeController::withCrc(fromHex(text));
}
}  // namespace

class TstInterpolation : public QObject {
    Q_OBJECT
private slots:
    void loadingReadsAndReturnStops()
    {
        Rig rig;
        QVERIFY(rig.form && rig.form->isVisible());
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("插补调试界面"));
        QCOMPARE(rig.state.InterpScreenActive, std::int16_t(1));
        // The first request of the screen is read A; the cycle then alternates B and A.
        QTRY_VERIFY(rig.find(ReadA, rig.openMark) == rig.openMark);
        QTRY_VERIFY(rig.find(ReadA, rig.find(ReadB, rig.openMark)) > 0);
        QTRY_VERIFY(rig.accepted.count(150) >= 1 && rig.accepted.count(153) >= 1);
        // Text2 follows the tag: a read is outstanding after every tick that sent one.
        QTRY_VERIFY(rig.form->Text2->text() == QStringLiteral("150") ||
                    rig.form->Text2->text() == QStringLiteral("153"));

        QTest::mouseClick(button(rig.form, 14), Qt::LeftButton);
        QVERIFY(!rig.form->isVisible());
        QVERIFY(!rig.form->isLoaded());
        QCOMPARE(rig.state.InterpScreenActive, std::int16_t(0));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QVERIFY(!rig.form->Timer1->isActive());

        // Opened again, it starts over with read A and fresh boxes.
        box(rig.form, 4)->setText(QStringLiteral("stale"));
        const int again = rig.mark();
        openScreen(rig.w);
        QVERIFY(rig.form->isLoaded());
        QCOMPARE(box(rig.form, 4)->text(), QStringLiteral("0"));
        QTRY_VERIFY(rig.find(ReadA, again) >= again);
        QTRY_VERIFY(rig.find(ReadB, again) > rig.find(ReadA, again));
    }

    void positionsAndSettingsShown()
    {
        Rig rig;
        QMap<int, quint16> &r = rig.controller.registers;
        r[8559] = 0xFC18, r[8560] = 0xFFFF;  // raw 4294966296
        r[8561] = 0x30D4, r[8562] = 0x0000;  // 12500
        r[8563] = 0x0000, r[8564] = 0x8000;  // raw 2147483648
        r[8569] = 0x2710, r[8570] = 0x0000;  // speed 10
        r[8610] = 0xFFFF, r[8611] = 0xFFFF;  // raw 4294967295
        r[8612] = 0xFFFF, r[8613] = 0x7FFF;  // 2147483647
        r[8614] = 0x8000, r[8615] = 0x0000;  // 32768
        r[8616] = 0x0000, r[8617] = 0x30D4;  // 819200000
        r[8622] = 1;
        InterpolationScreen *f = rig.form;
        QTRY_COMPARE(box(f, 0)->text(), QStringLiteral("-1"));
        QCOMPARE(box(f, 1)->text(), QStringLiteral("12.5"));
        QCOMPARE(box(f, 2)->text(), QStringLiteral("-2147483.648"));
        QCOMPARE(box(f, 3)->text(), QStringLiteral("10"));
        QTRY_COMPARE(box(f, 4)->text(), QStringLiteral("-0.001"));
        QCOMPARE(box(f, 5)->text(), QStringLiteral("2147483.647"));
        QCOMPARE(box(f, 6)->text(), QStringLiteral("32.768"));
        QCOMPARE(box(f, 7)->text(), QStringLiteral("819200"));
        QCOMPARE(box(f, 10)->text(), QStringLiteral("1"));
        QCOMPARE(f->findChild<QLabel *>(QStringLiteral("Label1_13"))->text(), QStringLiteral("逆"));

        // The lamp changes on every shown read A: cyan, then the window background again.
        const QColor off = f->Shape2->backgroundColor();
        QTRY_COMPARE(f->Shape2->fillColor(), colors::LightCyan);
        QTRY_COMPARE(f->Shape2->fillColor(), off);
        QTRY_COMPARE(f->Shape2->fillColor(), colors::LightCyan);

        // A direction the controller should not hold is shown, the label keeps its text.
        r[8622] = 7;
        QTRY_COMPARE(box(f, 10)->text(), QStringLiteral("7"));
        QCOMPARE(f->Label1[13]->text(), QStringLiteral("逆"));
    }

    void settingWrites()
    {
        Rig rig;
        InterpolationScreen *f = rig.form;
        QTRY_VERIFY(rig.accepted.contains(153));

        // A click into a setting stops the refresh; ENTER writes, restarts it and hands the
        // focus to the return button.
        QTest::mouseClick(box(f, 4), Qt::LeftButton);
        QVERIFY(!f->Timer1->isActive());
        int mark = rig.mark();
        enter(box(f, 4), QStringLiteral("12.5"));
        QVERIFY(f->Timer1->isActive());
        QCOMPARE(f->focusWidget(), static_cast<QWidget *>(button(f, 14)));
        QTRY_COMPARE(rig.since(mark, 0x10).size(), 1);
        QCOMPARE(hex(rig.since(mark, 0x10).first()), hex(frame("01 10 21 A2 00 02 04 30 D4 00 00")));
        QCOMPARE(rig.controller.registers.value(8610), quint16(12500));
        QCOMPARE(rig.controller.registers.value(8611), quint16(0));
        QTRY_VERIFY(rig.accepted.contains(156));

        // Minus signs and letters are not taken; 250 mm/s goes as 3 x 65536 + 53392.
        enter(box(f, 3), QStringLiteral("-2x5-0"), false);
        QCOMPARE(box(f, 3)->text(), QStringLiteral("250"));
        QTest::keyClick(box(f, 3), Qt::Key_Return);
        QTRY_COMPARE(rig.controller.registers.value(8569), quint16(53392));
        QCOMPARE(rig.controller.registers.value(8570), quint16(3));

        // Each box writes its own pair.
        mark = rig.mark();
        enter(box(f, 9), QStringLiteral("0.0625"));  // 62.5 thousandths: halves go to even
        QTRY_COMPARE(rig.since(mark, 0x10).size(), 1);
        QCOMPARE(hex(rig.since(mark, 0x10).first()), hex(frame("01 10 21 AC 00 02 04 00 3E 00 00")));

        // Above 2147483.647 the pair would carry a negative number: refused, with a message,
        // and nothing goes out; the refresh goes on.
        mark = rig.mark();
        enter(box(f, 6), QStringLiteral("2147483.648"));
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("输入数据出错！")});
        QVERIFY(f->Timer1->isActive());
        enter(box(f, 6), QStringLiteral("99999999999999999999999"));
        QCOMPARE(rig.prompter.count(QStringLiteral("输入数据出错！")), 2);
        // A negative value (pasted, it cannot be typed) is not sent, silently.
        QTest::mouseClick(box(f, 7), Qt::LeftButton);
        box(f, 7)->setText(QStringLiteral("-3"));
        QTest::keyClick(box(f, 7), Qt::Key_Return);
        // ESC writes nothing and lets the refresh put the controller's value back.
        enter(box(f, 5), QStringLiteral("77"), false);
        QTest::keyClick(box(f, 5), Qt::Key_Escape);
        QVERIFY(f->Timer1->isActive());
        QCOMPARE(box(f, 5)->text(), QStringLiteral("77"));
        QTRY_COMPARE(box(f, 5)->text(), QStringLiteral("0"));
        // The largest value that fits goes out; it is the only write since the mark.
        enter(box(f, 6), QStringLiteral("2147483.647"));
        QTRY_COMPARE(rig.controller.registers.value(8614), quint16(0xFFFF));
        QCOMPARE(rig.controller.registers.value(8615), quint16(0x7FFF));
        QCOMPARE(rig.since(mark, 0x10).size(), 1);
        QCOMPARE(hex(head(rig.since(mark, 0x10).first())), hex(fromHex("01 10 21 A6 00 02")));
        QCOMPARE(rig.prompter.messages.size(), 2);
    }

    void arcDirectionEntry()
    {
        Rig rig;
        InterpolationScreen *f = rig.form;
        QLabel *label = f->findChild<QLabel *>(QStringLiteral("Label1_13"));
        QTRY_VERIFY(rig.accepted.contains(153));
        QCOMPARE(label->text(), QStringLiteral("顺"));

        int mark = rig.mark();
        enter(box(f, 10), QStringLiteral("2"));
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("输入数据不在0或1范围内！")});
        enter(box(f, 10), QStringLiteral("1"));
        QTRY_COMPARE(rig.controller.registers.value(8622), quint16(1));
        // One register, the refused 2 never went out.
        QCOMPARE(rig.since(mark, 0x10).size(), 1);
        QCOMPARE(hex(rig.since(mark, 0x10).first()), hex(frame("01 10 21 AE 00 01 02 00 01")));
        // The next read B shows it.
        const int afterWrite = rig.mark();
        QTRY_VERIFY(rig.find(ReadB, afterWrite) >= 0);
        QTRY_COMPARE(label->text(), QStringLiteral("逆"));
        QCOMPARE(box(f, 10)->text(), QStringLiteral("1"));

        // 0.5 rounds to the even 0.
        enter(box(f, 10), QStringLiteral("0.5"));
        QTRY_COMPARE(rig.controller.registers.value(8622), quint16(0));
        QTRY_COMPARE(label->text(), QStringLiteral("顺"));
    }

    void moveButtonsSwitchTheirCoils()
    {
        Rig rig;
        InterpolationScreen *f = rig.form;
        // Arcs XY, XZ, YZ; lines XY, XZ and YZ (39); the emergency stop.
        const int coils[7] = {36, 37, 38, 30, 31, 39, 16};
        for (int i = 0; i < 7; ++i) {
            QTRY_VERIFY(rig.accepted.contains(150));  // the refresh is running
            rig.accepted.clear();
            const int mark = rig.mark();
            QTest::mouseClick(button(f, i), Qt::LeftButton);
            const QByteArray coil = frame(
                QStringLiteral("01 05 00 %1 FF 00").arg(coils[i], 2, 16, QLatin1Char('0')).toLatin1().constData());
            QTRY_COMPARE(rig.since(mark, 0x05).size(), 1);
            QCOMPARE(hex(rig.since(mark, 0x05).first()), hex(coil));
            // After the acknowledgement the refresh resumes with read B.
            const int at = rig.find(head(coil), mark);
            QTRY_VERIFY(rig.since(at, 0x03).size() >= 1);
            QCOMPARE(hex(head(rig.since(at, 0x03).first())), hex(ReadB));
            QCOMPARE(rig.accepted.first(), i < 6 ? 157 : 158);
        }
    }

    void movePressedWhileReadIsOutstanding()
    {
        Rig rig;
        InterpolationScreen *f = rig.form;
        QTRY_VERIFY(rig.accepted.contains(153));
        // Hold back the reply to the next read.
        QByteArray held;
        bool hold = true;
        rig.controller.tamper = [&](const QByteArray &request, const QByteArray &reply) {
            if (hold && quint8(request[1]) == 0x03) {
                hold = false;
                held = reply;
                return QByteArray();
            }
            return reply;
        };
        QTRY_VERIFY(!held.isEmpty());
        const std::int16_t outstanding = rig.state.RequestTag;
        QVERIFY(outstanding == 150 || outstanding == 153);
        rig.accepted.clear();
        const int mark = rig.mark();
        // The late reply arrives while the command pauses: its tag has moved on, it is dropped.
        QTimer::singleShot(0, [&] { rig.pty.write(held); });
        QTest::mouseClick(button(f, 5), Qt::LeftButton);  // "YZ直线插补"
        QTRY_VERIFY(rig.mark() > mark);
        QCOMPARE(hex(rig.controller.requests[mark]), hex(frame("01 05 00 27 FF 00")));
        // The acknowledgement (157) leads back into the refresh, which goes on with read B.
        QTRY_VERIFY(rig.accepted.size() >= 2);
        QCOMPARE(rig.accepted.mid(0, 2), (QList<int>{157, 153}));
        QCOMPARE(hex(head(rig.controller.requests[mark + 1])), hex(ReadB));
    }

    void watchdogRestartsWithReadBKeepingTheBoxes()
    {
        Rig rig;
        InterpolationScreen *f = rig.form;
        QMap<int, quint16> &r = rig.controller.registers;
        r[8559] = 1500;                 // X 1.5
        r[8610] = 0x82B8, r[8611] = 1;  // end X 99
        QTRY_COMPARE(box(f, 0)->text(), QStringLiteral("1.5"));
        QTRY_COMPARE(box(f, 4)->text(), QStringLiteral("99"));

        // From now on read A goes unanswered, so the last stored reply is always a read B.
        int ticks = 0;
        connect(f->Timer2, &QTimer::timeout, f, [&] { ++ticks; });
        QList<int> ticksAtRequest;
        connect(&rig.controller, &FakeController::requestSeen, f, [&](const QByteArray &) { ticksAtRequest << ticks; });
        rig.controller.tamper = [](const QByteArray &request, const QByteArray &reply) {
            return head(request) == ReadA ? QByteArray() : reply;
        };
        const int mark = rig.mark();
        const int seen = int(ticksAtRequest.size());
        QTRY_VERIFY_WITH_TIMEOUT(rig.find(ReadA, mark) >= 0 && rig.find(ReadB, rig.find(ReadA, mark)) > 0, 10000);
        const int lost = rig.find(ReadA, mark);
        const int restart = rig.find(ReadB, lost);
        QCOMPARE(restart, lost + 1);  // nothing else was asked in between
        // Six watchdog ticks without a reply, give or take the phase of the two timers and
        // of the controller's reading of the frames.
        const int waited = ticksAtRequest[seen + restart - mark] - ticksAtRequest[seen + lost - mark];
        QVERIFY2(waited >= 4 && waited <= 8, qPrintable(QString::number(waited)));
        // The restart keeps the coordinates: the buffer holds read B, never shown as A.
        QTRY_VERIFY(rig.accepted.count(153) >= 2);
        QCOMPARE(box(f, 0)->text(), QStringLiteral("1.5"));
        QCOMPARE(box(f, 4)->text(), QStringLiteral("99"));
        QCOMPARE(rig.prompter.messages.size(), 0);

        // With the controller answering again the coordinates follow it.
        r[8559] = 3000;
        rig.controller.tamper = nullptr;
        QTRY_COMPARE_WITH_TIMEOUT(box(f, 0)->text(), QStringLiteral("3"), 10000);
    }
};

QTEST_MAIN(TstInterpolation)
#include "tst_interpolation.moc"
