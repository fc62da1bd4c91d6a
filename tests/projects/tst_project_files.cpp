// Project files through the main window's project buttons and the new-project window.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <random>
#include <sys/resource.h>

#include "ProgramWindow.h"
#include "projects/Form4.h"
#include "projects/LineRenderer.h"
#include "projects/ProjectFiles.h"
#include "ui/Dialogs.h"

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray imageBytes(const ProgramBytes &image, int from = 0, int to = ProjectFiles::FileSize - 1)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()) + from, to - from + 1);
}

// What the user can see of the program: the count box and every cell text of the grid.
QStringList screenState(ProgramWindow &pw)
{
    QStringList s{pw.w.Text1->text(), QString::number(pw.grid.rows())};
    for (int r = 0; r < pw.grid.rows(); ++r)
        for (int c = 0; c < FlexGrid::Cols; ++c)
            s << pw.grid.textMatrix(r, c);
    return s;
}

const QString UnsavedQuestion = QStringLiteral("工程已修改，是否保存？");

// Stores 7 as line 1's first parameter, as the user does.
void editACell(ProgramWindow &pw)
{
    pw.clickCell(1, 3);
    QTest::keyClicks(pw.w.Text2, "7");
    QTest::keyClick(pw.w.Text2, Qt::Key_Return);
}

// The names a file dialog lists in the folder it shows.
QStringList listedNames(const QFileDialog &dialog)
{
    const auto *model = dialog.findChild<QFileSystemModel *>();
    const QModelIndex folder = model->index(dialog.directory().absolutePath());
    QStringList names;
    for (int row = 0; row < model->rowCount(folder); ++row)
        names << model->index(row, 0, folder).data().toString();
    names.sort();
    return names;
}

// A folder that refuses new files while this lives (except to a privileged user).
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &path) : m_path(path)
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~ReadOnlyFolder() { QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
    bool refusesNewFiles() const
    {
        QFile probe(m_path + "/probe");
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.close();
        probe.remove();
        return false;
    }

private:
    QString m_path;
};

// A folder where a save cannot complete. A privileged user writes into any folder, so for such
// a user the file size limit stops the write instead.
class UnwritableFolder : public ReadOnlyFolder {
public:
    explicit UnwritableFolder(const QString &path) : ReadOnlyFolder(path)
    {
        if (refusesNewFiles())
            return;
        getrlimit(RLIMIT_FSIZE, &m_limit);
        rlimit small = m_limit;
        small.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &small);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_limited = true;
    }
    ~UnwritableFolder()
    {
        if (m_limited) {
            setrlimit(RLIMIT_FSIZE, &m_limit);
            std::signal(SIGXFSZ, m_oldHandler);
        }
    }

private:
    rlimit m_limit{};
    bool m_limited = false;
    void (*m_oldHandler)(int) = SIG_DFL;
};
}  // namespace

