// SPDX-License-Identifier: GPL-3.0-or-later
// "中 / EN": the whole tool in English and back at once, open windows included; captions that
// show a state keep it and are still read; every source text has its English; nothing is cut off.
#include <QComboBox>
#include <QStyle>
#include <QtTest>

#include "Rigs.h"
#include "editor/EditHistory.h"
#include "editor/ProgramEditor.h"
#include "ui/FlexGrid.h"

namespace {
// The caption a widget shows in its window: a button's or label's text, a frame's title.
QString caption(QWidget *w)
{
    const bool captioned = w->inherits("QAbstractButton") || w->inherits("QLabel") || w->inherits("QGroupBox");
    return captioned && w->isVisibleTo(w->window())
               ? w->property(w->inherits("QGroupBox") ? "title" : "text").toString()
               : QString();
}
// The titles and captions of every window shown, sorted; numbers as "#" (the traffic monitor's
// counts go on while the test looks).
QStringList shownTexts()
{
    QStringList out;
    for (QWidget *window : QApplication::topLevelWidgets())
        for (QWidget *w : window->isVisible() ? window->findChildren<QWidget *>() << window : QWidgetList())
            out << (w == window ? w->windowTitle() : caption(w))
                       .replace(QRegularExpression(QStringLiteral("[0-9.]+")), QStringLiteral("#"));
    out.sort();
    return out;
}
// The first caption or column title of a shown window cut off; buttons and titles keep a margin.
QString cutOff()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        for (QWidget *w : window->isVisible() ? window->findChildren<QWidget *>() : QWidgetList()) {
            const int margin = w->inherits("QAbstractButton") ? 8 : 0;
            const int box = w->inherits("QCheckBox") ? w->style()->pixelMetric(QStyle::PM_IndicatorWidth) : 0;
            if (w->fontMetrics().horizontalAdvance(caption(w)) + margin + box > w->contentsRect().width())
                return caption(w);
            if (auto *grid = qobject_cast<FlexGrid *>(w))
                for (int c = 1; c < FlexGrid::Cols; ++c)
                    if (grid->fontMetrics().horizontalAdvance(grid->textMatrix(0, c)) + 8 > grid->columnWidth(c - 1))
                        return grid->textMatrix(0, c);
        }
    return QString();
}
}  // namespace

