// The status refresh of the manual screen: what a status reply shows, the refresh cycle and
// its watchdog, the no-reply message, and opening the screen over another one.
#include "ManualRig.h"

#include <QEventLoop>

#include "screens/manual/ManualStatus.h"
#include "ui/Colors.h"

namespace {
StatusBytes bytesWith(std::initializer_list<std::pair<int, quint8>> at)
{
    StatusBytes b{};
    for (auto [i, v] : at)
        b[std::size_t(i)] = v;
    return b;
}

QString xText(std::initializer_list<quint8> four)
{
    StatusBytes b{};
    std::copy(four.begin(), four.end(), b.begin());
    return DecodeManualStatus(b).values[0];
}

// A message box that stays open, with the event loop running behind it as a real modal box
// has, until `closeWhen` says so (or ten seconds have passed).
class HoldingPrompter : public WatchingPrompter {
public:
    int open = 0;
    int mostOpen = 0;
    std::function<bool()> closeWhen;
    Answer message(const QString &text, Buttons buttons, const QString &title) override
    {
        const Answer a = WatchingPrompter::message(text, buttons, title);
        ++open;
        mostOpen = std::max(mostOpen, open);
        QEventLoop loop;
        QTimer poll;
        QElapsedTimer t;
        t.start();
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!closeWhen || closeWhen() || t.elapsed() > 10000)
                loop.quit();
        });
        poll.start(5);
        loop.exec();
        --open;
        return a;
    }
};
}  // namespace

class TstManualStatus : public QObject {
    Q_OBJECT
private slots:
    void scaledValues()
    {
        QCOMPARE(xText({0x00, 0x00, 0x30, 0xD4}), QStringLiteral("819200"));
        QCOMPARE(xText({0x30, 0xD4, 0x00, 0x00}), QStringLiteral("12.5"));
        QCOMPARE(xText({0xFF, 0xFF, 0xFF, 0xFF}), QStringLiteral("-0.001"));
        QCOMPARE(xText({0x80, 0x00, 0x00, 0x00}), QStringLiteral("32.768"));
        QCOMPARE(xText({0x00, 0x00, 0x80, 0x00}), QStringLiteral("-2147483.648"));
        QCOMPARE(xText({0xFF, 0xFF, 0x7F, 0xFF}), QStringLiteral("2147483.647"));
        QCOMPARE(xText({0, 0, 0, 0}), QStringLiteral("0"));
        // Each value from its own bytes: Y 4..7, Z 8..11, speed 20..23, distance 24..27.
        const ManualStatus s =
            DecodeManualStatus(bytesWith({{5, 1}, {9, 2}, {21, 3}, {25, 4}, {12, 0xFF}, {19, 0xFF}, {28, 0xFF}}));
        QCOMPARE(s.values, (std::array<QString, 5>{"0", "0.001", "0.002", "0.003", "0.004"}));
    }

    void oneRegisterItems()
    {
        // Only the low byte counts, and only the value 1.
        QVERIFY(DecodeManualStatus(bytesWith({{28, 1}, {29, 1}})).autoRun);
        QVERIFY(!DecodeManualStatus(bytesWith({{29, 2}})).autoRun);
        QVERIFY(!DecodeManualStatus(bytesWith({{28, 1}})).autoRun);
        QVERIFY(DecodeManualStatus(bytesWith({{101, 1}})).stepMode);
        const ManualStatus s = DecodeManualStatus(bytesWith({{43, 1}, {47, 1}, {61, 1}, {71, 1}, {67, 3}}));
        QCOMPARE(s.inputs, (std::array<bool, 4>{false, true, false, true}));
        QCOMPARE(s.origins, (std::array<bool, 3>{false, false, true}));
        QCOMPARE(s.outputs, (std::array<bool, 4>{false, false, true, false}));
    }

