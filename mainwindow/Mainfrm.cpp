// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Mainfrm.h"

#include "core/ProgramRead.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "mainwindow/AboutForm.h"
#include "mainwindow/TransferProgress.h"
#include "mainwindow/TrafficMonitor.h"
#include "mainwindow/WheelHook.h"
#include "screens/MotionFeed.h"
#include "screens/manual/ManualScreen.h"
#include "screens/interpolation/InterpolationScreen.h"
#include "screens/parameters/ParamScreen.h"
#include "ui/Colors.h"
#include "link/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "ui/Language.h"
#include "core/NumberText.h"
#include "core/Texts.h"
#include "ui/Messages.h"
#include "ui/Widgets.h"
#include "editor/BlockClipboard.h"
#include "editor/EditHistory.h"
#include "editor/LineSelection.h"
#include "editor/ProgramEditor.h"
#include "editor/ProgramGrid.h"
#include "editor/LineRenderer.h"
#include "projects/ProjectFiles.h"
#include "projects/RecentProjects.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const text::Text VerifyUnfinished{QT_TRANSLATE_NOOP("Trelmo", "程序校验没有完成！")};
}  // namespace

Mainfrm::Mainfrm(ToolState &state, Prompter &prompter, const QStringList &devices, QWidget *parent)
    : Mainfrm(
          state, prompter, [devices] { return devices; }, parent)
{}

