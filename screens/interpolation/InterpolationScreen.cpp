// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/interpolation/InterpolationScreen.h"

#include "screens/MotionFeed.h"

#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "ui/Dialogs.h"
#include "ui/KeyAscii.h"
#include "ui/Language.h"
#include "core/NumberText.h"
#include "core/Texts.h"
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
#include <algorithm>

namespace {
// The refresh alternates two reads: A = the coordinates and the speed (12 registers from
// 8559), B = the move settings (13 registers from 8610).
constexpr int ReadACount = 12;
constexpr int ReadBCount = reg::InterpSettingsCount;

constexpr int ReturnIndex = 14;
constexpr int StopIndex = 6;
constexpr int DirectionBox = 10;

// Coil of each move button: arcs XY, XZ, YZ, then lines XY, XZ, YZ.
constexpr int MoveCoils[6] = {reg::coil::ArcXY,    reg::coil::ArcXZ,    reg::coil::ArcYZ,
                              reg::coil::LinearXY, reg::coil::LinearXZ, reg::coil::LinearYZ};

const char *const ButtonCaptions[7] = {
    QT_TRANSLATE_NOOP("Trelmo", "XY圆弧插补"), QT_TRANSLATE_NOOP("Trelmo", "XZ圆弧插补"),
    QT_TRANSLATE_NOOP("Trelmo", "YZ圆弧插补"), QT_TRANSLATE_NOOP("Trelmo", "XY直线插补"),
    QT_TRANSLATE_NOOP("Trelmo", "XZ直线插补"), QT_TRANSLATE_NOOP("Trelmo", "YZ直线插补"),
    QT_TRANSLATE_NOOP("Trelmo", "急  停")};
const char *const BoxLabels[11] = {QT_TRANSLATE_NOOP("Trelmo", "X轴坐标"), QT_TRANSLATE_NOOP("Trelmo", "Y轴坐标"),
                                   QT_TRANSLATE_NOOP("Trelmo", "Z轴坐标"), QT_TRANSLATE_NOOP("Trelmo", "插补速度"),
                                   QT_TRANSLATE_NOOP("Trelmo", "X轴终点"), QT_TRANSLATE_NOOP("Trelmo", "Y轴终点"),
                                   QT_TRANSLATE_NOOP("Trelmo", "Z轴终点"), QT_TRANSLATE_NOOP("Trelmo", "X轴段1"),
                                   QT_TRANSLATE_NOOP("Trelmo", "Y轴段1"),  QT_TRANSLATE_NOOP("Trelmo", "Z轴段1"),
                                   QT_TRANSLATE_NOOP("Trelmo", "圆弧方向")};

// The arc direction as the label beside its box shows it.
const text::Text Clockwise{QT_TRANSLATE_NOOP("Trelmo", "顺")};
const text::Text CounterClockwise{QT_TRANSLATE_NOOP("Trelmo", "逆")};

// The largest setting the register pair carries: 2147483647 thousandths.
constexpr double MaxScaled = 2147483647.0;

// Refresh and watchdog every 100 ms; idle and resumed at "read A received"; silence is not
// reported. Loading sends read A.
const SubScreen::Cycle InterpCycle{
    100, 100, &ToolState::InterpScreenActive, tag::InterpAReceived, tag::InterpAReceived, false};
const SubScreen::Read InterpLoad{tag::InterpReadA, reg::Status, ReadACount};
}  // namespace

