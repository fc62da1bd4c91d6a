// The axis parameter screen against a scripted controller on a pseudo-terminal: entries and
// their writes, the display of the blocks read, the four-tick refresh, the save, the watchdog
// and the no-reply warning, and closing the screen in the middle of a command.
#include <QtTest>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "FakeController.h"
#include "ParamRig.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "ui/Colors.h"
#include "ui/Widgets.h"

namespace {
int Word(const QByteArray &f, int at)
{
    return (quint8(f[at]) << 8) | quint8(f[at + 1]);
}

struct Rig {
    Pty pty;
    FakeController controller{pty};
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{pty.device()}};
    ParamScreen *screen = dynamic_cast<ParamScreen *>(w.runControl().screen(RunControl::Parameters));
    QList<int> accepted;   // screen tags whose replies the reply handler took
    qsizetype opened = 0;  // requests seen before the screen was opened

    Rig()
    {
        controller.registers[8573] = 0;
        w.Form_Load();
        auto previous = w.receiveHandler().screenReplyAccepted;
        w.receiveHandler().screenReplyAccepted = [this, previous](int tag) {
            accepted << tag;
            if (previous)
                previous(tag);
        };
    }
    bool open()
    {
        if (!screen || !waitFor([this] { return state.RequestTag == 0; }))
            return false;
        opened = controller.requests.size();
        return OpenParamScreen(w) == screen && screen->isVisible();
    }
    static bool waitFor(const std::function<bool()> &condition, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (!condition() && t.elapsed() < ms)
            QTest::qWait(10);
        return condition();
    }
    QList<QByteArray> requests(int function) const
    {
        QList<QByteArray> out;
        for (qsizetype i = opened; i < controller.requests.size(); ++i)
            if (quint8(controller.requests[i][1]) == function)
                out << controller.requests[i];
        return out;
    }
    // Waits until two more reads have reached the controller: whatever the screen wrote
    // before has reached it too.
    bool settle()
    {
        const auto n = requests(0x03).size();
        return waitFor([&] { return requests(0x03).size() >= n + 2; });
    }
    // Sets a 32-bit register pair, low-order word first.
    void setPair(int address, quint32 raw)
    {
        controller.registers[address] = quint16(raw & 0xFFFF);
        controller.registers[address + 1] = quint16(raw >> 16);
    }
};

// The write-address table of the boxes, as the controller's register map lays it out.
std::pair<int, int> ExpectedTarget(int i)
{
    if (i >= 1 && i <= 3)
        return {8194 + 2 * (i - 1), 2};
    if (i == 4)
        return {8200, 1};
    if (i == 5 || i == 6)
        return {8201 + 2 * (i - 5), 2};
    if (i >= 8 && i <= 10)
        return {8207 + 2 * (i - 8), 2};
    if (i == 11)
        return {8213, 1};
    if (i == 12 || i == 13)
        return {8214 + 2 * (i - 12), 2};
    if (i >= 15 && i <= 17)
        return {8220 + 2 * (i - 15), 2};
    if (i == 18)
        return {8226, 1};
    if (i == 19 || i == 20)
        return {8227 + 2 * (i - 19), 2};
    if (i >= 21 && i <= 23)
        return {8549 + 2 * (i - 21), 2};
    return {-1, 0};
}
}  // namespace

