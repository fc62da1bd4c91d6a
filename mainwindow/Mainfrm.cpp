#include "mainwindow/Mainfrm.h"

#include "link/ProgramRead.h"
#include "link/RegisterMap.h"
#include "link/Tags.h"
#include "mainwindow/AboutForm.h"
#include "mainwindow/TransferProgress.h"
#include "mainwindow/WheelHook.h"
#include "screens/manual/ManualScreen.h"
#include "screens/interpolation/InterpolationScreen.h"
#include "screens/parameters/ParamScreen.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "ui/Language.h"
#include "ui/NumberText.h"
#include "ui/Texts.h"
#include "ui/Widgets.h"
#include "editor/EditHistory.h"
#include "editor/ProgramEditor.h"
#include "editor/ProgramGrid.h"
#include "projects/LineRenderer.h"
#include "projects/ProjectFiles.h"

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
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The buttons, their captions and back colours (none: the system's button colour).
struct ButtonSpec {
    QPushButton *Mainfrm::*member;
    const char *name;
    const char *caption;
    const QColor *color;
};
// clang-format off
const ButtonSpec Buttons[] = {
    // Connection and transfers, the three screens.
    {&Mainfrm::Cmd1, "Cmd1", text::Connect.source, &colors::LightYellow},
    {&Mainfrm::Cmd5, "Cmd5", QT_TRANSLATE_NOOP("Trelmo", "工程读取"), &colors::LightYellow},
    {&Mainfrm::Command8, "Command8", QT_TRANSLATE_NOOP("Trelmo", "下载工程"), &colors::LightYellow},
    {&Mainfrm::Cmd3, "Cmd3", QT_TRANSLATE_NOOP("Trelmo", "手动操作界面"), nullptr},
    {&Mainfrm::Cmd4, "Cmd4", QT_TRANSLATE_NOOP("Trelmo", "参数配置界面"), nullptr},
    {&Mainfrm::Command9, "Command9", QT_TRANSLATE_NOOP("Trelmo", "插补操作界面"), nullptr},
    // Run control.
    {&Mainfrm::Command14, "Command14", QT_TRANSLATE_NOOP("Trelmo", "系统急停"), &colors::Red},
    {&Mainfrm::Command13, "Command13", text::AutoRunOn.source, &colors::Apricot},
    {&Mainfrm::Command12, "Command12", QT_TRANSLATE_NOOP("Trelmo", "控制器存数据"), &colors::Apricot},
    // Projects and lines.
    {&Mainfrm::Command5, "Command5", QT_TRANSLATE_NOOP("Trelmo", "新建工程"), &colors::Apricot},
    {&Mainfrm::Command10, "Command10", QT_TRANSLATE_NOOP("Trelmo", "打开工程"), &colors::Apricot},
    {&Mainfrm::Command7, "Command7", QT_TRANSLATE_NOOP("Trelmo", "保存工程"), &colors::Apricot},
    {&Mainfrm::Command6, "Command6", QT_TRANSLATE_NOOP("Trelmo", "清除工程"), &colors::Apricot},
    {&Mainfrm::Command1, "Command1", QT_TRANSLATE_NOOP("Trelmo", "插入代码行"), nullptr},
    {&Mainfrm::Command2, "Command2", QT_TRANSLATE_NOOP("Trelmo", "删除代码行"), nullptr},
    {&Mainfrm::Command3, "Command3", QT_TRANSLATE_NOOP("Trelmo", "复制代码行"), nullptr},
    {&Mainfrm::Command4, "Command4", QT_TRANSLATE_NOOP("Trelmo", "粘贴代码行"), nullptr},
    // About and language; the language button reads the same in both languages.
    {&Mainfrm::Command11, "Command11", QT_TRANSLATE_NOOP("Trelmo", "关于/About"), nullptr},
    {&Mainfrm::Cmd6, "Cmd6", "中 /  EN", nullptr},
};
// clang-format on

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption, const QColor &color = {})
{
    auto *b = new QPushButton(parent);
    text::SetCaption(b, {caption});
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumHeight(30);
    b->setFocusPolicy(Qt::StrongFocus);
    if (color.isValid())
        SetBackColor(b, color);
    return b;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *caption)
{
    auto *l = new QLabel(parent);
    text::SetCaption(l, {caption});
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLineEdit *makeBox(QWidget *parent, const char *name, int width)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignCenter);
    return e;
}
}  // namespace

