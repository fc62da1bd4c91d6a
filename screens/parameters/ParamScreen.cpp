#include "screens/parameters/ParamScreen.h"

#include "link/LinkState.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "screens/parameters/ParameterEntry.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/KeyAscii.h"
#include "ui/WaitMs.h"
#include "ui/Widgets.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

namespace {
// Request tags of this screen: a read or write outstanding, or the step due next.
namespace tag {
constexpr std::int16_t ParamsRead = 50, ParamsReceived = 51, AccelDue = 52, AccelRead = 53, AccelReceived = 54,
                       ParamsDue = 55, Write = 56, Save = 60;
}
constexpr int RefreshMs = 200;
constexpr int WatchdogMs = 200;
constexpr int WatchdogLimit = 6;  // ticks without progress before a request is given up
constexpr int NoReplyLimit = 10;  // refresh ticks without any reply before the user is told
constexpr int ParamsReplyLength = 5 + 2 * reg::AxisParamsCount;  // 83
constexpr int AccelReplyLength = 5 + 2 * reg::ManualAccelCount;  // 17
constexpr int WriteReplyLength = 8;
constexpr int AxisReplyBytes = 2 * reg::AxisParamStride;  // 26

const char *const ColumnCaptions[param::ColumnCount] = {"脉冲当量", "导程/",    "细分",         "手动加速度",
                                                        "行程(mm)", "原点方向", "二次找零速度", "原点回退距离"};
const char *const RowCaptions[3] = {"X轴参数", "Y轴参数", "Z轴参数"};
}  // namespace

ParamScreen::ParamScreen(const ScreenContext &context, QWidget *parent) : SubScreen(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("基本参数配置界面"));
    buildControls();

    Timer1 = MakeTimer(this, "Timer1", RefreshMs);
    Timer2 = MakeTimer(this, "Timer2", WatchdogMs);
    connect(Timer1, &QTimer::timeout, this, &ParamScreen::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &ParamScreen::Timer2_Timer);
    connect(Command1, &QPushButton::clicked, this, &ParamScreen::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ParamScreen::Command2_Click);
}

void ParamScreen::buildControls()
{
    Frame8 = new QGroupBox(QStringLiteral("三轴电机基本参数"), this);
    Frame8->setObjectName(QStringLiteral("Frame8"));
    auto *grid = new QGridLayout(Frame8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);

    // The communication lamp sits in the grid's top left corner.
    Shape1 = new Lamp(Frame8, 18);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    grid->addWidget(Shape1, 0, 0, Qt::AlignCenter);

    for (int c = 0; c < param::ColumnCount; ++c) {
        auto *caption = new QLabel(QString::fromUtf8(ColumnCaptions[c]), Frame8);
        caption->setAlignment(Qt::AlignCenter);
        grid->addWidget(caption, 0, c + 1);
    }
    for (int axis = 0; axis < 3; ++axis) {
        grid->addWidget(new QLabel(QString::fromUtf8(RowCaptions[axis]), Frame8), axis + 1, 0);
        for (int c = 0; c < param::ColumnCount; ++c) {
            const int i = param::BoxIndex(axis, param::Column(c));
            auto *box = new QLineEdit(QStringLiteral("0"), Frame8);
            box->setObjectName(QStringLiteral("Text7_%1").arg(i));
            box->setProperty("index", i);
            box->setAlignment(Qt::AlignCenter);
            box->setMinimumWidth(90);
            // The pulse equivalent is the controller's own: shown, never written.
            box->setEnabled(param::WriteAddress(i).has_value());
            box->installEventFilter(this);
            new KeyPressFilter(box, [this, i](int &keyAscii) { Text7_KeyPress(i, keyAscii); });
            Text7[std::size_t(i)] = box;
            grid->addWidget(box, axis + 1, c + 1);
        }
    }

    Command1 = new QPushButton(QStringLiteral("控制器保存数据"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setMinimumSize(140, 34);
    SetBackColor(Command1, colors::LightYellow);
    Command2 = new QPushButton(QStringLiteral("返  回"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setMinimumSize(110, 34);

    // Below the frame: the save button in the middle, the return button at the right.
    auto *buttons = new QGridLayout;
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);
    buttons->addWidget(Command1, 0, 1);
    buttons->addWidget(Command2, 0, 2, Qt::AlignRight);

    auto *page = new QVBoxLayout(this);
    page->addWidget(Frame8);
    page->addSpacing(8);
    page->addLayout(buttons);
}

void ParamScreen::Form_Load()
{
    const unsigned generation = ++m_generation;
    LinkState &s = m_ctx.state;
    // Every loading starts from the controls' first state.
    for (QLineEdit *box : Text7)
        box->setText(QStringLiteral("0"));
    SetBackColor(Command1, colors::LightYellow);
    m_staging = {};
    WatchdogTicks = 0;
    SkipRefresh = 0;
    m_replySinceWatchdog = false;

    if (s.RequestTag == 0) {
        WaitMs(50);
        if (generation != m_generation)
            return;  // unloaded (or loaded afresh) during the pause
        s.RequestTag = tag::ParamsRead;
        m_ctx.port.setRThreshold(ParamsReplyLength);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::AxisParamsX, reg::AxisParamsCount);
        if (sendFailed())
            return;
    }
    s.ParamScreenActive = 1;
    Timer1->start();
    Timer2->start();
    SkipRefresh = 0;
    Shape1->setFillColor(Shape1->backgroundColor());
}

void ParamScreen::Form_Unload()
{
    ++m_generation;
    m_ctx.state.ParamScreenActive = 0;
    m_ctx.state.RequestTag = 0;
    Timer1->stop();
    Timer2->stop();
}

void ParamScreen::Command2_Click()
{
    unloadScreen();
}

bool ParamScreen::sendFailed()
{
    return m_ctx.link.SendFailed();
}

void ParamScreen::enableRefresh()
{
    // Enabling a running refresh leaves its period as it is.
    if (!Timer1->isActive())
        Timer1->start();
}

void ParamScreen::replyAccepted(int acceptedTag)
{
    m_replySinceWatchdog = true;
    if (acceptedTag == tag::Save)
        SetBackColor(Command1, colors::LightYellow);
}

bool ParamScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const QVariant index = watched->property("index");
        if (index.isValid())
            Text7_Click(index.toInt());
    }
    return SubScreen::eventFilter(watched, event);
}

