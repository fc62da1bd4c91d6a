#include "screens/interpolation/InterpolationScreen.h"

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

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The refresh alternates two reads: A = the coordinates and the speed (12 registers from
// 8559), B = the move settings (13 registers from 8610).
constexpr int ReadACount = 12;
constexpr int ReadBCount = reg::InterpSettingsCount;
constexpr int ReadAReply = 5 + 2 * ReadACount;  // 29 bytes
constexpr int ReadBReply = 5 + 2 * ReadBCount;  // 31 bytes
constexpr int AckReply = 8;                     // echo of a write or a coil

// Tags of this screen (the reply handler moves 150, 153 and 156 to 158 on).
constexpr std::int16_t TagReadA = 150, TagShowA = 151, TagAShown = 152;
constexpr std::int16_t TagReadB = 153, TagShowB = 154, TagBShown = 155;
constexpr std::int16_t TagWrite = 156, TagMove = 157, TagStop = 158;

constexpr int WatchdogLimit = 6;
constexpr int ReturnIndex = 14;
constexpr int StopIndex = 6;
constexpr int DirectionBox = 10;

// Coil of each move button: arcs XY, XZ, YZ, then lines XY, XZ, YZ.
constexpr int MoveCoils[6] = {reg::coil::ArcXY,    reg::coil::ArcXZ,    reg::coil::ArcYZ,
                              reg::coil::LinearXY, reg::coil::LinearXZ, reg::coil::LinearYZ};

const char *const ButtonCaptions[7] = {"XY圆弧插补", "XZ圆弧插补", "YZ圆弧插补", "XY直线插补",
                                       "XZ直线插补", "YZ直线插补", "急  停"};
const char *const BoxLabels[11] = {"X轴坐标", "Y轴坐标", "Z轴坐标", "插补速度", "X轴终点", "Y轴终点",
                                   "Z轴终点", "X轴段1",  "Y轴段1",  "Z轴段1",   "圆弧方向"};

const QString Clockwise = QStringLiteral("顺");
const QString CounterClockwise = QStringLiteral("逆");

// The largest setting the register pair carries: 2147483647 thousandths.
constexpr double MaxScaled = 2147483647.0;
}  // namespace

const QString InterpolationScreen::TooLargeMessage = QStringLiteral("输入数据不能大于2147483.647！");

InterpolationScreen::InterpolationScreen(const ScreenContext &ctx, QWidget *parent) : SubScreen(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("插补调试界面"));
    buildControls();

    Timer1 = MakeTimer(this, "Timer1", 100);
    Timer2 = MakeTimer(this, "Timer2", 100);
    connect(Timer1, &QTimer::timeout, this, &InterpolationScreen::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &InterpolationScreen::Timer2_Timer);

    for (int i = 0; i < int(Command1.size()); ++i)
        if (Command1[i])
            connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    for (int i = 3; i <= DirectionBox; ++i) {
        Text1[i]->installEventFilter(this);
        new KeyPressFilter(Text1[i], [this, i](int &keyAscii) { Text1_KeyPress(i, keyAscii); });
    }
    resetControls();
}

