// The tool against a controller whose line drops, delays, corrupts and refuses replies, and
// against a controller that goes away. Whatever happens, no line that reaches the program
// image differs from what the controller holds, the tool never hangs, a stopped transfer is
// visible, and the next attempt works.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "RecordingPrompter.h"
#include "Waits.h"
#include "SimProcess.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "screens/SubScreen.h"
#include "ui/Widgets.h"

namespace {
constexpr int Lines = 500;

QStringList faults(double p, int seed)
{
    const QString v = QString::number(p);
    return {QStringLiteral("--seed"),      QString::number(seed),
            QStringLiteral("--drop"),      v,
            QStringLiteral("--delay"),     v,
            QStringLiteral("--delay-ms"),  QStringLiteral("900"),
            QStringLiteral("--corrupt"),   v,
            QStringLiteral("--exception"), v};
}

struct Rig {
    SimProcess sim{QStringList{}};
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{sim.device}};

    explicit Rig(const QStringList &args) : sim(args) {}

    // Connects, again and again if a probe is lost on the way.
    bool connect()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (w.port().isOpen() && w.Cmd1->text() == QStringLiteral("断开控制器") && waitIdle(state))
                return true;
            if (w.Cmd1->text() == QStringLiteral("断开控制器"))
                QTest::mouseClick(w.Cmd1, Qt::LeftButton);  // disconnect first
            QTest::mouseClick(w.Cmd1, Qt::LeftButton);
            waitIdle(state);
        }
        return false;
    }
};

QByteArray line(const LinkState &s, int n)
{
    return QByteArray(reinterpret_cast<const char *>(s.ProgramImage.data()) + 2 + 24 * (n - 1), 24);
}
}  // namespace

class TstFaults : public QObject {
    Q_OBJECT
private slots:
    void transfersUnderAFaultyLine()
    {
        Rig rig(faults(0.004, 7));
        QVERIFY(rig.sim.ok());
        rig.w.Form_Load();
        QVERIFY(rig.connect());
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));

        // The program to put into the controller: every line different.
        QList<QByteArray> written;
        for (int n = 1; n <= Lines; ++n) {
            QByteArray rec(24, '\0');
            for (int i = 0; i < 24; ++i)
                rec[i] = char((n * 7 + i * 13) & 0xFF);
            rec[0] = 0;
            rec[1] = char(1 + n % 6);
            written << rec;
        }
        auto loadImage = [&] {
            for (int n = 1; n <= Lines; ++n)
                std::memcpy(rig.state.ProgramImage.data() + 2 + 24 * (n - 1), written[n - 1].constData(), 24);
        };

        int stopped = 0;
        bool done = false;
        for (int attempt = 0; attempt < 30 && !done; ++attempt) {
            QVERIFY(rig.connect());
            loadImage();
            rig.w.Text1->setText(QString::number(Lines));
            QTest::mouseClick(rig.w.Command8, Qt::LeftButton);
            QVERIFY(waitIdle(rig.state, 60000));  // never hangs
            done = BackColor(rig.w.Command8) == colors::LightYellow;
            if (!done) {
                ++stopped;
                // A stopped transfer stays visible once its count was acknowledged.
                if (rig.state.BlockIndex >= 1)
                    QVERIFY(BackColor(rig.w.Command8) == colors::Green || BackColor(rig.w.Command8) == colors::Red);
            }
        }
        QVERIFY2(done, "the download never completed");

        // Read it back, as often as it takes; a line either has not arrived or is exact.
        done = false;
        for (int attempt = 0; attempt < 30 && !done; ++attempt) {
            QVERIFY(rig.connect());
            std::fill(rig.state.ProgramImage.begin() + 2, rig.state.ProgramImage.end(), std::uint8_t(0));
            QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
            QVERIFY(waitIdle(rig.state, 60000));
            for (int n = 1; n <= Lines; ++n) {
                const QByteArray got = line(rig.state, n);
                QVERIFY2(got == QByteArray(24, '\0') || got == written[n - 1], qPrintable(QString::number(n)));
            }
            done = BackColor(rig.w.Cmd5) == colors::LightYellow && rig.w.Text1->text() == QString::number(Lines);
            if (!done)
                ++stopped;
        }
        QVERIFY2(done, "the upload never completed");
        for (int n = 1; n <= Lines; ++n)
            QCOMPARE(line(rig.state, n), written[n - 1]);
        qInfo("transfers stopped by faults and started again: %d", stopped);
        // Only the messages a technician is meant to see.
        for (const QString &m : rig.prompter.messages)
            QVERIFY2(m == QStringLiteral("串口存在，但控制器没有连接上！") || m == QStringLiteral("此次操作没有成功！"),
                     qPrintable(m));
    }

    void screensRefreshUnderAFaultyLine()
    {
        Rig rig(faults(0.03, 11));
        QVERIFY(rig.sim.ok());
        rig.w.Form_Load();
        QVERIFY(rig.connect());
        rig.w.Command13->setText(QStringLiteral("上电后不自动运行"));
        for (QPushButton *open : {rig.w.Cmd3, rig.w.Cmd4, rig.w.Command9}) {
            QTest::mouseClick(open, Qt::LeftButton);
            QVERIFY(rig.w.port().isOpen());
            // The screen keeps getting replies through the faults: its lamp keeps changing.
            int changes = 0;
            QColor last;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 8000) {
                QTest::qWait(30);
                for (auto *lamp : QApplication::topLevelWidgets()) {
                    auto *sub = qobject_cast<SubScreen *>(lamp);
                    if (!sub || !sub->isLoaded())
                        continue;
                    const QString name = open == rig.w.Cmd4 ? QStringLiteral("Shape1") : QStringLiteral("Shape2");
                    if (auto *l = sub->findChild<Lamp *>(name)) {
                        if (l->fillColor() != last)
                            ++changes;
                        last = l->fillColor();
                    }
                }
            }
            qInfo("%s: %d lamp changes", qPrintable(open->objectName()), changes);
            QVERIFY2(changes >= 4, qPrintable(QString::number(changes)));
        }
    }

    void controllerUnpluggedWhileAScreenRefreshes()
    {
        auto sim = std::make_unique<SimProcess>(QStringList{});
        QVERIFY(sim->ok());
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{sim->device});
        w.Form_Load();
        QVERIFY(waitIdle(state));
        w.Command13->setText(QStringLiteral("上电后不自动运行"));
        QTest::mouseClick(w.Cmd3, Qt::LeftButton);
        QTest::qWait(600);
        prompter.clear();
        sim.reset();  // the cable is pulled
        QTRY_VERIFY_WITH_TIMEOUT(!w.port().isOpen(), 5000);
        QTest::qWait(3000);  // the screen's timers keep ticking: no pile of messages
        QCOMPARE(prompter.count(QStringLiteral("串口出错！")), 1);
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器没有连接！"));
        QCOMPARE(w.Cmd1->text(), QStringLiteral("连接控制器"));

        // Back on line: the connect button finds the controller again.
        SimProcess again{QStringList{}};
        QVERIFY(again.ok());
        w.port().setCatalogue({again.device});
        QTest::mouseClick(w.Cmd1, Qt::LeftButton);
        QVERIFY(waitIdle(state));
        QCOMPARE(w.Label3->text(), QStringLiteral("控制器已经连接！"));
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
