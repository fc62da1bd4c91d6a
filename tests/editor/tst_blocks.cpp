// SPDX-License-Identifier: GPL-3.0-or-later
// Many lines at once, as the user does it: line numbers clicked, Shift+clicked and dragged, then
// Ctrl+C, Ctrl+X, Ctrl+V and Delete; text from a spreadsheet pasted; each step undone and redone.
#include <QClipboard>
#include <QHeaderView>
#include <QMimeData>
#include <QtTest>
#include <numeric>

#include "Rigs.h"
#include "editor/EditHistory.h"
#include "ui/FlexGrid.h"

namespace {
using L = QList<int>;
L Lines(int from, int to)  // from, from + 1, ..., to
{
    L l(to - from + 1);
    std::iota(l.begin(), l.end(), from);
    return l;
}

// The tool on screen, no controller, a program opened whose line L holds L in "参数1".
struct Editor : Tool {
    QTemporaryFile file;
    FlexGrid &grid = *w.MSFlexGrid1;
    QHeaderView &numbers = *grid.verticalHeader();
    explicit Editor(const QList<QByteArray> &records) : Tool({})
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        start();
        const QByteArray bytes = QByteArray(1, char(records.size() >> 8)) + char(records.size()) + records.join();
        QVERIFY(file.open() && file.write(bytes.leftJustified(12025, '\0')) == 12025 && file.flush());
        prompter.fileNames << file.fileName();
        QTest::mouseClick(w.Command10, Qt::LeftButton);
        prompter.clear();
    }
    QByteArray image() const { return QByteArray((const char *)state.ProgramImage.data(), 12025); }
    L order() const  // "参数1" of each line
    {
        L l;
        for (int r = 1; r <= w.Text1->text().toInt(); ++r)
            l << grid.textMatrix(r, 3).toInt();
        return l;
    }
    QPoint at(int line)
    {
        grid.scrollTo(grid.model()->index(line - 1, 0));
        return {5, numbers.sectionViewportPosition(line - 1) + 5};
    }
    // Down (or up) the line-number column with the button held, past its end until `to` shows.
    void drag(int from, int to)
    {
        QTest::mousePress(numbers.viewport(), Qt::LeftButton, {}, at(from));
        const QPoint end(5, 5);
        const auto place = [&] { return end + QPoint(0, numbers.sectionViewportPosition(to - 1)); };
        for (int moves = 0; (place().y() < 0 || place().y() + 5 >= numbers.viewport()->height()) && moves < 500;
             ++moves)
            QTest::mouseMove(numbers.viewport(), {5, to > from ? numbers.viewport()->height() + 5 : -5});
        QTest::mouseMove(numbers.viewport(), place());
        QTest::mouseRelease(numbers.viewport(), Qt::LeftButton, {}, place());
    }
    // Steps: "3" a line number clicked, "+12" Shift+clicked, "3-250" dragged, "e5" the cell of
    // line 5's "参数1" clicked and left with ESC, then keys: c(opy), x (cut), v (paste), D(elete).
    void run(const QString &steps)
    {
        for (const QString &s : steps.split(u' ')) {
            const QKeySequence keys[] = {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                         QKeySequence(Qt::Key_Delete)};
            if (const qsizetype key = QStringLiteral("cxvD").indexOf(s); key >= 0)
                QTest::keySequence(qApp->focusWidget(), keys[key]);
            else if (s.contains(u'-'))
                drag(s.section(u'-', 0, 0).toInt(), s.section(u'-', 1).toInt());
            else if (s.startsWith(u'e')) {
                const QModelIndex cell = grid.model()->index(s.mid(1).toInt() - 1, 2);
                QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(cell).center());
                QTest::keyClick(w.Text2, Qt::Key_Escape);
            } else
                QTest::mouseClick(numbers.viewport(), Qt::LeftButton,
                                  s.startsWith(u'+') ? Qt::ShiftModifier : Qt::NoModifier, at(s.toInt()));
        }
    }
};

QList<QByteArray> Program(int lines)
{
    QList<QByteArray> records;
    for (int l = 1; l <= lines; ++l)
        records << rec(l % 6 + 1, l % 4, {l * 1000, -l});
    return records;
}
}  // namespace

class TstBlocks : public QObject {
    Q_OBJECT
private slots:
    void blocksOfLines_data()
    {
        columns<QString, L, int, int, QStringList>("steps", "order", "selected", "undoSteps", "messages");
        const QStringList none;
        const L all = Lines(1, 300);
        row("1 line copied, pasted after line 5", "3 c 5 v", Lines(1, 5) + L{3} + Lines(6, 300), 6, 1, none);
        row("10 lines by Shift+click, cut, pasted after old line 20", "3 +12 x 10 v",
            L{1, 2} + Lines(13, 20) + Lines(3, 12) + Lines(21, 300), 20, 2, none);
        row("250 lines dragged, deleted", "30-279 D", Lines(1, 29) + Lines(280, 300), 30, 1, none);
        row("250 lines cut, pasted after the last", "1-250 x 50 v", Lines(251, 300) + Lines(1, 250), 300, 2, none);
        row("dragged upwards", "12-3 c 1 v", L{1} + Lines(3, 12) + Lines(2, 300), 11, 1, none);
        row("all cut, pasted into no program", "1-300 x v", all, 300, 2, none);
        row("more than 500 lines in all", "1-250 c 300 v", all, 300, 0,
            QStringList{"粘贴后将有 550 行，一个程序最多 500 行，没有粘贴！"});
        row("a cell clicked is no line selection", "3 c e5 D v", all, 5, 0, none);
    }
    void blocksOfLines()
    {
        QFETCH(QString, steps);
        QFETCH(int, selected);
        QFETCH(int, undoSteps);
        Editor e(Program(300));
        const QByteArray before = e.image();
        e.run(steps);
        QTEST(e.order(), "order");
        QTRY_COMPARE(e.w.Text3->text().toInt(), selected);
        QTEST(e.prompter.messages, "messages");
        QCOMPARE(e.w.history().stack().count(), undoSteps);
        // Undone step by step to the program as it was opened, byte for byte, and redone.
        const QByteArray after = e.image();
        for (int i = 0; i < undoSteps; ++i)
            e.w.history().undo();
        QCOMPARE(e.image(), before);
        for (int i = 0; i < undoSteps; ++i)
            e.w.history().redo();
        QCOMPARE(e.image(), after);
    }

