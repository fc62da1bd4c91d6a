// SPDX-License-Identifier: GPL-3.0-or-later
// Editing the program in the grid as the user does: clicks on cells, the chooser and the entry
// box with typed keys, the four line buttons, undo and redo; checked on the grid's texts and the
// record bytes.
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

#include "Rigs.h"
#include "editor/EditHistory.h"
#include "projects/Form4.h"
#include "projects/ProjectFiles.h"
#include "ui/FlexGrid.h"

namespace {
// The tool without a controller, on screen, with a program opened from a project file.
struct Editor : Tool {
    QTemporaryDir dir;
    FlexGrid &grid = *w.MSFlexGrid1;

    Editor() : Tool({})
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));  // for the undo keys
        start();
    }
    void open(const QList<QByteArray> &records)
    {
        QByteArray bytes(2, char(records.size() >> 8));
        bytes[1] = char(records.size());
        bytes = (bytes + records.join()).leftJustified(12025, '\0');
        QFile f(dir.filePath(QStringLiteral("project")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        prompter.fileNames.enqueue(f.fileName());
        QTest::mouseClick(w.Command10, Qt::LeftButton);
        QCOMPARE(w.Text1->text(), QString::number(records.size()));
        prompter.clear();
    }
    QByteArray record(int line) const { return image(2 + 24 * (line - 1), 24); }
    // The texts of a line's seven cells, blank-separated.
    QString row(int r, int from = 1, int to = 7) const
    {
        QStringList texts;
        for (int c = from; c <= to; ++c)
            texts << grid.textMatrix(r, c);
        return texts.join(u' ');
    }
    // A mouse click on a cell: titles in the top header, line numbers in the side header.
    void click(int row, int col)
    {
        if (row >= 1)
            grid.scrollTo(grid.model()->index(row - 1, std::max(col - 1, 0)));
        const QPoint at(col ? grid.columnViewportPosition(col - 1) + grid.columnWidth(col - 1) / 2 : 5,
                        row ? grid.rowViewportPosition(row - 1) + grid.rowHeight(row - 1) / 2 : 5);
        QTest::mouseClick(row == 0   ? grid.horizontalHeader()->viewport()
                          : col == 0 ? grid.verticalHeader()->viewport()
                                     : grid.viewport(),
                          Qt::LeftButton, {}, at);
    }
    // Selects a line (0: the title row), waits until the line buttons can see it, presses one.
    void press(QPushButton *button, int line)
    {
        click(line, line ? 0 : 3);
        QVERIFY(QTest::qWaitFor([&] { return w.Text3->text() == QString::number(line); }));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Renders every line again from the records: a line inserted after the last one.
    void renderAgain() { press(w.Command1, w.Text1->text().toInt()); }
    // Both images, the line count, the selected cell, every grid text.
    QStringList shown() const
    {
        QStringList s{image().toHex(), QByteArray((const char *)state.DisplayImage.data(), 12025).toHex(),
                      w.Text1->text(), QStringLiteral("%1,%2").arg(w.SelectedRow).arg(w.SelectedColumn)};
        for (int i = 0; i < grid.rows() * FlexGrid::Cols; ++i)
            s << grid.textMatrix(i / FlexGrid::Cols, i % FlexGrid::Cols);
        return s;
    }
    // Clicks a cell and waits until the line buttons can see its line.
    void select(int row, int col)
    {
        click(row, col);
        QVERIFY(QTest::qWaitFor([&] { return w.Text3->text() == QString::number(row); }));
    }
    void keys(QKeyCombination k) { QTest::keyClick(qApp->focusWidget(), k.key(), k.keyboardModifiers()); }
};

const auto hexOf = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex().toUpper()); };
}  // namespace

