// Insert, delete, copy and paste of whole program lines through the main window's buttons.
#include <QTemporaryDir>
#include <QtTest>

#include "ProgramWindow.h"
#include "editor/ProgramEditor.h"
#include "projects/LineRenderer.h"

namespace {
// The texts a record renders to, for comparing grid rows with records.
QStringList textsOf(const QByteArray &record)
{
    const LineTexts t = RenderRecord(reinterpret_cast<const std::uint8_t *>(record.constData()));
    QStringList texts{t.category, t.command};
    for (const QString &p : t.parameters)
        texts << p;
    return texts;
}

const QStringList EmptyLine{"无", "无", "0", "0", "0", "0", "0"};
}  // namespace

class TestLineOperations : public QObject {
    Q_OBJECT
private:
    // Every line of the grid shows its record, numbered, and nothing lies beyond the count.
    static void verifyGridShowsProgram(ProgramWindow &pw, int lines)
    {
        QCOMPARE(pw.w.Text1->text(), QString::number(lines));
        QCOMPARE(pw.grid.rows(), lines + 1);
        QCOMPARE(pw.grid.textMatrix(0, 1), QStringLiteral("指令集"));
        QCOMPARE(pw.grid.textMatrix(0, 7), QStringLiteral("参数5"));
        for (int line = 1; line <= lines; ++line) {
            QCOMPARE(pw.grid.textMatrix(line, 0), QString::number(line));
            QCOMPARE(pw.rowTexts(line), textsOf(pw.record(line)));
        }
    }

private slots:
    void insertPutsAnEmptyLineAfterTheSelectedOne()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(5);
        pw.showProgram(5);
        QByteArray old[6];
        for (int i = 1; i <= 5; ++i)
            old[i] = pw.record(i);

        // In the middle.
        QVERIFY(pw.selectLine(2));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        verifyGridShowsProgram(pw, 6);
        QCOMPARE(pw.record(1), old[1]);
        QCOMPARE(pw.record(2), old[2]);
        QCOMPARE(pw.record(3), zeroRecord());
        QCOMPARE(pw.rowTexts(3), EmptyLine);
        for (int i = 3; i <= 5; ++i)
            QCOMPARE(pw.record(i + 1), old[i]);
        QCOMPARE(pw.w.SelectedRow, 3);