class TstParameters : public QObject {
    Q_OBJECT
private slots:
    void entriesAreScaledAndWrittenWhereTheTableSays()
    {
        Rig rig;
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        for (int i : {0, 7, 14})
            QVERIFY(!Box(s, i)->isEnabled());

        // Axis Y lead 5: 8207 = 5000, 8208 = 0.
        TypeEntry(s, 8, QStringLiteral("5"));
        QTRY_COMPARE(rig.requests(0x10).size(), 1);
        QCOMPARE(hex(rig.requests(0x10).last().left(11)), QStringLiteral("01 10 20 0F 00 02 04 13 88 00 00"));
        QCOMPARE(rig.controller.registers.value(8207), quint16(5000));
        QCOMPARE(rig.controller.registers.value(8208), quint16(0));
        QCOMPARE(s->focusWidget(), static_cast<QWidget *>(s->Command2));
        QVERIFY(s->Timer1->isActive());

        // Axis Z microstepping is not scaled; halves round to even.
        TypeEntry(s, 16, QStringLiteral("3200"));
        QTRY_COMPARE(rig.requests(0x10).size(), 2);
        QCOMPARE(hex(rig.requests(0x10).last().left(11)), QStringLiteral("01 10 20 1E 00 02 04 0C 80 00 00"));
        TypeEntry(s, 16, QStringLiteral("1.5"));
        QTRY_COMPARE(rig.requests(0x10).size(), 3);
        QCOMPARE(rig.controller.registers.value(8222), quint16(2));
        TypeEntry(s, 16, QStringLiteral("2.5"));
        QTRY_COMPARE(rig.requests(0x10).size(), 4);
        QCOMPARE(rig.controller.registers.value(8222), quint16(2));

        // Axis X origin direction 1: one register, the whole frame.
        TypeEntry(s, 4, QStringLiteral("1"));
        QTRY_COMPARE(rig.requests(0x10).size(), 5);
        QCOMPARE(hex(rig.requests(0x10).last()), QStringLiteral("01 10 20 08 00 01 02 00 01 47 1A"));

        // The largest value a register pair carries still goes out.
        TypeEntry(s, 1, QStringLiteral("2147483.647"));
        QTRY_COMPARE(rig.requests(0x10).size(), 6);
        QCOMPARE(hex(rig.requests(0x10).last().mid(7, 4)), QStringLiteral("FF FF 7F FF"));

        // Keys other than "/", digits, "." and Backspace are dropped; "1/2" reads as 1.
        TypeEntry(s, 22, QStringLiteral("1a-/2"));
        QTRY_COMPARE(rig.requests(0x10).size(), 7);
        QCOMPARE(hex(rig.requests(0x10).last().left(11)), QStringLiteral("01 10 21 67 00 02 04 03 E8 00 00"));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void refusedEntriesWriteNothing()
    {
        Rig rig;
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        struct Case {
            int box;
            QString text;
            bool pasted;
            QString message;
        };
        const QString range = QStringLiteral("输入数据不在0或1的范围，出错！");
        const QString wrong = QStringLiteral("输入数据出错！");
        const QList<Case> cases{
            {4, QStringLiteral("0.5"), false, range},
            {11, QStringLiteral("2"), false, range},
            {8, QStringLiteral("-5"), true, wrong},  // a negative value can only be pasted
            {18, QStringLiteral("-1"), true, range},
            {1, QStringLiteral("2147483.648"), false, wrong},  // 2147483648 thousandths
            {9, QStringLiteral("2147483648"), false, wrong},   // microstepping, not scaled
            {23, QStringLiteral("99999999999999999999999"), false, wrong},
        };
        for (const Case &c : cases) {
            rig.prompter.clear();
            if (c.pasted) {
                QTest::mouseClick(Box(s, c.box), Qt::LeftButton);
                Box(s, c.box)->setText(c.text);
                QTest::keyClick(Box(s, c.box), Qt::Key_Return);
            } else {
                TypeEntry(s, c.box, c.text);
            }
            QCOMPARE(rig.prompter.messages, QStringList{c.message});
            QVERIFY2(s->Timer1->isActive(), qPrintable(c.text));  // Enter restarts the refresh
        }
        QVERIFY(rig.settle());
        QVERIFY(rig.requests(0x10).isEmpty());

        // Every writable box goes to its own registers.
        for (int i = 0; i < 24; ++i) {
            if (i == 0 || i == 7 || i == 14)
                continue;
            const auto before = rig.requests(0x10).size();
            TypeEntry(s, i, QStringLiteral("1"));
            QTRY_COMPARE(rig.requests(0x10).size(), before + 1);
            const QByteArray f = rig.requests(0x10).last();
            const auto [start, count] = ExpectedTarget(i);
            QCOMPARE(Word(f, 2), start);
            QCOMPARE(Word(f, 4), count);
        }
    }

    void blocksAreShownByTheDisplayRule()
    {
        Rig rig;
        rig.setPair(8192, 1250);                  // X pulse equivalent, millionths
        rig.setPair(8194, 5000);                  // X lead
        rig.setPair(8222, 4294967295u);           // Z microstepping
        rig.controller.registers[8213] = 0x0100;  // Y origin direction: a plain register
        rig.setPair(8198, 4294967295u - 1499);    // X travel -1.5
        rig.setPair(8214, 2147483647u);           // Y homing speed
        rig.setPair(8229, 819200000u);            // Z back-off
        rig.setPair(8551, 12500);                 // Y manual acceleration
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        QTRY_COMPARE(Box(s, 22)->text(), QStringLiteral("12.5"));
        QCOMPARE(Box(s, 0)->text(), QStringLiteral("0.00125"));
        QCOMPARE(Box(s, 1)->text(), QStringLiteral("5"));
        QCOMPARE(Box(s, 16)->text(), QStringLiteral("-1"));
        QCOMPARE(Box(s, 11)->text(), QStringLiteral("256"));
        QCOMPARE(Box(s, 3)->text(), QStringLiteral("-1.5"));
        QCOMPARE(Box(s, 12)->text(), QStringLiteral("2147483.647"));
        QCOMPARE(Box(s, 20)->text(), QStringLiteral("819200"));
        QCOMPARE(Box(s, 21)->text(), QStringLiteral("0"));
    }

    void refreshRunsInCyclesOfFourTicks()
    {
        Rig rig;
        rig.setPair(8207, 7500);
        QSignalSpy ticks(rig.screen->Timer1, &QTimer::timeout);
        QList<QPair<int, int>> reads;  // tick that sent it, start register
        connect(&rig.controller, &FakeController::requestSeen, this, [&](const QByteArray &f) {
            if (quint8(f[1]) == 0x03 && (Word(f, 2) == 8192 || Word(f, 2) == 8549))
                reads << qMakePair(int(ticks.count()), Word(f, 2));
        });
        QList<int> lampChanges;
        QColor lamp;
        QStringList leadShown;
        connect(rig.screen->Timer1, &QTimer::timeout, this, [&] {
            if (rig.screen->Shape1->fillColor() != lamp)
                lampChanges << int(ticks.count());
            lamp = rig.screen->Shape1->fillColor();
            leadShown << Box(rig.screen, 8)->text();
        });
        QVERIFY(rig.open());
        lamp = rig.screen->Shape1->fillColor();
        QCOMPARE(lamp, rig.screen->Shape1->backgroundColor());
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 13, 10000);
        rig.screen->Timer1->stop();

        const QList<QPair<int, int>> expected{{0, 8192}, {2, 8549},  {4, 8192}, {6, 8549},
                                              {8, 8192}, {10, 8549}, {12, 8192}};
        QCOMPARE(reads.mid(0, expected.size()), expected);
        QCOMPARE(lampChanges.mid(0, 3), (QList<int>{1, 5, 9}));
        // The parameters appear on the first tick, after the load's read has been answered.
        QCOMPARE(leadShown.first(), QStringLiteral("7.5"));
        QCOMPARE(rig.accepted.mid(0, 6), (QList<int>{50, 53, 50, 53, 50, 53}));
    }

