// SPDX-License-Identifier: GPL-3.0-or-later
// The manual, parameter and interpolation screens on the real main window against a scripted
// controller: the frames each command sends, what the replies show, the jog coil that must always be
// switched off again, the refresh cycle with its watchdog and warning, closing a screen mid-command.
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include "Rigs.h"
#include "core/ParameterFile.h"
#include "link/CommPort.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int Manual = RunControl::Manual, Params = RunControl::Parameters, Interp = RunControl::Interpolation;

const QString StopFrame = u"01 05 00 10 FF 00 8D FF"_s;
const QString StatusRead = u"01 03 21 6F 00 33 3F FE"_s;  // 51 registers from 8559
const QString ParamsRead = u"01 03 20 00 00 27 0E 10"_s;  // 39 registers from 8192
const QString AccelRead = u"01 03 21 65 00 06 DF EB"_s;   // 6 registers from 8549
const QString ReadA = u"01 03 21 6F 00 0C 7F EE"_s;       // 12 registers from 8559
const QString ReadB = u"01 03 21 A2 00 0D 2F D1"_s;       // 13 registers from 8610

const auto screen = [](ToolRig &rig, int which) { return rig.w.runControl().screen(RunControl::Screen(which)); };
const auto one = [](const QString &message) { return message.isEmpty() ? QStringList() : QStringList{message}; };

// Every request since `from` that is not a read.
QStringList writes(const ToolRig &rig, int from)
{
    QStringList out;
    for (const QString &f : rig.since(from))
        if (!f.startsWith(u"01 03"_s))
            out << f;
    return out;
}

// What coil 2 ("X+") received since `from`, in order.
QStringList jogX(const ToolRig &rig, int from)
{
    QStringList out;
    for (const QString &f : rig.since(from, 5))
        if (f.startsWith(u"01 05 00 02"_s))
            out << (f.mid(12, 2) == u"FF"_s ? u"ON"_s : u"OFF"_s);
    return out;
}

// Waits for `n` writes since `from`, then for two more refresh reads: whatever the screen was
// going to send by then has reached the controller.
bool settle(ToolRig &rig, int from, qsizetype n = 0)
{
    const bool written = QTest::qWaitFor([&] { return writes(rig, from).size() >= n; }, 8000);
    const int now = rig.mark();
    return written && QTest::qWaitFor([&] { return rig.since(now, 3).size() >= 2; }, 8000);
}

// The user clicks into a box, rubs out what it shows, types `text` and presses `end`.
void enter(QLineEdit *box, const QString &text, int end = Qt::Key_Return)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    type(box, text, end);
}

// Runs `f` after every refresh tick that showed a reply: the communication lamp changed.
void onShown(QTimer *refresh, Lamp *lamp, const std::function<void()> &f)
{
    QObject::connect(refresh, &QTimer::timeout, lamp, [lamp, f, last = lamp->fillColor()]() mutable {
        if (lamp->fillColor() != std::exchange(last, lamp->fillColor()))
            f();
    });
}

// The controller answers every request 60 to 150 ms late, in order, as a busy one does.
void answerLate(ToolRig &rig)
{
    QElapsedTimer clock;
    clock.start();
    rig.filter = [&rig, clock, due = qint64(0), n = 0](const QByteArray &, const QByteArray &reply) mutable {
        due = std::max(clock.elapsed() + 60 + (n++ * 37) % 91, due + 1);
        QTimer::singleShot(int(due - clock.elapsed()), &rig, [&rig, reply] { rig.write(reply); });
        return QByteArray();
    };
}

// The watchdog ticks of a screen. Nothing but the watchdog runs inside its tick, so a tick that moves
// RequestTag is the watchdog giving a request up.
struct WatchdogLog : QObject {
    ToolRig &rig;
    int idle, before = 0, n = 0;
    QList<int> after, waited, resumed;  // the tag after each tick; per give-up, the ticks that counted
    WatchdogLog(ToolRig &r, QTimer *timer, int idleTag = -1) : rig(r), idle(idleTag)
    {
        timer->installEventFilter(this);
        connect(timer, &QTimer::timeout, this, [this] {
            after << rig.state.RequestTag;
            n += before != idle;
            if (before != after.last())
                waited << std::exchange(n, 0), resumed << after.last();
        });
    }
    bool eventFilter(QObject *, QEvent *e) override
    {
        before = e->type() == QEvent::Timer ? rig.state.RequestTag : before;
        return false;
    }
};

// The ways a hold of "X+" can end; the first three while the press still waits to send its ON.
enum { ReleaseInPause, PressAgain, UnloadedInPause };
enum { Release = 3, DragOff, FocusAway, WindowLeft, Hidden, Unloaded, FrameClosed, OwnBox, ForeignBox, PortGone };

