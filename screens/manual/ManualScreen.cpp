#include "screens/manual/ManualScreen.h"

#include "link/LinkState.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/KeyAscii.h"
#include "ui/NumberText.h"
#include "ui/WaitMs.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QColor LightRed{255, 128, 128};
const QString AutoRunOn = QStringLiteral("上电自运行");
const QString AutoRunOff = QStringLiteral("上电后不自动运行");
const QString BadEntry = QStringLiteral("输入数据出错！");

// Coil of each axis button: the jog direction (held) or the homing start (pressed once).
constexpr int ButtonCoil[9] = {
    reg::coil::JogXPlus, reg::coil::JogXMinus, reg::coil::HomeX,     reg::coil::JogYPlus, reg::coil::JogYMinus,
    reg::coil::HomeY,    reg::coil::JogZPlus,  reg::coil::JogZMinus, reg::coil::HomeZ,
};
bool isAxisButton(int index)
{
    return index >= 0 && index <= 8;
}
bool isJog(int index)
{
    return isAxisButton(index) && index % 3 != 2;
}
bool isHoming(int index)
{
    return isAxisButton(index) && index % 3 == 2;
}

// Command1 13, 12, 11, 10 switch OUT1 .. OUT4.
constexpr int StopButton = 9, ReturnButton = 14;
int outputOf(int index)
{
    return index >= 10 && index <= 13 ? 14 - index : 0;
}
QString outputOnCaption(int n)
{
    return QStringLiteral("OUT%1-ON").arg(n);
}
QString outputOffCaption(int n)
{
    return QStringLiteral("OUT%1-OF").arg(n);
}

const char *const ButtonCaption[15] = {"X+",    "X-",   "X回零",   "Y+",      "Y-",      "Y回零",   "Z+",    "Z-",
                                       "Z回零", "急停", "OUT4-ON", "OUT3-ON", "OUT2-ON", "OUT1-ON", " 返 回"};
const char *const BoxLabel[5] = {"X轴坐标", "Y轴坐标", "Z轴坐标", "手动速度  (mm/s)", "运行距离   (mm)"};
const char *const LampCaption[11] = {"IN1",  "IN2",  "IN3",  "IN4",  "ORG1", "ORG2",
                                     "ORG3", "OUT1", "OUT2", "OUT3", "OUT4"};

QString indexed(const char *name, int i)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
}

bool isEntryBox(int box)
{
    return box == 3 || box == 4;
}
}  // namespace

ManualScreen::ManualScreen(const ScreenContext &ctx)
    : SubScreen(nullptr), m_ctx(ctx), m_jog(
                                          [this](int coil, bool on) {
                                              return GuardedSend(25, [this, coil, on] {
                                                  if (on)
                                                      m_ctx.link.SendCoilOn(m_ctx.state.SlaveAddress, coil);
                                                  else
                                                      m_ctx.link.SendCoilOff(m_ctx.state.SlaveAddress, coil);
                                              });
                                          },
                                          [this] { return m_ctx.port.isOpen() && m_ctx.state.PortErrorFlag != 1; })
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("手控操作界面"));
    buildControls();

    Timer1 = MakeTimer(this, "Timer1", 200);
    Timer2 = MakeTimer(this, "Timer2", 100);
    connect(Timer1, &QTimer::timeout, this, &ManualScreen::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &ManualScreen::Timer2_Timer);

    for (int i = 0; i < 15; ++i) {
        QPushButton *b = Command1[std::size_t(i)];
        if (isAxisButton(i)) {
            // The axis buttons act on the mouse only: a press that a mouse began is taken
            // once; the keyboard's space bar does not jog.
            b->installEventFilter(this);
            connect(b, &QPushButton::pressed, this, [this, i] {
                if (m_mousePressOn != i)
                    return;
                m_mousePressOn = -1;
                Command1_MouseDown(i);
            });
            connect(b, &QPushButton::released, this, [this, i] { Command1_MouseUp(i); });
        } else {
            connect(b, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        }
    }
    connect(Command2, &QPushButton::clicked, this, &ManualScreen::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ManualScreen::Command3_Click);
    for (int box : {3, 4}) {
        Text1[std::size_t(box)]->installEventFilter(this);
        new KeyPressFilter(Text1[std::size_t(box)], [this, box](int &key) { Text1_KeyPress(box, key); });
    }
    resetControls();
}

ManualScreen::~ManualScreen() = default;

