// The interpolation test screen against trelmo-sim: a linear and a circular move in the XY
// plane, set up and started from the screen, watched on its coordinate boxes.
// With TRELMO_SCREENSHOT=<file> the screen is saved as a picture after the arc.
#include <QProcess>
#include <QtTest>

#include "InterpTestSupport.h"
#include "RecordingPrompter.h"
#include "SimProcess.h"
#include "ui/NumberText.h"

using namespace interp;

namespace {
using Simulator = SimProcess;

double value(QLineEdit *box)
{
    return NumericValue(box->text());
}
}  // namespace

class TstInterpolationSim : public QObject {
    Q_OBJECT
private slots:
    void linearThenArcInXY()
    {
        Simulator sim;
        QVERIFY(sim.start());
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim.device});
        w.Form_Load();  // connects and reads the stored program
        QTRY_VERIFY_WITH_TIMEOUT(state.RequestTag == 0 && w.Cmd1->text() == QStringLiteral("断开控制器"), 20000);
        InterpolationScreen *f = openScreen(w);
        QVERIFY(f && f->isLoaded());

        // The axes stand at X 25, Y 40 when the controller starts.
        QTRY_COMPARE(box(f, 0)->text(), QStringLiteral("25"));
        QTRY_COMPARE(box(f, 1)->text(), QStringLiteral("40"));

        // A straight line to (50, 60) at 50 mm/s.
        enter(box(f, 3), QStringLiteral("50"));
        enter(box(f, 4), QStringLiteral("50"));
        enter(box(f, 5), QStringLiteral("60"));
        QTRY_COMPARE(box(f, 4)->text(), QStringLiteral("50"));  // read back from the controller
        QTRY_COMPARE(box(f, 5)->text(), QStringLiteral("60"));
        QCOMPARE(button(f, 3)->text(), QStringLiteral("XY直线插补"));
        QTest::mouseClick(button(f, 3), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(box(f, 0)->text(), QStringLiteral("50"), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(box(f, 1)->text(), QStringLiteral("60"), 15000);

        // Half a circle through the top, (50, 60) -> (60, 70) -> (70, 60): clockwise, at a
        // speed slow enough to watch the way it takes.
        double highestY = value(box(f, 1));
        double lowestY = highestY;
        connect(box(f, 1), &QLineEdit::textChanged, f, [&] {
            highestY = std::max(highestY, value(box(f, 1)));
            lowestY = std::min(lowestY, value(box(f, 1)));
        });
        enter(box(f, 3), QStringLiteral("10"));
        enter(box(f, 4), QStringLiteral("70"));
        enter(box(f, 7), QStringLiteral("60"));
        enter(box(f, 8), QStringLiteral("70"));
        enter(box(f, 10), QStringLiteral("0"));
        QTRY_COMPARE(box(f, 7)->text(), QStringLiteral("60"));
        QTRY_COMPARE(box(f, 8)->text(), QStringLiteral("70"));
        QTRY_COMPARE(box(f, 3)->text(), QStringLiteral("10"));
        QCOMPARE(f->Label1[13]->text(), QStringLiteral("顺"));
        QCOMPARE(button(f, 0)->text(), QStringLiteral("XY圆弧插补"));
        QTest::mouseClick(button(f, 0), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(value(box(f, 1)) > 65, 15000);  // on its way over the top
        QTRY_COMPARE_WITH_TIMEOUT(box(f, 0)->text(), QStringLiteral("70"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(box(f, 1)->text(), QStringLiteral("60"), 20000);
        QVERIFY2(highestY > 69 && highestY <= 70.001, qPrintable(QString::number(highestY)));
        QVERIFY2(lowestY >= 59.999, qPrintable(QString::number(lowestY)));
        QCOMPARE(prompter.messages, QStringList{});

        if (const QByteArray shot = qgetenv("TRELMO_SCREENSHOT"); !shot.isEmpty())
            QVERIFY(f->grab().save(QString::fromLocal8Bit(shot)));
        QTest::mouseClick(button(f, 14), Qt::LeftButton);
        QCOMPARE(state.InterpScreenActive, std::int16_t(0));
    }
};

QTEST_MAIN(TstInterpolationSim)
#include "tst_interpolation_sim.moc"
