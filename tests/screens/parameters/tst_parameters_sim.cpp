// The parameter screen against trelmo-sim: a written value comes back in the next cycle, and
// a save survives a restart of the controller.
#include <QtTest>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <csignal>

#include "ParamRig.h"
#include "RecordingPrompter.h"
#include "SimProcess.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Widgets.h"

namespace {
using Sim = SimProcess;

// The tool, connected to the simulator, with the parameter screen open.
struct Tool {
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w;
    ParamScreen *screen = nullptr;

    explicit Tool(const QString &device) : w(state, prompter, QStringList{device}) {}
    bool open()
    {
        w.Form_Load();
        QElapsedTimer t;
        t.start();
        while ((state.RequestTag != 0 || !w.port().isOpen()) && t.elapsed() < 10000)
            QTest::qWait(10);
        screen = OpenParamScreen(w);
        return screen && screen->isVisible() && prompter.messages.isEmpty();
    }
};
}  // namespace

class TstParametersSim : public QObject {
    Q_OBJECT
private slots:
    void writtenValuesComeBackAndASaveSurvivesARestart()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString stateFile = dir.filePath(QStringLiteral("controller.state"));
        {
            Sim sim;
            QVERIFY(sim.start({QStringLiteral("--state"), stateFile}));
            Tool tool(sim.device);
            QVERIFY(tool.open());
            ParamScreen *s = tool.screen;
            // The controller's defaults: lead 5 mm, 1600 steps, travel 300 mm.
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 8)->text(), QStringLiteral("5"), 5000);
            QCOMPARE(Box(s, 9)->text(), QStringLiteral("1600"));
            QCOMPARE(Box(s, 7)->text(), QStringLiteral("0.003125"));

            // Typed as "8.000": the box shows "8" only once the controller's value is read back.
            TypeEntry(s, 8, QStringLiteral("8.000"));
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 8)->text(), QStringLiteral("8"), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 7)->text(), QStringLiteral("0.005"), 5000);  // recomputed
            TypeEntry(s, 23, QStringLiteral("150.50"));
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 23)->text(), QStringLiteral("150.5"), 5000);
            TypeEntry(s, 11, QStringLiteral("1"));
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 11)->text(), QStringLiteral("1"), 5000);

            QTest::mouseClick(s->Command1, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(BackColor(s->Command1), colors::LightYellow, 5000);
            QVERIFY(QFileInfo::exists(stateFile));

            // Written after the save: lost with the restart.
            TypeEntry(s, 10, QStringLiteral("123"));
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 10)->text(), QStringLiteral("123"), 5000);

            const QString shot = qEnvironmentVariable("TRELMO_PARAM_SCREENSHOT");
            if (!shot.isEmpty())
                QVERIFY(s->grab().save(shot));
            QTest::mouseClick(s->Command2, Qt::LeftButton);
            QVERIFY(tool.prompter.messages.isEmpty());
            QVERIFY(sim.stop());
        }
        {
            Sim sim;
            QVERIFY(sim.start({QStringLiteral("--state"), stateFile}));
            Tool tool(sim.device);
            QVERIFY(tool.open());
            ParamScreen *s = tool.screen;
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 8)->text(), QStringLiteral("8"), 5000);
            QCOMPARE(Box(s, 7)->text(), QStringLiteral("0.005"));
            QCOMPARE(Box(s, 11)->text(), QStringLiteral("1"));
            QCOMPARE(Box(s, 10)->text(), QStringLiteral("300"));
            QTRY_COMPARE_WITH_TIMEOUT(Box(s, 23)->text(), QStringLiteral("150.5"), 5000);
            QVERIFY(tool.prompter.messages.isEmpty());
        }
    }
};

QTEST_MAIN(TstParametersSim)
#include "tst_parameters_sim.moc"