void ManualScreen::buildControls()
{
    auto button = [this](const QString &name, const QString &caption, const QColor &color = {}) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setMinimumSize(78, 40);
        b->setFocusPolicy(Qt::StrongFocus);
        if (color.isValid())
            SetBackColor(b, color);
        return b;
    };
    for (int i = 0; i < 15; ++i)
        Command1[std::size_t(i)] = button(indexed("Command1", i), QString::fromUtf8(ButtonCaption[i]),
                                          i == StopButton     ? LightRed
                                          : i == ReturnButton ? colors::Apricot
                                                              : QColor());
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("步进开关"), colors::Apricot);
    Command3 = button(QStringLiteral("Command3"), AutoRunOn, colors::Apricot);
    Command3->setMinimumWidth(150);
    QFont stopFont = Command1[StopButton]->font();
    stopFont.setBold(true);
    Command1[StopButton]->setFont(stopFont);

    Check1[1] = new QCheckBox(this);
    Check1[1]->setObjectName(indexed("Check1", 1));
    // It shows the controller's step mode; the hand does not set it.
    Check1[1]->setAttribute(Qt::WA_TransparentForMouseEvents);
    Check1[1]->setFocusPolicy(Qt::NoFocus);

    for (int i = 0; i < 5; ++i) {
        auto *e = new QLineEdit(this);
        e->setObjectName(indexed("Text1", i));
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(130);
        if (!isEntryBox(i)) {
            e->setReadOnly(true);
            e->setFocusPolicy(Qt::NoFocus);
        }
        Text1[std::size_t(i)] = e;
    }
    for (int i = 0; i < 11; ++i) {
        Shape1[std::size_t(i)] = new Lamp(this, 22);
        Shape1[std::size_t(i)]->setObjectName(indexed("Shape1", i));
    }
    Shape2 = new Lamp(this, 22);
    Shape2->setObjectName(QStringLiteral("Shape2"));

    // Left: the axis block (rows X, Y, Z; columns +, -, homing), the stop under the homing
    // column, and the outputs, OUT1 and OUT2 above OUT3 and OUT4.
    auto *axes = new QGridLayout;
    axes->setSpacing(8);
    for (int i = 0; i < 9; ++i)
        axes->addWidget(Command1[std::size_t(i)], i / 3, i % 3);
    axes->addWidget(Command1[StopButton], 3, 2);
    axes->setRowMinimumHeight(4, 24);
    axes->addWidget(Command1[13], 5, 0);
    axes->addWidget(Command1[12], 5, 1);
    axes->addWidget(Command1[11], 6, 0);
    axes->addWidget(Command1[10], 6, 1);
    axes->setRowStretch(7, 1);

    // Middle: the five boxes with their labels, the step indicator and switch, the return.
    auto *values = new QGridLayout;
    values->setHorizontalSpacing(10);
    values->setVerticalSpacing(12);
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(QString::fromUtf8(BoxLabel[i]), this);
        l->setObjectName(indexed("Label1", i));
        values->addWidget(l, i, 0);
        values->addWidget(Text1[std::size_t(i)], i, 1);
    }
    auto *step = new QHBoxLayout;
    step->addStretch(1);
    step->addWidget(Check1[1]);
    step->addWidget(Command2);
    values->addLayout(step, 5, 0, 1, 2);
    values->setRowStretch(6, 1);
    values->addWidget(Command1[ReturnButton], 7, 1);

    // Right: the lamps in pairs under their headings.
    auto *lamps = new QGridLayout;
    lamps->setHorizontalSpacing(6);
    lamps->setVerticalSpacing(8);
    int row = 0;
    auto heading = [&](const char *name, const char *text) {
        auto *l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QLatin1String(name));
        lamps->addWidget(l, row++, 0, 1, 4);
    };
    auto pair = [&](int first, int count) {
        for (int k = 0; k < count; ++k) {
            const int i = first + k;
            lamps->addWidget(Shape1[std::size_t(i)], row, 2 * k, Qt::AlignRight);
            auto *caption = new QLabel(QString::fromLatin1(LampCaption[i]), this);
            caption->setObjectName(indexed("LampCaption", i));
            lamps->addWidget(caption, row, 2 * k + 1);
        }
        ++row;
    };
    heading("Label2", "输入状态：");
    pair(0, 2);
    pair(2, 2);
    heading("Label3", "原点状态：");
    pair(4, 2);
    pair(6, 1);
    heading("Label4", "输出状态：");
    pair(7, 2);
    pair(9, 2);
    lamps->setRowStretch(row, 1);

    // Top: the power-on auto-run at the left, the communication lamp in the middle.
    auto *top = new QHBoxLayout;
    top->addWidget(Command3);
    top->addSpacing(60);
    top->addStretch(1);
    auto *commLabel = new QLabel(QStringLiteral("通信指示灯"), this);
    commLabel->setObjectName(QStringLiteral("Label5"));
    top->addWidget(commLabel);
    top->addWidget(Shape2);
    top->addStretch(2);

    auto *columns = new QHBoxLayout;
    columns->setSpacing(36);
    columns->addLayout(axes);
    columns->addLayout(values);
    columns->addLayout(lamps);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 14, 18, 18);
    outer->setSpacing(18);
    outer->addLayout(top);
    outer->addLayout(columns, 1);
}