    void shownOnTheScreen()
    {
        ManualRig rig;
        auto &r = rig.controller.registers;
        r[8559] = 0x0000;
        r[8560] = 0x30D4;  // X 819200
        r[8561] = 0x30D4;
        r[8562] = 0x0000;  // Y 12.5
        r[8563] = 0xFFFF;
        r[8564] = 0xFFFF;  // Z -0.001
        r[8569] = 0x2710;  // speed 10
        r[8571] = 0x0000;
        r[8572] = 0x8000;  // distance -2147483.648
        r[8580] = 1;       // IN2
        r[8587] = 1;       // ORG1
        r[8594] = 1;       // OUT3
        r[8609] = 1;       // step mode
        QVERIFY(rig.open());
        QVERIFY(rig.waitShown());
        const QStringList texts{"819200", "12.5", "-0.001", "10", "-2147483.648"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rig.screen->Text1[std::size_t(i)]->text(), texts[i]);
        QCOMPARE(rig.screen->Shape1[9]->fillColor(), colors::Red);
        QCOMPARE(rig.button(11)->text(), QStringLiteral("OUT3-OF"));
        QCOMPARE(rig.button(13)->text(), QStringLiteral("OUT1-ON"));
        QCOMPARE(rig.button(12)->text(), QStringLiteral("OUT2-ON"));
        QCOMPARE(rig.button(10)->text(), QStringLiteral("OUT4-ON"));
        for (int i = 0; i < 11; ++i)
            QCOMPARE(rig.screen->Shape1[std::size_t(i)]->isLit(), i == 1 || i == 4 || i == 9);
        QCOMPARE(rig.screen->Shape1[0]->fillColor(), rig.screen->Shape1[0]->backgroundColor());
        QVERIFY(rig.screen->Check1[1]->isChecked());
        QCOMPARE(rig.screen->Command3->text(), QStringLiteral("上电后不自动运行"));

        // 8573 = 0x0101 is auto-run on, here and on the main window; 2 is off.
        r[8573] = 0x0101;
        QTRY_COMPARE(rig.screen->Command3->text(), QStringLiteral("上电自运行"));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
        r[8573] = 2;
        r[8609] = 0x0100;
        QTRY_COMPARE(rig.screen->Command3->text(), QStringLiteral("上电后不自动运行"));
        QCOMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
        QVERIFY(!rig.screen->Check1[1]->isChecked());
    }

