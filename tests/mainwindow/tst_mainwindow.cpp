// The main window as the user meets it: controls and colours, the wheel over the grid, the
// About window, closing, and the real binary's first frame on the wire.
#include <QtTest>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "Pty.h"
#include "RecordingPrompter.h"
#include "mainwindow/AboutForm.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Colors.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "ui/Language.h"
#include "ui/Widgets.h"

class TstMainWindow : public QObject {
    Q_OBJECT

    static void wheel(QWidget *target, int delta)
    {
        const QPoint at = target->rect().center();
        QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }

private slots:
    void controlsCaptionsAndColours()
    {
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{});
        QCOMPARE(w.windowTitle(), QStringLiteral("Trelmo"));
        QCOMPARE(w.Label1->text(), QStringLiteral("TrelmoV2.0     (KESTA-MX3)"));
        const struct {
            const char *name, *caption;
            QColor color;
        } buttons[] = {
            {"Cmd1", "连接控制器", colors::LightYellow},
            {"Cmd5", "工程读取", colors::LightYellow},
            {"Command14", "系统急停", colors::Red},
            {"Command13", "上电自运行", colors::Apricot},
            {"Command12", "控制器存数据", colors::Apricot},
            {"Command5", "新建工程", colors::Apricot},
            {"Command10", "打开工程", colors::Apricot},
            {"Command7", "保存工程", colors::Apricot},
            {"Command6", "清除工程", colors::Apricot},
            {"Command8", "下载工程", colors::LightYellow},
            {"Cmd3", "手动操作界面", QColor()},
            {"Cmd4", "参数配置界面", QColor()},
            {"Command9", "插补操作界面", QColor()},
            {"Command1", "插入代码行", QColor()},
            {"Command2", "删除代码行", QColor()},
            {"Command3", "复制代码行", QColor()},
            {"Command4", "粘贴代码行", QColor()},
            {"Command11", "关于/About", QColor()},
            {"Cmd6", "中 /  EN", QColor()},
        };
        for (const auto &b : buttons) {
            auto *button = w.findChild<QPushButton *>(QString::fromLatin1(b.name));
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString::fromUtf8(b.caption));
            if (b.color.isValid())
                QCOMPARE(BackColor(button), b.color);
            else
                QVERIFY(!button->property("backColor").isValid());
        }
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label2"))->text(), QStringLiteral("指令行数："));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("当前选择的行："));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label5"))->text(), QStringLiteral("当前选择的列："));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label6"))->text(), QStringLiteral("当前运行设定："));
        QVERIFY(w.Label3->text().isEmpty());
        QVERIFY(!w.Timer1->isActive() && !w.Timer2->isActive());
        QCOMPARE(w.Timer1->interval(), 100);
        QCOMPARE(w.Timer2->interval(), 100);
    }

    void wheelScrollsOneRowPerNotch()
    {
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Form_Load();  // no port: the grid keeps its 501 rows
        FlexGrid *grid = w.MSFlexGrid1;
        QWidget *viewport = grid->viewport();
        QCOMPARE(grid->topRow(), 1);
        wheel(viewport, 120);  // up with line 1 in view: nothing
        QCOMPARE(grid->topRow(), 1);
        wheel(viewport, 120 * 5);  // a big delta is still one notch
        QCOMPARE(grid->topRow(), 1);
        wheel(viewport, -120 * 3);
        QCOMPARE(grid->topRow(), 2);
        wheel(viewport, -1);
        QCOMPARE(grid->topRow(), 3);
        wheel(viewport, 120);
        QCOMPARE(grid->topRow(), 2);
        // Down to the end: then further notches change nothing and raise nothing.
        const int last = grid->verticalScrollBar()->maximum() + 1;
        for (int i = 0; i < 600; ++i)
            wheel(viewport, -120);
        QCOMPARE(grid->topRow(), last);
        QVERIFY(grid->rowIsVisible(500));
        wheel(viewport, -120);
        QCOMPARE(grid->topRow(), last);
        QCOMPARE(prompter.messages.size(), 1);  // only the start-up "no port" message
    }

    void aboutWindowAndClosingTogether()
    {
        LinkState state;
        RecordingPrompter prompter;
        Mainfrm w(state, prompter, QStringList{});
        w.show();
        QTest::mouseClick(w.Command11, Qt::LeftButton);
        AboutForm *about = w.aboutForm();
        QVERIFY(about && about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("软件说明/About"));
        QCOMPARE(about->Label1->text(), QStringLiteral(" 软件说明"));
        QCOMPARE(about->Command1->text(), QStringLiteral(" 返   回"));
        const QStringList lines = about->Text1->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 9);  // four notes, each followed by an empty line
        QCOMPARE(lines[0], QStringLiteral("1、本软件是针对Vandrel开发的三轴控制器，进行控制器指令编写."));
        QCOMPARE(lines[2], QStringLiteral(
                               "2、所有数据录入，必须按电脑键盘“ENTER”，数据设定方可生效，按“ESC”退出，数据录入无效."));
        QVERIFY(lines[4].startsWith(QStringLiteral("3、手动操作和基本参数界面的指示灯")));
        QCOMPARE(lines[6],
                 QStringLiteral("4、本软件自动搜索串口，串口配置为：19200，N，8，1；若无串口、未接控制器会报警提醒."));
        QVERIFY(lines[7].isEmpty() && lines[8].isEmpty());
        // Pressed again while open: the same window, not a second one.
        QTest::mouseClick(w.Command11, Qt::LeftButton);
        QCOMPARE(w.aboutForm(), about);
        QSignalSpy unloaded(&w, &Mainfrm::unloaded);
        w.close();
        QCOMPARE(unloaded.size(), 1);
        QTRY_VERIFY(!w.aboutForm()->isVisible());  // closed with the main window
    }

    void aboutButtonClosesIt()
    {
        AboutForm about;
        about.Form_Load();
        about.show();
        QTest::mouseClick(about.Command1, Qt::LeftButton);
        QVERIFY(!about.isVisible());
    }

    void messageBoxButtonsAreChinese_data()
    {
        QTest::addColumn<Prompter::Buttons>("buttons");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("OK") << Prompter::Buttons::Ok << QStringList{"确定"};
        QTest::newRow("OK and Cancel") << Prompter::Buttons::OkCancel << QStringList{"确定", "取消"};
        // With their keys: Alt+Y and Alt+N.
        QTest::newRow("Yes, No and Cancel")
            << Prompter::Buttons::YesNoCancel << QStringList{"是(&Y)", "否(&N)", "取消"};
    }
    void messageBoxButtonsAreChinese()
    {
        QFETCH(Prompter::Buttons, buttons);
        QFETCH(QStringList, texts);
        QtLanguage language;
        QVERIFY(language.useChinese());
        QMessageBox box;
        DesktopPrompter::prepareMessageBox(box, QStringLiteral("?"), buttons, QString());
        QStringList shown;
        for (const auto kind : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            if (QAbstractButton *b = box.button(kind))
                shown << b->text();
        QCOMPARE(box.buttons().size(), texts.size());
        QCOMPARE(shown, texts);
    }

    void messageBoxAnswersWithTheButtonPressed_data()
    {
        QTest::addColumn<Prompter::Buttons>("buttons");
        QTest::addColumn<QMessageBox::StandardButton>("pressed");
        QTest::addColumn<Prompter::Answer>("answer");
        QTest::newRow("OK") << Prompter::Buttons::OkCancel << QMessageBox::Ok << Prompter::Answer::Ok;
        QTest::newRow("Cancel") << Prompter::Buttons::OkCancel << QMessageBox::Cancel << Prompter::Answer::Cancel;
        QTest::newRow("Yes") << Prompter::Buttons::YesNoCancel << QMessageBox::Yes << Prompter::Answer::Yes;
        QTest::newRow("No") << Prompter::Buttons::YesNoCancel << QMessageBox::No << Prompter::Answer::No;
        QTest::newRow("Cancel, not No") << Prompter::Buttons::YesNoCancel << QMessageBox::Cancel
                                        << Prompter::Answer::Cancel;
    }
    void messageBoxAnswersWithTheButtonPressed()
    {
        QFETCH(Prompter::Buttons, buttons);
        QFETCH(QMessageBox::StandardButton, pressed);
        QFETCH(Prompter::Answer, answer);
        // Runs inside the box's own event loop, once it is shown.
        QTimer::singleShot(0, [pressed] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(pressed)->click();
        });
        DesktopPrompter prompter;
        QCOMPARE(prompter.message(QStringLiteral("?"), buttons, QString()), answer);
    }

    void fileDialogsAreQtsOwnInChinese()
    {
        QtLanguage language;
        QVERIFY(language.useChinese());
        for (const bool save : {false, true}) {
            QFileDialog dialog;
            DesktopPrompter::prepareFileDialog(dialog, FileDialogRequest{}, save);
            // The desktop's own dialog would bring the desktop's texts.
            QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
            QCOMPARE(dialog.labelText(QFileDialog::Accept), save ? "保存(&S)" : "打开(&O)");
            QCOMPARE(dialog.labelText(QFileDialog::Reject), QStringLiteral("取消"));
            QCOMPARE(dialog.labelText(QFileDialog::LookIn), QStringLiteral("查找范围："));
            QCOMPARE(dialog.labelText(QFileDialog::FileName), QStringLiteral("文件名称(&N)："));
        }
    }

    void binarySendsTheFirstProbe()
    {
        Pty pty;
        QVERIFY(pty.ok());
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(TRELMO_PATH), {pty.device()});
        QVERIFY(tool.waitForStarted(5000));
        const QByteArray first = pty.readFrame(8, 20000);
        QCOMPARE(hex(first), QStringLiteral("01 03 21 7D 00 01 1E 2E"));
        QTest::qWait(100);
        QCOMPARE(hex(pty.readAvailable()), QString());  // nothing more before a reply
        tool.kill();
        tool.waitForFinished(5000);
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