class TstLanguage : public QObject {
    Q_OBJECT
private slots:
    // With each screen open in turn, and About, the new-project window and the traffic monitor:
    // every text turns English but the language button's own, and comes back the same, the
    // captions that show a state (connected, auto-run off, OUT1 on, counter-clockwise) too;
    // nothing is cut off.
    void bothWaysWithAScreenOpen()
    {
        ToolRig rig(3);
        rig.registers.insert(QMap<int, quint16>{{8592, 1}, {8622, 1}});
        rig.w.show();
        QTest::mouseClick(rig.w.Command11, Qt::LeftButton);
        QTest::mouseClick(rig.w.Command5, Qt::LeftButton);
        QTest::mouseClick(rig.w.Command16, Qt::LeftButton);  // the traffic monitor
        // The start-up read's count goes a tick after its end: not while the texts are compared.
        QTRY_VERIFY(!rig.w.findChild<QWidget *>(QStringLiteral("ProgressLabel"))->isVisible());
        for (int which : {RunControl::Interpolation, RunControl::Manual, RunControl::Parameters}) {
            QVERIFY(rig.open(RunControl::Screen(which)));
            QTRY_COMPARE(cutOff(), QString());
            const QStringList chinese = shownTexts();
            QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
            QTRY_COMPARE(cutOff(), QString());
            QCOMPARE(shownTexts().filter(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))),
                     QStringList(rig.w.Cmd6->text()));
            QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
            QCOMPARE(shownTexts(), chinese);
        }
    }

    // Key captions and the grid's names in English; a parameter keeps the text typed into it;
    // in English the tool still reads its captions and finds a command by its name.
    void englishCaptionsAndNames()
    {
        ToolRig rig(2, false);
        rig.registers.insert(QMap<int, quint16>{{0, 1}, {1, 2}});  // line 1: category 1, command 2
        rig.start();
        QVERIFY(rig.idle());
        FlexGrid &grid = *rig.w.MSFlexGrid1;
        grid.setCurrentCell(1, 4);
        rig.w.editor().CellClick();
        type(rig.w.Text2, QStringLiteral("1.50"));
        QVERIFY(rig.open(RunControl::Manual));
        QPushButton *out1 = rig.manual()->Command1[13];
        QTest::mouseClick(out1, Qt::LeftButton);
        QTRY_COMPARE(out1->text(), QStringLiteral("OUT1-OF"));
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
        const QStringList shown{
            rig.w.Cmd1->text(),    rig.w.Command13->text(), rig.w.Command14->text(), rig.w.Command8->text(),
            out1->text(),          grid.textMatrix(0, 1),   grid.textMatrix(1, 1),   grid.textMatrix(1, 2),
            grid.textMatrix(2, 1), grid.textMatrix(1, 4)};
        QCOMPARE(shown, QStringList({"Disconnect controller", "No power-on auto-run", "Emergency stop",
                                     "Download program", "OUT1-OFF", "Category", "System", "Start", "None", "1.50"}));
        QTest::mouseClick(out1, Qt::LeftButton);
        QTRY_VERIFY(out1->text() == QStringLiteral("OUT1-ON") && !rig.coils.value(17));
        QTest::mouseClick(rig.manual()->Command1[ManualScreen::ReturnButton], Qt::LeftButton);
        QTest::mouseClick(rig.w.Command13, Qt::LeftButton);
        QTRY_COMPARE(rig.registers.value(8573), quint16(1));
        grid.setCurrentCell(1, 2);
        rig.w.editor().CellClick();
        rig.w.Combo1->setCurrentIndex(int(rig.w.Combo1->findText(QStringLiteral("Pause"))));
        rig.w.editor().ChooserChoice();
        QCOMPARE(rig.state.ProgramImage[2 + 3], std::uint8_t(3));
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
        QCOMPARE(QStringList({rig.w.Command13->text(), rig.w.Cmd1->text(), grid.textMatrix(1, 2)}),
                 QStringList({"上电自运行", "断开控制器", "暂停"}));
        // Chosen in English, undone in Chinese and redone in English: the line as its record reads
        // in the language in use.
        rig.w.history().undo();
        QCOMPARE(grid.textMatrix(1, 1) + "|" + grid.textMatrix(1, 2), QStringLiteral("系统操作|启动"));
        QTest::mouseClick(rig.w.Cmd6, Qt::LeftButton);
        rig.w.history().redo();
        QCOMPARE(grid.textMatrix(1, 1) + "|" + grid.textMatrix(1, 2), QStringLiteral("System|Pause"));
    }

    // lupdate finds every source text translated already, and no entry the sources have lost.
    void everyTextTranslated()
    {
        QTemporaryDir dir;
        const QString ts = dir.filePath(QStringLiteral("en.ts")), source = QStringLiteral(TRELMO_SOURCE_DIR "/");
        QVERIFY(QFile::copy(source + QStringLiteral("translations/trelmo_en.ts"), ts));
        QStringList arguments{QStringLiteral("-locations"), QStringLiteral("none")};
        for (const char *folder : {"core", "ui", "link", "editor", "projects", "plot", "screens", "mainwindow", "cli"})
            arguments << source + QLatin1String(folder);
        QCOMPARE(QProcess::execute(QStringLiteral(TRELMO_LUPDATE_PATH), arguments << QStringLiteral("-ts") << ts), 0);
        QFile file(ts);
        const QString result = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        QVERIFY(result.count(QStringLiteral("<message>")) > 150 &&
                !result.contains(QRegularExpression(QStringLiteral("type=\"(unfinished|vanished|obsolete)\""))));
    }
};

QTEST_MAIN(TstLanguage)
#include "tst_language.moc"
