// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user meets it: the colours of every window, the wheel over the program
// grid, the About window, the traffic monitor, closing, and Qt's own texts in Chinese.
#include <bit>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QScrollBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QAccessible>
#include <QtTest>

#include "Rigs.h"
#include "core/TrafficWords.h"
#include "mainwindow/AboutForm.h"
#include "mainwindow/TrafficMonitor.h"
#include "mainwindow/TrafficView.h"
#include "projects/Form4.h"
#include "projects/ProjectFiles.h"
#include "link/CommPort.h"
#include "link/Framer.h"
#include "ui/FlexGrid.h"
#include "ui/Language.h"

namespace {
// One notch of the wheel over the grid: away from the user (delta > 0) or towards the user.
void notch(FlexGrid *grid, int delta)
{
    QWidget *viewport = grid->viewport();
    const QPointF at = viewport->rect().center();
    QWheelEvent e(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &e);
}

// The program line shown whole at the top of the grid (at the end, a line above it shows only partly).
int topLine(FlexGrid *grid)
{
    const int row = grid->rowAt(0);
    return row + 1 + (grid->rowViewportPosition(row) < 0);
}

// The buttons and lamps of a window not in the system's colours, with their colours, by name.
QString colours(const QWidgetList &widgets)
{
    const QMap<QRgb, QString> names{{qRgb(0, 255, 0), "green"},      {qRgb(255, 0, 0), "red"},
                                    {qRgb(255, 255, 192), "yellow"}, {qRgb(255, 224, 192), "orange"},
                                    {qRgb(255, 128, 128), "pink"},   {qRgb(192, 255, 255), "cyan"}};
    QStringList out;
    for (QWidget *w : widgets) {
        auto *lamp = qobject_cast<Lamp *>(w);
        QColor c = lamp ? lamp->fillColor() : BackColor(w);
        // A coloured button's colour as it is drawn, inside its border above the caption.
        if (!lamp && w->property("backColor").isValid())
            c = w->grab().toImage().pixelColor(w->width() / 2, 2);
        if ((lamp || w->inherits("QPushButton")) &&
            c != QApplication::palette(w).color(lamp ? QPalette::Window : QPalette::Button))
            out << w->objectName() + " " + names.value(c.rgb(), c.name());
    }
    out.sort();
    return out.join(u", ");
}
}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
private slots:
    void theWheelScrollsOneRowPerNotch()
    {
        Tool t({});
        t.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.w));
        t.start();
        QTRY_COMPARE(t.w.Text3->text(), QStringLiteral("0"));  // the tool is up and running
        FlexGrid *grid = t.w.MSFlexGrid1;
        // Up with line 1 in view moves nothing; any delta is one row.
        for (const auto &[delta, line] : {std::pair{120, 1}, {-360, 2}, {-1, 3}, {720, 2}, {120, 1}, {120, 1}}) {
            notch(grid, delta);
            QCOMPARE(topLine(grid), line);
        }
        // Down as far as it goes: line 500 in view, then nothing moves any more.
        for (int i = 0; i < 600; ++i)
            notch(grid, -120);
        const int last = topLine(grid);
        QVERIFY(last > 400 && grid->rowViewportPosition(499) >= 0 &&
                grid->rowViewportPosition(499) + grid->rowHeight(499) <= grid->viewport()->height());
        notch(grid, 120);
        QCOMPARE(topLine(grid), last - 1);
        QCOMPARE(t.prompter.messages.size(), 1);  // only the start-up message
    }

    void everyColour_data()
    {
        // screen: opened (-1: none) until it has shown a reply; colours: then, of the window's buttons and lamps
        // (IN2, ORG3, OUT3 on); during: `button`'s, clicked, while the reply to `request` is held; after: answered
        columns<int, QString, QString, QString, QString, QString>("screen", "colours", "button", "request", "during",
                                                                  "after");
        const QString main = "Cmd1 yellow, Cmd5 yellow, Command10 orange, Command12 orange, Command13 orange, "
                             "Command14 red, Command15 yellow, Command5 orange, Command6 orange, Command7 orange, Command8 yellow";
        row("download", -1, main, "Command8", "01 10", "Command8 green", "Command8 yellow");
        row("upload", -1, main, "Cmd5", "01 03 00 00", "Cmd5 green", "Cmd5 yellow");
        row("verify", -1, main, "Command15", "01 03 00 00", "Command15 green", "Command15 yellow");
        row("save data", -1, main, "Command12", "01 05 00 22", "Command12 green", "Command12 orange");
        row("emergency stop", -1, main, "Command14", "01 05 00 10", "Command14 green", "Command14 red");
        row("manual screen", int(RunControl::Manual),
            "Command1_14 orange, Command1_9 pink, Command2 orange, Command3 orange, Shape1_1 red, Shape1_6 red, "
            "Shape1_9 red, Shape2 cyan",
            "Command1_9", "01 05 00 10", "Command1_9 pink", "Command1_9 pink");
        row("parameter screen", int(RunControl::Parameters), "Command1 yellow, Shape1 cyan", "Command1", "01 05 00 22",
            "Command1 green", "Command1 yellow");
        row("interpolation screen", int(RunControl::Interpolation), "Shape2 cyan", "Command1_6", "01 05 00 10", "", "");
    }
    void everyColour()
    {
        QFETCH(int, screen);
        QFETCH(QString, request);
        ToolRig rig(3);
        rig.registers.insert(QMap<int, quint16>{{8580, 1}, {8589, 1}, {8594, 1}});
        QVERIFY(screen < 0 || rig.open(RunControl::Screen(screen)));
        QWidget *window =
            screen < 0 ? static_cast<QWidget *>(&rig.w) : rig.w.runControl().screen(RunControl::Screen(screen));
        QTEST(colours(window->findChildren<QWidget *>()), "colours");
        rig.late(request, -1);
        QFETCH(QString, button);
        QWidget *b = window->findChild<QPushButton *>(button);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !rig.held.isEmpty(); }));
        QTEST(colours({b}), "during");
        rig.write(rig.held);
        QFETCH(QString, after);
        QTRY_COMPARE(colours({b}), after);
    }

    void aboutShowsTheUsageNotes()
    {
        Tool t({});
        t.w.show();
        QTest::mouseClick(t.w.Command11, Qt::LeftButton);
        AboutForm *about = t.w.aboutForm();
        QVERIFY(about && QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->windowTitle(), QStringLiteral("软件说明/About"));
        QCOMPARE(about->Label1->text(), QStringLiteral(" 软件说明"));
        QCOMPARE(about->Command1->text(), QStringLiteral(" 返   回"));
        // Each note is followed by a line break and an empty line.
        const QString notes = QStringLiteral(
            "1、本软件是针对Vandrel开发的三轴控制器，进行控制器指令编写.\n\n"
            "2、所有数据录入，必须按电脑键盘“ENTER”，数据设定方可生效，按“ESC”退出，数据录入无效.\n\n"
            "3、手动操作和基本参数界面的指示灯，表示当前软件界面通过串口与控制器进行数据交互，若多次交互没能成功，"
            "将出现对话框报警.\n\n"
            "4、本软件自动搜索串口，串口配置为：19200，N，8，1；若无串口、未接控制器会报警提醒.\n\n");
        QCOMPARE(about->Text1->toPlainText(), notes);

        // Asked for again while open: the same window, not a second one, and the notes once.
        QTest::mouseClick(t.w.Command11, Qt::LeftButton);
        QCOMPARE(t.w.aboutForm(), about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->Text1->toPlainText(), notes);

        QTest::mouseClick(about->Command1, Qt::LeftButton);
        QVERIFY(!about->isVisible());
        // Loaded again, it is filled afresh, not appended to.
        QTest::mouseClick(t.w.Command11, Qt::LeftButton);
        QCOMPARE(about->Text1->toPlainText(), notes);
        QVERIFY(t.prompter.messages.isEmpty());
    }

    // The traffic monitor, by F12 from the main window and from a screen, one window beside the
    // screen: all rows from start-up on, read by assistive technology too; only the faults;
    // minimised, it takes nothing; paused, the rows wait and the counts go on; the rows selected
    // copied; the rows shown saved as text and as CSV; rows that come and go at the top of the
    // full record; cleared.
    void theTrafficMonitor()
    {
        ToolRig rig(3);
        rig.w.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.w));
        QTest::keyClick(&rig.w, Qt::Key_F12);
        TrafficMonitor *m = rig.w.trafficMonitor();
        QVERIFY(m && m->isVisible());
        QCOMPARE(m->windowTitle(), QStringLiteral("通信监视"));
        rig.silent = true;
        QTest::mouseClick(rig.w.Command12, Qt::LeftButton);  // "控制器存数据", unanswered
        QVERIFY(rig.idle());
        rig.silent = false;
        // The screen's first status read is answered with a broken CRC.
        QByteArray statusRead, spoilt;
        rig.filter = [&](const QByteArray &request, QByteArray reply) {
            if (spoilt.isEmpty() && request.startsWith(QByteArray::fromHex("0103216F"))) {
                reply[reply.size() - 1] = char(reply.back() ^ 0x55);
                std::tie(statusRead, spoilt) = std::pair(request, reply);
            }
            return reply;
        };
        QVERIFY(rig.open(RunControl::Manual));
        rig.manual()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.manual()));
        QTest::keyClick(rig.manual(), Qt::Key_F12);
        QVERIFY(rig.w.trafficMonitor() == m && rig.manual()->isLoaded());
        const Traffic &t = rig.w.core().traffic;
        QTRY_COMPARE(m->model().rowCount(), int(t.end()));
        // Times from the monitor's opening: the rows of the start-up came before it. The newest
        // row stays in view as the screen's rows fill the table and more.
        auto newestShown = [m] {
            const QRect newest = m->Table->visualRect(m->model().index(m->model().rowCount() - 1, 0));
            return m->model().rowCount() > 40 && m->Table->viewport()->rect().contains(newest);
        };
        QTRY_VERIFY_WITH_TIMEOUT(newestShown(), 10000);
        QVERIFY(m->model().index(0, 0).data().toString().startsWith(u'-'));
        // A screen reader reads the rows cell by cell: the spoilt reply with its fault, in its
        // fault's cell and with each of its cells, and with all its bytes where the row shows
        // their start; the status read before it, its bytes as the controller got them.
        QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(m->Table)->tableInterface();
        auto read = [cells](int row, int column, QAccessible::Text what = QAccessible::Name) {
            return cells->cellAt(row, column)->text(what);
        };
        int reply = cells->rowCount() - 1;
        while (reply > 0 && read(reply, traffic::Faults) != QStringLiteral("CRC 错误"))
            --reply;
        QCOMPARE(read(reply, traffic::Way, QAccessible::Description), QStringLiteral("CRC 错误"));
        QCOMPARE(read(reply, traffic::Bytes), QString::fromLatin1(spoilt.toHex(' ').toUpper()));
        QCOMPARE(read(reply - 1, traffic::Bytes), QString::fromLatin1(statusRead.toHex(' ').toUpper()));
        QCOMPARE(read(reply - 1, traffic::Purpose), QStringLiteral("手动状态"));
        m->FaultsOnly->setChecked(true);
        QCOMPARE(m->model().rowCount(), 2);
        QCOMPARE(m->model().index(0, 6).data().toString(), QStringLiteral("无应答"));
        m->FaultsOnly->setChecked(false);

        m->showMinimized();
        const int taken = m->model().rowCount();
        const QString counts = m->Totals->text();
        QVERIFY(ticks(rig.w.Timer1, 15));
        QVERIFY(m->model().rowCount() == taken && m->Totals->text() == counts && int(t.end()) > taken);
        m->showNormal();
        QVERIFY(m->model().rowCount() == int(t.end()) && m->Totals->text() != counts);

        QTest::mouseClick(m->PauseButton, Qt::LeftButton);
        QCOMPARE(m->PauseButton->text(), QStringLiteral("继续"));
        const int shown = m->model().rowCount();
        const QString pausedCounts = m->Totals->text();
        QTRY_VERIFY(m->Totals->text() != pausedCounts);
        QCOMPARE(m->model().rowCount(), shown);
        QTest::mouseClick(m->PauseButton, Qt::LeftButton);
        QVERIFY(m->model().rowCount() > shown);

        m->Table->selectRow(0);
        QTest::keyClick(m->Table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().section(u'\t', 2),
                 QStringLiteral("发\t03 读 8573 ×1\t上电运行设定\t\t\t01 03 21 7D 00 01 1E 2E\n"));
        QTemporaryDir dir;
        rig.manual()->unloadScreen();
        QVERIFY(rig.idle());
        for (const QString name : {"rows.txt", "rows.csv"})
            rig.prompter.fileNames.enqueue(dir.filePath(name));
        QTest::mouseClick(m->SaveTextButton, Qt::LeftButton);
        QTest::mouseClick(m->SaveCsvButton, Qt::LeftButton);
        QFile text(dir.filePath("rows.txt")), csv(dir.filePath("rows.csv"));
        QVERIFY(text.open(QIODevice::ReadOnly) && csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(text.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QByteArray csvBytes = csv.readAll();
        QCOMPARE(lines.size(), m->model().rowCount() + 2);  // the counts and the titles first
        QVERIFY(lines[0].startsWith(QStringLiteral("请求 ")) && lines[2].endsWith(QStringLiteral("01 03 21 7D 00 01 1E 2E")));
        QVERIFY(csvBytes.startsWith("\xEF\xBB\xBF时间 (ms),间隔 (ms),方向,帧,用途,延迟 (ms),故障,数据（十六进制）\r\n"));
        QCOMPARE(csvBytes.count("\r\n"), m->model().rowCount() + 1);
        rig.prompter.fileNames.enqueue(dir.path());  // a folder: nothing written, the user told
        QTest::mouseClick(m->SaveTextButton, Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{"文件保存出错！"});

        // The record full, rows let go of at the top: the current row gone leaves the newest row
        // in view; a row selected keeps its selection, and its place while it is looked at.
        Framer &line = rig.w.link().framer();
        auto feed = [&line, reply = FakeController::readReply(1, QList<quint16>(51))](int rows) {
            for (int i = 0; i < rows / 2; ++i) {
                line.written(1, QByteArray::fromHex("0103216F00333FFE"));
                line.read(reply);
            }
        };
        feed(Traffic::Capacity);
        QTRY_COMPARE(m->model().rowCount(), Traffic::Capacity);
        m->Table->selectionModel()->select(m->model().index(5000, 0),
                                           QItemSelectionModel::Rows | QItemSelectionModel::Select);
        m->Table->selectionModel()->setCurrentIndex(m->model().index(10, 0), QItemSelectionModel::NoUpdate);
        m->Table->follow();
        feed(2000);
        QTRY_COMPARE(m->model().recordRow(0), t.first());
        QVERIFY(newestShown());
        m->Table->scrollTo(m->model().index(3000, 0));
        const QRect at = m->Table->visualRect(m->model().index(3000, 0));
        feed(2000);
        QTRY_COMPARE(m->model().recordRow(0), t.first());
        QCOMPARE(m->Table->selectedRows(), QList<int>{1000});
        QCOMPARE(m->Table->visualRect(m->model().index(1000, 0)), at);

        // A stop sent again with nothing left waiting goes out without a request's number; the
        // port closing under it counts it unanswered.
        const auto unanswered = [&t] { return t.counts().faults[std::countr_zero(unsigned(Traffic::NoReply))]; };
        const quint64 before = unanswered();
        line.written(0, QByteArray::fromHex("01050010FF008DFF"));
        line.closed();
        QCOMPARE(unanswered(), before + 1);

        QTest::mouseClick(m->ClearButton, Qt::LeftButton);
        QCOMPARE(m->model().rowCount(), 0);
        QVERIFY(m->Totals->text().startsWith(QStringLiteral("请求 0 · 应答 0")));
    }

    void closingTheMainWindowClosesTheOthers()
    {
        ToolRig rig(3);
        rig.w.show();
        QVERIFY(rig.open(RunControl::Manual));
        QTest::mouseClick(rig.w.Command11, Qt::LeftButton);
        QTest::mouseClick(rig.w.Command5, Qt::LeftButton);
        QWidget *manual = rig.manual();
        QWidget *about = rig.w.aboutForm();
        QWidget *form4 = rig.w.projects().form4();
        QVERIFY(manual->isVisible() && about->isVisible() && form4 && form4->isVisible());

        QSignalSpy unloaded(&rig.w, &Mainfrm::unloaded);
        QVERIFY(rig.w.close());
        QCOMPARE(unloaded.size(), 1);
        QVERIFY(!rig.w.isVisible());
        QTRY_VERIFY(!manual->isVisible() && !about->isVisible() && !form4->isVisible());
        // The port is released and the link's timers stop: nothing more goes to the controller.
        QVERIFY(!rig.w.port().isOpen());
        QVERIFY(!rig.w.Timer1->isActive() && !rig.w.Timer2->isActive());
    }

    void qtsOwnTextsAreChinese_data()
    {
        columns<int, QStringList>("buttons", "texts");
        row("OK", int(Prompter::Buttons::Ok), QStringList{"确定"});
        row("OK, Cancel", int(Prompter::Buttons::OkCancel), QStringList{"确定", "取消"});
        row("Yes, No, Cancel", int(Prompter::Buttons::YesNoCancel), QStringList{"是(&Y)", "否(&N)", "取消"});
    }
    void qtsOwnTextsAreChinese()
    {
        QFETCH(int, buttons);
        QFETCH(QStringList, texts);
        LanguageSwitch language;  // Chinese, as the tool starts
        QMessageBox box;
        DesktopPrompter::prepareMessageBox(box, QStringLiteral("工程已修改，是否保存？"), Prompter::Buttons(buttons),
                                           QString());
        QCOMPARE(box.windowTitle(), QStringLiteral("Trelmo"));
        QStringList shown;
        for (const auto kind : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            if (QAbstractButton *b = box.button(kind))
                shown << b->text();
        QCOMPARE(shown, texts);
        QCOMPARE(box.buttons().size(), texts.size());

        QFileDialog dialog;  // the open dialog of "打开工程"
        DesktopPrompter::prepareFileDialog(dialog, FileDialogRequest{}, false);
        const auto *dialogButtons = dialog.findChild<QDialogButtonBox *>();
        QVERIFY(dialogButtons);
        QCOMPARE(dialogButtons->button(QDialogButtonBox::Open)->text(), QStringLiteral("打开(&O)"));
        QCOMPARE(dialogButtons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
