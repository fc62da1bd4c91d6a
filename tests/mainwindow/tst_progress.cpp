// How far a download and an upload have got, shown in the main window's bottom row while
// 500 lines go to trelmo-sim and come back at the line's own pace, and after a stop.
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include "Rigs.h"
#include "link/Tags.h"
#include "mainwindow/TransferProgress.h"

class TstProgress : public QObject {
    Q_OBJECT
private slots:
    void theRowFollowsTheBlocks()
    {
        SimRig rig({QStringLiteral("--wire-time")});
        QVERIFY(rig.ok());
        auto *row = rig.w.findChild<TransferProgress *>();
        QVERIFY(row->isHidden());  // the start-up read of the simulator's sample program
        for (int i = 2; i < 2 + 24 * 500; ++i)
            rig.state.ProgramImage[std::size_t(i)] = std::uint8_t(i * 7);
        rig.w.Text1->setText(QStringLiteral("500"));
        for (const auto &[button, what] : {std::pair{rig.w.Command8, "下载 "}, std::pair{rig.w.Cmd5, "读取 "}}) {
            QTest::mouseClick(button, Qt::LeftButton);
            QStringList seen;  // each text once, in order; "" while the row is hidden
            QVERIFY(QTest::qWaitFor(
                [&] {
                    const QString now = row->isHidden() ? QString() : row->label()->text();
                    if (seen.isEmpty() || seen.last() != now)
                        seen << now;
                    return rig.state.RequestTag == 0 && row->isHidden();
                },
                60000));
            const auto lines = [&](int i) { return seen[i].mid(3).section(u'/', 0, 0).toInt(); };
            QCOMPARE(seen.first(), what + QStringLiteral("0/500"));
            QCOMPARE(seen.mid(seen.size() - 2), (QStringList{what + QStringLiteral("500/500"), QString()}));
            QVERIFY2(seen.size() > 30, qPrintable(seen.join(u',')));  // block by block
            for (int i = 1; i < seen.size() - 1; ++i)
                QVERIFY2(seen[i].startsWith(what) && lines(i) > lines(i - 1) && lines(i) % 10 == 0,
                         qPrintable(seen[i]));
        }
        // Stopped with a block on its way, an upload stays shown as it was until a button is clicked.
        QTest::mouseClick(rig.w.Cmd5, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.state.BlocksDone >= 14 && rig.state.RequestTag == tag::ReadBlock, 20000);
        QTest::mouseClick(rig.w.Command14, Qt::LeftButton);
        QTRY_COMPARE(rig.state.RequestTag, std::int16_t(0));
        QSignalSpy ticks(rig.w.Timer1, &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 10);  // a second after the stop
        QVERIFY(!row->isHidden() && rig.state.BlocksDone >= 14 && rig.state.BlocksDone < 50);
        QCOMPARE(row->label()->text(), QStringLiteral("读取 %1/500").arg(rig.state.BlocksDone * 10));
        QCOMPARE(row->bar()->value(), rig.state.BlocksDone * 10);
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);  // "中 / EN": the row says it in English
        QCOMPARE(row->label()->text(), QStringLiteral("Read %1/500").arg(rig.state.BlocksDone * 10));
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
        rig.w.Text1->setText(QStringLiteral("0"));
        QTest::mouseClick(rig.w.Command8, Qt::LeftButton);  // refused: no lines to send
        QVERIFY(row->isHidden());
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("行数输入不正确！")});
    }
};

QTEST_MAIN(TstProgress)
#include "tst_progress.moc"
