// A jog coil that was switched on is always switched off again once its button is no longer
// held, whatever the reason. Each cause on its own, judged by the coil state the controller
// on the far end is left with, and by the order in which the two writes reached it.
#include "ManualRig.h"

#include <QDialog>

namespace {
constexpr int XPlus = 0, YMinus = 4;
constexpr int CoilXPlus = 2, CoilYMinus = 4;

// The coil writes the controller received for `coil` since `from`, as "ON"/"OFF".
QStringList coilHistory(const ManualRig &rig, int from, int coil)
{
    QStringList out;
    for (const QByteArray &f : rig.writesSince(from))
        if (quint8(f[1]) == 0x05 && ((quint8(f[2]) << 8) | quint8(f[3])) == coil)
            out << (quint8(f[4]) == 0xFF ? QStringLiteral("ON") : QStringLiteral("OFF"));
    return out;
}

// Presses "X+" and waits until the controller runs the axis.
bool holdXPlus(ManualRig &rig)
{
    QTest::mousePress(rig.button(XPlus), Qt::LeftButton);
    QElapsedTimer t;
    t.start();
    while (!rig.coilOn(CoilXPlus) && t.elapsed() < 3000)
        QTest::qWait(10);
    return rig.coilOn(CoilXPlus) && rig.screen->jog().coilOn() == CoilXPlus;
}

// The axis has stopped and stays stopped: the last word the controller had was OFF.
bool stopsAndStays(ManualRig &rig, int coil)
{
    QElapsedTimer t;
    t.start();
    while (rig.coilOn(coil) && t.elapsed() < 3000)
        QTest::qWait(10);
    QTest::qWait(400);
    return !rig.coilOn(coil) && rig.screen->jog().coilOn() == 0 && rig.screen->jog().heldCoil() == 0;
}
}  // namespace