// A click on the manual screen's Command1[button]; `after`: its caption then, when it changes.
struct Press {
    int button;
    QStringList frames;
    QString after{};
};
// A value typed and entered; `then`: what the box (or `check`) shows once read back.
struct Entry {
    int which;
    QString box, text;
    QStringList frames;
    QString message{}, then{}, check{};
    QString box2{}, text2{};  // entered while the first entry's write still pauses
};
struct Hold {
    int end;
    QStringList sent;  // what coil 2 received, in order
    QString message{};
    bool late = false;
};
// Registers from `address` holding `words`, and what `box` must show of them.
struct Shown {
    int which, address;
    QList<int> words;
    QString box, text;
};
// A screen's healthy reads (the last follows a give-up); the watchdog's idle and resume tags; the tag
// after the last reply before the controller falls silent.
struct Cycle {
    int which;
    QStringList reads;
    int idle, resume, quietAt;
};
// A button pressed while a refresh read is outstanding, and its frame.
struct Button {
    int which, button;
    QString frame;
};
}  // namespace
Q_DECLARE_METATYPE(Button)
Q_DECLARE_METATYPE(Press)
Q_DECLARE_METATYPE(Entry)
Q_DECLARE_METATYPE(Hold)
Q_DECLARE_METATYPE(Shown)
Q_DECLARE_METATYPE(Cycle)

class TstScreens : public QObject {
    Q_OBJECT
private slots:
    void manualCommands_data()
    {
        columns<Press>("p");
        row("X+", Press{0, {"01 05 00 02 FF 00 2D FA", "01 05 00 02 00 00 6C 0A"}});
        row("X-", Press{1, {"01 05 00 01 FF 00 DD FA", "01 05 00 01 00 00 9C 0A"}});
        row("X回零", Press{2, {"01 05 00 03 FF 00 7C 3A"}});
        row("Y+", Press{3, {"01 05 00 05 FF 00 9C 3B", "01 05 00 05 00 00 DD CB"}});
        row("Y-", Press{4, {"01 05 00 04 FF 00 CD FB", "01 05 00 04 00 00 8C 0B"}});
        row("Y回零", Press{5, {"01 05 00 06 FF 00 6C 3B"}});
        row("Z+", Press{6, {"01 05 00 08 FF 00 0D F8", "01 05 00 08 00 00 4C 08"}});
        row("Z-", Press{7, {"01 05 00 07 FF 00 3D FB", "01 05 00 07 00 00 7C 0B"}});
        row("Z回零", Press{8, {"01 05 00 09 FF 00 5C 38"}});
        row("急停", Press{9, {StopFrame}});
        row("OUT2-OF", Press{12, {"01 05 00 12 00 00 6D CF"}, "OUT2-ON"});  // OUT2 on at the controller
        row("OUT2-ON", Press{12, {"01 05 00 12 FF 00 2C 3F"}, "OUT2-OF"});
    }
    // On the button whose caption names the row.
    void manualCommands()
    {
        QFETCH(Press, p);
        const QString caption = QString::fromUtf8(QTest::currentDataTag());
        ToolRig rig;
        rig.registers[8593] = caption == u"OUT2-OF"_s;
        QVERIFY(rig.open(RunControl::Manual));
        QPushButton *b = rig.manual()->Command1[std::size_t(p.button)];
        QTRY_COMPARE(b->text(), caption);
        const int from = rig.mark();
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
        QCOMPARE(b->text(), p.after.isEmpty() ? caption : p.after);
        QVERIFY(settle(rig, from, p.frames.size()));
        QCOMPARE(writes(rig, from), p.frames);
    }

    // "上电后不自动运行" clicked: the first shown reply after the write leaves the five boxes as they were.
    void powerOnAutoRun()
    {
        ToolRig rig;
        const int values[5] = {8559, 8561, 8563, 8569, 8571};
        for (int r : values)
            rig.registers[r] = 25000;
        QVERIFY(rig.open(RunControl::Manual));
        ManualScreen *s = rig.manual();
        QTRY_COMPARE(s->Text1[4]->text(), u"25"_s);
        QCOMPARE(s->Command3->text(), u"上电后不自动运行"_s);
        QStringList shown;  // the five boxes at every shown reply
        onShown(s->Timer1, s->Shape2, [&] {
            shown << u"%1 %2 %3 %4 %5"_s.arg(s->Text1[0]->text(), s->Text1[1]->text(), s->Text1[2]->text(),
                                             s->Text1[3]->text(), s->Text1[4]->text());
        });
        for (int r : values)
            rig.registers[r] = 30000;
        const int from = rig.mark();
        QTest::mouseClick(s->Command3, Qt::LeftButton);
        QCOMPARE(s->Command3->text(), u"上电自运行"_s);
        QTRY_VERIFY(shown.size() >= 2);
        QCOMPARE(writes(rig, from), QStringList{"01 06 21 7D 00 01 D2 2E"});
        QCOMPARE(shown.mid(0, 2), QStringList({"25 25 25 25 25", "30 30 30 30 30"}));
        QCOMPARE(rig.w.Command13->text(), u"上电自运行"_s);
    }