Mainfrm::Mainfrm(LinkState &state, Prompter &prompter, const QStringList &devices, QWidget *parent)
    : Mainfrm(
          state, prompter, [devices] { return devices; }, parent)
{}

Mainfrm::Mainfrm(LinkState &state, Prompter &prompter, std::function<QStringList()> catalogue, QWidget *parent)
    : QMainWindow(parent), MSComm(new CommPort(this)), m_state(state),
      m_prompter(prompter), m_ctx{state, *MSComm, m_link, m_stop, prompter, *this}, m_link(m_ctx), m_stop(m_ctx),
      m_connection(m_ctx), m_receive(m_ctx), m_transfer(m_ctx), m_runControl(m_ctx), m_wheel(new WheelHook(this))
{
    setObjectName(QStringLiteral("Mainfrm"));
    setWindowTitle(QStringLiteral("Trelmo"));
    MSComm->setObjectName(QStringLiteral("MSComm"));
    MSComm->setCatalogueSource(std::move(catalogue));
    buildControls();

    Timer1 = MakeTimer(this, "Timer1", 100);
    Timer2 = MakeTimer(this, "Timer2", 100);
    connect(Timer1, &QTimer::timeout, this, &Mainfrm::onTimer1);
    connect(Timer2, &QTimer::timeout, this, &Mainfrm::onTimer2);
    connect(MSComm, &CommPort::received, this, [this] { m_receive.onReceive(); });
    connect(MSComm, &CommPort::failed, this, &Mainfrm::onPortFailed);

    connect(Cmd1, &QPushButton::clicked, this, [this] { m_connection.Cmd1Click(); });
    connect(Command11, &QPushButton::clicked, this, &Mainfrm::showAbout);
    connect(Cmd6, &QPushButton::clicked, this, &Mainfrm::switchLanguage);

    // The program editor works on the grid and its two cell editors; the project buttons and
    // the line buttons act on the program through it and through the project files.
    const EditorControls controls{*MSFlexGrid1, *Combo1, *Text2, *Text1, *Text3, SelectedRow, SelectedColumn};
    m_editor = std::make_unique<ProgramEditor>(state, *this, prompter, controls);
    m_projects = std::make_unique<ProjectFiles>(state, *this, *MSFlexGrid1, prompter);
    m_history = std::make_unique<EditHistory>(state, *this, prompter, controls, *this);
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
    m_transfer.ConfirmDiscard = [projects] { return projects->confirmDiscard(); };
    // The grid takes a program read from the controller whole: only then does the history
    // start afresh.
    connect(&m_transfer, &Transfer::finished, history, [history, projects](Transfer::Kind kind) {
        if (kind != Transfer::Kind::Upload)
            return;
        history->clear();
        projects->setBaseline();
    });
    // A connect that would read the controller's program over an edited one asks first.
    m_connection.confirmReplace = [projects] { return projects->confirmDiscard(); };
    connect(&m_transfer, &Transfer::started, m_progress, &TransferProgress::started);
    connect(Command8, &QPushButton::clicked, this, [this] {
        m_progress->clicked();
        m_transfer.DownloadClick();
    });
    connect(Cmd5, &QPushButton::clicked, this, [this] {
        m_progress->clicked();
        m_transfer.UploadClick();
    });
    m_connection.beginUpload = [this](int lines) { return m_transfer.beginUpload(lines); };
    m_receive.blockDone = [this] { m_transfer.checkEnded(); };
    m_connection.beforeDisconnect = [this] {
        for (const auto &screen : m_screens)
            screen->unloadScreen();
        m_transfer.disconnected();
    };
    // The line-count box takes no typing while the program may not change.
    Text1->installEventFilter(this);
    connect(Command14, &QPushButton::clicked, this, [this] { m_runControl.EmergencyStopClick(); });
    connect(Command12, &QPushButton::clicked, this, [this] { m_runControl.SaveDataClick(); });
    connect(Command13, &QPushButton::clicked, this, [this] { m_runControl.PowerOnRunClick(); });
    connect(Cmd3, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Manual); });
    connect(Cmd4, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Parameters); });
    connect(Command9, &QPushButton::clicked, this, [this] { m_runControl.OpenScreen(RunControl::Interpolation); });

    m_receive.screenReplyAccepted = [this](int tag) {
        for (const auto &s : m_screens)
            if (s->isLoaded())
                s->replyAccepted(tag);
    };

    // The three screens live as long as the main window; the guards load and unload them.
    m_screens[RunControl::Manual] = std::make_unique<ManualScreen>(m_ctx);
    m_screens[RunControl::Parameters] = std::make_unique<ParamScreen>(m_ctx);
    m_screens[RunControl::Interpolation] = std::make_unique<InterpolationScreen>(m_ctx);
    for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i)
        m_runControl.setScreen(RunControl::Screen(i), m_screens[std::size_t(i)].get());
}