void InterpolationScreen::buildControls()
{
    auto makeBox = [this](int i) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("Text1_%1").arg(i));
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(120);
        Text1[i] = e;
        return e;
    };
    // One label width for every group, so that the boxes stand in one column.
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("圆弧方向")) + 12;
    auto boxGrid = [&](QWidget *owner, int from, int to) {
        auto *grid = new QGridLayout(owner);
        for (int i = from; i <= to; ++i) {
            auto *label = new QLabel(QString::fromUtf8(BoxLabels[i]), owner);
            label->setFixedWidth(labelWidth);
            grid->addWidget(label, i - from, 0);
            grid->addWidget(makeBox(i), i - from, 1);
        }
        grid->setColumnStretch(2, 1);
        return grid;
    };

    // The coordinates and the speed.
    auto *current = new QGroupBox(this);
    boxGrid(current, 0, 3);
    for (int i = 0; i < 3; ++i)
        Text1[i]->setReadOnly(true);  // shown, never entered

    auto *endPoint = new QGroupBox(QStringLiteral("直线或圆弧插补终点坐标设定"), this);
    boxGrid(endPoint, 4, 6);
    auto *middle = new QGroupBox(QStringLiteral("圆弧插补段中间某点坐标设定(起点宇终点除外)"), this);
    boxGrid(middle, 7, 9);

    auto *direction = new QGroupBox(this);
    auto *directionGrid = boxGrid(direction, DirectionBox, DirectionBox);
    Label1[13] = new QLabel(this);
    Label1[13]->setObjectName(QStringLiteral("Label1_13"));
    Label1[13]->setMinimumWidth(30);
    directionGrid->addWidget(Label1[13], 0, 2);

    auto *settings = new QVBoxLayout;
    settings->addWidget(current);
    settings->addWidget(endPoint);
    settings->addWidget(middle);
    settings->addWidget(direction);

    for (int i = 0; i <= StopIndex; ++i) {
        Command1[i] = new QPushButton(QString::fromUtf8(ButtonCaptions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setMinimumSize(130, 40);
    }
    Command1[ReturnIndex] = new QPushButton(QStringLiteral(" 返   回"), this);
    Command1[ReturnIndex]->setObjectName(QStringLiteral("Command1_14"));
    Command1[ReturnIndex]->setMinimumSize(130, 40);

    // Arcs beside the lines of the same plane.
    auto *moves = new QGridLayout;
    for (int plane = 0; plane < 3; ++plane) {
        moves->addWidget(Command1[plane], plane, 0);
        moves->addWidget(Command1[3 + plane], plane, 1);
    }
    auto *buttons = new QVBoxLayout;
    buttons->addLayout(moves);
    buttons->addSpacing(20);
    buttons->addWidget(Command1[StopIndex]);
    buttons->addStretch(1);
    buttons->addWidget(Command1[ReturnIndex]);

    Shape2 = new Lamp(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    Text2->setAlignment(Qt::AlignCenter);
    Text2->setFixedWidth(60);
    Text2->setFocusPolicy(Qt::NoFocus);
    auto *top = new QHBoxLayout;
    top->addWidget(Shape2);
    top->addWidget(new QLabel(QStringLiteral("通信指示灯"), this));
    top->addStretch(1);
    top->addWidget(Text2);

    auto *body = new QHBoxLayout;
    body->addLayout(settings, 1);
    body->addSpacing(16);
    body->addLayout(buttons);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(body);
}

void InterpolationScreen::resetControls()
{
    for (QLineEdit *box : Text1)
        box->setText(QStringLiteral("0"));
    Label1[13]->setText(Clockwise);
    Text2->setText(QStringLiteral("0"));
    Shape2->setFillColor(Shape2->backgroundColor());
}

void InterpolationScreen::Form_Load()
{
    LinkState &s = m_ctx.state;
    resetControls();
    WatchdogTicks = 0;
    SkipRefresh = 0;
    if (s.RequestTag == 0) {
        WaitMs(50);
        if (!isLoaded())
            return;  // closed again during the pause
        s.RequestTag = TagReadA;
        m_ctx.port.setRThreshold(ReadAReply);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::Status, ReadACount);
        if (m_ctx.link.SendFailed())
            return;
    }
    // With another request outstanding no read is sent; the watchdog starts the refresh.
    s.InterpScreenActive = 1;
    Timer1->start();
    Timer2->start();
    WatchdogTicks = 0;
    SkipRefresh = 0;
}

void InterpolationScreen::Form_Unload()
{
    m_ctx.state.RequestTag = 0;
    m_ctx.state.InterpScreenActive = 0;
    Timer1->stop();
    Timer2->stop();
}

void InterpolationScreen::replyAccepted(int tag)
{
    (void)tag;
    // A reply is progress: the watchdog counts only ticks in which nothing came back, so
    // that a tick landing between a read and its reply never abandons a healthy cycle.
    WatchdogTicks = 0;
}

bool InterpolationScreen::refreshSent()
{
    if (!m_ctx.link.SendFailed())
        return true;
    Timer1->stop();
    return false;
}

void InterpolationScreen::showReadA()
{
    const auto &b = m_ctx.state.InterpReplyBytes;
    for (int i = 0; i < 3; ++i)
        SetTextIfChanged(Text1[i], ScaledText(RawScaled(&b[std::size_t(4 * i)])));
    SetTextIfChanged(Text1[3], ScaledText(RawScaled(&b[20])));  // register 8569, the speed
}

void InterpolationScreen::showReadB()
{
    const auto &b = m_ctx.state.InterpReplyBytes;
    for (int i = 0; i < 6; ++i)
        SetTextIfChanged(Text1[4 + i], ScaledText(RawScaled(&b[std::size_t(4 * i)])));
    const int direction = b[24] * 256 + b[25];
    SetTextIfChanged(Text1[DirectionBox], QString::number(direction));
    if (direction == 0)
        Label1[13]->setText(Clockwise);
    else if (direction == 1)
        Label1[13]->setText(CounterClockwise);
}

void InterpolationScreen::Timer1_Timer()
{
    // A tick whose send failed waits in the error message; later ticks stand aside until
    // it has closed the port.
    if (m_inTick)
        return;
    m_inTick = true;
    struct Leave {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{m_inTick};

    LinkState &s = m_ctx.state;
    if (s.RequestTag == TagShowA) {
        s.RequestTag = TagAShown;
        Shape2->setFillColor(Shape2->fillColor() == Shape2->backgroundColor() ? colors::LightCyan
                                                                              : Shape2->backgroundColor());
        if (SkipRefresh == 0)
            showReadA();
        SkipRefresh = 0;
        s.RequestTag = TagReadB;
        m_ctx.port.setRThreshold(ReadBReply);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::InterpSettings, ReadBCount);
        if (!refreshSent())
            return;
    } else if (s.RequestTag == TagShowB) {
        s.RequestTag = TagBShown;
        showReadB();
        s.RequestTag = TagReadA;
        m_ctx.port.setRThreshold(ReadAReply);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::Status, ReadACount);
        if (!refreshSent())
            return;
    }
    SetTextIfChanged(Text2, QString::number(s.RequestTag));
}

