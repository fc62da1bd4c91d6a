// Project files through the project buttons, the new-project window, the file dialogs and the
// question before unsaved work is dropped; checked on the files, the program image, the grid, the messages.
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "Rigs.h"
#include "projects/Form4.h"
#include "projects/ProjectFiles.h"
#include "ui/FlexGrid.h"

namespace {
const QString Filter =
    QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|Banary Files (*.dat)|*.dat");

// A project file: the count word, the records, zeros up to 12025 bytes.
QByteArray project(int count, const QList<QByteArray> &records)
{
    return (QByteArray(1, char(count >> 8)) + char(count) + records.join()).leftJustified(12025, '\0');
}

// The tool without a controller, on screen, with a folder for its projects.
struct Projects : Tool {
    QTemporaryDir dir;

    Projects() : Tool({})
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        start();
        prompter.clear();
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    QByteArray read(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Clicks a button; a file dialog it shows returns `path`.
    void click(QPushButton *button, const QString &path = {})
    {
        if (!path.isNull())
            prompter.fileNames.enqueue(path);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // What the user sees of the program, the line count and the grid's rows, and the program image.
    QStringList seen() const
    {
        QStringList s{w.Text1->text(), image().toHex()};
        for (int r = 0; r < w.MSFlexGrid1->rows(); ++r) {
            QStringList texts;
            for (int c = 0; c < 8; ++c)
                texts << w.MSFlexGrid1->textMatrix(r, c);
            s << texts.join(u' ');
        }
        return s;
    }
    QString row(int r) const { return seen().value(r + 2); }
    // Types 7 into "参数5" of line 1 and confirms it, as the user does.
    void edit()
    {
        FlexGrid *grid = w.MSFlexGrid1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 6)).center());
        type(w.Text2, "7");
    }
};
}  // namespace