    void entries_data()
    {
        columns<Entry>("e");
        row("speed 12.5", Entry{Manual, "Text1_3", "12.5", {"01 10 21 79 00 02 04 30 D4 00 00 EF 88"}, {}, "12.5"});
        row("distance .250", Entry{Manual, "Text1_4", ".250", {"01 10 21 7B 00 02 04 D0 90 00 03 59 85"}, {}, "250"});
        row("speed empty", Entry{Manual, "Text1_3", "", {"01 10 21 79 00 02 04 00 00 00 00 A0 B0"}, {}, "0"});
        row("distance 2147483.647",
            Entry{Manual, "Text1_4", "2147483.647", {"01 10 21 7B 00 02 04 FF FF 7F FF 41 3D"}, {}, "2147483.647"});
        row("distance 2147483.648", Entry{Manual, "Text1_4", "2147483.648", {}, "输入数据出错！", "0"});
        row("Y 导程/ 5", Entry{Params, "Text7_8", "5", {"01 10 20 0F 00 02 04 13 88 00 00 AE 80"}, {}, "5"});
        row("Z 细分 3200", Entry{Params, "Text7_16", "3200", {"01 10 20 1E 00 02 04 0C 80 00 00 E8 56"}, {}, "3200"});
        row("Z 细分 1.5", Entry{Params, "Text7_16", "1.5", {"01 10 20 1E 00 02 04 00 02 00 00 4B 2E"}, {}, "2"});
        row("X 原点方向 1", Entry{Params, "Text7_4", "1", {"01 10 20 08 00 01 02 00 01 47 1A"}, {}, "1"});
        row("X 原点方向 0.5", Entry{Params, "Text7_4", "0.5", {}, "输入数据不在0或1的范围，出错！", "0"});
        row("Y 导程/ negative", Entry{Params, "Text7_8", "-5", {}, "输入数据出错！", "0"});
        row("X end point 12.5",
            Entry{Interp, "Text1_4", "12.5", {"01 10 21 A2 00 02 04 30 D4 00 00 A3 67"}, {}, "12.5"});
        row("direction 2", Entry{Interp, "Text1_10", "2", {}, "输入数据不在0或1范围内！", "0"});
        row("direction 1", Entry{Interp, "Text1_10", "1", {"01 10 21 AE 00 01 02 00 01 4F 1C"}, {}, "逆", "Label1_13"});
        row("speed 2147483.648", Entry{Interp, "Text1_3", "2147483.648", {}, "输入数据出错！", "0"});
        row("X end 12, Y end 34 inside its pause",
            Entry{Interp, "Text1_4", "12", {"01 10 21 A4 00 02 04 84 D0 00 00 45 7C", "01 10 21 A2 00 02 04 2E E0 00 00 E4 81"},
                  {}, "12", {}, "Text1_5", "34"});
    }
    void entries()
    {
        QFETCH(Entry, e);
        ToolRig rig;
        QVERIFY(rig.open(RunControl::Screen(e.which)));
        SubScreen *s = screen(rig, e.which);
        auto *box = s->findChild<QLineEdit *>(e.box);
        const int from = rig.mark();
        const bool minus = e.text.startsWith(u'-');  // it cannot be typed; the box may still hold it
        enter(box, minus ? QString() : e.text, 0);
        box->insert(minus ? e.text : QString());
        if (!e.box2.isEmpty())  // each write carries the value of its own ENTER
            QTimer::singleShot(10, &rig, [&] { enter(s->findChild<QLineEdit *>(e.box2), e.text2); });
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(settle(rig, from, e.frames.size()));
        QCOMPARE(writes(rig, from), e.frames);
        QCOMPARE(rig.prompter.messages, one(e.message));
        QTRY_COMPARE(s->findChild<QWidget *>(e.check.isEmpty() ? e.box : e.check)->property("text").toString(), e.then);
    }