        // After the last line.
        QVERIFY(pw.selectLine(6));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        verifyGridShowsProgram(pw, 7);
        QCOMPARE(pw.record(7), zeroRecord());
        QCOMPARE(pw.record(6), old[5]);
        QCOMPARE(pw.w.SelectedRow, 7);
        QVERIFY(pw.prompter.messages.isEmpty());
        // The count word is the file's business, not the line buttons'.
        QCOMPARE(pw.state.ProgramImage[0] | pw.state.ProgramImage[1], 0);
    }

    void insertIntoAnEmptyProgramMakesLineOne()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setRecord(1, 4, 2, {5000});  // a leftover past the count
        pw.showProgram(0);
        pw.w.Timer1->start();
        QTRY_COMPARE(pw.w.Text3->text(), QStringLiteral("0"));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        verifyGridShowsProgram(pw, 1);
        QCOMPARE(pw.record(1), zeroRecord());
        QCOMPARE(pw.w.SelectedRow, 1);
    }

    void deleteRemovesTheSelectedLine()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(5);
        pw.showProgram(5);
        QByteArray old[6];
        for (int i = 1; i <= 5; ++i)
            old[i] = pw.record(i);

        QVERIFY(pw.selectLine(2));
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        verifyGridShowsProgram(pw, 4);
        QCOMPARE(pw.record(1), old[1]);
        for (int i = 2; i <= 4; ++i)
            QCOMPARE(pw.record(i), old[i + 1]);
        // The old last record stays behind, past the count.
        QCOMPARE(pw.record(5), old[5]);
        QCOMPARE(pw.w.SelectedRow, 2);

        QVERIFY(pw.selectLine(4));
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        verifyGridShowsProgram(pw, 3);
        QCOMPARE(pw.record(3), old[4]);
        QCOMPARE(pw.w.SelectedRow, 3);
        QVERIFY(pw.prompter.messages.isEmpty());
    }

    void lineNumbersInParametersAreNeverRenumbered()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(12);
        pw.setRecord(8, 2, 1, {10000});  // 流程控制 / 程序间跳转 to line 10
        pw.showProgram(12);
        QVERIFY(pw.selectLine(3));
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        QCOMPARE(pw.rowTexts(7).mid(0, 3), (QStringList{"流程控制", "程序间跳转", "10"}));
        QVERIFY(pw.selectLine(1));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        QCOMPARE(pw.rowTexts(8).mid(0, 3), (QStringList{"流程控制", "程序间跳转", "10"}));
    }

    void pasteInsertsACopyOfTheCopiedLine()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(6);
        pw.setRecord(4, 5, 8, {1, -1, 2147483647, INT32_MIN, 65536});
        pw.showProgram(6);
        QByteArray old[7];
        for (int i = 1; i <= 6; ++i)
            old[i] = pw.record(i);

        // Paste before any copy does nothing at all.
        const auto image = pw.state.ProgramImage;
        QVERIFY(pw.selectLine(1));
        QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        QVERIFY(pw.state.ProgramImage == image);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("6"));
        QVERIFY(pw.prompter.messages.isEmpty());

        QVERIFY(pw.selectLine(4));
        QTest::mouseClick(pw.w.Command3, Qt::LeftButton);
        QVERIFY(pw.state.ProgramImage == image);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("6"));

        QVERIFY(pw.selectLine(1));
        QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        verifyGridShowsProgram(pw, 7);
        QCOMPARE(pw.record(1), old[1]);
        QCOMPARE(pw.record(2), old[4]);
        for (int i = 2; i <= 6; ++i)
            QCOMPARE(pw.record(i + 1), old[i]);
        QCOMPARE(pw.w.SelectedRow, 2);

        // The clipboard stays full: paste after the last line too.
        QVERIFY(pw.selectLine(7));
        QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        verifyGridShowsProgram(pw, 8);
        QCOMPARE(pw.record(8), old[4]);
        QVERIFY(pw.prompter.messages.isEmpty());
    }

    void theClipboardOutlivesTheProject()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));

        // Another project on disk: three lines of 回零运动.
        ProgramBytes other{};
        other[1] = 3;
        for (int line = 1; line <= 3; ++line) {
            std::uint8_t *r = program::Record(other, line);
            r[1] = 4;
            r[3] = 1;
        }
        const QString path = dir.filePath("other.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(other.data()), other.size());
        file.close();

        pw.setNumberedRecords(4);
        pw.setRecord(2, 6, 4, {123456});
        pw.showProgram(4);
        const QByteArray copied = pw.record(2);
        QVERIFY(pw.selectLine(2));
        QTest::mouseClick(pw.w.Command3, Qt::LeftButton);

        pw.prompter.fileNames.enqueue(path);
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("3"));

        QVERIFY(pw.selectLine(1));
        QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        verifyGridShowsProgram(pw, 4);
        QCOMPARE(pw.record(2), copied);
        QCOMPARE(pw.rowTexts(2).mid(0, 3), (QStringList{"独立运动", "Y绝对运动", "123.456"}));
        QCOMPARE(pw.rowTexts(3).mid(0, 2), (QStringList{"回零运动", "设置回零速度"}));
        QVERIFY(pw.prompter.messages.isEmpty());
    }

    void aSelectionOutsideTheProgramIsRefused()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(5);
        pw.showProgram(5);
        const auto image = pw.state.ProgramImage;
        const QString invalid = QStringLiteral("没有选择有效行！");

        // Line 9 of the 500-row start-up grid lies past the 5 lines now shown: make it
        // reachable by showing the rows again with a stale count of 5.
        pw.grid.setRows(11);
        QVERIFY(pw.selectLine(9));
        for (QPushButton *b : {pw.w.Command1, pw.w.Command2, pw.w.Command3})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(pw.prompter.messages, (QStringList{invalid, invalid, invalid}));
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("5"));
        QVERIFY(pw.state.ProgramImage == image);
        QCOMPARE(pw.w.editor().clipboardFull(), 0);

        // Clicking a column title selects row 0: nothing to act on in a program with lines.
        pw.prompter.clear();
        pw.clickCell(0, 3);
        QTRY_COMPARE(pw.w.Text3->text(), QStringLiteral("0"));
        for (QPushButton *b : {pw.w.Command1, pw.w.Command2, pw.w.Command3})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(pw.prompter.messages, (QStringList{invalid, invalid, invalid}));

        // Delete on an empty program.
        pw.showProgram(0);
        pw.prompter.clear();
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        QCOMPARE(pw.prompter.messages, QStringList{invalid});
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("0"));
    }

    void aFullProgramTakesNoMoreLines()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(program::MaxLines);
        // The bytes after line 500 are no line; nothing may spill into them.
        std::fill(pw.state.ProgramImage.begin() + 12002, pw.state.ProgramImage.end(), 0xA5);
        pw.showProgram(program::MaxLines);
        const auto image = pw.state.ProgramImage;

        QVERIFY(pw.selectLine(250));
        QTest::mouseClick(pw.w.Command3, Qt::LeftButton);
        for (int line : {250, 500}) {
            QVERIFY(pw.selectLine(line));
            pw.prompter.clear();
            QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
            QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
            QCOMPARE(pw.prompter.messages,
                     (QStringList{QStringLiteral("程序已有500行，不能再插入代码行！"), QStringLiteral("程序已有500行，不能再插入代码行！")}));
            QVERIFY(pw.state.ProgramImage == image);
            QCOMPARE(pw.w.Text1->text(), QStringLiteral("500"));
            QCOMPARE(pw.grid.rows(), 501);
            QCOMPARE(pw.w.SelectedRow, line);
        }

        // Deleting one makes room again.
        pw.prompter.clear();
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        QVERIFY(pw.selectLine(10));
        QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        QVERIFY(pw.prompter.messages.isEmpty());
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("500"));
        const std::uint8_t *copied = program::Record(image, 250);
        QCOMPARE(pw.record(11), QByteArray(reinterpret_cast<const char *>(copied), program::RecordSize));
        QCOMPARE(pw.rowTexts(11), textsOf(pw.record(11)));
        QVERIFY(std::all_of(pw.state.ProgramImage.begin() + 12002, pw.state.ProgramImage.end(),
                            [](std::uint8_t b) { return b == 0xA5; }));
    }

    void aLineCountNoProgramCanHaveIsRefused()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(5);
        pw.showProgram(5);
        const auto image = pw.state.ProgramImage;
        QVERIFY(pw.selectLine(5));
        // The count box can be typed into.
        pw.w.Text1->setText(QStringLiteral("600"));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        QTest::mouseClick(pw.w.Command2, Qt::LeftButton);
        QCOMPARE(pw.prompter.messages,
                 (QStringList{QStringLiteral("程序总行数设定出错，重新设定！"), QStringLiteral("程序总行数设定出错，重新设定！")}));
        QVERIFY(pw.state.ProgramImage == image);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("600"));
    }

    void lineButtonsAbandonAnOpenEditorAndShowNormalTexts()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(3);
        pw.showProgram(3);
        pw.w.Timer1->start();

        // Typed but not confirmed: abandoned by the button.
        pw.clickCell(2, 3);
        QTRY_COMPARE(pw.w.Text3->text(), QStringLiteral("2"));
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "77");
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        QVERIFY(!pw.w.Text2->isVisible());
        QCOMPARE(pw.grid.textMatrix(2, 3), QStringLiteral("2"));
        QCOMPARE(pw.rowTexts(3), EmptyLine);
        verifyGridShowsProgram(pw, 4);

        // Confirmed in a loose form: shown in normal form once the lines are rendered again.
        pw.clickCell(4, 4);
        QTRY_COMPARE(pw.w.Text3->text(), QStringLiteral("4"));
        pw.w.Text2->clear();
        QTest::keyClicks(pw.w.Text2, "01.50/");
        QTest::keyClick(pw.w.Text2, Qt::Key_Return);
        QCOMPARE(pw.grid.textMatrix(4, 4), QStringLiteral("01.50/"));
        QTest::mouseClick(pw.w.Command1, Qt::LeftButton);
        QCOMPARE(pw.grid.textMatrix(4, 4), QStringLiteral("1.5"));
        QCOMPARE(pw.rowTexts(5), EmptyLine);
    }
};

QTEST_MAIN(TestLineOperations)
#include "tst_line_operations.moc"