Mainfrm::Mainfrm(ToolState &state, Prompter &prompter, std::function<QStringList()> catalogue, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompter(prompter), m_core(state, std::move(catalogue)),
      m_runControl(m_core.ctx, prompter, *this), m_wheel(new WheelHook(this))
{
    setObjectName(QStringLiteral("Mainfrm"));
    setWindowTitle(QStringLiteral("Trelmo"));
    MSComm = &m_core.port;
    Timer1 = &m_core.timers.Timer1;
    Timer2 = &m_core.timers.Timer2;
    buildControls();

    connect(Cmd1, &QPushButton::clicked, this, [this] {
        HideCellEditors();
        m_core.connection.Cmd1Click();
    });
    connect(Command11, &QPushButton::clicked, this, &Mainfrm::showAbout);
    // The traffic monitor, by its button or F12 from any window of the tool.
    connect(Command16, &QPushButton::clicked, this, &Mainfrm::showMonitor);
    connect(new QShortcut(QKeySequence(Qt::Key_F12), this, nullptr, nullptr, Qt::ApplicationShortcut),
            &QShortcut::activated, this, &Mainfrm::showMonitor);
    connect(Cmd6, &QPushButton::clicked, this, &Mainfrm::switchLanguage);

    // The program editor works on the grid and its two cell editors; the project buttons and
    // the line buttons act on the program through it and through the project files.
    const EditorControls controls{*MSFlexGrid1, *Combo1, *Text2, *Text3, SelectedRow, SelectedColumn};
    m_editor = std::make_unique<ProgramEditor>(state, m_core.program, prompter, controls);
    m_projects = std::make_unique<ProjectFiles>(state, m_core.program, *MSFlexGrid1, prompter,
                                                [this] { HideCellEditors(); });
    m_history = std::make_unique<EditHistory>(state, m_core.program, prompter, controls, *this);
    ProgramEditor *editor = m_editor.get();
    ProjectFiles *projects = m_projects.get();
    EditHistory *history = m_history.get();
    connect(MSFlexGrid1, &FlexGrid::clicked, editor, &ProgramEditor::CellClick);
    connect(Combo1, &QComboBox::activated, editor, &ProgramEditor::ChooserChoice);
    connect(Command1, &QPushButton::clicked, editor, &ProgramEditor::InsertLine);
    connect(Command2, &QPushButton::clicked, editor, &ProgramEditor::DeleteLine);
    connect(Command3, &QPushButton::clicked, editor, &ProgramEditor::CopyLine);
    connect(Command4, &QPushButton::clicked, editor, &ProgramEditor::PasteLine);
    connect(Command5, &QPushButton::clicked, projects, &ProjectFiles::NewProject);
    connect(Command10, &QPushButton::clicked, projects, &ProjectFiles::OpenProject);
    connect(Command7, &QPushButton::clicked, projects, &ProjectFiles::SaveProject);
    connect(Command6, &QPushButton::clicked, projects, &ProjectFiles::ClearProject);
    // Undo and redo of the grid's edits; a program replaced as a whole starts a new history.
    connect(editor, &ProgramEditor::aboutToChange, history, &EditHistory::begin);
    connect(editor, &ProgramEditor::programChanged, history, &EditHistory::commit);
    connect(projects, &ProjectFiles::programReplaced, history, &EditHistory::clear);
    // Many lines at once, selected by their numbers, through the system clipboard; the recent
    // projects on a right click of "打开工程".
    auto *blocks = new BlockClipboard(state, m_core.program, prompter, controls,
                                      *new LineSelection(*MSFlexGrid1, SelectedRow, this), this);
    connect(blocks, &BlockClipboard::aboutToChange, history, &EditHistory::begin);
    connect(blocks, &BlockClipboard::programChanged, history, &EditHistory::commit);
    new RecentProjects(*Command10, *projects, this);
    m_core.transfer.ConfirmDiscard = [projects] { return projects->confirmDiscard(); };
    // A connect that would read the controller's program over an edited one asks first.
    m_core.connection.confirmReplace = [projects] { return projects->confirmDiscard(); };
    // The grid takes a program read from the controller whole: only then does the history
    // start afresh, from a program that is as the controller holds it.
    connect(&m_core.transfer, &Transfer::finished, history, [history, this](Transfer::Kind kind) {
        if (kind != Transfer::Kind::Upload)
            return;
        history->clear();
        m_core.program.setBaseline();
    });
    connect(Command8, &QPushButton::clicked, this, [this] {
        HideCellEditors();
        m_progress->clicked();
        m_core.transfer.DownloadClick();
    });
    connect(Cmd5, &QPushButton::clicked, this, [this] {
        HideCellEditors();
        m_progress->clicked();
        m_core.transfer.UploadClick();
    });
    connect(Command15, &QPushButton::clicked, this, [this] {
        HideCellEditors();
        m_progress->clicked();
        if (m_core.verify.start())
            SetBackColor(Command15, colors::Green);
    });
    m_core.connection.beforeDisconnect = [this] {
        for (const auto &screen : m_screens)
            screen->unloadScreen();
        m_core.transfer.disconnected();
    };
    // The line-count box takes no typing while the program may not change.
    Text1->installEventFilter(this);
    connect(Command14, &QPushButton::clicked, this, [this] { m_runControl.EmergencyStopClick(); });
    connect(Command12, &QPushButton::clicked, this, [this] { m_runControl.SaveDataClick(); });
    connect(Command13, &QPushButton::clicked, this, [this] { m_runControl.PowerOnRunClick(); });
    connect(Cmd3, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Manual); });
    connect(Cmd4, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Parameters); });
    connect(Command9, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Interpolation); });

    // The three screens live as long as the main window; the guards load and unload them.
    m_motion = std::make_unique<MotionFeed>(m_core.ctx, m_core.receive, m_prompter);
    m_screens[RunControl::Manual] = std::make_unique<ManualScreen>(m_core.ctx, m_prompter, *m_motion);
    m_screens[RunControl::Parameters] = std::make_unique<ParamScreen>(m_core.ctx, m_prompter);
    m_screens[RunControl::Interpolation] = std::make_unique<InterpolationScreen>(m_core.ctx, m_prompter, *m_motion);
    for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i)
        m_runControl.setScreen(RunControl::Screen(i), m_screens[std::size_t(i)].get());
    wireCore();
}

