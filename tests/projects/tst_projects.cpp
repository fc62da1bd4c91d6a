// SPDX-License-Identifier: GPL-3.0-or-later
// Project files through the project buttons, the new-project window, the file dialogs and the
// question before unsaved work is dropped; checked on the files, the program image, the grid, the messages.
#include <QAbstractFileIconProvider>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QStringEncoder>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Rigs.h"
#include "projects/Form4.h"
#include "editor/EditHistory.h"
#include "projects/ProjectFiles.h"
#include "ui/FlexGrid.h"

namespace {
const QString Filter =
    QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|Banary Files (*.dat)|*.dat|"
                   "CSV 表格 (*.csv)|*.csv");

// A project file: the count word, the records, zeros up to 12025 bytes.
QByteArray project(int count, const QList<QByteArray> &records)
{
    return (QByteArray(1, char(count >> 8)) + char(count) + records.join()).leftJustified(12025, '\0');
}

// The tool on screen, with a folder for its projects; without a controller, or with one that
// stores `lines` lines.
struct Projects : Pty, FakeController, Tool {
    QTemporaryDir dir;

    explicit Projects(int lines = -1)
        : FakeController(static_cast<Pty &>(*this)), Tool(lines < 0 ? QStringList() : QStringList{Pty::device()})
    {
        registers[8573] = 0;
        storeProgram(std::max(lines, 0));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        start();
        QVERIFY(idle());
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
    // The entries of the recent projects' menu, from a right click on "打开工程"; the one at
    // `open` (from 1) chosen.
    QStringList recent(int open = 0)
    {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), w.Command10->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.Command10, &click);
        auto *menu = w.Command10->findChild<QMenu *>(QStringLiteral("RecentMenu"));
        QStringList entries;
        for (QAction *a : menu->actions())
            entries << a->text().section(u' ', -1);
        if (open)
            menu->actions().value(open - 1)->trigger();
        menu->close();
        QTest::qWait(0);  // the open follows once the menu has gone
        return entries;
    }
    // Types `value` into "参数5" of line 1 and confirms it, as the user does.
    void edit(const QString &value = QStringLiteral("7"))
    {
        FlexGrid *grid = w.MSFlexGrid1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 6)).center());
        QTest::keySequence(w.Text2, QKeySequence::SelectAll);
        type(w.Text2, value);
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
        QTest::newRow("a pipe") << QByteArray("pipe") << QStringList();  // never waited on
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
        else if (bytes == "pipe")
            QCOMPARE(mkfifo(QFile::encodeName(p.dir.filePath("new.dat")).constData(), 0600), 0);
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
        row("a pipe", "3", "fifo", "", "程序保存出错！");
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
        if (target == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
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
        // A failed save changes nothing of the program: its count word, the project's name.
        QCOMPARE(p.image().left(2).toHex().toUpper(), word.isEmpty() ? QByteArray("0003") : word.toLatin1());
        QCOMPARE(p.w.projects().ProjectFileName, word.isEmpty() ? "source" : "saved");
        struct stat st {};
        if (target == "fifo")  // still the pipe it was
            QVERIFY(stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        else
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
        // Types and icons come from names alone: a pipe with no writer is never looked into (which
        // would wait for good). Names and dates are Chinese, as the tool speaks.
        const QString pipe = p.dir.filePath("pipe");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QAbstractFileIconProvider *icons = dialog.iconProvider();
        icons->icon(QFileInfo(pipe));
        QCOMPARE(icons->type(QFileInfo(pipe)) + "|" + icons->type(QFileInfo(p.dir.filePath("job.txt"))) + "|" +
                     icons->type(QFileInfo(p.dir.path())),
                 QStringLiteral("文件|TXT 文件|文件夹"));
        if (QFileInfo(QStringLiteral("/proc/kmsg")).isFile())  // a file whose reading waits for the kernel
            QCOMPARE(icons->type(QFileInfo(QStringLiteral("/proc/kmsg"))), QStringLiteral("文件"));
        const QModelIndex job = dialog.proxyModel()->mapFromSource(model->index(p.dir.filePath("job.txt"), 3));
        QVERIFY2(QRegularExpression("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{1,2}:\\d{2}$").match(job.data().toString()).hasMatch(),
                 qPrintable(job.data().toString()));
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
    // A connect that would read the controller's program over an edited one asks first, once
    // a controller answers: 是 saves, then reads; 否 reads; 取消 keeps the program as it is,
    // connected, to be downloaded.
    void reconnectingOverAnEdit_data()
    {
        columns<int, bool>("answer", "saves");  // answer -1: nothing edited, nothing asked
        row("nothing edited", -1, false);
        row("是", int(Prompter::Answer::Yes), true);
        row("否", int(Prompter::Answer::No), false);
        row("取消", int(Prompter::Answer::Cancel), false);
    }
    void reconnectingOverAnEdit()
    {
        QFETCH(int, answer);
        QFETCH(bool, saves);
        Projects p(3);
        const QByteArray stored = p.image().mid(2, 72);
        if (answer >= 0)
            p.edit();
        const QByteArray edited = p.image();
        p.prompter.answers.enqueue(Prompter::Answer(qMax(answer, 0)));
        if (saves)
            p.prompter.fileNames.enqueue(p.dir.filePath("saved.txt"));
        p.click(p.w.Cmd1);  // disconnect
        const int from = p.mark();
        p.click(p.w.Cmd1);  // connect
        QVERIFY(p.idle());
        QCOMPARE(p.prompter.count("工程已修改，是否保存？"), answer >= 0 ? 1 : 0);
        QCOMPARE(p.w.Label3->text(), QStringLiteral("控制器已经连接！"));
        const bool kept = answer == int(Prompter::Answer::Cancel);
        QCOMPARE(p.since(from, 3).size(), kept ? 2 : 3);  // the two probes, and the program unless kept
        QCOMPARE(p.image(), kept ? edited : edited.left(2) + stored + edited.mid(74));
        QCOMPARE(p.read("saved.txt"), saves ? edited : QByteArray());
        p.prompter.clear();
        p.w.close();  // asked again only while the edit is kept
        QCOMPARE(p.prompter.count("工程已修改，是否保存？"), kept ? 1 : 0);
    }

    // The tool asks before unsaved work goes only when the program differs from the one last
    // opened, saved, read whole, created or cleared.
    void theUnsavedMarkFollowsTheProgram_data()
    {
        columns<QString, int>("how", "asked");
        row("an edit", "edit", 1);
        row("工程读取 answered 否", "read", 0);
        row("an edit undone", "undo", 0);
        row("undone and redone to what was saved", "redo", 0);
        row("a value typed over itself", "same", 0);
    }
    void theUnsavedMarkFollowsTheProgram()
    {
        QFETCH(QString, how);
        Projects p(3);
        if (how == "same") {
            p.edit(p.w.MSFlexGrid1->textMatrix(1, 7));
        } else {
            p.edit();
        }
        if (how == "read")
            p.click(p.w.Cmd5);  // "否": not saved, read
        if (how == "redo")
            p.click(p.w.Command7, p.dir.filePath("saved.txt"));
        if (how == "undo" || how == "redo")
            p.w.history().undo();
        if (how == "redo")
            p.w.history().redo();
        QVERIFY(p.idle());
        p.prompter.clear();
        p.w.close();
        QTEST(int(p.prompter.count("工程已修改，是否保存？")), "asked");
    }

    // 500 lines of every category, names and numbers, exported as a CSV table and imported
    // again: the same image, byte for byte. Exporting leaves the unsaved mark.
    void csvTableRoundTrip()
    {
        Projects p;
        QList<QByteArray> records;
        for (int l = 1; l <= 500; ++l) {
            records << rec(l % 8, l % 12, {l * 1001, -l * 7, 2147483647, -2147483648LL, l});
            if (l % 50 == 0)  // code registers whose high bytes are not 0
                records.last()[0] = 1, records.last()[2] = 1;
        }
        p.click(p.w.Command10, p.write("all.dat", project(500, records)));
        const QByteArray opened = p.image();
        p.edit();
        p.click(p.w.Command7, p.dir.filePath("all.CSV"));
        const QList<QByteArray> rows = p.read("all.CSV").split('\n');
        QCOMPARE(rows.size(), 502);
        QCOMPARE(rows[0], "\xEF\xBB\xBF行号,指令集,命令,参数1,参数2,参数3,参数4,参数5\r");
        QCOMPARE(rows[1], "1,系统操作,停止,1.001,-0.007,2147483.647,-2147483.648,7\r");
        QCOMPARE(rows[6], "6,独立运动,6,6.006,-0.042,2147483.647,-2147483.648,0.006\r");
        QCOMPARE(rows[7], "7,7,7,7.007,-0.049,2147483.647,-2147483.648,0.007\r");
        QCOMPARE(rows[8], "8,0,8,8.008,-0.056,2147483.647,-2147483.648,0.008\r");
        QCOMPARE(rows[50], "50,258,258,50.05,-0.35,2147483.647,-2147483.648,0.05\r");
        p.prompter.answers << Prompter::Answer::Cancel << Prompter::Answer::No;
        p.w.close();
        QCOMPARE(p.prompter.count("工程已修改，是否保存？"), 1);
        p.click(p.w.Command10, p.dir.filePath("all.CSV"));  // 否: the edit goes, the table comes
        QCOMPARE(p.image(), opened.left(2) + rec(1, 1, {1001, -7, 2147483647, -2147483648LL, 7000}) + opened.mid(26));
        QCOMPARE(p.row(1), QStringLiteral("1 系统操作 停止 1.001 -0.007 2147483.647 -2147483.648 7"));
        QCOMPARE(p.row(500), QStringLiteral("500 回零运动 8 500.5 -3.5 2147483.647 -2147483.648 0.5"));
    }

    void importingATable_data()
    {
        columns<QByteArray, QByteArray, QString>("file", "lines", "message");  // lines: the records' hex
        row("as a spreadsheet saves it",
            QByteArray("\xEF\xBB\xBF行号,指令集,命令,参数1,参数2,参数3,参数4,参数5,,\r\n"
                       "9, 系统操作 ,\"延时等待\",\"2.5\",0,0,0,-1,,\r\n,,,,,,,,,\r\n"
                       "3,流程控制,程序间跳转,10,0,0,0,0,,\r\n\r\n"),
            QByteArray("00010005 09C40000 00000000 00000000 00000000 FC18FFFF 00020001 27100000") + QByteArray(32, '0'),
            "");
        row("GB18030, both languages, no titles",
            QByteArray(
                QStringEncoder("GB18030").encode(u"输出口设置,输出口设置,1,0,0,0,0\nHoming,Start homing,0,0,0,0,0.5")),
            QByteArray("00030001 03E80000") + QByteArray(32, '0') + "00040002" + QByteArray(32, '0') + "01F40000", "");
        row("no program",
            QByteArray("指令集,命令,参数1,参数2,参数3,参数4,参数5\n系统,停止,0,0,0,0,0\n系统操作,停止,0,0\n"),
            QByteArray(),
            "bad.csv 不是可以打开的程序，没有打开：\n第 2 行第 1 列（指令集）：“系统”不是指令集的名称或代码。\n"
            "第 3 行有 4 列，应与第一行一样有 7 列。");
        row("501 lines", QByteArray("0,0,0,0,0,0,0\n").repeated(501), QByteArray(),
            "bad.csv 不是可以打开的程序，没有打开：\n共有 501 行代码，这里最多还能容纳 500 行（一个程序最多 500 "
            "行）。");
    }
    void importingATable()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, lines);
        Projects p;
        p.click(p.w.Command10, p.write("old.dat", project(30, {rec(1, 2, {1500})})));
        const QByteArray before = p.image();
        p.click(p.w.Command10, p.write("bad.csv", file));
        const QByteArray records = QByteArray::fromHex(lines.replace(' ', ""));
        QCOMPARE(p.image(), records.isEmpty() ? before : project(int(records.size() / 24), {records}));
        QFETCH(QString, message);
        QCOMPARE(p.prompter.messages, message.isEmpty() ? QStringList() : QStringList{message});
    }

    // The projects last opened or saved, newest first, once each, eight of them, kept between
    // runs; a file that is gone leaves the list when chosen, after the question about unsaved work.
    void recentProjects()
    {
        QTemporaryDir settings, files;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QCoreApplication::setOrganizationName(QStringLiteral("trelmo-tests"));
        const auto forget = qScopeGuard([] { QCoreApplication::setOrganizationName({}); });
        const auto path = [&](const QString &name) { return files.filePath(name); };
        {
            Projects p;
            QCOMPARE(p.recent(), QStringList{"（还没有最近打开的工程）"});
            for (int i = 1; i <= 9; ++i) {
                QFile f(path(QString("p%1.dat").arg(i)));
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write(project(i, {})) == 12025);
                f.close();
                p.click(p.w.Command10, f.fileName());
            }
            p.click(p.w.Command7, path("p3.dat"));
            p.click(p.w.Command7, path("p.csv"));
        }
        Projects p;
        QCOMPARE(p.recent(), (QStringList{path("p.csv"), path("p3.dat"), path("p9.dat"), path("p8.dat"), path("p7.dat"),
                                          path("p6.dat"), path("p5.dat"), path("p4.dat")}));
        QFile::remove(path("p8.dat"));
        p.edit();
        p.recent(4);  // 否, not saved
        QCOMPARE(p.prompter.messages,
                 (QStringList{"工程已修改，是否保存？", "文件已不存在，已从最近打开的工程中删除：" + path("p8.dat")}));
        p.recent(6);
        QCOMPARE(p.w.Text1->text(), QStringLiteral("5"));
        QCOMPARE(p.recent(), (QStringList{path("p5.dat"), path("p.csv"), path("p3.dat"), path("p9.dat"), path("p7.dat"),
                                          path("p6.dat"), path("p4.dat")}));
    }
};

QTEST_MAIN(TstProjects)
#include "tst_projects.moc"