    // However a hold ends, a coil that went on is switched off, after its ON; also with late replies.
    void jogHoldEnds_data()
    {
        columns<Hold>("h");
        const QStringList onOff{"ON", "OFF"}, twice{"ON", "OFF", "ON", "OFF"};
        row("release", Hold{Release, onOff});
        row("release during the press's pause", Hold{ReleaseInPause, onOff});
        row("second press before the first went out", Hold{PressAgain, twice});
        row("pointer dragged off", Hold{DragOff, onOff});
        row("focus moves away", Hold{FocusAway, onOff});
        row("window loses focus", Hold{WindowLeft, onOff});
        row("screen hidden", Hold{Hidden, onOff});
        row("unloaded", Hold{Unloaded, onOff});
        row("closed by its frame", Hold{FrameClosed, onOff});
        row("unloaded during the press's pause", Hold{UnloadedInPause, {}});
        row("the screen's own message box", Hold{OwnBox, onOff, "与控制器通信异常！"});
        row("a foreign modal box", Hold{ForeignBox, onOff});
        // Behind a failed port the controller cannot be told: its OFF goes once the port is connected
        // again and the screen is left.
        row("port gone, then back", Hold{PortGone, onOff, "串口出错！"});
        row("late replies: release", Hold{Release, onOff, {}, true});
        row("late replies: release during the press's pause", Hold{ReleaseInPause, onOff, {}, true});
        row("late replies: second press", Hold{PressAgain, twice, {}, true});
        row("late replies: unloaded", Hold{Unloaded, onOff, {}, true});
    }
    void jogHoldEnds()
    {
        QFETCH(Hold, h);
        ToolRig rig;
        QVERIFY(rig.open(RunControl::Manual));
        ManualScreen *s = rig.manual();
        QVERIFY(QTest::qWaitForWindowActive(s));
        QPushButton *xPlus = s->Command1[0];
        if (h.late)
            answerLate(rig);
        const int from = rig.mark();
        QTimer::singleShot(10, s, [&] {
            if (h.end == ReleaseInPause || h.end == PressAgain)
                QTest::mouseRelease(xPlus, Qt::LeftButton);
            if (h.end == PressAgain)
                QTest::mousePress(xPlus, Qt::LeftButton);
            if (h.end == UnloadedInPause)
                s->unloadScreen();
        });
        QTest::mousePress(xPlus, Qt::LeftButton);
        if (h.end >= Release)
            QVERIFY(QTest::qWaitFor([&] { return rig.coils.value(2); }));  // the axis runs
        QDialog box;
        switch (h.end) {
        case Release:
        case PressAgain: QTest::mouseRelease(xPlus, Qt::LeftButton); break;
        case DragOff: QTest::mouseMove(xPlus, QPoint(-40, -40)); break;
        case FocusAway: QTest::keyClick(xPlus, Qt::Key_Tab); break;
        case WindowLeft: rig.w.show(); break;
        case Hidden: s->hide(); break;
        case Unloaded: s->unloadScreen(); break;
        case FrameClosed: s->close(); break;
        case OwnBox:  // the controller stops answering reads: the warning comes after ten ticks
            rig.filter = [](const QByteArray &q, const QByteArray &r) { return q[1] == 3 ? QByteArray() : r; };
            rig.prompter.onMessage = [&](const QString &) { rig.filter = nullptr; };
            break;
        case ForeignBox:  // modal, open until the OFF has arrived
            QTimer::singleShot(0, &box, &QDialog::exec);
            QTimer::singleShot(5000, &box, &QDialog::reject);
            connect(&rig, &FakeController::requestSeen, &box, [&] {
                if (jogX(rig, from).size() >= 2)
                    box.accept();
            });
            break;
        case PortGone:
            rig.w.port().close();
            QVERIFY(QTest::qWaitFor([&] { return !rig.prompter.messages.isEmpty(); }));
            QTest::mouseRelease(xPlus, Qt::LeftButton);
            QVERIFY(ticks(rig.w.Timer1, 3));
            QCOMPARE(jogX(rig, from), QStringList{"ON"});
            QTest::mouseClick(rig.w.Cmd1, Qt::LeftButton);  // "连接控制器"
            QVERIFY(rig.idle());
            QTest::mouseClick(s->Command1[ManualScreen::ReturnButton], Qt::LeftButton);
            break;
        }
        QVERIFY(QTest::qWaitFor([&] { return jogX(rig, from) == h.sent; }, 8000));
        if (h.end != PortGone)  // reopened, the screen reads first: what was sent before has arrived
            QVERIFY(s->isLoaded() ? settle(rig, from) : !s->Timer1->isActive() && rig.open(RunControl::Manual));
        QCOMPARE(jogX(rig, from), h.sent);
        QVERIFY(!rig.coils.value(2));
        QCOMPARE(rig.prompter.messages, one(h.message));
    }

    // A shown value is a signed 32-bit count in two registers, the low-order word first.
    void displayRule_data()
    {
        columns<Shown>("v");
        row("X 00 00 30 D4", Shown{Manual, 8559, {0x0000, 0x30D4}, "Text1_0", "819200"});
        row("Y 30 D4 00 00", Shown{Manual, 8561, {0x30D4, 0x0000}, "Text1_1", "12.5"});
        row("Z FF FF FF FF", Shown{Manual, 8563, {0xFFFF, 0xFFFF}, "Text1_2", "-0.001"});
        row("speed 80 00 00 00", Shown{Manual, 8569, {0x8000, 0x0000}, "Text1_3", "32.768"});
        row("distance 00 00 80 00", Shown{Manual, 8571, {0x0000, 0x8000}, "Text1_4", "-2147483.648"});
        row("X FF FF 7F FF", Shown{Manual, 8559, {0xFFFF, 0x7FFF}, "Text1_0", "2147483.647"});
        row("脉冲当量 1250", Shown{Params, 8192, {1250, 0}, "Text7_0", "0.00125"});
        row("细分 4294967295", Shown{Params, 8222, {0xFFFF, 0xFFFF}, "Text7_16", "-1"});
        row("原点方向 0x0100", Shown{Params, 8213, {0x0100}, "Text7_11", "256"});
        row("手动加速度 12.5", Shown{Params, 8551, {12500, 0}, "Text7_22", "12.5"});
        row("X 4294966296", Shown{Interp, 8559, {0xFC18, 0xFFFF}, "Text1_0", "-1"});
        row("Y end point 12.5", Shown{Interp, 8612, {0x30D4, 0}, "Text1_5", "12.5"});
    }
    void displayRule()
    {
        QFETCH(Shown, v);
        ToolRig rig;
        for (int i = 0; i < v.words.size(); ++i)
            rig.registers[v.address + i] = quint16(v.words[i]);
        QVERIFY(rig.open(RunControl::Screen(v.which)));
        QTRY_COMPARE(screen(rig, v.which)->findChild<QLineEdit *>(v.box)->text(), v.text);
    }