// What the window shows of the core: the connection and the run mode, the line count, the
// program's rows and texts, and the buttons' colours that follow the transfers and the stop.
void Mainfrm::wireCore()
{
    ToolCore &c = m_core;
    connect(&c, &ToolCore::ticked, this, &Mainfrm::onTimer1);
    connect(&c.status, &ControllerStatus::changed, this, &Mainfrm::showStatus);
    connect(&c.program, &ProgramModel::countChanged, this, &Mainfrm::showCount);
    connect(Text1, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_core.program.takeTyped(ProgramModel::Parse(text));
    });
    connect(&c.program, &ProgramModel::rowsLaidOut, this,
            [this](int lines) { program::LayOutGridRows(*MSFlexGrid1, lines); });
    connect(&c.program, &ProgramModel::rendered, this, &Mainfrm::RenderLines);
    connect(&c.transfer, &Transfer::uploadBeginning, this, &Mainfrm::saveProgramView);
    connect(&c.transfer, &Transfer::cutShort, this, [this](Transfer::Kind kind) {
        if (kind == Transfer::Kind::Upload)
            restoreProgramView();
    });
    connect(&c.transfer, &Transfer::countAcknowledged, this, [this] { SetBackColor(Command8, colors::Green); });
    connect(&c.transfer, &Transfer::lastBlockAcknowledged, this,
            [this] { SetBackColor(Command8, colors::LightYellow); });
    connect(&c.transfer, &Transfer::blockNotSent, this, [this] { SetBackColor(Command8, colors::Red); });
    connect(&c.transfer, &Transfer::readStarted, this, [this] { SetBackColor(Cmd5, colors::Green); });
    connect(&c.transfer, &Transfer::lastBlockStored, this, [this] {
        SetBackColor(Cmd5, colors::LightYellow);
        Cmd5->setEnabled(true);
    });
    connect(&c.transfer, &Transfer::started, m_progress, [this](Transfer::Kind kind, int lines) {
        m_progress->started(kind == Transfer::Kind::Download ? TransferProgress::Kind::Download
                                                             : TransferProgress::Kind::Upload,
                            lines);
    });
    connect(&c.verify, &Verify::started, m_progress,
            [this](int lines) { m_progress->started(TransferProgress::Kind::Verify, lines); });
    connect(&c.verify, &Verify::finished, this, [this] { SetBackColor(Command15, colors::LightYellow); });
    // What the core tells, in the window's words, at the moment it tells it; the verify's result
    // once the reply that ended it has been dealt with (no box opens inside the receive path).
    connect(&c.notices, &Notices::told, this, [this](Notice notice, int value) { Tell(m_prompter, notice, value); });
    connect(
        &c.verify, &Verify::finished, this,
        [this](const Verify::Result &r) { m_prompter.message(r.complete ? r.message() : VerifyUnfinished()); },
        Qt::QueuedConnection);
    connect(&c.stop, &EmergencyStop::sent, this, [this](int tag) {
        if (tag == tag::Stop)
            SetBackColor(Command14, colors::Green);
    });
    connect(&c.stop, &EmergencyStop::confirmed, this, [this](int tag) {
        if (tag == tag::Stop)
            SetBackColor(Command14, colors::Red);
    });
    connect(&c.receive, &ReceiveHandler::accepted, this, [this](int tag) {
        if (tag == tag::SaveData)
            SetBackColor(Command12, colors::Apricot);
        else if (tag == tag::Stop)
            SetBackColor(Command14, colors::Red);
        else if (tag >= tag::ManualRead)
            for (const auto &s : m_screens)
                if (s->isLoaded())
                    s->replyAccepted(tag);
    });
}

Mainfrm::~Mainfrm() = default;


void Mainfrm::layoutGridColumns()
{
    program::LayOutGridColumns(*MSFlexGrid1);
}