    // With a controller that answers at once the watchdog must never step in: every read is
    // answered and taken, parameters and accelerations alternate, one read per two ticks,
    // whatever the phase of the refresh against the watchdog.
    void watchdogLeavesAHealthyCycleAlone()
    {
        Rig rig;
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        QSignalSpy ticks(s->Timer1, &QTimer::timeout);
        auto check = [&](int tickCount) {
            QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= tickCount, tickCount * 200 + 10000);
            const QList<QByteArray> reads = rig.requests(0x03);
            for (int k = 0; k < reads.size(); ++k)
                QCOMPARE(Word(reads[k], 2), k % 2 ? 8549 : 8192);
            // All but possibly the last read have been answered and taken.
            QVERIFY2(
                rig.accepted.size() >= reads.size() - 1,
                qPrintable(QStringLiteral("%1 reads, %2 replies taken").arg(reads.size()).arg(rig.accepted.size())));
            // One read per two ticks (the load's read comes before the first tick).
            QVERIFY2(reads.size() >= ticks.count() / 2,
                     qPrintable(QStringLiteral("%1 reads in %2 ticks").arg(reads.size()).arg(ticks.count())));
        };
        check(30);
        if (QTest::currentTestFailed())
            return;
        // Restart the refresh at another phase against the watchdog: just after a reply.
        QVERIFY(Rig::waitFor([&] { return rig.state.RequestTag == 54; }));
        QTest::mouseClick(Box(s, 5), Qt::LeftButton);
        QVERIFY(!s->Timer1->isActive());
        QTest::keyClick(Box(s, 5), Qt::Key_Escape);
        QVERIFY(s->Timer1->isActive());
        check(int(ticks.count()) + 30);
        QVERIFY(rig.requests(0x10).isEmpty());
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void saveIsAcknowledgedAndItsFirstBlockNotShown()
    {
        Rig rig;
        rig.setPair(8194, 5000);
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        QTRY_COMPARE(Box(s, 1)->text(), QStringLiteral("5"));

        // An unanswered save leaves the button green; the watchdog takes the cycle up again.
        rig.controller.tamper = [](const QByteArray &request, const QByteArray &reply) {
            return quint8(request[1]) == 0x05 ? QByteArray() : reply;
        };
        QTest::mouseClick(s->Command1, Qt::LeftButton);
        QTRY_COMPARE(rig.requests(0x05).size(), 1);
        QCOMPARE(hex(rig.requests(0x05).first()), hex(FakeController::withCrc(fromHex("01 05 00 22 FF 00"))));
        QCOMPARE(BackColor(s->Command1), colors::Green);
        const auto readsAfterSave = rig.requests(0x03).size();
        QTRY_VERIFY_WITH_TIMEOUT(rig.requests(0x03).size() > readsAfterSave, 5000);
        QCOMPARE(Word(rig.requests(0x03).last(), 2), 8549);  // rejoined with the accelerations
        QCOMPARE(BackColor(s->Command1), colors::Green);

        // An answered save: the button returns to light yellow and the block then in the
        // buffer is not shown; the next parameter block is.
        rig.controller.tamper = nullptr;
        QVERIFY(Rig::waitFor([&] { return rig.state.RequestTag == 54; }));
        rig.setPair(8194, 8000);
        QTest::mouseClick(s->Command1, Qt::LeftButton);
        const QColor lamp = s->Shape1->fillColor();
        QTRY_COMPARE(BackColor(s->Command1), colors::LightYellow);
        QTRY_VERIFY(s->Shape1->fillColor() != lamp);  // the first tick after the save
        QCOMPARE(Box(s, 1)->text(), QStringLiteral("5"));
        QTRY_COMPARE(Box(s, 1)->text(), QStringLiteral("8"));
    }

