// The tool against the controller simulator: connect, read the stored program, change it,
// download it, read it back, and keep it across a restart of the controller.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "RecordingPrompter.h"
#include "Waits.h"
#include "SimProcess.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/FlexGrid.h"
#include "ui/Widgets.h"

namespace {
QByteArray programOf(const LinkState &state, int lines)
{
    return QByteArray(reinterpret_cast<const char *>(state.ProgramImage.data()), 2 + 24 * lines);
}
}  // namespace

class TstWithSimulator : public QObject {
    Q_OBJECT
private slots:
    void connectReadChangeDownloadAndReadBack()
    {
        QTemporaryDir dir;
        const QString stateFile = dir.filePath(QStringLiteral("controller.state"));
        QByteArray written;
        {
            SimProcess sim({QStringLiteral("--state"), stateFile});
            QVERIFY(sim.ok());
            LinkState state;
            RecordingPrompter prompter;
            Mainfrm w(state, prompter, QStringList{sim.device});
            w.Form_Load();
            QVERIFY(waitIdle(state));
            QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messages.join(u'|')));
            QCOMPARE(w.Label3->text(), QStringLiteral("控制器已经连接！"));
            const int lines = w.Text1->text().toInt();
            QVERIFY(lines > 0);
            QCOMPARE(w.MSFlexGrid1->rows(), lines + 1);
            QCOMPARE(BackColor(w.Cmd5), colors::LightYellow);
            QVERIFY(!w.MSFlexGrid1->textMatrix(lines, 1).isEmpty());  // every line shown

            // A 500-line program of recognisable records goes down and comes back whole.
            w.Command13->setText(QStringLiteral("上电后不自动运行"));
            state.ProgramImage[0] = 0x01;
            state.ProgramImage[1] = 0xF4;
            for (int i = 2; i < 2 + 24 * 500; ++i)
                state.ProgramImage[std::size_t(i)] = std::uint8_t((i * 31) ^ (i >> 8));
            w.Text1->setText(QStringLiteral("500"));
            written = programOf(state, 500);
            QTest::mouseClick(w.Command8, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(BackColor(w.Command8), colors::LightYellow, 60000);
            QVERIFY(waitIdle(state));
            QVERIFY(prompter.messages.isEmpty());

            state.ProgramImage.fill(0);
            w.Text1->setText(QStringLiteral("0"));
            QTest::mouseClick(w.Cmd5, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(BackColor(w.Cmd5), colors::LightYellow, 60000);
            QVERIFY(waitIdle(state));
            QCOMPARE(w.Text1->text(), QStringLiteral("500"));
            QCOMPARE(programOf(state, 500), written);
            QCOMPARE(w.MSFlexGrid1->rows(), 501);

            // Saved in the controller's memory.
            QTest::mouseClick(w.Command12, Qt::LeftButton);
            QVERIFY(waitIdle(state));
            QCOMPARE(BackColor(w.Command12), colors::Apricot);
        }
        // The controller comes back from a power cycle with the same program.
        SimProcess sim({QStringLiteral("--state"), stateFile});
        QVERIFY(sim.ok());
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim.device});
        w.Form_Load();
        QVERIFY(waitIdle(state, 60000));
        QTRY_COMPARE_WITH_TIMEOUT(BackColor(w.Cmd5), colors::LightYellow, 60000);
        QCOMPARE(programOf(state, 500), written);
    }

    void emergencyStopAndRunModeReachTheController()
    {
        SimProcess sim{QStringList{}};
        QVERIFY(sim.ok());
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim.device});
        w.Form_Load();
        QVERIFY(waitIdle(state));
        const QString before = w.Command13->text();
        QTest::mouseClick(w.Command13, Qt::LeftButton);
        QVERIFY(waitIdle(state));
        QVERIFY(w.Command13->text() != before);
        // Disconnect and connect again: the controller reports the mode just set.
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(!w.port().isOpen());
        w.Command13->setText(before);
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(waitIdle(state));
        QVERIFY(w.Command13->text() != before);
        QTest::mouseClick(w.Command14, Qt::LeftButton);
        QVERIFY(waitIdle(state));
        QCOMPARE(BackColor(w.Command14), colors::Red);
        QVERIFY(prompter.messages.isEmpty());
    }

    void controllerGoneMidTransfer()
    {
        auto sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--wire-time")});
        QVERIFY(sim->ok());
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim->device});
        w.Form_Load();
        QVERIFY(waitIdle(state));
        w.Command13->setText(QStringLiteral("上电后不自动运行"));
        w.Text1->setText(QStringLiteral("500"));
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(state.BlockIndex >= 3, 20000);
        sim.reset();  // the controller's end of the line disappears
        // Reported once at most, the transfer stops, and the tool goes on.
        QTRY_VERIFY_WITH_TIMEOUT(state.RequestTag == 0, 10000);
        QTest::qWait(500);
        QVERIFY(prompter.messages.count(QStringLiteral("串口出错！")) <= 1);
        // The unfinished download is reported once; the button never says it was finished.
        QTRY_COMPARE(prompter.count(QStringLiteral("程序下载没有完成，控制器中的程序不完整！")), 1);
        QVERIFY(BackColor(w.Command8) != colors::LightYellow);

        // A controller is back: connecting again works.
        SimProcess again{QStringList{}};
        QVERIFY(again.ok());
        w.port().setCatalogue({again.device});
        w.Cmd1->setText(QStringLiteral("连接控制器"));
        prompter.clear();
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(waitIdle(state));
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器已经连接！"));
    }
};

QTEST_MAIN(TstWithSimulator)
#include "tst_with_simulator.moc"