Mainfrm::~Mainfrm() = default;

void Mainfrm::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    Label1 = makeLabel(central, "Label1", "TrelmoV2.0     (KESTA-MX3)");
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    Label1->setFont(big);
    Label3 = makeLabel(central, "Label3", "");
    QFont status = Label3->font();
    status.setPointSizeF(status.pointSizeF() * 1.2);
    status.setBold(true);
    Label3->setFont(status);
    Label3->setMinimumWidth(180);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The captions that show the connection and the power-on run mode keep it across a switch.
    text::TrackCaption(Label3, {text::NotConnected, text::Connected});

    MSFlexGrid1 = new FlexGrid(central);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setMinimumSize(760, 420);

    for (const ButtonSpec &b : Buttons)
        this->*b.member = makeButton(central, b.name, b.caption, b.color ? *b.color : QColor());
    text::TrackCaption(Cmd1, {text::Connect, text::Disconnect});
    text::TrackCaption(Command13, {text::AutoRunOn, text::AutoRunOff});
    QFont stopFont = Command14->font();
    stopFont.setBold(true);
    Command14->setFont(stopFont);
    Command14->setMinimumHeight(44);

    Label2 = makeLabel(central, "Label2", QT_TRANSLATE_NOOP("Trelmo", "指令行数："));
    Label4 = makeLabel(central, "Label4", QT_TRANSLATE_NOOP("Trelmo", "当前选择的行："));
    Label5 = makeLabel(central, "Label5", QT_TRANSLATE_NOOP("Trelmo", "当前选择的列："));
    Label6 = makeLabel(central, "Label6", QT_TRANSLATE_NOOP("Trelmo", "当前运行设定："));
    Text1 = makeBox(central, "Text1", 70);
    Text3 = makeBox(central, "Text3", 60);
    Text4 = makeBox(central, "Text4", 60);
    Text5 = new DisplayBox(central);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setFixedWidth(50);
    Text3->setReadOnly(true);
    Text4->setReadOnly(true);
    Text5->setToolTip(QStringLiteral("RequestTag"));

    // The cell editors float over the grid; they are not part of any layout.
    Combo1 = new QComboBox(central);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Text2 = new QLineEdit(central);
    Text2->setObjectName(QStringLiteral("Text2"));

    // Layout: caption and connection state on top; the grid with the commands beside it;
    // project and line buttons and the status boxes underneath.
    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addStretch(1);
    top->addWidget(Label3);

    auto *side = new QVBoxLayout;
    auto group = [central](const char *title, std::initializer_list<QWidget *> widgets) {
        auto *box = new QGroupBox(central);
        text::SetCaption(box, {title});
        auto *v = new QVBoxLayout(box);
        v->setSpacing(6);
        for (QWidget *w : widgets)
            v->addWidget(w);
        return box;
    };
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "控制器连接"), {Cmd1, Cmd5, Command8}));
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "操作界面"), {Cmd3, Cmd4, Command9}));
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "运行控制"), {Command14, Label6, Command13, Command12}));
    side->addStretch(1);
    side->addWidget(Command11);
    side->addWidget(Cmd6);

    auto *middle = new QHBoxLayout;
    middle->addWidget(MSFlexGrid1, 1);
    middle->addLayout(side);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command5, Command10, Command7, Command6})
        buttons->addWidget(b);
    buttons->addSpacing(24);
    for (QPushButton *b : {Command1, Command2, Command3, Command4})
        buttons->addWidget(b);

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(Label2);
    boxes->addWidget(Text1);
    boxes->addSpacing(20);
    boxes->addWidget(Label4);
    boxes->addWidget(Text3);
    boxes->addSpacing(20);
    boxes->addWidget(Label5);
    boxes->addWidget(Text4);
    m_progress = new TransferProgress(m_state, central);
    boxes->addWidget(m_progress);
    boxes->addStretch(1);
    boxes->addWidget(Text5);

    auto *outer = new QVBoxLayout(central);
    outer->addLayout(top);
    outer->addLayout(middle, 1);
    outer->addLayout(buttons);
    outer->addLayout(boxes);

    HideCellEditors();
    resize(1180, 820);
}

