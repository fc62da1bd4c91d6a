// Undo and redo in the program grid, clicked and typed as the user does.
#include <QtTest>

#include "Rigs.h"
#include "editor/EditHistory.h"
#include "projects/Form4.h"
#include "projects/ProjectFiles.h"
#include "ui/FlexGrid.h"

// The tool on screen, no controller, five lines opened: category L % 6 + 1, command 1, L / 1000.
struct Editor : Tool {
    QTemporaryFile file;  // the project, opened at the start and by the open button
    FlexGrid &grid = *w.MSFlexGrid1;
    Editor() : Tool({})
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        start();
        QByteArray bytes("\0\5", 2);
        for (char l = 1; l <= 5; ++l)
            bytes += QByteArray(1, 0) + char(l % 6 + 1) + QByteArray("\0\1\0", 3) + l + QByteArray(18, 0);
        QVERIFY(file.open() && file.write(bytes.leftJustified(12025, '\0')) == 12025 && file.flush());
        prompter.fileNames << file.fileName() << file.fileName();
        QTest::mouseClick(w.Command10, Qt::LeftButton);
    }
    QStringList shown() const  // both images, the line count, the selected cell, every grid text
    {
        QStringList s{QByteArray((const char *)state.ProgramImage.data(), 12025).toHex(),
                      QByteArray((const char *)state.DisplayImage.data(), 12025).toHex(), w.Text1->text(),
                      QStringLiteral("%1,%2").arg(w.SelectedRow).arg(w.SelectedColumn)};
        for (int i = 0; i < grid.rows() * FlexGrid::Cols; ++i)
            s << grid.textMatrix(i / FlexGrid::Cols, i % FlexGrid::Cols);
        return s;
    }
    void click(int row, int col)  // with the mouse; the line buttons see it once Timer1 shows it
    {
        const QPoint at(grid.columnViewportPosition(col - 1) + 5, grid.rowViewportPosition(row - 1) + 5);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(QTest::qWaitFor([&] { return w.Text3->text() == QString::number(row); }));
    }
    void keys(QKeyCombination k) { QTest::keyClick(qApp->focusWidget(), k.key(), k.keyboardModifiers()); }
};

class TstUndo : public QObject {
    Q_OBJECT
private slots:
    void eachEditIsUndoneAndRedone_data()
    {
        QTest::addColumn<QPoint>("cell");        // line and column clicked
        QTest::addColumn<int>("key");            // then typed, or 0: clicked
        QTest::addColumn<QStringList>("input");  // into or on this widget, with this text
        // A redone edit shows the line rendered from its record: after a category chosen, the
        // command code 0 reads "0", where the chooser left "无".
        QTest::addColumn<QString>("redoneCommand");
        QTest::newRow("parameter entry") << QPoint(2, 4) << int(Qt::Key_Return) << QStringList{"Text2", "-1.5"}
                                         << QString();
        QTest::newRow("category choice") << QPoint(3, 1) << int(Qt::Key_Down) << QStringList{"Combo1"}
                                         << QStringLiteral("0");
        QTest::newRow("command choice") << QPoint(4, 2) << int(Qt::Key_Down) << QStringList{"Combo1"} << QString();
        QTest::newRow("insert") << QPoint(2, 3) << 0 << QStringList{"Command1"} << QString();
        QTest::newRow("delete") << QPoint(2, 3) << 0 << QStringList{"Command2"} << QString();
        QTest::newRow("paste") << QPoint(1, 3) << 0 << QStringList{"Command4"} << QString();
    }
    void eachEditIsUndoneAndRedone()
    {
        QFETCH(QPoint, cell);
        QFETCH(int, key);
        QFETCH(QStringList, input);
        QFETCH(QString, redoneCommand);
        Editor e;
        e.click(4, 3);
        QTest::mouseClick(e.w.Command3, Qt::LeftButton);  // a copy changes nothing
        e.click(cell.x(), cell.y());
        const QStringList before = e.shown();
        QWidget *target = e.w.findChild<QWidget *>(input[0]);
        key ? type(target, input.value(1), key) : QTest::mouseClick(target, Qt::LeftButton);
        const QStringList after = e.shown();
        QVERIFY(after != before && e.w.history().stack().count() == 1);
        QStringList redone = after;
        if (!redoneCommand.isEmpty())
            redone[4 + cell.x() * FlexGrid::Cols + 2] = redoneCommand;
        const QKeyCombination keys[] = {Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::Key_Z,
                                        Qt::CTRL | Qt::SHIFT | Qt::Key_Z};
        for (int i = 0; i < 4; ++i) {
            e.keys(keys[i]);
            QCOMPARE(e.shown(), i % 2 ? redone : before);  // undone, redone, undone, redone
        }
    }
    void aReplacedProgramStartsANewHistory()
    {
        Editor e;
        QTest::mouseClick(e.w.Command5, Qt::LeftButton);  // the new-project window, filled in
        Form4 *form = e.w.projects().form4();
        form->Text1->setText(QStringLiteral("new")), form->Text2->setText(QStringLiteral("3"));
        e.click(2, 3);
        for (QPushButton *replace : {e.w.Command10, e.w.Command6, form->Command1}) {  // open, clear, new
            QTest::mouseClick(e.w.Command1, Qt::LeftButton);
            QCOMPARE(e.w.history().stack().count(), 1);
            QTest::mouseClick(replace, Qt::LeftButton);
            QCOMPARE(e.w.history().stack().count(), 0);
        }
    }
    void ctrlZInTheEntryBoxUndoesTheTypingFirst()
    {
        Editor e;
        e.click(1, 3);
        const QStringList before = e.shown();
        type(e.w.Text2, QStringLiteral("7"));
        e.click(2, 4);
        type(e.w.Text2, QStringLiteral("12"), 0);
        e.keys(Qt::CTRL | Qt::Key_Z);
        QVERIFY(e.w.Text2->isVisible() && e.w.Text2->text() == QStringLiteral("0"));
        e.keys(Qt::CTRL | Qt::Key_Z);  // no typing left: the grid's undo, the box closed, nothing stored
        QVERIFY(!e.w.Text2->isVisible() && e.grid.hasFocus() && e.shown() == before);
    }
};
QTEST_MAIN(TstUndo)
#include "tst_undo.moc"