    void silenceIsReportedOnTheTenthTick()
    {
        Rig rig;
        rig.controller.silent = true;
        QList<int> ticksAtMessage;
        int ticks = 0;
        connect(rig.screen->Timer1, &QTimer::timeout, this, [&] { ++ticks; });
        rig.prompter.onMessage = [&](const QString &) { ticksAtMessage << ticks; };
        QVERIFY(rig.open());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 21, 15000);
        rig.screen->Timer1->stop();
        QCOMPARE(ticksAtMessage.mid(0, 2), QList<int>({10, 20}));
        // The watchdog gave up the load's read and the cycle asked again.
        const QList<QByteArray> reads = rig.requests(0x03);
        QVERIFY(reads.size() >= 3);
        QCOMPARE(Word(reads[0], 2), 8192);
        QCOMPARE(Word(reads[1], 2), 8549);
    }

    void returnAndCloseMidCommand()
    {
        Rig rig;
        QVERIFY(rig.open());
        ParamScreen *s = rig.screen;
        QTRY_VERIFY(rig.accepted.size() >= 2);
        QTest::mouseClick(s->Command2, Qt::LeftButton);
        QVERIFY(!s->isVisible());
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(0));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QVERIFY(!s->Timer1->isActive() && !s->Timer2->isActive());

        // Opening again starts from the first state of the controls and reads at once.
        Box(s, 5)->setText(QStringLiteral("42"));
        QVERIFY(rig.open());
        QCOMPARE(Box(s, 5)->text(), QStringLiteral("0"));
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(1));
        QTRY_COMPARE(rig.requests(0x03).size(), 1);

        // Returning while the save pauses before its send: nothing is sent and nothing is left
        // running behind the closed screen.
        const qsizetype mark = rig.controller.requests.size();
        QTimer::singleShot(0, s->Command2, [s] { QTest::mouseClick(s->Command2, Qt::LeftButton); });
        QTest::mouseClick(s->Command1, Qt::LeftButton);
        QVERIFY(!s->isVisible());
        QVERIFY(!s->Timer1->isActive() && !s->Timer2->isActive());
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QCOMPARE(BackColor(s->Command1), colors::LightYellow);

        // The same for an entry.
        QVERIFY(rig.open());
        QTest::mouseClick(Box(s, 2), Qt::LeftButton);
        QTimer::singleShot(0, s->Command2, [s] { QTest::mouseClick(s->Command2, Qt::LeftButton); });
        QTest::keyClick(Box(s, 2), Qt::Key_Return);
        QVERIFY(!s->Timer1->isActive() && !s->Timer2->isActive());
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(0));

        // Opening once more sends a read; when it has arrived, anything sent before has too.
        QVERIFY(rig.open());
        QTRY_COMPARE(rig.requests(0x03).size(), 1);
        QStringList sent;
        for (qsizetype i = mark; i < rig.controller.requests.size(); ++i)
            sent << hex(rig.controller.requests[i].left(4));
        QCOMPARE(sent, (QStringList{QStringLiteral("01 03 20 00"), QStringLiteral("01 03 20 00")}));
        QVERIFY(rig.prompter.messages.isEmpty());
    }
};

QTEST_MAIN(TstParameters)
#include "tst_parameters.moc"