void Mainfrm::layoutGridColumns()
{
    program::LayOutGridColumns(*MSFlexGrid1);
}

void Mainfrm::Form_Load()
{
    m_wheel->InstallWheelHook(this);
    Timer2->stop();
    Timer1->stop();
    m_state.SlaveAddress = 1;

    MSFlexGrid1->setRows(program::MaxLines + 1);
    layoutGridColumns();
    for (int r = 0; r <= program::MaxLines; ++r)
        MSFlexGrid1->setRowHeightTwips(r, 400);

    switch (m_connection.ConnectController()) {
    case Connection::Outcome::Connected:
        Timer1->start();
        Timer2->start();
        m_state.PortErrorFlag = 0;
        m_state.NoReplyTicks = 0;
        break;
    case Connection::Outcome::NoPort:
        Label3->setText(text::NotConnected());
        Timer1->start();
        m_state.PortErrorFlag = 0;
        break;
    default: break;  // the port is closed again; both timers stay off
    }
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
    MSComm->close();
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
    Combo1->hide();
    Text2->hide();
    Combo1->move(-100, -100);
    Text2->move(-100, -100);
}

void Mainfrm::setTimerEnabled(int timer, bool on)
{
    QTimer *t = timer == 1 ? Timer1 : Timer2;
    if (on && !t->isActive())
        t->start();
    else if (!on)
        t->stop();
}

bool Mainfrm::timerEnabled(int timer) const
{
    return (timer == 1 ? Timer1 : Timer2)->isActive();
}

// The widgets the link may read and write.
QWidget *Mainfrm::field(Field f) const
{
    switch (f) {
    case ConnectionLabel: return Label3;
    case ConnectButton: return Cmd1;
    case LineCountBox: return Text1;
    case RunModeButton: return Command13;
    }
    return nullptr;
}

QString Mainfrm::text(Field f) const
{
    return field(f)->property("text").toString();
}

void Mainfrm::setText(Field f, const QString &text)
{
    field(f)->setProperty("text", text);
}

void Mainfrm::setReadButtonEnabled(bool on)
{
    Cmd5->setEnabled(on);
}

void Mainfrm::setButtonColor(Button button, const QColor &color)
{
    QPushButton *b = button == Button::Cmd5        ? Cmd5
                     : button == Button::Command8  ? Command8
                     : button == Button::Command12 ? Command12
                                                   : Command14;
    SetBackColor(b, color);
}

void Mainfrm::layoutProgramRows(int lines)
{
    program::LayOutGridRows(*MSFlexGrid1, lines);
}

void Mainfrm::RenderLines(int count, int block)
{
    ::RenderLines(*MSFlexGrid1, m_state.DisplayImage, count, block);
}

void Mainfrm::onTimer1()
{
    if (!m_transfer.timerStep())
        return;
    SetTextIfChanged(Text3, QString::number(SelectedRow));
    SetTextIfChanged(Text4, QString::number(SelectedColumn));
    if (m_state.GridRefreshRequest == 1) {
        m_state.GridRefreshRequest = 0;
        RenderLines(int(RoundHalfEven(NumericValue(Text1->text()))), 1);
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
        ProgramRead::refuseWhileLocked(m_state, m_prompter);
    return edits;
}

void Mainfrm::onTimer2()
{
    m_receive.watchdogTick();
}

void Mainfrm::onPortFailed()
{
    // The port failed under us (the adapter was pulled out): say so once, as a failed send
    // would, and forget the request; the port is already closed.
    m_state.PortLostReported = true;
    m_transfer.portFailed();
    m_state.RequestTag = tag::Idle;
    m_state.PortErrorFlag = 0;
    setText(ConnectionLabel, text::NotConnected());
    setText(ConnectButton, text::Connect());
    m_prompter.message(text::PortError(), Prompter::Buttons::Ok, QStringLiteral(""));
    m_transfer.checkEnded();
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
