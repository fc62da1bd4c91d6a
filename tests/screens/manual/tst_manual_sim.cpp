// The manual screen against the controller simulator: a held "X+" moves the X coordinate on
// screen and a release stops it, homing lights the origin lamp, an output lamp follows its
// button. With TRELMO_MANUAL_SHOT set, the screen in use is saved there as a picture.
#include <QtTest>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "RecordingPrompter.h"
#include "SimProcess.h"
#include "link/RegisterMap.h"
#include "mainwindow/Mainfrm.h"
#include "screens/manual/ManualScreen.h"
#include "ui/CommPort.h"
#include "ui/Widgets.h"

namespace {
using Simulator = SimProcess;

double number(const QLineEdit *box)
{
    return box->text().toDouble();
}

// Waits until the X box has shown the same value over `quietMs`.
bool settles(const QLineEdit *box, int quietMs, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    QString last = box->text();
    QElapsedTimer still;
    still.start();
    while (t.elapsed() < ms) {
        QTest::qWait(20);
        if (box->text() != last) {
            last = box->text();
            still.restart();
        } else if (still.elapsed() >= quietMs) {
            return true;
        }
    }
    return false;
}
}  // namespace

class TstManualSim : public QObject {
    Q_OBJECT
private slots:
    void handsOnTheSimulator()
    {
        Simulator sim;
        QVERIFY(sim.start({QStringLiteral("--wire-time")}));
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim.device});
        w.Form_Load();
        QTRY_VERIFY_WITH_TIMEOUT(state.RequestTag == 0 && w.port().isOpen(), 10000);
        QCOMPARE(w.Command13->text(), QStringLiteral("上电后不自动运行"));
        auto *screen = static_cast<ManualScreen *>(w.runControl().screen(RunControl::Manual));
        QTest::mouseClick(w.Cmd3, Qt::LeftButton);
        QVERIFY(screen->isLoaded());
        QLineEdit *x = screen->Text1[0];
        QTRY_COMPARE_WITH_TIMEOUT(x->text(), QStringLiteral("25"), 5000);
        QTRY_COMPARE(screen->Text1[3]->text(), QStringLiteral("10"));  // the manual speed

        // Held, the axis runs at the manual speed; released, it stands.
        QPushButton *xPlus = screen->Command1[0];
        QTest::mousePress(xPlus, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(number(x) > 26.0, 5000);
        QTest::mouseRelease(xPlus, Qt::LeftButton);
        QVERIFY(settles(x, 800));
        const double stoppedAt = number(x);
        QVERIFY(stoppedAt > 26.0 && stoppedAt < 300.0);
        QTest::qWait(600);
        QCOMPARE(number(x), stoppedAt);

        // A faster manual speed, then homing X: the axis runs to 0 and ORG1 lights.
        QLineEdit *speed = screen->Text1[3];
        QTest::mouseClick(speed, Qt::LeftButton);
        speed->selectAll();
        QTest::keyClicks(speed, QStringLiteral("50"));
        QTest::keyClick(speed, Qt::Key_Return);
        QTRY_COMPARE(speed->text(), QStringLiteral("50"));
        QVERIFY(!screen->Shape1[4]->isLit());
        QTest::mouseClick(screen->Command1[2], Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(screen->Shape1[4]->isLit(), 8000);
        QCOMPARE(x->text(), QStringLiteral("0"));

        // OUT1 on and off again: the lamp follows the button.
        QPushButton *out1 = screen->Command1[13];
        QTest::mouseClick(out1, Qt::LeftButton);
        QTRY_VERIFY(screen->Shape1[7]->isLit());
        QTRY_COMPARE(out1->text(), QStringLiteral("OUT1-OF"));
        QTest::mouseClick(out1, Qt::LeftButton);
        QTRY_VERIFY(!screen->Shape1[7]->isLit());
        QCOMPARE(out1->text(), QStringLiteral("OUT1-ON"));

        // The screen in use: Y moved off its start, OUT3 on, the step mode on.
        QTest::mousePress(screen->Command1[3], Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(number(screen->Text1[1]) > 48.0, 5000);
        QTest::mouseRelease(screen->Command1[3], Qt::LeftButton);
        QTest::mouseClick(screen->Command1[11], Qt::LeftButton);
        QTRY_VERIFY(screen->Shape1[9]->isLit());
        QTest::mouseClick(screen->Command2, Qt::LeftButton);
        QTRY_VERIFY(screen->Check1[1]->isChecked());
        QVERIFY(settles(screen->Text1[1], 600));
        QVERIFY(prompter.messages.isEmpty());
        const QString shot = qEnvironmentVariable("TRELMO_MANUAL_SHOT");
        if (!shot.isEmpty())
            QVERIFY(screen->grab().save(shot));
        screen->unloadScreen();
    }
};

QTEST_MAIN(TstManualSim)
#include "tst_manual_sim.moc"