void Mainfrm::Form_Load()
{
    m_wheel->InstallWheelHook(this);
    MSFlexGrid1->setRows(program::MaxLines + 1);
    layoutGridColumns();
    for (int r = 0; r <= program::MaxLines; ++r)
        MSFlexGrid1->setRowHeightTwips(r, 400);
    m_core.start();
}

void Mainfrm::closeEvent(QCloseEvent *event)
{
    if (!m_projects->confirmDiscard())
        return event->ignore();
    m_wheel->RemoveWheelHook(this);
    // Every other window of the tool goes with the main window; nothing is sent.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    m_core.port.close();
    Timer1->stop();
    Timer2->stop();
    event->accept();
    emit unloaded();
}

void Mainfrm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (MSFlexGrid1->rows() > 0)
        layoutGridColumns();
}

void Mainfrm::HideCellEditors()
{
    program::HideCellEditors(*Combo1, *Text2);
}

void Mainfrm::showStatus()
{
    const ControllerStatus &st = m_core.status;
    using L = ControllerStatus::Label;
    Label3->setText(st.label() == L::None ? QString() : st.label() == L::Connected ? text::Connected() : text::NotConnected());
    Cmd1->setText(st.connected() ? text::Disconnect() : text::Connect());
    Command13->setText(st.autoRun() ? text::AutoRunOn() : text::AutoRunOff());
}

void Mainfrm::showCount(double count)
{
    SetTextIfChanged(Text1, QString::number(count, 'g', 10));
}

void Mainfrm::RenderLines(int count, int block)
{
    ::RenderLines(*MSFlexGrid1, m_state.DisplayImage, count, block);
}

void Mainfrm::onTimer1()
{
    SetTextIfChanged(Text3, QString::number(SelectedRow));
    SetTextIfChanged(Text4, QString::number(SelectedColumn));
    if (m_state.GridRefreshRequest == 1) {
        m_state.GridRefreshRequest = 0;
        RenderLines(m_core.program.lines(), 1);
    }
    Text5->setText(QString::number(m_state.RequestTag));
    m_progress->tick();
}

void Mainfrm::saveProgramView()
{
    ProgramView &v = m_savedView;
    v.rows = MSFlexGrid1->rows();
    v.lineCount = Text1->text();
    v.cells.clear();
    for (int r = 1; r < v.rows; ++r)
        for (int c = 0; c < FlexGrid::Cols; ++c)
            v.cells << MSFlexGrid1->textMatrix(r, c);
}

void Mainfrm::restoreProgramView()
{
    const ProgramView &v = m_savedView;
    Text1->setText(v.lineCount);
    MSFlexGrid1->setRows(v.rows);
    MSFlexGrid1->setRowHeightTwips(0, 400);
    MSFlexGrid1->setRowHeightsTwips(1, v.rows - 1, 400);
    const FlexGrid::TextBatch batch(*MSFlexGrid1);
    for (int r = 1; r < v.rows; ++r)
        for (int c = 0; c < FlexGrid::Cols; ++c)
            MSFlexGrid1->setTextMatrix(r, c, v.cells.value((r - 1) * FlexGrid::Cols + c));
}

bool Mainfrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Text1 || !ProgramRead::programLocked(m_state))
        return QMainWindow::eventFilter(watched, event);
    bool edits = false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        edits = !key->text().isEmpty() || key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace;
        break;
    }
    case QEvent::ContextMenu: edits = true; break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: edits = static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton; break;
    default: break;
    }
    if (edits && event->type() != QEvent::MouseButtonRelease)
        RefuseWhileLocked(m_state, m_prompter);
    return edits;
}

void Mainfrm::showAbout()
{
    if (!m_about)
        m_about = std::make_unique<AboutForm>();
    // Shown again while open, the same window comes to the front; a new load refills it.
    if (!m_about->isVisible())
        m_about->Form_Load();
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void Mainfrm::showMonitor()
{
    if (!m_monitor)
        m_monitor = std::make_unique<TrafficMonitor>(m_core.traffic, m_prompter);
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}