void ParamScreen::Text7_Click(int)
{
    // The refresh would overwrite what the user is about to type.
    Timer1->stop();
}

void ParamScreen::Text7_KeyPress(int index, int &keyAscii)
{
    try {
        if (keyAscii == keys::Escape) {
            enableRefresh();
        } else if (keyAscii == keys::Enter) {
            const unsigned generation = m_generation;
            const bool sent = ApplyParameterEntry(index);
            if (generation != m_generation)
                return;  // the screen was closed while the entry was being written
            if (sent)
                enableRefresh();
            Command2->setFocus();
        } else if (IsNumberBoxKey(keyAscii)) {
            // Typing into a box reached with the keyboard holds the refresh as a click does.
            Timer1->stop();
        } else {
            keyAscii = 0;
        }
    } catch (const std::exception &) {
        m_ctx.prompter.message(QStringLiteral("数据录入有误！"));
    }
}

bool ParamScreen::ApplyParameterEntry(int index)
{
    const std::optional<param::WriteTarget> target = param::WriteAddress(index);
    if (!target)
        return true;
    const param::Entry entry = param::EvaluateEntry(index, Text7[std::size_t(index)]->text());
    if (!entry.error.isEmpty()) {
        m_ctx.prompter.message(entry.error);
        return true;
    }
    if (target->count == 1)
        m_staging = {0, std::uint8_t(entry.value), 0, 0};
    else
        FillStaging(m_staging, entry.value);

    LinkState &s = m_ctx.state;
    const unsigned generation = m_generation;
    s.RequestTag = tag::Write;
    WaitMs(50);
    if (generation != m_generation)
        return false;  // closed during the pause: nothing is written
    m_ctx.port.setRThreshold(WriteReplyLength);
    WriteRegisters(m_ctx.link, s.SlaveAddress, target->start, target->count, m_staging);
    if (sendFailed())
        return false;
    enableRefresh();
    return true;
}

void ParamScreen::Command1_Click()
{
    LinkState &s = m_ctx.state;
    const unsigned generation = m_generation;
    Timer1->stop();
    s.RequestTag = tag::Save;
    WaitMs(50);
    if (generation != m_generation)
        return;
    m_ctx.port.setRThreshold(WriteReplyLength);
    m_ctx.link.SendCoilOn(s.SlaveAddress, reg::coil::SaveData);
    if (sendFailed())
        return;  // the refresh stays stopped
    // Green until the controller acknowledges the save (the reply handler restores it).
    SetBackColor(Command1, colors::Green);
    WaitMs(50);
    if (generation != m_generation)
        return;
    // The buffer holds no fresh parameter block when the acknowledgement rejoins the cycle.
    SkipRefresh = 1;
    enableRefresh();
}