class TstEditor : public QObject {
    Q_OBJECT
private slots:
    void aClickOpensTheEditorOfItsColumn_data()
    {
        columns<int, int, QString, QString, QString>("line", "col", "editor", "text", "list");
        row("category", 2, 1, "chooser", "系统操作", "系统操作 流程控制 输出口设置 回零运动 插补运动 独立运动");
        row("系统操作", 2, 2, "chooser", "暂停", "停止 启动 暂停 恢复 延时等待 等待电机完成 停止电机运动 常等待");
        row("流程控制", 3, 2, "chooser", "程序间跳转", "程序间跳转 程序循环 输入跳转 开启输入中断 关闭输入中断");
        row("输出口设置", 4, 2, "chooser", "输出口设置", "输出口设置");
        row("回零运动", 5, 2, "chooser", "启动回零", "设置回零速度 启动回零");
        row("插补运动", 6, 2, "chooser", "0",
            "设置点位速度 三轴相对运动 单轴绝对运动 XY绝对运动 XZ绝对运动 YZ绝对运动 三轴绝对运动 XY圆弧插补 "
            "XZ圆弧插补 YZ圆弧插补");
        row("独立运动", 7, 2, "chooser", "Z绝对运动", "独立运动速度 相对运动 X绝对运动 Y绝对运动 Z绝对运动");
        row("no category", 1, 2, "chooser", "无", "");
        row("parameter", 2, 3, "entry", "1.5", "");
        row("title row", 0, 4, "", "", "");
        row("line number", 3, 0, "", "", "");
    }
    void aClickOpensTheEditorOfItsColumn()
    {
        QFETCH(int, line);
        QFETCH(int, col);
        QFETCH(QString, editor);
        Editor e;
        e.open({rec(0, 0), rec(1, 3, {1500, 0, 0, 0, 2000}), rec(2, 1), rec(3, 1), rec(4, 2), rec(5, 0), rec(6, 5)});
        const ProgramBytes before = e.state.ProgramImage;
        // A number typed but not confirmed is abandoned by the click.
        e.click(2, 7);
        type(e.w.Text2, "77", 0);
        e.click(line, col);
        QTRY_COMPARE(e.w.Text3->text(), QString::number(line));
        QTRY_COMPARE(e.w.Text4->text(), QString::number(col));
        QCOMPARE(e.w.Combo1->isVisible(), editor == "chooser");
        QCOMPARE(e.w.Text2->isVisible(), editor == "entry");
        QWidget *open = editor == "entry" ? static_cast<QWidget *>(e.w.Text2) : e.w.Combo1;
        if (!editor.isEmpty()) {
            // Laid over the clicked cell, exactly, and ready for keys.
            QRect cell = e.grid.visualRect(e.grid.model()->index(line - 1, col - 1));
            cell.moveTopLeft(e.grid.viewport()->mapTo(open->parentWidget(), cell.topLeft()));
            QCOMPARE(open->geometry(), cell);
            QVERIFY(open->hasFocus());
            QTEST(editor == "entry" ? e.w.Text2->text() : e.w.Combo1->currentText(), "text");
        }
        QStringList items;
        for (int i = 0; i < e.w.Combo1->count(); ++i)
            items << e.w.Combo1->itemText(i);
        if (editor == "chooser")
            QTEST(items.join(u' '), "list");
        QCOMPARE(e.grid.textMatrix(2, 7), QStringLiteral("2"));
        QVERIFY(e.state.ProgramImage == before);
        QVERIFY(e.prompter.messages.isEmpty());
    }