    void pastedFromASpreadsheet_data()
    {
        columns<QString, QString, QString>("text", "pasted", "message");  // pasted: the records' hex
        const QString pause = "00010003 05DC0000 00000000 00000000 00000000 F830FFFF",
                      none = "00000000" + QString(40, '0');
        row("names, CRLF, a trailing empty line",
            "系统操作\t暂停\t1.5\t0\t0\t0\t-2\r\n插补运动\tXY圆弧插补\t1\t2\t3\t4\t5\r\n\r\n",
            pause + "00050008 03E80000 07D00000 0BB80000 0FA00000 13880000", "");
        row("English, titles, line numbers",
            "Line\tCategory\tCommand\tParameter 1\tParameter 2\tParameter 3\tParameter 4\tParameter 5\n"
            "7\tIndependent\tZ absolute\t-0.001\t2147483.647\t-2147483.648\t0\t0\n",
            "00060005 FFFFFFFF FFFF7FFF 00008000 00000000 00000000", "");
        row("codes, quoted cells, none",
            "\"257\"\t\"9\"\t0.01\t0\t0\t0\t0\n0\t65535\t0\t0\t0\t0\t0\n无\tNone\t0\t0\t0\t0\t0",
            "01010009 000A0000 00000000 00000000 00000000 00000000 0000FFFF" + QString(40, '0') + none, "");
        row("an unknown name", "系统\t暂停\t0\t0\t0\t0\t0", "",
            "第 1 行第 1 列（指令集）：“系统”不是指令集的名称或代码。");
        row("a command of another category", "流程控制\t暂停\t0\t0\t0\t0\t0", "",
            "第 1 行第 2 列（命令）：“暂停”不是这一行的指令集中的命令名称或代码。");
        row("a number out of range", "系统操作\t暂停\t1.5\t0\t0\t0\t-2\n1\t1\t0\t0\t0\t0\t2147483.648", "",
            "第 2 行第 7 列（参数5）：“2147483.648”超出范围（-2147483.648 至 2147483.647）。");
        row("four decimals", "1\t1\t1.0005\t0\t0\t0\t0", "",
            "第 1 行第 3 列（参数1）：“1.0005”不是数（可带负号，最多三位小数）。");
        row("a code too large", "65536\t1\t0\t0\t0\t0\t0", "",
            "第 1 行第 1 列（指令集）：代码“65536”超出范围（0 至 65535）。");
        row("the wrong column count", "系统操作\t暂停\t1.5\t0\t0\t0", "",
            "第 1 行有 6 列，应有 7 列（指令集、命令、参数1 至 参数5），或前面再加一列行号共 8 列。");
        row("more than 500 lines in all", QString("1\t1\t0\t0\t0\t0\t0\n").repeated(499), "",
            "粘贴后将有 501 行，一个程序最多 500 行，没有粘贴！");
        row("no text", "", "", "剪贴板中没有代码行！");
    }
    void pastedFromASpreadsheet()
    {
        QFETCH(QString, text);
        QFETCH(QString, pasted);
        QFETCH(QString, message);
        const QByteArray first = rec(1, 3, {1500, 0, 0, 0, -2000}), second = rec(5, 3);
        Editor e({first, second});
        // Copied, the lines are the records and the text a spreadsheet takes.
        e.run("1 +2 c");
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->data("application/x-trelmo-lines"), first + second);
        QCOMPARE(copied->text(), "系统操作\t暂停\t1.5\t0\t0\t0\t-2\n插补运动\t单轴绝对运动\t0\t0\t0\t0\t0\n");
        QGuiApplication::clipboard()->setText(text);
        const QByteArray before = e.image();
        e.run("1 v");
        const QByteArray records = QByteArray::fromHex(pasted.remove(u' ').toLatin1());
        QCOMPARE(e.image(), records.isEmpty()
                                ? before
                                : before.left(26) + records + second + before.mid(50, 12025 - 50 - records.size()));
        const QString header = message.startsWith(u'第') ? "剪贴板中的内容不是程序，没有粘贴：\n" : "";
        QCOMPARE(e.prompter.messages, message.isEmpty() ? QStringList() : QStringList{header + message});
    }
};

QTEST_MAIN(TstBlocks)
#include "tst_blocks.moc"
