// Editing program cells through the chooser and the entry box with real mouse and key events.
#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include "ProgramWindow.h"
#include "editor/ProgramEditor.h"

namespace {
const QStringList Categories{"系统操作", "流程控制", "输出口设置", "回零运动", "插补运动", "独立运动"};

QStringList chooserItems(const QComboBox &c)
{
    QStringList items;
    for (int i = 0; i < c.count(); ++i)
        items << c.itemText(i);
    return items;
}

// Chooses entry `index` of the open chooser's list: the list is opened from the keyboard and
// walked from its top with the arrow keys, and ENTER takes the entry.
void chooseFromList(QComboBox &chooser, int index)
{
    QTest::keyClick(&chooser, Qt::Key_F4);
    QAbstractItemView *list = chooser.view();
    QVERIFY(QTest::qWaitFor([&] { return list->isVisible(); }));
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex().row(), index);
    QTest::keyClick(list, Qt::Key_Return);
}
}  // namespace

class TestCellEditing : public QObject {
    Q_OBJECT
private slots:
    void clickOpensTheEditorOfTheColumnOverTheCell()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(2, 1, 3, {1500});
        pw.showProgram(3);
        Mainfrm &w = pw.w;

        pw.clickCell(2, 1);
        QCOMPARE(w.SelectedRow, 2);
        QCOMPARE(w.SelectedColumn, 1);
        QVERIFY(w.Combo1->isVisible());
        QVERIFY(!w.Text2->isVisible());
        QCOMPARE(w.Combo1->geometry(), pw.grid.cellRectInParent(2, 1));
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("系统操作"));
        QCOMPARE(chooserItems(*w.Combo1), Categories);
        QVERIFY(w.Combo1->hasFocus());

        // The command list is the one of the line's category.
        pw.clickCell(2, 2);
        QCOMPARE(w.Combo1->geometry(), pw.grid.cellRectInParent(2, 2));
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("暂停"));
        QCOMPARE(chooserItems(*w.Combo1), program::CommandNames("系统操作"));
        // No category, no commands.
        pw.clickCell(1, 2);
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("无"));
        QCOMPARE(w.Combo1->count(), 0);

        pw.clickCell(2, 3);
        QVERIFY(!w.Combo1->isVisible());
        QVERIFY(w.Text2->isVisible());
        QCOMPARE(w.Text2->geometry(), pw.grid.cellRectInParent(2, 3));
        QCOMPARE(w.Text2->text(), QStringLiteral("1.5"));
        QVERIFY(w.Text2->hasFocus());

        // Titles and line numbers open nothing and close what was open.
        pw.clickCell(0, 4);
        QCOMPARE(w.SelectedRow, 0);
        QCOMPARE(w.SelectedColumn, 4);
        QVERIFY(!w.Text2->isVisible());
        pw.clickCell(2, 1);
        pw.clickCell(3, 0);
        QCOMPARE(w.SelectedRow, 3);
        QCOMPARE(w.SelectedColumn, 0);
        QVERIFY(!w.Combo1->isVisible());
        QVERIFY(!w.Text2->isVisible());
        QVERIFY(pw.prompter.messages.isEmpty());
    }

    void timerShowsTheSelectedCell()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.showProgram(5);
        pw.w.Timer1->start();
        pw.clickCell(4, 5);
        QTRY_COMPARE(pw.w.Text3->text(), QStringLiteral("4"));
        QTRY_COMPARE(pw.w.Text4->text(), QStringLiteral("5"));
    }

    void enterStoresTheTypedNumber()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(8);
        pw.showProgram(8);
        const QByteArray before = pw.record(7);

        pw.clickCell(7, 4);  // "参数2" of line 7
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "-1.5");
        QTest::keyClick(pw.w.Text2, Qt::Key_Return);
        QVERIFY(!pw.w.Text2->isVisible());
        QCOMPARE(pw.grid.textMatrix(7, 4), QStringLiteral("-1.5"));
        QByteArray expected = before;
        expected.replace(8, 4, QByteArray::fromHex("FA24FFFF"));
        QCOMPARE(pw.record(7).toHex(' '), expected.toHex(' '));

        // The extremes of the record's range are taken.
        pw.clickCell(7, 7);
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "-2147483.648");
        QTest::keyClick(pw.w.Text2, Qt::Key_Enter);
        QCOMPARE(pw.record(7).mid(20, 4).toHex(' '), QByteArray("00 00 80 00"));
        QVERIFY(pw.prompter.messages.isEmpty());

        // The box opens with the cell's value selected: typing replaces it.
        pw.clickCell(7, 3);
        QCOMPARE(pw.w.Text2->text(), QStringLiteral("7"));
        QTest::keyClicks(pw.w.Text2, "25");
        QTest::keyClick(pw.w.Text2, Qt::Key_Return);
        QCOMPARE(pw.grid.textMatrix(7, 3), QStringLiteral("25"));
    }

    void escapeAndAClickElsewhereAbandonTheEntry()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(4);
        pw.showProgram(4);
        const auto image = pw.state.ProgramImage;

        pw.clickCell(3, 3);
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "1.5");
        QTest::keyClick(pw.w.Text2, Qt::Key_Escape);
        QVERIFY(!pw.w.Text2->isVisible());
        QCOMPARE(pw.grid.textMatrix(3, 3), QStringLiteral("3"));

        pw.clickCell(2, 5);
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "12");
        pw.clickCell(4, 6);
        QCOMPARE(pw.grid.textMatrix(2, 5), QStringLiteral("0"));
        // The box now edits the other cell; ENTER there must not carry the abandoned 12 along.
        QCOMPARE(pw.w.Text2->text(), QStringLiteral("0"));
        QTest::keyClick(pw.w.Text2, Qt::Key_Escape);

        QVERIFY(pw.state.ProgramImage == image);
    }

    void keyFilterLetsOnlyNumberKeysIn()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.showProgram(2);
        QLineEdit *box = pw.w.Text2;

        pw.clickCell(1, 3);
        box->clear();
        QTest::keyClicks(box, "a1 b/x2+Z");
        QCOMPARE(box->text(), QStringLiteral("1/2"));
        // Keys that type nothing still move and delete; Backspace is a typed key and passes.
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QStringLiteral("/2"));
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("/"));
        QTest::keyClick(box, Qt::Key_Left);
        QTest::keyClicks(box, "1");
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClicks(box, "2");
        QCOMPARE(box->text(), QStringLiteral("1/2"));
        // A paste with a character the box does not take is dropped whole.
        QGuiApplication::clipboard()->setText(QStringLiteral("abc999"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("1/2"));
        QTest::keyClick(box, Qt::Key_Return);
        // The cell shows the text as typed; the record holds its leading number.
        QCOMPARE(pw.grid.textMatrix(1, 3), QStringLiteral("1/2"));
        QCOMPARE(pw.record(1).mid(4, 4).toHex(' '), QByteArray("03 e8 00 00"));

        pw.clickCell(2, 4);
        box->clear();
        QTest::keyClicks(box, "1-2");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(pw.grid.textMatrix(2, 4), QStringLiteral("1-2"));
        QCOMPARE(pw.record(2).mid(8, 4).toHex(' '), QByteArray("03 e8 00 00"));

        // Text that is no number at all is stored as 0.
        pw.clickCell(2, 5);
        box->clear();
        QTest::keyClicks(box, ".-");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(pw.grid.textMatrix(2, 5), QStringLiteral(".-"));
        QCOMPARE(pw.record(2).mid(12, 4).toHex(' '), QByteArray("00 00 00 00"));
    }

    void editingShortcutsInTheEntryBox_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clipboardAfter");
        // The box opens on "1.5", all of it selected.
        QTest::newRow("select all") << "" << QKeySequence("End, Ctrl+A, 7") << "7"
                                    << "";
        QTest::newRow("copy") << "" << QKeySequence("Ctrl+C") << "1.5"
                              << "1.5";
        QTest::newRow("cut") << "" << QKeySequence("Ctrl+X") << ""
                             << "1.5";
        QTest::newRow("undo") << "" << QKeySequence("Backspace, Ctrl+Z") << "1.5"
                              << "";
        QTest::newRow("paste a number") << "12.5" << QKeySequence("Ctrl+V") << "12.5"
                                        << "12.5";
        QTest::newRow("paste at the cursor") << "-3/" << QKeySequence("Home, Ctrl+V") << "-3/1.5"
                                             << "-3/";
        QTest::newRow("a letter refuses it") << "12a" << QKeySequence("Ctrl+V") << "1.5"
                                             << "12a";
        // A line end in it is no ENTER.
        QTest::newRow("a line end refuses it") << "12\r" << QKeySequence("Ctrl+V") << "1.5"
                                               << "12\r";
        QTest::newRow("Shift+Insert pastes too") << "abc" << QKeySequence("Shift+Ins") << "1.5"
                                                 << "abc";
    }
    void editingShortcutsInTheEntryBox()
    {
        QFETCH(QString, clipboard);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, text);
        QFETCH(QString, clipboardAfter);
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(1, 1, 1, {1500});
        pw.showProgram(1);
        pw.clickCell(1, 3);
        QGuiApplication::clipboard()->setText(clipboard);
        QTest::keySequence(pw.w.Text2, keys);
        QCOMPARE(pw.w.Text2->text(), text);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
        QVERIFY(pw.w.Text2->isVisible());
    }

    void numbersTheRecordCannotHoldAreRefused()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(3);
        pw.showProgram(3);
        const auto image = pw.state.ProgramImage;

        for (const char *typed : {"2147483.648", "-2147483.649", "99999999999999999999"}) {
            pw.prompter.clear();
            pw.clickCell(2, 3);
            pw.w.Text2->clear();
            QTest::keyClicks(pw.w.Text2, typed);
            QTest::keyClick(pw.w.Text2, Qt::Key_Return);
            QCOMPARE(pw.prompter.messages, QStringList{QStringLiteral("参数超出范围（-2147483.648 至 2147483.647），输入无效！")});
            QVERIFY(!pw.w.Text2->isVisible());
            QCOMPARE(pw.grid.textMatrix(2, 3), QStringLiteral("2"));
            QVERIFY(pw.state.ProgramImage == image);
        }
    }

    void choosingACategoryResetsTheCommandAndKeepsTheParameters()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(3, 1, 3, {1000, -2500, 3, 0, 7000000});  // 系统操作 / 暂停
        pw.showProgram(4);
        const QByteArray before = pw.record(3);
        const QStringList parameterTexts = pw.rowTexts(3).mid(2);
        QCOMPARE(pw.rowTexts(3).mid(0, 2), (QStringList{"系统操作", "暂停"}));

        pw.clickCell(3, 1);
        chooseFromList(*pw.w.Combo1, 1);
        QVERIFY(!pw.w.Combo1->isVisible());
        QCOMPARE(pw.rowTexts(3).mid(0, 2), (QStringList{"流程控制", "无"}));
        QCOMPARE(pw.rowTexts(3).mid(2), parameterTexts);
        QByteArray expected = before;
        expected[1] = 2;
        expected[3] = 0;
        QCOMPARE(pw.record(3).toHex(' '), expected.toHex(' '));

        // A command of the new category.
        pw.clickCell(3, 2);
        QCOMPARE(chooserItems(*pw.w.Combo1), program::CommandNames("流程控制"));
        chooseFromList(*pw.w.Combo1, 1);
        QCOMPARE(pw.grid.textMatrix(3, 2), QStringLiteral("程序循环"));
        QCOMPARE(int(pw.record(3)[3]), 2);

        // Choosing the category the line already has changes nothing.
        pw.clickCell(3, 1);
        chooseFromList(*pw.w.Combo1, 1);
        QCOMPARE(pw.grid.textMatrix(3, 2), QStringLiteral("程序循环"));
        QCOMPARE(int(pw.record(3)[3]), 2);

        // The arrow keys choose at once on the closed chooser: the next category.
        pw.clickCell(3, 1);
        QTest::keyClick(pw.w.Combo1, Qt::Key_Down);
        QVERIFY(!pw.w.Combo1->isVisible());
        QCOMPARE(pw.rowTexts(3).mid(0, 2), (QStringList{"输出口设置", "无"}));
        QCOMPARE(int(pw.record(3)[1]), 3);
        QCOMPARE(int(pw.record(3)[3]), 0);
        QCOMPARE(pw.record(3).mid(4), before.mid(4));
    }

    void arrowKeysMoveFromTheCellsEntry_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("code");  // the record's category or command code
        // The line is 插补运动 / 三轴相对运动.
        QTest::newRow("category, down") << 1 << Qt::Key_Down << "独立运动" << 6;
        QTest::newRow("category, up") << 1 << Qt::Key_Up << "回零运动" << 4;
        QTest::newRow("command, down") << 2 << Qt::Key_Down << "单轴绝对运动" << 3;
        QTest::newRow("command, up") << 2 << Qt::Key_Up << "设置点位速度" << 1;
    }
    void arrowKeysMoveFromTheCellsEntry()
    {
        QFETCH(int, column);
        QFETCH(Qt::Key, key);
        QFETCH(QString, chosen);
        QFETCH(int, code);
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(1, 5, 2);
        pw.showProgram(1);
        const QString before = pw.grid.textMatrix(1, column);
        const QByteArray record = pw.record(1);

        // Opening is no choice.
        pw.clickCell(1, column);
        QCOMPARE(pw.w.Combo1->currentText(), before);
        QCOMPARE(pw.record(1), record);
        QTest::keyClick(pw.w.Combo1, key);
        QCOMPARE(pw.grid.textMatrix(1, column), chosen);
        QCOMPARE(int(pw.record(1)[column == 1 ? 1 : 3]), code);
    }

    void typedChooserTextGoesIntoTheCellOnly()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(1, 5, 2);  // 插补运动 / 三轴相对运动
        pw.showProgram(2);
        const auto image = pw.state.ProgramImage;

        pw.clickCell(1, 2);
        pw.w.Combo1->clearEditText();
        QTest::keyClicks(pw.w.Combo1, "XY");
        QTest::keyClick(pw.w.Combo1, Qt::Key_Return);
        QVERIFY(!pw.w.Combo1->isVisible());
        QCOMPARE(pw.grid.textMatrix(1, 2), QStringLiteral("XY"));

        pw.clickCell(1, 1);
        pw.w.Combo1->clearEditText();
        QTest::keyClicks(pw.w.Combo1, "Z");
        QTest::keyClick(pw.w.Combo1, Qt::Key_Escape);
        QCOMPARE(pw.grid.textMatrix(1, 1), QStringLiteral("Z"));
        QVERIFY(pw.state.ProgramImage == image);

        // Typed text naming a list entry is still typed text: the codes stay.
        pw.clickCell(1, 1);
        pw.w.Combo1->clearEditText();
        QTest::keyClicks(pw.w.Combo1, "Z");
        QTest::keyClick(pw.w.Combo1, Qt::Key_Backspace);
        pw.w.Combo1->lineEdit()->insert(QStringLiteral("回零运动"));
        QTest::keyClick(pw.w.Combo1, Qt::Key_Return);
        QCOMPARE(pw.grid.textMatrix(1, 1), QStringLiteral("回零运动"));
        QVERIFY(pw.state.ProgramImage == image);

        // The command list follows the category cell's text.
        pw.clickCell(1, 2);
        QCOMPARE(chooserItems(*pw.w.Combo1), program::CommandNames("回零运动"));
        QTest::keyClick(pw.w.Combo1, Qt::Key_Escape);
        pw.clickCell(1, 1);
        chooseFromList(*pw.w.Combo1, 5);
        QCOMPARE(pw.rowTexts(1).mid(0, 2), (QStringList{"独立运动", "无"}));
        pw.clickCell(1, 2);
        chooseFromList(*pw.w.Combo1, 2);
        QCOMPARE(pw.grid.textMatrix(1, 2), QStringLiteral("X绝对运动"));
        QCOMPARE(int(pw.record(1)[1]), 6);
        QCOMPARE(int(pw.record(1)[3]), 3);

        // A text in the category cell that is no category gives an empty command list.
        pw.clickCell(1, 1);
        pw.w.Combo1->clearEditText();
        QTest::keyClicks(pw.w.Combo1, "Z");
        QTest::keyClick(pw.w.Combo1, Qt::Key_Escape);
        pw.clickCell(1, 2);
        QCOMPARE(pw.w.Combo1->count(), 0);
    }
};

QTEST_MAIN(TestCellEditing)
#include "tst_cell_editing.moc"