class TstManualJogSafety : public QObject {
    Q_OBJECT
private slots:
    void release()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        QTest::qWait(300);  // held across refresh ticks
        QVERIFY(rig.coilOn(CoilXPlus));
        QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    // The release is handled inside the 50 ms pause of the press, before its ON has gone out.
    // The OFF must still come after the ON.
    void releaseDuringThePressPause()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        bool releasedBeforeOn = false;
        QTimer::singleShot(10, rig.screen, [&] {
            releasedBeforeOn = rig.writesSince(from).isEmpty() && rig.screen->jog().sending();
            QTest::mouseRelease(rig.button(YMinus), Qt::LeftButton);
        });
        QTest::mousePress(rig.button(YMinus), Qt::LeftButton);
        QVERIFY(releasedBeforeOn);
        QVERIFY(rig.waitWrites(from, 2));
        QVERIFY(stopsAndStays(rig, CoilYMinus));
        QCOMPARE(rig.writesHex(from),
                 QStringList({hex(coilFrame(CoilYMinus, true)), hex(coilFrame(CoilYMinus, false))}));
        QVERIFY(rig.screen->Timer1->isActive());
    }

    // Press, release and press again while the first press still pauses: the writes go out
    // in the order of the hand, and the axis runs for the second hold.
    void pressAgainBeforeTheFirstWentOut()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QTimer::singleShot(5, rig.screen, [&] {
            QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
            QTest::mousePress(rig.button(XPlus), Qt::LeftButton);
        });
        QTest::mousePress(rig.button(XPlus), Qt::LeftButton);
        QVERIFY(rig.waitWrites(from, 3));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF", "ON"}));
        QVERIFY(rig.coilOn(CoilXPlus));
        QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF", "ON", "OFF"}));
    }

    void pointerDraggedOffTheButton()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        QTest::mouseMove(rig.button(XPlus), QPoint(-40, -40));
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        // Coming back over the button with the mouse still down does not start it again.
        QTest::mouseMove(rig.button(XPlus), rig.button(XPlus)->rect().center());
        QTest::qWait(300);
        QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    void focusMovesAway()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        QVERIFY(rig.button(XPlus)->hasFocus());
        QTest::keyClick(rig.button(XPlus), Qt::Key_Tab);
        QVERIFY(!rig.button(XPlus)->hasFocus());
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        // The release that finally comes finds nothing to switch off.
        QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    void windowLosesFocus()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        QTRY_VERIFY(rig.screen->isActiveWindow());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        rig.w.show();
        rig.w.activateWindow();
        QTRY_VERIFY(!rig.screen->isActiveWindow());
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    void hidden()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        rig.screen->hide();
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    void unloaded()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        rig.screen->unloadScreen();
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(0));
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
        QVERIFY(!rig.screen->Timer1->isActive());
        QVERIFY(!rig.screen->Timer2->isActive());
    }

    void closedByTheWindowFrame()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        rig.screen->close();
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
        QVERIFY(!rig.screen->isLoaded());
    }

    // Unloaded while the press still pauses: the ON is not sent (so no OFF is needed), and
    // the finished press does not start the refresh of the closed screen.
    void unloadedDuringThePressPause()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QTimer::singleShot(10, rig.screen, [&] { rig.screen->unloadScreen(); });
        QTest::mousePress(rig.button(XPlus), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList());
        QVERIFY(!rig.screen->Timer1->isActive());
        const int after = rig.mark();
        QTest::qWait(500);
        QCOMPARE(rig.mark(), after);
    }

    // The screen's own message opens while the axis runs (the controller stopped answering):
    // the OFF is sent before the box appears.
    void ownMessageBoxWhileHeld()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        QString lastFrameAtMessage;
        rig.prompter.onMessage = [&](const QString &) { lastFrameAtMessage = hex(rig.w.link().TxFrame()); };
        rig.controller.silent = true;
        QTRY_VERIFY_WITH_TIMEOUT(!rig.prompter.messages.isEmpty(), 6000);
        QCOMPARE(rig.prompter.messages.first(), QStringLiteral("与控制器通信异常！"));
        QCOMPARE(lastFrameAtMessage, hex(coilFrame(CoilXPlus, false)));
        QVERIFY(stopsAndStays(rig, CoilXPlus));
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
    }

    // Any other modal box of the tool takes the mouse too.
    void foreignModalBoxWhileHeld()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        QVERIFY(holdXPlus(rig));
        bool offWhileOpen = false;
        QTimer::singleShot(0, rig.screen, [&] {
            QDialog box;
            box.setWindowTitle(QStringLiteral("Trelmo"));
            QTimer poll;
            QElapsedTimer t;
            t.start();
            QObject::connect(&poll, &QTimer::timeout, &box, [&] {
                if (!rig.coilOn(CoilXPlus) && !coilHistory(rig, from, CoilXPlus).isEmpty())
                    offWhileOpen = true;
                if (offWhileOpen || t.elapsed() > 3000)
                    box.accept();
            });
            poll.start(10);
            box.exec();
        });
        QTRY_VERIFY(offWhileOpen);
        QCOMPARE(coilHistory(rig, from, CoilXPlus), QStringList({"ON", "OFF"}));
        QVERIFY(stopsAndStays(rig, CoilXPlus));
    }

    // A failing port while the axis runs: the OFF cannot go out, and no second error follows.
    void portGoneWhileHeld()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        QVERIFY(holdXPlus(rig));
        rig.w.port().close();
        // The refresh is the first to find out.
        QTRY_COMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口出错！")});
        QVERIFY(!rig.screen->Timer1->isActive());
        QTest::mouseRelease(rig.button(XPlus), Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(rig.prompter.messages.size(), 1);
        QCOMPARE(rig.screen->jog().heldCoil(), 0);
        QCOMPARE(rig.screen->jog().coilOn(), 0);
    }
};

QTEST_MAIN(TstManualJogSafety)
#include "tst_manual_jog_safety.moc"