class TstProjects : public QObject {
    Q_OBJECT
private slots:
    void theNewProjectWindow_data()
    {
        // confirmed: "确 定" (else "取 消") pressed; made: the lines of the new project, 0 if none
        columns<QString, QString, bool, int>("name", "lines", "confirmed", "made");
        row("no name", "", "10", true, 0);
        row("0 lines", "p", "0", true, 0);
        row("500 lines", "p", "500", true, 0);
        row("negative", "p", "-3", true, 0);
        row("no number", "p", "abc", true, 0);
        row("cancelled", "p", "10", false, 0);
        row("1 line", "p", "1", true, 1);
        row("499 lines, the name as typed", " my job", "499", true, 499);
        row("the number a text begins with", "job.dat", "12abc", true, 12);
    }
    void theNewProjectWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, lines);
        QFETCH(bool, confirmed);
        QFETCH(int, made);
        Projects p;
        p.click(p.w.Command10, p.write("old.txt", project(30, {rec(1, 2, {1500})})));
        const QStringList before = p.seen();
        p.click(p.w.Command5);
        Form4 *form = p.w.projects().form4();
        QVERIFY(form && QTest::qWaitForWindowExposed(form));
        QCOMPARE(form->Text1->text() + "|" + form->Text2->text(), QStringLiteral("|0"));
        type(form->Text1, name, 0);
        QTest::keySequence(form->Text2, QKeySequence::SelectAll);
        type(form->Text2, lines, 0);
        QTest::mouseClick(confirmed ? form->Command1 : form->Command2, Qt::LeftButton);
        const bool refused = confirmed && made == 0;
        QCOMPARE(p.prompter.messages, refused ? QStringList{"输入的指令行数不正确或文件名缺失！"} : QStringList{});
        QCOMPARE(form->isVisible(), refused);
        QCOMPARE(p.seen() == before, made == 0);
        if (made == 0)
            return;
        QCOMPARE(p.w.Text1->text(), QString::number(made));
        QCOMPARE(p.w.MSFlexGrid1->rows(), made + 1);
        QCOMPARE(p.image(), project(made, {}));
        // The empty lines are shown by the main window's next tick, not at once.
        QCOMPARE(p.row(made), QString::number(made) + "       ");
        QTRY_COMPARE(p.row(made), QString::number(made) + " 无 无 0 0 0 0 0");
        p.click(p.w.Command7);
        QCOMPARE(p.prompter.fileRequests.last().initialName, name);  // the save dialog offers it as typed
    }

    void openingAFile_data()
    {
        // bytes: the file ("folder": a folder, empty: no file); rows: the line count, then the grid
        columns<QByteArray, QStringList>("bytes", "rows");
        const QString titles = QStringLiteral(" 指令集 命令 参数1 参数2 参数3 参数4 参数5");
        // Three lines announced, two and a half held: what is missing is empty.
        QTest::newRow("short") << (QByteArray::fromHex("0003") + rec(5, 3, {1000}) + rec(2, 1, {-1000}) +
                                   rec(4, 1, {1}).left(8))
                               << QStringList{"3", titles, "1 插补运动 单轴绝对运动 1 0 0 0 0",
                                              "2 流程控制 程序间跳转 -1 0 0 0 0",
                                              "3 回零运动 设置回零速度 0.001 0 0 0 0"};
        QTest::newRow("no lines") << project(0, {rec(1, 1)}) << QStringList{"0", titles};
        for (const int count : {501, 32768, 40000})
            QTest::addRow("count %d", count) << project(count, {}) << QStringList();
        QTest::newRow("no such file") << QByteArray() << QStringList();
        QTest::newRow("a folder") << QByteArray("folder") << QStringList();
    }
    void openingAFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        Projects p;
        p.click(p.w.Command10, p.write("old.txt", project(4, {rec(6, 1, {2500}), rec(3, 1)})));
        const QStringList before = p.seen();
        if (bytes == "folder")
            QVERIFY(QDir(p.dir.path()).mkdir("new.dat"));
        else if (!bytes.isEmpty())
            p.write("new.dat", bytes);
        p.click(p.w.Command10, p.dir.filePath("new.dat"));
        QCOMPARE(p.prompter.messages, rows.isEmpty() ? QStringList{"打开文件不成功！"} : QStringList{});
        if (!rows.isEmpty())  // the image holds the file; what is missing is empty
            rows.insert(1, bytes.leftJustified(12025, '\0').toHex());
        QCOMPARE(p.seen(), rows.isEmpty() ? before : rows);  // a file refused changes nothing
    }

    void saving_data()
    {
        // count: typed into the line-count box; target: what the path names; word: the count word
        // written, in hex (none: no file written, an old one stays)
        columns<QString, QString, QString, QString>("count", "target", "word", "message");
        row("1 line", "1", "new", "0001", "");
        row("the count typed", "300", "new", "012C", "");
        row("a half rounds to even", "2.5", "new", "0002", "");
        row("over an old project", "3", "old", "0003", "");
        row("negative", "-1", "new", "", "程序总行数设定出错，重新设定！");
        row("negative half", "-0.5", "new", "", "程序总行数设定出错，重新设定！");
        row("nothing chosen", "3", "", "", "没有选择文件！");
        row("a folder", "3", "folder", "", "程序保存出错！");
        row("the disk takes 100 bytes", "3", "full", "", "程序保存出错！");
        row("a read-only folder", "3", "read-only", "0003", "");
    }
    void saving()
    {
        QFETCH(QString, count);
        QFETCH(QString, target);
        QFETCH(QString, word);
        Projects p;
        // Three lines, and leftovers of deleted lines past them: saved as they are in memory.
        const QByteArray source =
            project(3, {rec(1, 1, {1}), rec(2, 2, {-1}), rec(5, 10, {2147483647}), rec(6, 5, {9})});
        p.click(p.w.Command10, p.write("source", source));
        QTest::keySequence(p.w.Text1, QKeySequence::SelectAll);
        type(p.w.Text1, count, 0);
        const QByteArray old(12025, '\x42');
        const bool oldFile = target == "old" || target == "full" || target == "read-only";
        const QString path = target.isEmpty() ? QString() : p.dir.filePath("saved");
        if (target == "folder")
            QVERIFY(QDir(p.dir.path()).mkdir("saved"));
        if (oldFile)
            p.write("saved", old);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{100, limit.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails rather than ending the process
        if (target == "full")
            setrlimit(RLIMIT_FSIZE, &small);
        if (target == "read-only") {
            if (geteuid() == 0)
                QSKIP("Root writes into any folder: run this as an ordinary user to see a read-only folder.");
            QFile::setPermissions(p.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        }
        p.click(p.w.Command7, path);
        setrlimit(RLIMIT_FSIZE, &limit);
        QFile::setPermissions(p.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QTEST(p.prompter.messages.join(u'|'), "message");
        QCOMPARE(p.prompter.fileModes.size(), count.startsWith(u'-') ? 1 : 2);  // no save dialog for a bad count
        const QStringList files = oldFile || !word.isEmpty() ? QStringList{"saved", "source"} : QStringList{"source"};
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files | QDir::Hidden), files);  // and nothing left behind
        QCOMPARE(p.read("saved"), word.isEmpty() ? (oldFile ? old : QByteArray())
                                                 : QByteArray::fromHex(word.toLatin1()) + source.mid(2));
    }

    void aProgramSavedClearedAndOpenedAgain()
    {
        Projects p;
        // 499 lines of every kind, and a leftover line past them.
        QList<QByteArray> records;
        for (int i = 1; i <= 500; ++i)
            records << rec(i % 8, i % 11, {i, -1000 * i, 65536 * i, 0, i == 500 ? 0 : 1});
        const QByteArray source = project(499, records);
        p.click(p.w.Command10, p.write("source.txt", source));
        p.click(p.w.Command7, p.dir.filePath("saved.txt"));
        QCOMPARE(p.read("saved.txt"), source);
        // Clear asks first; it keeps the line count and empties every line.
        p.prompter.answers.enqueue(Prompter::Answer::Cancel);
        p.click(p.w.Command6);
        QCOMPARE(p.image(), source);
        p.click(p.w.Command6);
        QCOMPARE(p.prompter.messages, QStringList(2, "确定要将工程指令全部删除？"));
        QCOMPARE(p.image(), project(499, {}));
        QCOMPARE(p.w.MSFlexGrid1->rows(), 500);
        QCOMPARE(p.row(499), QStringLiteral("499 无 无 0 0 0 0 0"));
        p.click(p.w.Command10, p.dir.filePath("saved.txt"));
        QCOMPARE(p.image().left(12001), source.left(12001));
        QCOMPARE(p.w.Text1->text(), QStringLiteral("499"));
        QCOMPARE(p.row(1), QStringLiteral("1 系统操作 停止 0.001 -1 65.536 0 0.001"));
        QCOMPARE(p.row(250), QStringLiteral("250 流程控制 8 0.25 -250 16384 0 0.001"));
        QCOMPARE(p.row(499), QStringLiteral("499 输出口设置 4 0.499 -499 32702.464 0 0.001"));
    }

    void theFileDialogs()
    {
        Projects p;
        QTemporaryDir other;
        p.write("job", project(1, {}));  // named without an extension
        p.write("job.txt", project(1, {}));
        p.click(p.w.Command10);                             // nothing chosen
        p.click(p.w.Command10, p.dir.filePath("job"));      // opened
        p.click(p.w.Command7);                              // nothing chosen
        p.click(p.w.Command7, other.filePath("copy.dat"));  // saved elsewhere
        p.click(p.w.Command10, p.dir.filePath("missing"));  // not opened
        p.click(p.w.Command10);
        QCOMPARE(p.prompter.fileModes, (QStringList{"open", "open", "save", "save", "open", "open"}));
        QStringList places;  // folder and name offered
        for (const FileDialogRequest &r : p.prompter.fileRequests) {
            QVERIFY2(r.filter == Filter && r.filterIndex == 2 && r.hideReadOnly, qPrintable(r.filter));
            places << r.folder + "/" + r.initialName;
        }
        // Before any project, the folder the tool was started in; then the last one opened or saved.
        const QString start = QDir::currentPath() + "/", here = p.dir.path() + "/", there = other.path() + "/";
        QCOMPARE(places, (QStringList{start, start, here + "job", here + "job", there, there}));
        QCOMPARE(p.prompter.messages,
                 (QStringList{"没有选择文件！", "没有选择文件！", "打开文件不成功！", "没有选择文件！"}));

        // The desktop's dialog starts on "Text Files"; "All Files" lists the project without an extension.
        QFileDialog dialog;
        FileDialogRequest request = p.prompter.fileRequests[2];
        request.initialName.clear();  // a name offered is listed whatever the filter
        DesktopPrompter::prepareFileDialog(dialog, request, false);
        auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QCOMPARE(types->currentText(), QStringLiteral("Text Files(*.txt)"));
        const auto *model = dialog.findChild<QFileSystemModel *>();
        const auto listed = [&] {
            QStringList names;
            for (int i = 0; i < model->rowCount(model->index(here)); ++i)
                if (const QModelIndex file = model->index(i, 0, model->index(here)); file.flags() & Qt::ItemIsEnabled)
                    names << file.data().toString();
            return names;
        };
        QTest::keyClick(types, Qt::Key_Up);
        QTRY_COMPARE(listed(), (QStringList{"job", "job.txt"}));
    }

    void unsavedWorkIsOfferedForSaving_data()
    {
        // answer: -1 if nothing was changed; saves: a file is chosen in the save dialog
        columns<QString, int, bool, bool>("action", "answer", "saves", "goesOn");
        for (const char *action : {"关闭主窗口", "新建工程", "打开工程", "工程读取"}) {
            const auto tag = [action](const char *answer) { return QByteArray(action) + ", " + answer; };
            row(tag("nothing changed"), QString(action), -1, false, true);
            row(tag("是"), QString(action), int(Prompter::Answer::Yes), true, true);
            row(tag("是, no file chosen"), QString(action), int(Prompter::Answer::Yes), false, false);
            row(tag("否"), QString(action), int(Prompter::Answer::No), false, true);
            row(tag("取消"), QString(action), int(Prompter::Answer::Cancel), false, false);
        }
    }
    void unsavedWorkIsOfferedForSaving()
    {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QFETCH(bool, saves);
        Projects p;
        p.click(p.w.Command10, p.write("source.txt", project(2, {rec(4, 1, {5000})})));
        if (answer >= 0)
            p.edit();                                                   // line 1, "参数5" := 7
        p.prompter.answers.enqueue(Prompter::Answer(qMax(answer, 0)));  // to the question, if asked
        if (saves)
            p.prompter.fileNames.enqueue(p.dir.filePath("saved.txt"));
        const QStringList before = p.seen();
        p.prompter.clear();
        const QMap<QString, QPushButton *> buttons{
            {"新建工程", p.w.Command5}, {"打开工程", p.w.Command10}, {"工程读取", p.w.Cmd5}};
        buttons.contains(action) ? p.click(buttons[action]) : void(p.w.close());
        QCOMPARE(p.prompter.count("工程已修改，是否保存？"), answer >= 0 ? 1 : 0);
        QCOMPARE(p.prompter.buttons.contains(Prompter::Buttons::YesNoCancel), answer >= 0);
        const bool wentOn = action == "新建工程"   ? p.w.projects().form4() && p.w.projects().form4()->isVisible()
                            : action == "打开工程" ? p.prompter.fileModes.contains("open")
                            : action == "工程读取" ? p.prompter.messages.contains("串口无效，无法读取！")
                                                   : !p.w.isVisible();
        QTEST(wentOn, "goesOn");
        QCOMPARE(p.read("saved.txt"), saves ? project(2, {rec(4, 1, {5000, 0, 0, 0, 7000})}) : QByteArray());
        if (!wentOn)
            QCOMPARE(p.seen(), before);  // as it was
    }
};

QTEST_MAIN(TstProjects)
#include "tst_projects.moc"