    void statusLampsAndCaptions()
    {
        ToolRig rig;
        for (int r : {8594, 8609})  // OUT3, step mode
            rig.registers[r] = 1;
        QVERIFY(rig.open(RunControl::Manual));
        ManualScreen *s = rig.manual();
        QTRY_COMPARE(s->Command1[11]->text(), u"OUT3-OF"_s);
        QCOMPARE(s->Command1[13]->text() + s->Command1[12]->text() + s->Command1[10]->text(),
                 u"OUT1-ONOUT2-ONOUT4-ON"_s);
        QVERIFY(s->Check1[1]->isChecked());
        // One-register items: only a low byte of 1 is on.
        rig.registers[8573] = 0x0101;
        rig.registers[8609] = 0x0100;
        QTRY_COMPARE(s->Command3->text(), u"上电自运行"_s);
        QCOMPARE(rig.w.Command13->text(), u"上电自运行"_s);
        QVERIFY(!s->Check1[1]->isChecked());
        rig.registers[8573] = 2;
        QTRY_COMPARE(s->Command3->text(), u"上电后不自动运行"_s);
        QCOMPARE(rig.w.Command13->text(), u"上电后不自动运行"_s);
    }

    void cycle_data()
    {
        QTest::addColumn<Cycle>("c");
        QTest::newRow("manual") << Cycle{Manual, {StatusRead}, 21, 21, 21};
        QTest::newRow("parameters") << Cycle{Params, {ParamsRead, AccelRead}, 51, 52, 54};
        // The last reply stored is a read B: the restart must not show it as coordinates.
        QTest::newRow("interpolation") << Cycle{Interp, {ReadA, ReadB}, 151, 151, 154};
    }
    // A healthy cycle is left alone by the watchdog. With the controller silent, each request is given
    // up on the sixth watchdog tick and the refresh asks what comes next; the tenth refresh tick brings
    // the warning (not on the interpolation screen), the refresh goes on behind it, no second box opens.
    void cycle()
    {
        QFETCH(Cycle, c);
        ToolRig rig;
        rig.registers[8559] = 1500;
        rig.registers[8194] = 5000;
        QVERIFY(rig.open(RunControl::Screen(c.which)));
        SubScreen *s = screen(rig, c.which);
        QLineEdit *kept = s->findChild<QLineEdit *>(c.which == Params ? u"Text7_1"_s : u"Text1_0"_s);
        const QString shown = c.which == Params ? u"5"_s : u"1.5"_s;
        QTRY_COMPARE(kept->text(), shown);
        WatchdogLog log(rig, s->Timer2, c.idle);
        QSignalSpy ticks(s->Timer1, &QTimer::timeout);
        int from = rig.mark();
        QVERIFY(QTest::qWaitFor([&] { return ticks.count() >= 25; }, 20000));
        QCOMPARE(log.waited, QList<int>());  // no give-up
        QStringList sent = rig.since(from, 3);
        QVERIFY(sent.size() >= (c.which == Params ? 10 : 22));
        for (qsizetype i = 1; i < sent.size(); ++i)  // each read is the one after its predecessor
            QCOMPARE(sent[i], c.reads[(c.reads.indexOf(sent[i - 1]) + 1) % c.reads.size()]);

        int sinceReply = -1, atFirstBox = -1, open = 0, mostOpen = 0, readsWhileOpen = 0;
        connect(&rig.w.port(), &CommPort::received, s, [&] {  // the last reply before the silence
            if (sinceReply < 0 && rig.state.RequestTag == c.quietAt)
                from = rig.mark(), sinceReply = 0, rig.silent = true;
        });
        connect(s->Timer1, &QTimer::timeout, s, [&] { sinceReply += sinceReply >= 0; });
        rig.prompter.onMessage = [&](const QString &) {
            atFirstBox = atFirstBox < 0 ? sinceReply : atFirstBox;
            mostOpen = std::max(mostOpen, ++open);
            const int at = rig.mark();
            const qsizetype until = open == 1 ? ticks.count() + 12 : 0;  // the user reads it for 12 ticks
            QVERIFY(QTest::qWaitFor([&] { return ticks.count() >= until; }, 10000));
            readsWhileOpen += int(rig.since(at, 3).size());
            --open;
        };
        const bool warns = c.which != Interp;
        QVERIFY(QTest::qWaitFor([&] { return log.waited.size() >= 4 && !open && (atFirstBox >= 0) == warns; }, 20000));
        QCOMPARE(rig.prompter.messages, warns ? QStringList{u"与控制器通信异常！"_s} : QStringList());
        QCOMPARE(atFirstBox, warns ? 10 : -1);
        QCOMPARE(mostOpen, int(warns));
        QVERIFY(readsWhileOpen >= int(warns));
        QCOMPARE(log.waited.mid(1, 3), QList<int>({6, 6, 6}));  // the first began before the silence
        QCOMPARE(log.resumed, QList<int>(log.resumed.size(), c.resume));
        sent = rig.since(from, 3);
        for (const QString &r : sent.mid(1))
            QCOMPARE(r, c.reads.last());
        QCOMPARE(kept->text(), shown);
    }