    // One read per tick, the display one tick behind, the lamp changing on every shown reply.
    void refreshCycle()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        TickLog log(rig);
        const int from = rig.mark();
        QTRY_VERIFY(log.entries.size() >= 8);
        int reads = 0;
        for (int i = from; i < rig.controller.requests.size(); ++i)
            reads += quint8(rig.controller.requests[i][1]) == 0x03;
        QVERIFY(reads >= 7);
        for (int i = 1; i < 8; ++i) {
            QCOMPARE(log.entries[i].tag, 20);  // a new read is out after every tick
            QVERIFY(log.entries[i].lamp != log.entries[i - 1].lamp);
        }
        const QColor lamp = log.entries[1].lamp;
        QVERIFY(lamp == colors::LightCyan || lamp == rig.screen->Shape2->backgroundColor());
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    // A read that gets no answer is given up after six watchdog ticks.
    void watchdog()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        rig.controller.silent = true;
        QList<int> tags;  // the tag after each watchdog tick, from the silence on
        QObject::connect(rig.screen->Timer2, &QTimer::timeout, rig.screen, [&] { tags << rig.state.RequestTag; });
        QTRY_VERIFY_WITH_TIMEOUT(tags.count(21) >= 8, 8000);
        // Runs of ticks with the read outstanding, between two ticks with the tag at 21.
        QList<int> runs;
        int run = -1;  // not counting until the first 21
        for (int t : tags) {
            if (t == 21) {
                if (run > 0)
                    runs << run;
                run = 0;
            } else if (run >= 0) {
                QCOMPARE(t, 20);
                ++run;
            }
        }
        // Five ticks see the read outstanding; the sixth gives it up (the tag goes to 21).
        QVERIFY(runs.size() >= 2);
        for (int r : runs)
            QCOMPARE(r, 5);
    }

    void firstNoReplyMessageOnTheTenthTick()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        int ticksSinceReceive = 0;
        int ticksAtMessage = -1;
        QObject::connect(&rig.w.port(), &CommPort::received, rig.screen, [&] { ticksSinceReceive = 0; });
        QObject::connect(rig.screen->Timer1, &QTimer::timeout, rig.screen, [&] { ++ticksSinceReceive; });
        rig.prompter.onMessage = [&](const QString &) {
            if (ticksAtMessage < 0)
                ticksAtMessage = ticksSinceReceive;
        };
        rig.controller.silent = true;
        QTRY_VERIFY_WITH_TIMEOUT(!rig.prompter.messages.isEmpty(), 6000);
        QCOMPARE(rig.prompter.messages.first(), QStringLiteral("与控制器通信异常！"));
        QCOMPARE(ticksAtMessage, 10);
        // And again every tenth tick for as long as nothing arrives.
        QTRY_VERIFY_WITH_TIMEOUT(rig.prompter.messages.size() >= 2, 6000);
        QCOMPARE(ticksSinceReceive, 20);
        // A reply ends it.
        rig.controller.silent = false;
        QVERIFY(rig.waitShown(2));
        const int shown = int(rig.prompter.messages.size());
        QTest::qWait(2500);
        QCOMPARE(rig.prompter.messages.size(), shown);
    }

    // While the message is open no second one opens; the refresh and the count go on.
    void noReplyMessageDoesNotStack()
    {
        HoldingPrompter prompter;
        Pty pty;
        FakeController controller{pty};
        controller.registers[reg::PowerOnRun] = 0;
        LinkState state;
        Mainfrm w{state, prompter, QStringList{pty.device()}};
        w.Form_Load();
        QTRY_COMPARE(state.RequestTag, std::int16_t(0));
        auto *screen = static_cast<ManualScreen *>(w.runControl().screen(RunControl::Manual));
        QTest::mouseClick(w.Cmd3, Qt::LeftButton);
        QVERIFY(screen->isLoaded());
        int ticks = 0;
        QObject::connect(screen->Timer1, &QTimer::timeout, screen, [&] { ++ticks; });
        // The first box stays open for 25 more ticks, well over two rounds of ten.
        int ticksAtOpen = -1, readsAtOpen = 0, readsAtClose = 0;
        prompter.onMessage = [&](const QString &) {
            ticksAtOpen = ticks;
            readsAtOpen = int(controller.requests.size());
        };
        prompter.closeWhen = [&] {
            if (ticks < ticksAtOpen + 25)
                return false;
            readsAtClose = int(controller.requests.size());
            return true;
        };
        controller.silent = true;
        QTRY_VERIFY_WITH_TIMEOUT(ticksAtOpen >= 0 && prompter.open == 0, 15000);
        const int ticksAtClose = ticks;
        QCOMPARE(prompter.mostOpen, 1);
        QCOMPARE(prompter.messages, QStringList{QStringLiteral("与控制器通信异常！")});
        QVERIFY(ticksAtClose >= ticksAtOpen + 25);
        QVERIFY(readsAtClose > readsAtOpen);  // the refresh kept asking behind the box
        // Counting went on behind the box: the next message comes within ten ticks.
        prompter.closeWhen = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(prompter.messages.size() == 2, 6000);
        QVERIFY(ticks - ticksAtClose <= 10);
        screen->unloadScreen();
    }

    // Opening this screen while the parameter screen is loaded: that screen's unloading
    // clears the tag after this screen has sent its first read, whose reply is then dropped;
    // the watchdog starts the refresh about 600 ms later.
    void openedOverAnotherScreen()
    {
        ManualRig rig;
        QVERIFY(rig.idle());
        QTest::mouseClick(rig.w.Cmd4, Qt::LeftButton);
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(1));
        QTest::qWait(300);
        QList<int> tags;
        QObject::connect(rig.screen->Timer2, &QTimer::timeout, rig.screen, [&] { tags << rig.state.RequestTag; });
        TickLog log(rig);
        rig.controller.registers[reg::PosX] = 1500;
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(1));
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(0));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QTRY_COMPARE_WITH_TIMEOUT(rig.screen->Text1[0]->text(), QStringLiteral("1.5"), 3000);
        // Nothing was shown before the watchdog gave the tag back: six ticks at 0 first.
        QVERIFY(tags.size() >= 6);
        QCOMPARE(tags.mid(0, 5), QList<int>({0, 0, 0, 0, 0}));
        QCOMPARE(tags[5], 21);
        QCOMPARE(log.entries.value(0).x, QStringLiteral("0"));
    }
};

QTEST_MAIN(TstManualStatus)
#include "tst_manual_status.moc"