void ParamScreen::Timer1_Timer()
{
    // A tick that falls due while an earlier one still waits in a message box is skipped:
    // it would send a second request or stack a second box.
    if (m_inRefresh)
        return;
    m_inRefresh = true;
    struct Done {
        bool &flag;
        ~Done() { flag = false; }
    } done{m_inRefresh};

    LinkState &s = m_ctx.state;
    switch (s.RequestTag) {
    case tag::ParamsReceived:
        s.RequestTag = tag::AccelDue;
        Shape1->setFillColor(Shape1->fillColor() == Shape1->backgroundColor() ? colors::LightCyan
                                                                              : Shape1->backgroundColor());
        if (SkipRefresh == 1)
            SkipRefresh = 0;
        else
            showParameterBlock();
        break;
    case tag::AccelDue:
        s.RequestTag = tag::AccelRead;
        m_ctx.port.setRThreshold(AccelReplyLength);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::ManualAccelX, reg::ManualAccelCount);
        if (sendFailed()) {
            Timer1->stop();
            return;
        }
        break;
    case tag::AccelReceived:
        s.RequestTag = tag::ParamsDue;
        showAccelerations();
        break;
    case tag::ParamsDue:
        s.RequestTag = tag::ParamsRead;
        m_ctx.port.setRThreshold(ParamsReplyLength);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::AxisParamsX, reg::AxisParamsCount);
        if (sendFailed()) {
            Timer1->stop();
            return;
        }
        break;
    default: break;  // a request is outstanding
    }
    if (++s.NoReplyTicks >= NoReplyLimit) {
        s.NoReplyTicks = 0;
        m_ctx.prompter.message(QStringLiteral("与控制器通信异常！"));
    }
}

// The watchdog gives up a request after six ticks in which the cycle made no progress: no
// reply of this screen was accepted and the parameter block was not waiting to be shown.
// Because every accepted reply restarts the count, a cycle whose replies come in time is
// never disturbed, whichever of the two 200 ms ticks is handled first when both fall due.
void ParamScreen::Timer2_Timer()
{
    LinkState &s = m_ctx.state;
    const bool progress = m_replySinceWatchdog || s.RequestTag == tag::ParamsReceived;
    m_replySinceWatchdog = false;
    if (progress) {
        WatchdogTicks = 0;
        return;
    }
    if (++WatchdogTicks >= WatchdogLimit) {
        m_ctx.port.readAll();
        WatchdogTicks = 0;
        s.RequestTag = tag::AccelDue;
    }
}

void ParamScreen::showParameterBlock()
{
    const auto &b = m_ctx.state.ParamReplyBytes;
    auto scaled = [&b](int at, std::int64_t divisor) { return ScaledText(RawScaled(b.data() + at), divisor); };
    for (int axis = 0; axis < 3; ++axis) {
        const int at = AxisReplyBytes * axis;
        const auto box = [axis](param::Column c) { return std::size_t(param::BoxIndex(axis, c)); };
        SetTextIfChanged(Text7[box(param::Column::PulseEquivalent)],
                         scaled(at + 2 * reg::axis::PulseEquivalent, 1000000));
        SetTextIfChanged(Text7[box(param::Column::Lead)], scaled(at + 2 * reg::axis::Lead, 1000));
        SetTextIfChanged(Text7[box(param::Column::Microstep)], scaled(at + 2 * reg::axis::Microstep, 1));
        SetTextIfChanged(Text7[box(param::Column::Travel)], scaled(at + 2 * reg::axis::Travel, 1000));
        const int direction = at + 2 * reg::axis::OriginDirection;
        SetTextIfChanged(Text7[box(param::Column::OriginDirection)],
                         QString::number(b[std::size_t(direction)] * 256 + b[std::size_t(direction + 1)]));
        SetTextIfChanged(Text7[box(param::Column::HomingSpeed)], scaled(at + 2 * reg::axis::HomingSpeed, 1000));
        SetTextIfChanged(Text7[box(param::Column::BackOff)], scaled(at + 2 * reg::axis::BackOff, 1000));
    }
}

void ParamScreen::showAccelerations()
{
    const auto &b = m_ctx.state.ParamReplyBytes;
    for (int axis = 0; axis < 3; ++axis)
        SetTextIfChanged(Text7[std::size_t(param::BoxIndex(axis, param::Column::ManualAccel))],
                         ScaledText(RawScaled(b.data() + 4 * axis), 1000));
}