    void theChooserChooses_data()
    {
        // how: keys pressed where the focus is, after text typed before a "|"
        // codes: record bytes 0 to 3
        // rendered: once the grid is rendered again from the records
        columns<QByteArray, int, QString, QString, QString, QString>("record", "col", "how", "shown", "codes",
                                                                     "rendered");
        const QByteArray move = rec(5, 2, {1000, -2500, 3, 0, 7000000});   // 插补运动 / 三轴相对运动
        const QByteArray pause = rec(1, 3, {1000, -2500, 3, 0, 7000000});  // 系统操作 / 暂停
        const QByteArray loop = rec(2, 2, {1000, -2500, 3, 0, 7000000});   // 流程控制 / 程序循环
        // The arrow keys move from the cell's own entry and choose at once.
        row("category, Down", move, 1, "Down", "独立运动 无", "00060000", "独立运动 0");
        row("category, Up", move, 1, "Up", "回零运动 无", "00040000", "回零运动 0");
        row("command, Down", move, 2, "Down", "插补运动 单轴绝对运动", "00050003", "插补运动 单轴绝对运动");
        row("command, Up", move, 2, "Up", "插补运动 设置点位速度", "00050001", "插补运动 设置点位速度");
        // The list opens on the cell's own entry.
        row("category from the list", pause, 1, "F4, Down, Return", "流程控制 无", "00020000", "流程控制 0");
        row("the same category", loop, 1, "F4, Return", "流程控制 程序循环", "00020002", "流程控制 程序循环");
        row("command from the list", loop, 2, "F4, End, Return", "流程控制 关闭输入中断", "00020005",
            "流程控制 关闭输入中断");
        // Typed text goes into the cell only; the codes change only by a choice from the list.
        row("typed, ENTER", move, 2, "XY|Return", "插补运动 XY", "00050002", "插补运动 三轴相对运动");
        row("typed, ESC", move, 1, "回零运动|Escape", "回零运动 三轴相对运动", "00050002", "插补运动 三轴相对运动");
    }
    void theChooserChooses()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, col);
        QFETCH(QString, how);
        Editor e;
        e.open({record, rec(4, 1)});
        e.click(1, col);
        QComboBox *chooser = e.w.Combo1;
        if (how.contains(u'|')) {
            QTest::keyClick(chooser, Qt::Key_A, Qt::ControlModifier);
            QInputMethodEvent typed;  // as the desktop's input method hands it over
            typed.setCommitString(how.section(u'|', 0, 0));
            QApplication::sendEvent(chooser->lineEdit(), &typed);
        }
        const QKeySequence keys(how.section(u'|', -1));
        for (int i = 0; i < keys.count(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), keys[i].key());
            QVERIFY(keys[i].key() != Qt::Key_F4 || chooser->view()->isVisible());  // the list is open
        }
        QVERIFY(!chooser->isVisible() && !chooser->view()->isVisible());
        QTEST(e.row(1, 1, 2), "shown");
        QTEST(hexOf(e.record(1).left(4)), "codes");
        QCOMPARE(e.record(1).mid(4), record.mid(4));  // the parameters stay
        QCOMPARE(e.row(1, 3), QStringLiteral("1 -2.5 0.003 0 7000"));
        e.renderAgain();
        QTEST(e.row(1, 1, 2), "rendered");
        QCOMPARE(e.row(1, 3), QStringLiteral("1 -2.5 0.003 0 7000"));
        QVERIFY(e.prompter.messages.isEmpty());
    }

    void theEntryBoxStoresANumber_data()
    {
        // how: text typed, then keys pressed after a "|"
        // bytes: record bytes 8 to 11, "参数2"
        columns<QString, QString, int, QString, QString, QString, QStringList>("clipboard", "how", "end", "cell",
                                                                               "bytes", "rendered", "messages");
        const int enter = Qt::Key_Return;
        const QStringList none, range{"参数超出范围（-2147483.648 至 2147483.647），输入无效！"};
        row("-1.5", "", "-1.5", enter, "-1.5", "FA24FFFF", "-1.5", none);
        row("largest", "", "2147483.647", enter, "2147483.647", "FFFF7FFF", "2147483.647", none);
        row("smallest", "", "-2147483.648", int(Qt::Key_Enter), "-2147483.648", "00008000", "-2147483.648", none);
        row("65.536", "", "65.536", enter, "65.536", "00000001", "65.536", none);
        row("-0.0004", "", "-0.0004", enter, "-0.0004", "FFFFFFFF", "-0.001", none);
        row("0.0004", "", "0.0004", enter, "0.0004", "00000000", "0", none);
        // Rounded on the digits typed: to the nearest thousandth, a half to the even one; a negative
        // number's magnitude up to the next thousandth.
        row("below half, odd", "", "1.0014", enter, "1.0014", "03E90000", "1.001", none);
        row("half, odd", "", "1.0015", enter, "1.0015", "03EA0000", "1.002", none);
        row("above half, odd", "", "1.0016", enter, "1.0016", "03EA0000", "1.002", none);
        row("below half, even", "", "1.0024", enter, "1.0024", "03EA0000", "1.002", none);
        row("half, even", "", "0.0025", enter, "0.0025", "00020000", "0.002", none);
        row("above half, even", "", "0.00251", enter, "0.00251", "00030000", "0.003", none);
        row("half, carried", "", "0.9995", enter, "0.9995", "03E80000", "1", none);
        row("negative, below half", "", "-1.0014", enter, "-1.0014", "FC16FFFF", "-1.002", none);
        row("negative, half, even", "", "-1.0025", enter, "-1.0025", "FC15FFFF", "-1.003", none);
        row("negative, whole", "", "-4.35", enter, "-4.35", "EF02FFFF", "-4.35", none);
        row("many decimals", "", "1.00149999999", enter, "1.00149999999", "03E90000", "1.001", none);
        row("longest, below half", "", "2147483.6474", enter, "2147483.6474", "FFFF7FFF", "2147483.647", none);
        row("longest, half", "", "2147483.6475", enter, "4", "0FA00000", "4", range);
        row("longest negative", "", "-2147483.6479", enter, "-2147483.6479", "00008000", "-2147483.648", none);
        row("only / . - and digits", "", "a1 b/x2+Z", enter, "1/2", "03E80000", "1", none);
        row("1-2", "", "1-2", enter, "1-2", "03E80000", "1", none);
        row("minus alone", "", "-", enter, "-", "00000000", "0", none);
        row("ESC", "", "1.5", int(Qt::Key_Escape), "4", "0FA00000", "4", none);
        row("too large", "", "2147483.648", enter, "4", "0FA00000", "4", range);
        row("too small", "", "-2147483.649", enter, "4", "0FA00000", "4", range);
        // The editing keys of any text box; a paste goes in only when the filter takes all of it.
        row("select all", "", "1|End, Ctrl+A, 7", enter, "7", "1B580000", "7", none);
        row("copy", "", "|Ctrl+C, End, Ctrl+V", enter, "44", "ABE00000", "44", none);
        row("cut", "", "|Ctrl+X, Ctrl+V, Ctrl+V", enter, "44", "ABE00000", "44", none);
        row("undo", "", "1|Ctrl+Z", enter, "4", "0FA00000", "4", none);
        row("paste 12.5", "12.5", "|Ctrl+V", enter, "12.5", "30D40000", "12.5", none);
        row("paste 12a", "12a", "|Ctrl+V", enter, "4", "0FA00000", "4", none);
        row("menu paste 12.5", "12.5", "|menu", enter, "12.5", "30D40000", "12.5", none);
        row("menu paste 12a", "12a", "|menu", enter, "4", "0FA00000", "4", none);
    }
    void theEntryBoxStoresANumber()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, how);
        QFETCH(int, end);
        Editor e;
        QList<QByteArray> lines;
        for (int i = 1; i <= 8; ++i)
            lines << rec(1, 1, {i * 1000, i * 1000 - 3000, 0, 0, -i});
        e.open(lines);
        QGuiApplication::clipboard()->setText(clipboard);
        e.click(7, 4);  // "参数2" of line 7, which holds 4, selected: typing replaces it
        QCOMPARE(e.w.Text2->text(), QStringLiteral("4"));
        type(e.w.Text2, how.section(u'|', 0, 0), 0);
        if (how.endsWith(u"menu"))
            QVERIFY(menuPaste(e.w.Text2));
        else
            QTest::keySequence(e.w.Text2, QKeySequence(how.section(u'|', 1)));
        QTest::keyClick(e.w.Text2, Qt::Key(end));
        QVERIFY(!e.w.Text2->isVisible());
        QTEST(e.grid.textMatrix(7, 4), "cell");
        QTEST(hexOf(e.record(7).mid(8, 4)), "bytes");
        QCOMPARE(e.record(7).left(8) + e.record(7).mid(12), lines[6].left(8) + lines[6].mid(12));
        QTEST(e.prompter.messages, "messages");
        e.renderAgain();
        QTEST(e.grid.textMatrix(7, 4), "rendered");
        QCOMPARE(e.grid.item(6, 3)->textAlignment(), int(Qt::AlignCenter));  // as every program cell
    }

    void theLineButtons_data()
    {
        // steps: line to select, then i(nsert) d(elete) c(opy) p(aste); o: open the project again
        // order: the old line now at each position; 0: an empty line
        columns<int, QString, QList<int>, int, QStringList>("lines", "steps", "order", "selected", "messages");
        using L = QList<int>;
        const QStringList none, invalid{"没有选择有效行！"}, full{"程序已有500行，不能再插入代码行！"};
        row("insert in the middle", 5, "2i", L{1, 2, 0, 3, 4, 5}, 3, none);
        row("insert after the last", 5, "5i", L{1, 2, 3, 4, 5, 0}, 6, none);
        row("insert into no program", 0, "0i", L{0}, 1, none);
        row("delete in the middle", 5, "2d", L{1, 3, 4, 5}, 2, none);
        row("delete the last", 5, "5d", L{1, 2, 3, 4}, 4, none);
        row("copy 4, paste after 1", 5, "4c 1p", L{1, 4, 2, 3, 4, 5}, 2, none);
        row("paste after the last", 5, "2c 5p 6p", L{1, 2, 3, 4, 5, 2, 2}, 7, none);
        row("paste before a copy", 5, "1p", L{1, 2, 3, 4, 5}, 1, none);
        row("the clipboard outlives the project", 5, "4c 0o 1p", L{1, 4, 2, 3, 4, 5}, 2, none);
        row("title row", 5, "0i 0d 0c 1p", L{1, 2, 3, 4, 5}, 1, invalid + invalid + invalid);
        row("delete in no program", 0, "0d", L{}, 0, invalid);
        // Line 8 jumps to line 10: it still does once line 10 has moved.
        row("a jump target stays", 12, "3d", L{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 3, none);
        L all(500);
        std::iota(all.begin(), all.end(), 1);
        const L made = all.mid(0, 10) + L{250} + all.mid(10, 489);  // 1 .. 10, 250, 11 .. 499
        row("500 lines take no more", 500, "250c 250i 250p 500i 500p", all, 500, full + full + full + full);
        row("500 lines, one deleted", 500, "250c 500d 10p", made, 11, none);
    }
    void theLineButtons()
    {
        QFETCH(int, lines);
        QFETCH(QString, steps);
        QFETCH(QList<int>, order);
        QFETCH(int, selected);
        const QStringList commands =
            QStringLiteral("停止 启动 暂停 恢复 延时等待 等待电机完成 停止电机运动 常等待").split(u' ');
        Editor e;
        QList<QByteArray> old{rec(0, 0)};
        for (int i = 1; i <= lines; ++i)
            old << (i == 8 ? rec(2, 1, {10000, 0, 0, -8000}) : rec(1, (i - 1) % 8 + 1, {i * 1000, 0, 0, -i * 1000}));
        e.open(old.mid(1));
        QPushButton *buttons[] = {e.w.Command1, e.w.Command2, e.w.Command3, e.w.Command4};
        for (const QString &step : steps.split(u' '))
            step.back() == u'o'
                ? e.open(old.mid(1))
                : e.press(buttons[QStringLiteral("idcp").indexOf(step.back())], step.chopped(1).toInt());
        QTEST(e.prompter.messages, "messages");
        QCOMPARE(e.w.Text1->text(), QString::number(order.size()));
        QCOMPARE(e.grid.rows(), order.size() + 1);
        for (int r = 0; r <= order.size(); ++r)  // 400 twips: 27 pixels at 96 dpi, read back as 405 twips
            QCOMPARE(e.grid.rowHeightTwips(r), 405);
        QTRY_COMPARE(e.w.Text3->text(), QString::number(selected));
        for (int at = 1; at <= order.size(); ++at) {
            const int i = order[at - 1];
            QCOMPARE(hexOf(e.record(at)), hexOf(old[i]));
            QString texts = QStringLiteral("%1 系统操作 %2 %3 0 0 -%3 0").arg(at).arg(commands[(i + 7) % 8]).arg(i);
            if (i == 0 || i == 8)
                texts = QString::number(at) + (i ? " 流程控制 程序间跳转 10 0 0 -8 0" : " 无 无 0 0 0 0 0");
            QCOMPARE(e.row(at, 0), texts);
        }
        // The count word is the project file's; the line buttons leave it alone.
        QCOMPARE(e.state.ProgramImage[0] * 256 + e.state.ProgramImage[1], lines);
    }

    void recordsAreShownAsStored_data()
    {
        // record: bytes 0 to 3, then the parameters; the rest is 0
        columns<QString, QString>("record", "shown");
        row("no category", "00000002", "无 无 0 0 0 0 0");
        row("category 7", "00070001", "无 无 0 0 0 0 0");
        row("category 200", "00C80003", "无 无 0 0 0 0 0");
        row("unknown command", "00010009", "系统操作 9 0 0 0 0 0");
        row("no command", "00040000", "回零运动 0 0 0 0 0 0");
        row("5/3", "00050003", "插补运动 单轴绝对运动 0 0 0 0 0");
        row("6/3", "00060003", "独立运动 X绝对运动 0 0 0 0 0");
        row("2/3", "00020003", "流程控制 输入跳转 0 0 0 0 0");
        row("high bytes of the codes", "FF050102", "插补运动 三轴相对运动 0 0 0 0 0");
        row("signed", "00030001 FFFFFFFF 00008000 FFFF7FFF FC18FFFF 05DC0000",
            "输出口设置 输出口设置 -0.001 -2147483.648 2147483.647 -1 1.5");
        row("words", "00060005 00010000 86A00001 00000001 000A0000 03E80000",
            "独立运动 Z绝对运动 0.001 100 65.536 0.01 1");
    }
    void recordsAreShownAsStored()
    {
        QFETCH(QString, record);
        Editor e;
        e.open({QByteArray::fromHex(record.toLatin1()).leftJustified(24, '\0')});
        QTEST(e.row(1), "shown");
    }
    // Five lines: category L % 6 + 1, command 1, parameter 1 L / 1000.
    void eachEditIsUndoneAndRedone_data()
    {
        // cell: line and column clicked; key: then typed, or 0: clicked; input: into or on this widget, this text;
        // redoneCommand: a redone edit shows the line rendered from its record: after a category
        // chosen, the command code 0 reads "0", where the chooser left "无".
        columns<QPoint, int, QStringList, QString>("cell", "key", "input", "redoneCommand");
        row("parameter entry", QPoint(2, 4), int(Qt::Key_Return), QStringList{"Text2", "-1.5"}, QString());
        row("category choice", QPoint(3, 1), int(Qt::Key_Down), QStringList{"Combo1"}, QStringLiteral("0"));
        row("command choice", QPoint(4, 2), int(Qt::Key_Down), QStringList{"Combo1"}, QString());
        row("insert", QPoint(2, 3), 0, QStringList{"Command1"}, QString());
        row("delete", QPoint(2, 3), 0, QStringList{"Command2"}, QString());
        row("paste", QPoint(1, 3), 0, QStringList{"Command4"}, QString());
    }
    void eachEditIsUndoneAndRedone()
    {
        QFETCH(QPoint, cell);
        QFETCH(int, key);
        QFETCH(QStringList, input);
        QFETCH(QString, redoneCommand);
        Editor e;
        e.open({rec(2, 1, {1}), rec(3, 1, {2}), rec(4, 1, {3}), rec(5, 1, {4}), rec(6, 1, {5})});
        e.press(e.w.Command3, 4);  // a copy changes nothing
        e.select(cell.x(), cell.y());
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
        e.open({rec(1, 1), rec(1, 2)});
        e.prompter.fileNames << e.dir.filePath(QStringLiteral("project"));
        QTest::mouseClick(e.w.Command5, Qt::LeftButton);  // the new-project window, filled in
        Form4 *form = e.w.projects().form4();
        form->Text1->setText(QStringLiteral("new")), form->Text2->setText(QStringLiteral("3"));
        e.select(2, 3);
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
        e.open({rec(1, 1), rec(1, 2)});
        e.select(1, 3);
        const QStringList before = e.shown();
        type(e.w.Text2, QStringLiteral("7"));
        e.select(2, 4);
        type(e.w.Text2, QStringLiteral("12"), 0);
        e.keys(Qt::CTRL | Qt::Key_Z);
        QVERIFY(e.w.Text2->isVisible() && e.w.Text2->text() == QStringLiteral("0"));
        e.keys(Qt::CTRL | Qt::Key_Z);  // no typing left: the grid's undo, the box closed, nothing stored
        QVERIFY(!e.w.Text2->isVisible() && e.grid.hasFocus() && e.shown() == before);
    }
};

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"