// Loading finds the screen as it was created.
void ManualScreen::resetControls()
{
    for (int i = 0; i < 15; ++i)
        Command1[std::size_t(i)]->setText(QString::fromUtf8(ButtonCaption[i]));
    Command3->setText(AutoRunOn);
    Check1[1]->setChecked(false);
    for (QLineEdit *e : Text1)
        e->setText(QStringLiteral("0"));
    for (Lamp *l : Shape1)
        l->setLit(false);
    Shape2->setFillColor(Shape2->backgroundColor());
    DigitTyped = 0;
    WatchdogTicks = 0;
    SkipRefresh = 0;
    m_staging.fill(0);
    m_mousePressOn = -1;
    m_noReplyMessageDue = false;
}

void ManualScreen::Form_Load()
{
    resetControls();
    m_refreshHalted = false;
    LinkState &s = m_ctx.state;
    if (s.RequestTag == 0) {
        WaitMs(50);
        m_ctx.port.setRThreshold(5 + 2 * reg::StatusCount);
        s.RequestTag = 20;
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::Status, reg::StatusCount);
        if (portFailed())
            return;
        DigitTyped = 0;
    }
    Timer1->start();
    WatchdogTicks = 0;
    SkipRefresh = 0;
    s.ManualScreenActive = 1;
    Timer2->start();
}

void ManualScreen::Form_Unload()
{
    // The OFF of a held jog goes out before the screen lets go of the link.
    m_jog.letGo();
    m_ctx.state.ManualScreenActive = 0;
    m_ctx.state.RequestTag = 0;
    Timer1->stop();
    Timer2->stop();
}

bool ManualScreen::portFailed()
{
    if (!m_ctx.link.SendFailed())
        return false;
    Timer1->stop();
    m_refreshHalted = true;
    return true;
}

bool ManualScreen::GuardedSend(int tag, const std::function<void()> &send)
{
    Timer1->stop();
    m_ctx.state.RequestTag = std::int16_t(tag);
    WaitMs(50);
    m_ctx.port.setRThreshold(8);
    send();
    if (portFailed())
        return false;
    m_refreshHalted = false;
    // A command that finishes after the screen was unloaded leaves the refresh off.
    if (isLoaded())
        Timer1->start();
    return true;
}

// Enter, Esc and leaving a box start the refresh again, unless a port failure stopped it.
void ManualScreen::enableRefresh()
{
    if (!m_refreshHalted && isLoaded() && !Timer1->isActive())
        Timer1->start();
}

void ManualScreen::Command1_MouseDown(int index)
{
    if (isJog(index))
        m_jog.press(ButtonCoil[index]);
    else if (isHoming(index))
        GuardedSend(25, [this, index] { m_ctx.link.SendCoilOn(m_ctx.state.SlaveAddress, ButtonCoil[index]); });
}

void ManualScreen::Command1_MouseUp(int index)
{
    if (isJog(index))
        m_jog.letGo();
}

void ManualScreen::Command1_Click(int index)
{
    LinkState &s = m_ctx.state;
    if (index == StopButton) {
        GuardedSend(25, [this] { m_ctx.link.SendCoilOn(m_ctx.state.SlaveAddress, reg::coil::EmergencyStop); });
    } else if (const int n = outputOf(index)) {
        QPushButton *b = Command1[std::size_t(index)];
        // The caption names the action of this click; it is read after the pause.
        GuardedSend(25, [this, b, n] {
            const int coil = reg::coil::Out1 + n - 1;
            const bool switchOn = b->text() == outputOnCaption(n);
            if (switchOn)
                m_ctx.link.SendCoilOn(m_ctx.state.SlaveAddress, coil);
            else
                m_ctx.link.SendCoilOff(m_ctx.state.SlaveAddress, coil);
            // A write that never left keeps the caption: the next click does the same again.
            if (m_ctx.state.PortErrorFlag != 1)
                b->setText(switchOn ? outputOffCaption(n) : outputOnCaption(n));
        });
    } else if (index == ReturnButton) {
        s.ManualScreenActive = 0;
        s.RequestTag = 0;
        Timer1->stop();
        unloadScreen();
    }
}

void ManualScreen::Command2_Click()
{
    GuardedSend(24, [this] { m_ctx.link.SendCoilOn(m_ctx.state.SlaveAddress, reg::coil::StepSwitch); });
}