    void parametersOverManual_data()
    {
        QTest::addColumn<bool>("duringLoad");
        QTest::newRow("manual screen loaded") << false;
        QTest::newRow("manual screen in its load pause") << true;
    }
    // Opened over the manual screen, loaded or still in its load pause: only the parameter screen is left.
    // Unloading the manual screen clears the tag after the first read went out; that reply is dropped,
    // and the sixth watchdog tick starts the cycle with the accelerations.
    void parametersOverManual()
    {
        QFETCH(bool, duringLoad);
        ToolRig rig;
        ManualScreen *m = rig.manual();
        ParamScreen *p = rig.params();
        WatchdogLog log(rig, p->Timer2);
        int from = rig.mark();
        if (duringLoad) {
            QVERIFY(rig.idle());
            QTimer::singleShot(10, &rig.w, [&] { QTest::mouseClick(rig.w.Cmd4, Qt::LeftButton); });
            QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        } else {
            QVERIFY(rig.open(RunControl::Manual));
            from = rig.mark();
            QTest::mouseClick(rig.w.Cmd4, Qt::LeftButton);
        }
        QVERIFY(p->isVisible() && !m->isVisible() && !m->Timer1->isActive() && !m->Timer2->isActive());
        QCOMPARE(rig.state.ParamScreenActive, std::int16_t(1));
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(0));
        QVERIFY(QTest::qWaitFor([&] { return rig.since(from, 3).count(AccelRead) == 1; }, 5000));
        QStringList reads = rig.since(from, 3);
        reads.removeAll(StatusRead);  // the manual screen may have read once more meanwhile
        QCOMPARE(reads, QStringList({ParamsRead, AccelRead}));
        QCOMPARE(log.after.mid(0, 6), QList<int>({0, 0, 0, 0, 0, 52}));
    }

    void cancelledDuringCommandPause_data()
    {
        columns<int, int, bool>("which", "command", "stopped");  // which: -1 the main window
        const char *names[] = {"OUT1-ON", "speed entry", "power-on auto-run", "X回零", "X+ held", "XY直线插补",
                               "parameter entry", "控制器存数据", "main power-on auto-run"};
        const int screens[] = {Manual, Manual, Manual, Manual, Manual, Interp, Params, -1, -1};
        for (int command = 0; command < 9; ++command)
            for (bool stopped : {false, true})
                if (stopped || screens[command] >= 0)
                    row(qPrintable(u"%1, %2"_s.arg(names[command], stopped ? u"stopped"_s : u"closed"_s)),
                        screens[command], command, stopped);
    }
    // Closed, or stopped from the main window, while a command pauses before its send: on the line
    // after that there is the stop alone, and no caption changes.
    void cancelledDuringCommandPause()
    {
        QFETCH(int, which);
        QFETCH(int, command);
        QFETCH(bool, stopped);
        ToolRig rig;
        rig.w.status().setAutoRun(false);
        if (which >= 0)
            QVERIFY(rig.open(RunControl::Screen(which)));
        SubScreen *sub = which >= 0 ? screen(rig, which) : nullptr;
        ManualScreen *m = rig.manual();
        if (which == Manual)
            QTRY_COMPARE(m->Command3->text(), u"上电后不自动运行"_s);
        QLineEdit *box = command == 1 ? m->Text1[3] : command == 6 ? rig.params()->Text7[1] : nullptr;
        if (box)
            enter(box, u"5"_s, 0);
        const int from = rig.mark();
        QPushButton *cancel = stopped ? rig.w.Command14 : sub->findChild<QPushButton *>(u"Command1_14"_s);
        cancel = cancel ? cancel : rig.params()->Command2;
        QTimer::singleShot(10, &rig, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
        QPushButton *buttons[] = {m->Command1[13], nullptr,      m->Command3,         m->Command1[2],
                                  m->Command1[0],  rig.interp()->Command1[3], nullptr, rig.w.Command12,
                                  rig.w.Command13};
        if (box)
            QTest::keyClick(box, Qt::Key_Return);
        else if (command == 3 || command == 4)
            QTest::mousePress(buttons[command], Qt::LeftButton);
        else
            QTest::mouseClick(buttons[command], Qt::LeftButton);
        if (command == 3 || command == 4)
            QTest::mouseRelease(buttons[command], Qt::LeftButton);
        QVERIFY(!rig.w.emergencyStop().pending() || QTest::qWaitFor([&] { return !rig.w.emergencyStop().pending(); }));
        QCOMPARE(m->Command1[13]->text(), u"OUT1-ON"_s);
        QCOMPARE(m->Command3->text(), which == Manual ? u"上电后不自动运行"_s : u"上电自运行"_s);
        QCOMPARE(rig.w.Command13->text(), u"上电后不自动运行"_s);
        QCOMPARE(BackColor(rig.w.Command12), QColor(255, 224, 192));
        // A read goes out and comes back: what was sent before it has arrived.
        if (!stopped || which < 0)
            QVERIFY(rig.open(RunControl::Manual));
        else
            QVERIFY(settle(rig, from));
        QCOMPARE(writes(rig, from).join(u','), stopped ? StopFrame : QString());
    }

    // A click on a greyed "脉冲当量" box holds nothing: the boxes follow the controller. The block after
    // the save's acknowledgement is not shown (the buffer holds accelerations).
    void parameterRefreshAndSave()
    {
        ToolRig rig;
        rig.registers[8551] = 7000;  // Y acceleration 7, at the bytes of X lead in its own reply
        QVERIFY(rig.open(RunControl::Parameters));
        ParamScreen *p = rig.params();
        for (int i : {0, 7, 14})
            QTest::mouseClick(p->Text7[std::size_t(i)], Qt::LeftButton);
        rig.registers[8194] = 5000;  // X lead 5
        QTRY_COMPARE(p->Text7[1]->text(), u"5"_s);
        rig.late(u"01 05"_s, 300);  // the save acknowledged late
        QVERIFY(QTest::qWaitFor([&] { return rig.state.RequestTag == 54; }));
        QStringList shown;  // X lead at every shown parameter block
        onShown(p->Timer1, p->Shape1, [&] { shown << p->Text7[1]->text(); });
        const int from = rig.mark();
        QTest::mouseClick(p->Command1, Qt::LeftButton);
        rig.registers[8194] = 8000;
        QVERIFY(QTest::qWaitFor([&] { return !writes(rig, from).isEmpty(); }));
        QCOMPARE(writes(rig, from), QStringList{"01 05 00 22 FF 00 2C 30"});
        QTRY_VERIFY(shown.size() >= 2);
        QCOMPARE(shown.mid(0, 2), QStringList({"5", "8"}));
    }

    void buttonsWhileReadOutstanding_data()
    {
        columns<Button>("b");
        row("XY圆弧插补", Button{Interp, 0, "01 05 00 24 FF 00 CC 31"});
        row("XZ圆弧插补", Button{Interp, 1, "01 05 00 25 FF 00 9D F1"});
        row("YZ圆弧插补", Button{Interp, 2, "01 05 00 26 FF 00 6D F1"});
        row("XY直线插补", Button{Interp, 3, "01 05 00 1E FF 00 EC 3C"});
        row("XZ直线插补", Button{Interp, 4, "01 05 00 1F FF 00 BD FC"});
        row("YZ直线插补", Button{Interp, 5, "01 05 00 27 FF 00 3C 31"});
        row("急  停", Button{Interp, 6, StopFrame});
        row("急停", Button{Manual, 9, StopFrame});
    }
    // Pressed while a refresh read is outstanding, it goes out at once; the late reply is dropped and the
    // refresh resumes after the echo. (An unanswered stop: tst_link; the screens share that stop.)
    void buttonsWhileReadOutstanding()
    {
        QFETCH(Button, b);
        ToolRig rig;
        QVERIFY(rig.open(RunControl::Screen(b.which)));
        auto *button = screen(rig, b.which)->findChild<QPushButton *>(u"Command1_%1"_s.arg(b.button));
        QCOMPARE(button->text(), QString::fromUtf8(QTest::currentDataTag()));
        rig.late(u"01 03"_s, -1);
        QVERIFY(QTest::qWaitFor([&] { return !rig.held.isEmpty(); }));
        const int from = rig.mark();
        QTimer::singleShot(0, &rig, [&] { rig.write(rig.held); });
        QSignalSpy watchdog(screen(rig, b.which)->Timer2, &QTimer::timeout);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return rig.mark() > from; }) && watchdog.count() < 6);  // not after a give-up
        QVERIFY(QTest::qWaitFor([&] { return rig.mark() >= from + 2; }));
        QCOMPARE(rig.since(from).mid(0, 2), QStringList({b.frame, b.which == Manual ? StatusRead : ReadB}));
    }
    // Text comes into a number box through the key filter whichever way it comes: a paste from
    // the box's menu or with the middle button takes a number, and goes nowhere with letters in it.
    void pastedByTheMouse_data()
    {
        columns<int, QString, QString, bool>("which", "box", "clipboard", "middle");
        for (const auto &[which, box] : {std::pair{Manual, "Text1_3"}, {Params, "Text7_8"}, {Interp, "Text1_4"}})
            for (bool middle : {false, true}) {
                const char *how = middle ? "middle button" : "menu";
                row(qPrintable(u"%1 %2 9zz"_s.arg(box, how)), which, QString(box), u"9zz"_s, middle);
                row(qPrintable(u"%1 %2 9.5"_s.arg(box, how)), which, QString(box), u"9.5"_s, middle);
            }
    }
    void pastedByTheMouse()
    {
        QFETCH(int, which);
        QFETCH(QString, box);
        QFETCH(QString, clipboard);
        QFETCH(bool, middle);
        QClipboard *c = QGuiApplication::clipboard();
        if (middle && !c->supportsSelection())
            QSKIP("This platform has no selection for the middle button to paste.");
        ToolRig rig;
        QVERIFY(rig.open(RunControl::Screen(which)));
        auto *edit = screen(rig, which)->findChild<QLineEdit *>(box);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keySequence(edit, QKeySequence::SelectAll);
        QTest::keyClick(edit, Qt::Key_Backspace);
        c->setText(clipboard, middle ? QClipboard::Selection : QClipboard::Clipboard);
        if (middle)
            QTest::mouseClick(edit, Qt::MiddleButton);
        else
            QVERIFY(menuPaste(edit));
        QCOMPARE(edit->text(), clipboard == u"9.5"_s ? clipboard : QString());
    }
    // The parameter screen's file buttons: a file compared (its differing rows marked), restored (the
    // differing values written one after the other, the user then offered the controller's save),
    // and a restore cut short by a stop or a port failure, which says what was written and what not.
    void parameterFiles_data()
    {
        columns<QString, QString>("how", "report");
        row("compared", "compare", "");
        row("a pipe compared", "pipe", "参数文件无法使用：p.trelmo-params");
        row("restored", "restore",
            "X 导程/：已写入 5，读回一致\nY 细分：已写入 3200，读回一致\nZ 手动加速度：已写入 7，读回一致");
        row("stopped at the second write", "stop",
            "X 导程/：已写入 5，没有读回\nY 细分：已发出 3200，控制器没有应答\nZ 手动加速度：没有写入");
        row("the port fails at the second write", "port",
            "X 导程/：已写入 5，没有读回\nY 细分：已发出 3200，控制器没有应答\nZ 手动加速度：没有写入");
    }
    void parameterFiles()
    {
        QFETCH(QString, how);
        QFETCH(QString, report);
        ToolRig rig;
        QVERIFY(rig.open(RunControl::Parameters));
        ParamScreen *p = rig.params();
        param::Values values{};
        values[1] = 5000, values[9] = 3200, values[23] = 7000;  // X lead, Y microstep, Z acceleration
        values[0] = 1250;  // the pulse equivalent: the controller's own, never a difference
        QTemporaryDir dir;
        QFile file(dir.filePath(u"p.trelmo-params"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(param::WriteFile(values)) > 0);
        file.close();
        if (how == "pipe")
            QVERIFY(file.remove() && mkfifo(QFile::encodeName(file.fileName()).constData(), 0600) == 0);
        rig.prompter.fileNames.enqueue(file.fileName());
        rig.prompter.answers << Prompter::Answer::Ok << Prompter::Answer::Ok << Prompter::Answer::Cancel;
        int written = 0;
        rig.filter = [&](const QByteArray &q, const QByteArray &reply) {
            if (q[1] != 0x10 || ++written != 2 || how == "restore")
                return reply;
            QTimer::singleShot(0, &rig, [&] {
                how == "stop" ? QTest::mouseClick(rig.w.Command14, Qt::LeftButton) : rig.hangUp();
            });
            return QByteArray();
        };
        const int from = rig.mark();
        QTest::mouseClick(how == "compare" || how == "pipe" ? p->Command4 : p->Command5, Qt::LeftButton);
        if (how == "pipe") {
            QCOMPARE(rig.prompter.messages, QStringList{report});
            return;
        }
        QCOMPARE(rig.prompter.tables.size(), 1);
        QCOMPARE(rig.prompter.tables[0].rows[0].last(), u"由控制器算出，仅供参考"_s);
        QCOMPARE(rig.prompter.tables[0].marked.count(true), 3);
        for (int r : {1, 10, 19})  // X lead, Y microstep, Z acceleration in the table's rows
            QVERIFY(rig.prompter.tables[0].marked[r]);
        QCOMPARE(written, how == "compare" ? 0 : how == "restore" ? 3 : 2);
        if (how == "compare")
            return;
        QVERIFY2(rig.prompter.messages.filter(report).size() == 1, qPrintable(rig.prompter.messages.join(u'|')));
        QCOMPARE(rig.prompter.messages.contains(u"参数已写入。现在让控制器保存数据吗？"_s), how == "restore");
        QCOMPARE(writes(rig, from).value(0), u"01 10 20 02 00 02 04 13 88 00 00 6F 19"_s);
    }
};

QTEST_MAIN(TstScreens)
#include "tst_screens.moc"