void InterpolationScreen::Timer2_Timer()
{
    LinkState &s = m_ctx.state;
    if (s.InterpScreenActive != 1)
        return;
    if (s.RequestTag == TagShowA) {
        WatchdogTicks = 0;
        return;
    }
    if (++WatchdogTicks >= WatchdogLimit) {
        // Give up what was asked; the refresh goes on with read B and keeps the boxes, since
        // the reply buffer may hold either read.
        m_ctx.port.readAll();
        WatchdogTicks = 0;
        s.RequestTag = TagShowA;
        SkipRefresh = 1;
    }
}

bool InterpolationScreen::beginCommand(int tag)
{
    Timer1->stop();
    m_ctx.state.RequestTag = std::int16_t(tag);
    // A late reply to a refresh read arrives under the new tag and is dropped.
    WaitMs(50);
    if (!isLoaded())
        return false;
    m_ctx.port.setRThreshold(AckReply);
    return true;
}

bool InterpolationScreen::endCommand()
{
    if (m_ctx.link.SendFailed())
        return false;
    Timer1->start();
    SkipRefresh = 1;  // the next read-A display would show data read before the command
    return true;
}

void InterpolationScreen::Command1_Click(int index)
{
    LinkState &s = m_ctx.state;
    if (index >= 0 && index < StopIndex) {
        // A move runs with the settings already stored in the controller. No move is started
        // from a screen that was closed while the command paused.
        if (!beginCommand(TagMove))
            return;
        m_ctx.link.SendCoilOn(s.SlaveAddress, MoveCoils[index]);
        endCommand();
    } else if (index == StopIndex) {
        if (!beginCommand(TagStop)) {
            // The stop goes out even when the screen has just been closed; its echo then
            // belongs to nobody and is dropped.
            m_ctx.port.setRThreshold(AckReply);
            m_ctx.link.SendCoilOn(s.SlaveAddress, reg::coil::EmergencyStop);
            if (s.PortErrorFlag == 1) {
                s.PortErrorFlag = 0;
                m_ctx.port.close();
            }
            return;
        }
        m_ctx.link.SendCoilOn(s.SlaveAddress, reg::coil::EmergencyStop);
        if (s.PortErrorFlag == 1) {
            endCommand();
            return;
        }
        WaitMs(50);
        if (isLoaded())
            endCommand();
    } else if (index == ReturnIndex) {
        s.RequestTag = 0;
        s.InterpScreenActive = 0;
        Timer1->stop();
        unloadScreen();
    }
}

void InterpolationScreen::Text1_Click(int index)
{
    // The refresh would overwrite what is being typed.
    if (index >= 3 && index <= DirectionBox)
        Timer1->stop();
}

bool InterpolationScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        for (int i = 3; i <= DirectionBox; ++i)
            if (watched == Text1[i])
                Text1_Click(i);
    return SubScreen::eventFilter(watched, event);
}

void InterpolationScreen::Text1_KeyPress(int index, int &keyAscii)
{
    try {
        if (keyAscii == keys::Escape) {
            Timer1->start();  // the typed text stays until the refresh overwrites it
            return;
        }
        if (keyAscii == keys::Enter) {
            const bool sent = commitSetting(index);
            if (sent && isLoaded())
                Timer1->start();
            Command1[ReturnIndex]->setFocus();
            return;
        }
        if (!IsNumberBoxKey(keyAscii))
            keyAscii = 0;
    } catch (...) {
        keyAscii = 0;
        m_ctx.prompter.message(QStringLiteral("数据录入有误！"));
    }
}

bool InterpolationScreen::commitSetting(int index)
{
    LinkState &s = m_ctx.state;
    const double v = NumericValue(Text1[index]->text());
    int start = 0;
    int count = 0;
    if (index == DirectionBox) {
        if (!(v >= 0 && v <= 1)) {
            m_ctx.prompter.message(QStringLiteral("输入数据不在0或1范围内！"));
            return true;
        }
        const int direction = int(RoundHalfEven(v));
        m_staging = {std::uint8_t(direction / 256), std::uint8_t(direction % 256), 0, 0};
        start = reg::ArcDirection;
        count = 1;
    } else {
        if (v < 0)
            return true;  // a negative setting is not sent
        const double scaled = RoundHalfEven(v * 1000.0);
        // The register pair holds a signed 32-bit count of thousandths: a larger value would
        // arrive as a negative one, so it is refused whole.
        if (!(scaled <= MaxScaled)) {
            m_ctx.prompter.message(TooLargeMessage);
            return true;
        }
        FillStaging(m_staging, std::int64_t(scaled));
        start = index == 3 ? reg::ManualSpeed : reg::EndX + 2 * (index - 4);
        count = 2;
    }
    if (!beginCommand(TagWrite))
        return false;
    WriteRegisters(m_ctx.link, s.SlaveAddress, start, count, m_staging);
    return endCommand();
}