void ManualScreen::Command3_Click()
{
    LinkState &s = m_ctx.state;
    Timer1->stop();
    Timer2->stop();
    s.RequestTag = 23;
    WaitMs(50);
    const QString caption = Command3->text();
    if (caption == AutoRunOff) {
        Command3->setText(AutoRunOn);
        m_ctx.port.setRThreshold(8);
        m_ctx.link.SendRegister(s.SlaveAddress, reg::PowerOnRun, 1);
    } else if (caption == AutoRunOn) {
        Command3->setText(AutoRunOff);
        m_ctx.port.setRThreshold(8);
        m_ctx.link.SendRegister(s.SlaveAddress, reg::PowerOnRun, 0);
    }
    if (portFailed())
        return;
    m_refreshHalted = false;
    SkipRefresh = 1;
    WaitMs(100);
    if (isLoaded()) {
        Timer1->start();
        Timer2->start();
    }
}

void ManualScreen::Text1_KeyPress(int box, int &key)
{
    if (key >= 47 && key <= 57) {
        DigitTyped = 1;
    } else if (key == keys::Escape) {
        DigitTyped = 0;
        enableRefresh();
        return;
    } else if (key == keys::Enter) {
        DigitTyped = 0;
        ApplyJogEntry(box);
        enableRefresh();
        Command1[0]->setFocus();
        return;
    } else if (key == '.') {
        if (DigitTyped != 1)
            key = 0;
    } else if (key != keys::Backspace) {
        key = 0;
    }
    // What is being typed stays as typed: the refresh waits until Enter, Esc or leaving.
    if (key != 0)
        Timer1->stop();
}

void ManualScreen::Text1_LostFocus(int box)
{
    (void)box;
    if (!isLoaded())
        return;
    enableRefresh();
    Command1[0]->setFocus();
}

void ManualScreen::ApplyJogEntry(int box)
{
    if (!isEntryBox(box))
        return;
    const double v = NumericValue(Text1[std::size_t(box)]->text());
    if (v < 0) {
        showMessage(BadEntry);
        return;
    }
    // The register pair carries a signed 32-bit count of thousandths.
    const double n = RoundHalfEven(v * 1000.0);
    if (n > 2147483647.0) {
        showMessage(BadEntry);
        return;
    }
    FillStaging(m_staging, std::int64_t(n));
    LinkState &s = m_ctx.state;
    s.RequestTag = 26;
    WaitMs(50);
    m_ctx.port.setRThreshold(8);
    WriteRegisters(m_ctx.link, s.SlaveAddress, box == 3 ? reg::ManualSpeed : reg::RunDistance, 2, m_staging);
    if (portFailed())
        return;
    m_refreshHalted = false;
    if (isLoaded())
        Timer1->start();
}

void ManualScreen::showMessage(const QString &text)
{
    // A message box takes the mouse: the button under the hand never sees its release.
    m_jog.letGo();
    m_ctx.prompter.message(text);
}

void ManualScreen::showEvent(QShowEvent *event)
{
    SubScreen::showEvent(event);
    // The screen opens with the focus on "X+", never in an entry box (which would stop the
    // refresh).
    Command1[0]->setFocus();
}

void ManualScreen::hideEvent(QHideEvent *event)
{
    m_jog.letGo();
    SubScreen::hideEvent(event);
}

bool ManualScreen::event(QEvent *e)
{
    // The window loses the keyboard, or a modal box opens over it: the hand's button will
    // not see its release. Let go from the event loop, not from inside the activation change.
    if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::WindowBlocked)
        QMetaObject::invokeMethod(
            this, [this] { m_jog.letGo(); }, Qt::QueuedConnection);
    return SubScreen::event(e);
}

bool ManualScreen::eventFilter(QObject *watched, QEvent *e)
{
    for (int box : {3, 4}) {
        if (watched != Text1[std::size_t(box)])
            continue;
        if (e->type() == QEvent::MouseButtonPress) {
            // Text1_Click: the refresh must not overwrite what is about to be typed. A click
            // that came from the other box has had the focus sent on to "X+" by leaving that
            // box; nothing is typed here then, and the refresh keeps running.
            if (Text1[std::size_t(box)]->hasFocus())
                Timer1->stop();
        } else if (e->type() == QEvent::FocusOut && static_cast<QFocusEvent *>(e)->reason() != Qt::PopupFocusReason) {
            Text1_LostFocus(box);
        }
        return false;
    }
    for (int i = 0; i < 9; ++i) {
        QPushButton *b = Command1[std::size_t(i)];
        if (watched != b)
            continue;
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton)
                m_mousePressOn = i;
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
                m_mousePressOn = -1;
                // A button that is no longer down (the focus moved away from it) does not
                // report its release itself.
                if (!b->isDown())
                    Command1_MouseUp(i);
            }
            break;
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent *>(e)->reason() != Qt::PopupFocusReason)
                Command1_MouseUp(i);
            break;
        default: break;
        }
        return false;
    }
    return SubScreen::eventFilter(watched, e);
}