InterpolationScreen::InterpolationScreen(const ToolContext &ctx, Prompter &prompter, MotionFeed &motion)
    : SubScreen(ctx, prompter, "Form1", QT_TRANSLATE_NOOP("Trelmo", "插补调试界面"), InterpCycle, InterpLoad), m_motion(motion)
{
    buildControls();
    setLamp(Shape2);
    for (int i = 0; i <= StopIndex; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    connect(Command1[ReturnIndex], &QPushButton::clicked, this, [this] { Command1_Click(ReturnIndex); });
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
    auto boxGrid = [&](QWidget *owner, int from, int to) {
        auto *grid = new QGridLayout(owner);
        for (int i = from; i <= to; ++i) {
            auto *label = new QLabel(owner);
            text::SetCaption(label, {BoxLabels[i]});
            m_boxLabels[std::size_t(i)] = label;
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

    auto *endPoint = new QGroupBox(this);
    text::SetCaption(endPoint, {QT_TRANSLATE_NOOP("Trelmo", "直线或圆弧插补终点坐标设定")});
    boxGrid(endPoint, 4, 6);
    auto *middle = new QGroupBox(this);
    text::SetCaption(middle, {QT_TRANSLATE_NOOP("Trelmo", "圆弧插补段中间某点坐标设定(起点宇终点除外)")});
    boxGrid(middle, 7, 9);

    auto *direction = new QGroupBox(this);
    auto *directionGrid = boxGrid(direction, DirectionBox, DirectionBox);
    Label1[13] = new QLabel(this);
    Label1[13]->setObjectName(QStringLiteral("Label1_13"));
    Label1[13]->setMinimumWidth(30);
    text::TrackCaption(Label1[13], {Clockwise, CounterClockwise});
    directionGrid->addWidget(Label1[13], 0, 2);

    auto *settings = new QVBoxLayout;
    settings->addWidget(current);
    settings->addWidget(endPoint);
    settings->addWidget(middle);
    settings->addWidget(direction);

    for (int i = 0; i <= StopIndex; ++i) {
        Command1[i] = new QPushButton(this);
        text::SetCaption(Command1[i], {ButtonCaptions[i]});
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setMinimumSize(130, 40);
    }
    Command1[ReturnIndex] = new QPushButton(this);
    text::SetCaption(Command1[ReturnIndex], text::Return);
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
    MotionPlotButton = new QPushButton(this);
    MotionPlotButton->setObjectName(QStringLiteral("MotionPlotButton"));
    text::SetCaption(MotionPlotButton, {QT_TRANSLATE_NOOP("Trelmo", "运动轨迹")});
    MotionPlotButton->setMinimumSize(130, 40);
    connect(MotionPlotButton, &QPushButton::clicked, this, [this] { m_motion.open(this); });
    buttons->addWidget(MotionPlotButton);
    buttons->addSpacing(10);
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
    auto *commLabel = new QLabel(this);
    text::SetCaption(commLabel, text::CommLamp);
    top->addWidget(commLabel);
    top->addStretch(1);
    top->addWidget(Text2);

    auto *body = new QHBoxLayout;
    body->addLayout(settings, 1);
    body->addSpacing(16);
    body->addLayout(buttons);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(body);
    fitBoxLabels();
}

void InterpolationScreen::fitBoxLabels()
{
    int width = 0;
    for (QLabel *label : m_boxLabels)
        width = std::max(width, fontMetrics().horizontalAdvance(label->text()));
    for (QLabel *label : m_boxLabels)
        label->setFixedWidth(width + 12);
}

void InterpolationScreen::changeEvent(QEvent *event)
{
    SubScreen::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        fitBoxLabels();
}

void InterpolationScreen::resetControls()
{
    for (QLineEdit *box : Text1)
        box->setText(QStringLiteral("0"));
    Label1[13]->setText(Clockwise());
    Text2->setText(QStringLiteral("0"));
}

// The watchdog restarts the refresh with read B and keeps the boxes, since the reply buffer
// may hold either read.
void InterpolationScreen::resumed()
{
    SkipRefresh = 1;
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
        Label1[13]->setText(Clockwise());
    else if (direction == 1)
        Label1[13]->setText(CounterClockwise());
}

// Each tick shows one read and asks for the other.
bool InterpolationScreen::refresh()
{
    ToolState &s = m_ctx.state;
    if (s.RequestTag == tag::InterpAReceived) {
        s.RequestTag = tag::InterpAShown;
        toggleLamp();
        if (SkipRefresh == 0)
            showReadA();
        SkipRefresh = 0;
        if (!refreshRead(tag::InterpReadB, reg::InterpSettings, ReadBCount))
            return false;
    } else if (s.RequestTag == tag::InterpBReceived) {
        s.RequestTag = tag::InterpBShown;
        showReadB();
        if (!refreshRead(tag::InterpReadA, reg::Status, ReadACount))
            return false;
    }
    SetTextIfChanged(Text2, QString::number(s.RequestTag));
    return true;
}

// A move or a setting: the refresh goes on after the send, skipping its first read-A display,
// which would show data read before the command.
bool InterpolationScreen::send(int tag, const std::function<bool()> &request)
{
    if (command(tag, request) != Send::Sent)
        return false;
    SkipRefresh = 1;
    return true;
}

void InterpolationScreen::Command1_Click(int index)
{
    if (index >= 0 && index < StopIndex) {
        // A move runs with the settings already stored in the controller.
        if (send(tag::InterpMove, [this, index] { return m_ctx.link.SendCoilOn(tag::InterpMove, MoveCoils[index]); }))
            m_motion.moveSent(index);
    } else if (index == StopIndex) {
        emergencyStop(tag::InterpStop);
        SkipRefresh = 1;
    } else if (index == ReturnIndex) {
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
    if (keyAscii == keys::Escape) {
        enableRefresh();  // the typed text stays until the refresh overwrites it
    } else if (keyAscii == keys::Enter) {
        if (commitSetting(index))
            enableRefresh();
        if (isLoaded())
            Command1[ReturnIndex]->setFocus();
    } else if (!IsNumberBoxKey(keyAscii)) {
        keyAscii = 0;
    }
}

bool InterpolationScreen::commitSetting(int index)
{
    const double v = NumericValue(Text1[index]->text());
    if (index == DirectionBox) {
        if (!(v >= 0 && v <= 1)) {
            showMessage(QCoreApplication::translate("Trelmo", "输入数据不在0或1范围内！"));
            return true;
        }
        const int direction = int(RoundHalfEven(v));
        m_staging = {std::uint8_t(direction / 256), std::uint8_t(direction % 256), 0, 0};
        // The value goes as it was when ENTER was pressed, whatever is typed during the pause.
        return send(tag::InterpWrite, [this, staging = m_staging] {
            return m_ctx.link.WriteRegisters(tag::InterpWrite, reg::ArcDirection,
                                             std::span<const std::uint8_t>(staging.data(), 2));
        });
    }
    if (v < 0)
        return true;  // a negative setting is not sent
    const double scaled = RoundHalfEven(v * 1000.0);
    // The register pair holds a signed 32-bit count of thousandths: a larger value would
    // arrive as a negative one, so it is refused whole.
    if (!(scaled <= MaxScaled)) {
        showMessage(text::BadEntry());
        return true;
    }
    FillStaging(m_staging, std::int64_t(scaled));
    const int start = index == 3 ? reg::ManualSpeed : reg::EndX + 2 * (index - 4);
    return send(tag::InterpWrite, [this, start, staging = m_staging] {
        return m_ctx.link.WriteRegisters(tag::InterpWrite, start, staging);
    });
}