class TestProjectFiles : public QObject {
    Q_OBJECT
private slots:
    void dialogsOfferTheProjectFiltersAndTheLastName()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.showProgram(2);
        const QString filter = QStringLiteral(
            "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|Banary Files (*.dat)|*.dat");

        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        pw.prompter.fileNames.enqueue(dir.filePath("first.dat"));
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QCOMPARE(pw.prompter.fileModes, (QStringList{"open", "save", "save"}));
        for (const FileDialogRequest &r : pw.prompter.fileRequests) {
            QCOMPARE(r.filter, filter);
            QCOMPARE(r.filterIndex, 2);
            QVERIFY(r.hideReadOnly);
        }
        QCOMPARE(pw.prompter.fileRequests[0].initialName, QString());
        QCOMPARE(pw.prompter.fileRequests[1].initialName, QString());
        QCOMPARE(pw.prompter.fileRequests[2].initialName, QStringLiteral("first.dat"));
        // The first open and the last save chose nothing.
        QCOMPARE(pw.prompter.messages, (QStringList{"没有选择文件！", "没有选择文件！"}));
        QVERIFY(pw.prompter.titles[0].isNull());
    }

    void allFilesListsNamesWithoutAnExtension()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("job"), QByteArray(ProjectFiles::FileSize, '\0'));
        writeFile(dir.filePath("job.txt"), QByteArray(ProjectFiles::FileSize, '\0'));
        FileDialogRequest request;
        request.filter = ProjectFiles::fileFilter();
        request.filterIndex = 1;
        request.folder = dir.path();
        QFileDialog dialog;
        DesktopPrompter::prepareFileDialog(dialog, request, false);
        QTRY_COMPARE(listedNames(dialog), (QStringList{"job", "job.txt"}));
        // The filters read as the project's own list.
        const auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QStringList shown;
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        QCOMPARE(shown,
                 (QStringList{"All Files (*.*)", "Text Files(*.txt)", "Batch Files (*.bat)", "Banary Files (*.dat)"}));
        QCOMPARE(types->currentIndex(), 0);
    }

    void dialogsStartInTheFolderOfTheLastProject()
    {
        QTemporaryDir a, b;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        writeFile(a.filePath("job.txt"), QByteArray::fromHex("0001"));
        const QString startFolder = QDir::currentPath();

        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);  // nothing chosen
        pw.prompter.fileNames.enqueue(a.filePath("job.txt"));
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);  // nothing chosen
        pw.prompter.fileNames.enqueue(b.filePath("copy.dat"));
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        // A project that could not be opened moves nothing.
        pw.prompter.fileNames.enqueue(a.filePath("missing.dat"));
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QStringList folders;
        for (const FileDialogRequest &r : pw.prompter.fileRequests)
            folders << r.folder;
        QCOMPARE(folders, (QStringList{startFolder, startFolder, a.path(), a.path(), b.path(), b.path()}));
        QCOMPARE(pw.prompter.fileRequests[2].initialName, QStringLiteral("job.txt"));
        QVERIFY(QFile::exists(b.filePath("copy.dat")));

        // The desktop's dialog starts there, the name offered inside it.
        QFileDialog dialog;
        DesktopPrompter::prepareFileDialog(dialog, pw.prompter.fileRequests[2], true);
        QCOMPARE(dialog.selectedFiles(), QStringList{a.filePath("job.txt")});
    }

    void savingThenOpeningRestoresTheProgram()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        std::mt19937 random(4);
        for (int i = 2; i < ProjectFiles::FileSize; ++i)
            pw.state.ProgramImage[i] = std::uint8_t(random());
        pw.showProgram(499);
        const ProgramBytes saved = pw.state.ProgramImage;

        // Spaces around a chosen path are not part of it.
        const QString path = dir.filePath("project.txt");
        pw.prompter.fileNames.enqueue("  " + path + " ");
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QVERIFY(pw.prompter.messages.isEmpty());
        const QByteArray file = readAll(path);
        QCOMPARE(file.size(), ProjectFiles::FileSize);
        QCOMPARE(file.mid(0, 2).toHex(), QByteArray("01f3"));
        QCOMPARE(file.mid(2), imageBytes(saved, 2));

        // Something else in memory, then the file again.
        pw.state.ProgramImage.fill(0x5A);
        pw.showProgram(7);
        pw.prompter.fileNames.enqueue(path);
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QVERIFY(pw.prompter.messages.isEmpty());
        QCOMPARE(imageBytes(pw.state.ProgramImage, 0, 12000), file.left(12001));
        // Only offsets 0 to 12000 are read; the rest of the image keeps what it held.
        QCOMPARE(int(pw.state.ProgramImage[12001]), 0x5A);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("499"));
        QCOMPARE(pw.grid.rows(), 500);
        for (int line : {1, 2, 250, 499}) {
            QCOMPARE(pw.grid.textMatrix(line, 0), QString::number(line));
            const LineTexts t = RenderRecord(program::Record(pw.state.ProgramImage, line));
            QCOMPARE(pw.rowTexts(line).mid(0, 3), (QStringList{t.category, t.command, t.parameters[0]}));
            QCOMPARE(pw.grid.textMatrix(line, 7), t.parameters[4]);
        }
        QCOMPARE(pw.grid.textMatrix(0, 3), QStringLiteral("参数1"));

        // A one-line program still writes the whole image.
        pw.showProgram(1);
        const QString single = dir.filePath("single.bat");
        pw.prompter.fileNames.enqueue(single);
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        const QByteArray one = readAll(single);
        QCOMPARE(one.size(), ProjectFiles::FileSize);
        QCOMPARE(one.mid(0, 2).toHex(), QByteArray("0001"));
        QCOMPARE(one, imageBytes(pw.state.ProgramImage));
        // Saving an existing file replaces it.
        pw.prompter.fileNames.enqueue(path);
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QCOMPARE(readAll(path), one);
        QVERIFY(pw.prompter.messages.isEmpty());
    }

    void shortAndEmptyProgramsOpen()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.state.ProgramImage.fill(0x33);
        pw.showProgram(5);

        // Three lines announced, two and a half held: the missing bytes are empty.
        QByteArray bytes = QByteArray::fromHex("0003");
        bytes += QByteArray::fromHex("0005000303E8000000000000000000000000000000000000");  // 插补运动 单轴绝对运动 1
        bytes += QByteArray::fromHex("00020001FC18FFFF00000000000000000000000000000000");  // 流程控制 程序间跳转 -1
        bytes += QByteArray::fromHex("000400010001");
        const QString shortPath = dir.filePath("short.dat");
        writeFile(shortPath, bytes);
        pw.prompter.fileNames.enqueue(shortPath);
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QVERIFY(pw.prompter.messages.isEmpty());
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("3"));
        QCOMPARE(pw.grid.rows(), 4);
        QCOMPARE(pw.rowTexts(1).mid(0, 3), (QStringList{"插补运动", "单轴绝对运动", "1"}));
        QCOMPARE(pw.rowTexts(2).mid(0, 3), (QStringList{"流程控制", "程序间跳转", "-1"}));
        QCOMPARE(pw.rowTexts(3), (QStringList{"回零运动", "设置回零速度", "0.001", "0", "0", "0", "0"}));
        QCOMPARE(int(pw.state.ProgramImage[12000]), 0);

        // No lines: the title row alone.
        const QString emptyPath = dir.filePath("empty.txt");
        writeFile(emptyPath, QByteArray(ProjectFiles::FileSize, '\0'));
        pw.prompter.fileNames.enqueue(emptyPath);
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QVERIFY(pw.prompter.messages.isEmpty());
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("0"));
        QCOMPARE(pw.grid.rows(), 1);
        QCOMPARE(pw.grid.textMatrix(0, 1), QStringLiteral("指令集"));
    }

    void aFailedOpenChangesNothing()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(20);
        pw.state.ProgramImage[1] = 20;
        pw.showProgram(20);
        pw.prompter.fileNames.enqueue(dir.filePath("kept.txt"));
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        const ProgramBytes image = pw.state.ProgramImage;
        const QStringList screen = screenState(pw);

        QByteArray bad(ProjectFiles::FileSize, '\x11');
        bad[0] = char(0x9C);  // 40000
        bad[1] = char(0x40);
        writeFile(dir.filePath("count40000.dat"), bad);
        bad[0] = 0x01;  // 501
        bad[1] = char(0xF5);
        writeFile(dir.filePath("count501.dat"), bad);
        writeFile(dir.filePath("oneByte.dat"), QByteArray(1, '\0'));
        QDir(dir.path()).mkdir("folder");

        for (const char *name : {"count40000.dat", "count501.dat", "oneByte.dat", "missing.dat", "folder"}) {
            pw.prompter.clear();
            pw.prompter.fileNames.enqueue(dir.filePath(name));
            QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
            QCOMPARE(pw.prompter.messages, QStringList{"打开文件不成功！"});
            QVERIFY2(pw.state.ProgramImage == image, name);
            QCOMPARE(screenState(pw), screen);
        }
        // The save dialog still offers the project that was last good.
        pw.prompter.fileRequests.clear();
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QCOMPARE(pw.prompter.fileRequests.value(0).initialName, QStringLiteral("kept.txt"));
    }

    void aFailedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        const QString folder = dir.filePath("locked");
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        const QString path = folder + "/project.txt";
        const QByteArray old(ProjectFiles::FileSize, '\x42');
        writeFile(path, old);
        QFile::setPermissions(path, QFile::ReadOwner);

        pw.setNumberedRecords(3);
        pw.showProgram(3);
        {
            UnwritableFolder locked(folder);
            pw.prompter.fileNames.enqueue(path);
            QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        }
        QCOMPARE(pw.prompter.messages, QStringList{"程序保存出错！"});
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"project.txt"});
    }

    void aWritableFileInALockedFolderIsSavedInPlace()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        const QString path = dir.filePath("locked/project.txt");
        writeFile(path, QByteArray(ProjectFiles::FileSize, '\x42'));
        pw.setNumberedRecords(3);
        pw.showProgram(3);
        {
            ReadOnlyFolder locked(dir.filePath("locked"));
            if (!locked.refusesNewFiles())
                QSKIP("This user makes files in any folder; run the test as an ordinary user.");
            pw.prompter.fileNames.enqueue(path);
            QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        }
        QVERIFY(pw.prompter.messages.isEmpty());
        const QByteArray file = readAll(path);
        QCOMPARE(file.size(), 12025);
        QCOMPARE(file.left(26).toHex(' '), QByteArray("00 03 00 01 00 02 03 e8 00 00 00 00 00 00 00 00 00 00 "
                                                      "00 00 00 00 fc 18 ff ff"));
        QCOMPARE(file.mid(26, 24).toHex(' '), QByteArray("00 01 00 03 07 d0 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                         "00 00 f8 30 ff ff"));
    }

    void unsavedWorkIsOfferedForSaving_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<Prompter::Answer>("answer");
        QTest::addColumn<bool>("saves");  // a file is chosen in the save dialog
        QTest::addColumn<bool>("goesOn");
        for (const char *action : {"新建工程", "打开工程", "工程读取", "close"}) {
            auto row = [action](const char *answer) -> QTestData & {
                return QTest::addRow("%s, %s", action, answer) << QString::fromUtf8(action);
            };
            row("unchanged") << false << Prompter::Answer::Cancel << false << true;
            row("是") << true << Prompter::Answer::Yes << true << true;
            row("是, no file chosen") << true << Prompter::Answer::Yes << false << false;
            row("否") << true << Prompter::Answer::No << false << true;
            row("取消") << true << Prompter::Answer::Cancel << false << false;
        }
    }
    void unsavedWorkIsOfferedForSaving()
    {
        QFETCH(QString, action);
        QFETCH(bool, edited);
        QFETCH(Prompter::Answer, answer);
        QFETCH(bool, saves);
        QFETCH(bool, goesOn);
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.showProgram(2);
        if (edited)
            editACell(pw);
        pw.prompter.answers.enqueue(answer);
        if (saves)
            pw.prompter.fileNames.enqueue(dir.filePath("saved.txt"));

        std::function<bool()> wentOn;
        if (action == "新建工程") {
            QTest::mouseClick(pw.w.Command5, Qt::LeftButton);
            wentOn = [&] { return pw.w.projects().form4() && pw.w.projects().form4()->isVisible(); };
        } else if (action == "打开工程") {
            QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
            wentOn = [&] { return pw.prompter.fileModes.contains("open"); };
        } else if (action == "工程读取") {
            QTest::mouseClick(pw.w.Cmd5, Qt::LeftButton);
            wentOn = [&] { return pw.prompter.messages.contains("串口无效，无法读取！"); };
        } else {
            pw.w.close();
            wentOn = [&] { return !pw.w.isVisible(); };
        }
        QCOMPARE(pw.prompter.count(UnsavedQuestion), edited ? 1 : 0);
        if (edited)
            QCOMPARE(pw.prompter.buttons.value(0), Prompter::Buttons::YesNoCancel);
        QCOMPARE(readAll(dir.filePath("saved.txt")).size(), saves ? 12025 : 0);
        QCOMPARE(wentOn(), goesOn);
        if (answer == Prompter::Answer::Cancel && edited) {
            QCOMPARE(pw.prompter.messages, QStringList{UnsavedQuestion});
            QVERIFY(pw.prompter.fileModes.isEmpty());
        }
    }

    void whatCountsAsAChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("asks");
        for (const auto &[change, asks] : {std::pair{"value stored", true},
                                           {"entry abandoned", false},
                                           {"category chosen", true},
                                           {"same category chosen", false},
                                           {"command chosen", true},
                                           {"line inserted", true},
                                           {"line deleted", true},
                                           {"line copied", false},
                                           {"line pasted", true},
                                           // Each after a value was stored:
                                           {"saved", false},
                                           {"opened", false},
                                           {"cleared", false},
                                           {"new project", false}})
            QTest::newRow(change) << QString::fromUtf8(change) << asks;
    }
    void whatCountsAsAChange()
    {
        QFETCH(QString, change);
        QFETCH(bool, asks);
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(3);
        pw.showProgram(3);
        QComboBox *chooser = pw.w.Combo1;
        if (change == "value stored" || change == "saved" || change == "opened" || change == "cleared" ||
            change == "new project")
            editACell(pw);
        if (change == "entry abandoned") {
            pw.clickCell(1, 3);
            QTest::keyClicks(pw.w.Text2, "7");
            QTest::keyClick(pw.w.Text2, Qt::Key_Escape);
        } else if (change == "category chosen" || change == "command chosen") {
            pw.clickCell(1, change == "category chosen" ? 1 : 2);
            QTest::keyClick(chooser, Qt::Key_Down);
        } else if (change == "same category chosen") {
            pw.clickCell(1, 1);
            QTest::keyClick(chooser, Qt::Key_F4);
            QTRY_VERIFY(chooser->view()->isVisible());
            QTest::keyClick(chooser->view(), Qt::Key_Return);
            QVERIFY(!chooser->isVisible());
        } else if (change.startsWith("line")) {
            QVERIFY(pw.selectLine(2));
            QPushButton *button = change == "line inserted"  ? pw.w.Command1
                                  : change == "line deleted" ? pw.w.Command2
                                                             : pw.w.Command3;
            QTest::mouseClick(button, Qt::LeftButton);
            if (change == "line pasted")
                QTest::mouseClick(pw.w.Command4, Qt::LeftButton);
        } else if (change == "saved") {
            pw.prompter.fileNames.enqueue(dir.filePath("saved.txt"));
            QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        } else if (change == "opened") {
            writeFile(dir.filePath("one.txt"), QByteArray::fromHex("0001"));
            pw.prompter.fileNames.enqueue(dir.filePath("one.txt"));
            QTest::mouseClick(pw.w.Command10, Qt::LeftButton);  // 否 to the question
        } else if (change == "cleared") {
            QTest::mouseClick(pw.w.Command6, Qt::LeftButton);
        } else if (change == "new project") {
            QTest::mouseClick(pw.w.Command5, Qt::LeftButton);  // 否 to the question
            pw.w.projects().form4()->Text1->setText("p");
            pw.w.projects().form4()->Text2->setText("5");
            QTest::mouseClick(pw.w.projects().form4()->Command1, Qt::LeftButton);
        }
        QVERIFY(!pw.prompter.messages.contains("没有选择有效行！"));
        pw.prompter.clear();
        pw.prompter.answers.enqueue(Prompter::Answer::Cancel);
        QTest::mouseClick(pw.w.Command10, Qt::LeftButton);
        QCOMPARE(pw.prompter.count(UnsavedQuestion), asks ? 1 : 0);
    }

    void saveRefusesALineCountNoFileCanHold()
    {
        QTemporaryDir dir;
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        for (const char *count : {"-1", "-0.5", "501", "70000"}) {
            pw.prompter.clear();
            pw.w.Text1->setText(QString::fromLatin1(count));
            pw.prompter.fileNames.enqueue(dir.filePath("never.txt"));
            QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
            QCOMPARE(pw.prompter.messages, QStringList{"程序总行数设定出错，重新设定！"});
            QVERIFY(pw.prompter.fileRequests.isEmpty());
            pw.prompter.fileNames.clear();
        }
        QVERIFY(!QFile::exists(dir.filePath("never.txt")));
    }

    void clearEmptiesEveryLineAndKeepsTheCount()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(20);
        pw.state.ProgramImage[1] = 20;
        pw.showProgram(20);
        const ProgramBytes before = pw.state.ProgramImage;

        pw.prompter.answers.enqueue(Prompter::Answer::Cancel);
        QTest::mouseClick(pw.w.Command6, Qt::LeftButton);
        QCOMPARE(pw.prompter.messages, QStringList{"确定要将工程指令全部删除？"});
        QVERIFY(pw.state.ProgramImage == before);

        QTest::mouseClick(pw.w.Command6, Qt::LeftButton);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("20"));
        QCOMPARE(pw.grid.rows(), 21);
        QCOMPARE(int(pw.state.ProgramImage[1]), 20);
        QVERIFY(std::all_of(pw.state.ProgramImage.begin() + 2, pw.state.ProgramImage.end(),
                            [](std::uint8_t b) { return b == 0; }));
        for (int line = 1; line <= 20; ++line)
            QCOMPARE(pw.rowTexts(line), (QStringList{"无", "无", "0", "0", "0", "0", "0"}));
    }

    void newProjectWindowChecksItsInput()
    {
        ProgramWindow pw;
        QVERIFY(QTest::qWaitForWindowExposed(&pw.w));
        pw.setNumberedRecords(30);
        pw.showProgram(30);
        const ProgramBytes before = pw.state.ProgramImage;

        QTest::mouseClick(pw.w.Command5, Qt::LeftButton);
        Form4 *form = pw.w.projects().form4();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(form->windowTitle(), QStringLiteral("工程文件新建窗口"));
        QCOMPARE(form->Text1->text(), QString());
        QCOMPARE(form->Text2->text(), QStringLiteral("0"));

        struct Case {
            const char *name, *lines;
        };
        for (const Case c : {Case{"", "10"}, Case{"p", "0"}, Case{"p", "500"}, Case{"p", "-3"}, Case{"p", "abc"},
                             Case{"p", "0.4"}, Case{"p", "499.5"}}) {
            pw.prompter.clear();
            form->Text1->setText(QString::fromLatin1(c.name));
            form->Text2->setText(QString::fromLatin1(c.lines));
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QCOMPARE(pw.prompter.messages, QStringList{"输入的指令行数不正确或文件名缺失！"});
            QVERIFY(form->isVisible());
        }
        QVERIFY(pw.state.ProgramImage == before);

        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QVERIFY(pw.state.ProgramImage == before);
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("30"));

        // Opened again it starts afresh.
        QTest::mouseClick(pw.w.Command5, Qt::LeftButton);
        QCOMPARE(pw.w.projects().form4(), form);
        QCOMPARE(form->Text2->text(), QStringLiteral("0"));
        form->Text1->setText(QStringLiteral(" my project"));
        form->Text2->setText(QStringLiteral("12"));
        pw.w.Timer1->start();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(pw.w.Text1->text(), QStringLiteral("12"));
        QCOMPARE(pw.grid.rows(), 13);
        QCOMPARE(pw.grid.textMatrix(12, 0), QStringLiteral("12"));
        QCOMPARE(pw.grid.textMatrix(0, 2), QStringLiteral("命令"));
        QCOMPARE(imageBytes(pw.state.ProgramImage, 0, 1).toHex(), QByteArray("000c"));
        QVERIFY(std::all_of(pw.state.ProgramImage.begin() + 2, pw.state.ProgramImage.end(),
                            [](std::uint8_t b) { return b == 0; }));
        // The empty lines appear with the main window's next tick.
        QTRY_COMPARE(pw.rowTexts(12), (QStringList{"无", "无", "0", "0", "0", "0", "0"}));
        QCOMPARE(pw.rowTexts(1), pw.rowTexts(12));
        QCOMPARE(pw.state.GridRefreshRequest, 0);

        // The name typed, as typed, is what the save dialog offers.
        QTest::mouseClick(pw.w.Command7, Qt::LeftButton);
        QCOMPARE(pw.prompter.fileRequests.value(0).initialName, QStringLiteral(" my project"));
    }
};

QTEST_MAIN(TestProjectFiles)
#include "tst_project_files.moc"
