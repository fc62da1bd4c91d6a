// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of the manual screen and where they stand.
#include "screens/manual/ManualScreen.h"
#include "screens/MotionFeed.h"

#include "ui/Colors.h"
#include "ui/Language.h"
#include "core/Texts.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QColor LightRed{255, 128, 128};
// The output buttons (10 to 13) show what a click does, outputCaption().
const char *const ButtonCaption[15] = {"X+",
                                       "X-",
                                       QT_TRANSLATE_NOOP("Trelmo", "X回零"),
                                       "Y+",
                                       "Y-",
                                       QT_TRANSLATE_NOOP("Trelmo", "Y回零"),
                                       "Z+",
                                       "Z-",
                                       QT_TRANSLATE_NOOP("Trelmo", "Z回零"),
                                       QT_TRANSLATE_NOOP("Trelmo", "急停"),
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       QT_TRANSLATE_NOOP("Trelmo", " 返 回")};
const text::Text OutputOn{QT_TRANSLATE_NOOP("Trelmo", "OUT%1-ON")};
const text::Text OutputOff{QT_TRANSLATE_NOOP("Trelmo", "OUT%1-OF")};
const char *const BoxLabel[5] = {QT_TRANSLATE_NOOP("Trelmo", "X轴坐标"), QT_TRANSLATE_NOOP("Trelmo", "Y轴坐标"),
                                 QT_TRANSLATE_NOOP("Trelmo", "Z轴坐标"),
                                 QT_TRANSLATE_NOOP("Trelmo", "手动速度  (mm/s)"),
                                 QT_TRANSLATE_NOOP("Trelmo", "运行距离   (mm)")};
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
// The caption of Command1[i] as the screen is loaded.
QString initialCaption(int i)
{
    const int n = ManualScreen::outputOf(i);
    return n ? ManualScreen::outputCaption(n, true) : text::Text{ButtonCaption[i]}();
}
}  // namespace

QString ManualScreen::outputCaption(int n, bool switchesOn)
{
    return (switchesOn ? OutputOn : OutputOff)(n);
}

void ManualScreen::buildControls()
{
    auto button = [this](const QString &name, const QColor &color = {}) {
        auto *b = new QPushButton(this);
        b->setObjectName(name);
        b->setMinimumSize(78, 40);
        b->setFocusPolicy(Qt::StrongFocus);
        if (color.isValid())
            SetBackColor(b, color);
        return b;
    };
    for (int i = 0; i < 15; ++i) {
        QPushButton *b = button(indexed("Command1", i), i == StopButton     ? LightRed
                                                        : i == ReturnButton ? colors::Apricot
                                                                            : QColor());
        // An output's caption shows a state, which it keeps across a change of language.
        if (const int n = outputOf(i))
            text::TrackCaption(b, {OutputOn, OutputOff}, n);
        else
            text::TrackCaption(b, {text::Text{ButtonCaption[i]}});
        b->setText(initialCaption(i));
        Command1[std::size_t(i)] = b;
    }
    Command2 = button(QStringLiteral("Command2"), colors::Apricot);
    text::SetCaption(Command2, {QT_TRANSLATE_NOOP("Trelmo", "步进开关")});
    Command3 = button(QStringLiteral("Command3"), colors::Apricot);
    text::TrackCaption(Command3, {text::AutoRunOn, text::AutoRunOff});
    Command3->setText(text::AutoRunOn());
    Command3->setMinimumWidth(150);
    MotionPlotButton = button(QStringLiteral("MotionPlotButton"), QColor());
    text::SetCaption(MotionPlotButton, {QT_TRANSLATE_NOOP("Trelmo", "运动轨迹")});
    connect(MotionPlotButton, &QPushButton::clicked, this, [this] { m_motion.open(this); });
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
        auto *l = new QLabel(this);
        text::SetCaption(l, {BoxLabel[i]});
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
    auto heading = [&](const char *name, const char *caption) {
        auto *l = new QLabel(this);
        text::SetCaption(l, {caption});
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
    heading("Label2", QT_TRANSLATE_NOOP("Trelmo", "输入状态："));
    pair(0, 2);
    pair(2, 2);
    heading("Label3", QT_TRANSLATE_NOOP("Trelmo", "原点状态："));
    pair(4, 2);
    pair(6, 1);
    heading("Label4", QT_TRANSLATE_NOOP("Trelmo", "输出状态："));
    pair(7, 2);
    pair(9, 2);
    lamps->setRowStretch(row, 1);

    // Top: the power-on auto-run at the left, the communication lamp in the middle.
    auto *top = new QHBoxLayout;
    top->addWidget(Command3);
    top->addSpacing(12);
    top->addWidget(MotionPlotButton);
    top->addSpacing(48);
    top->addStretch(1);
    auto *commLabel = new QLabel(this);
    text::SetCaption(commLabel, text::CommLamp);
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
        Command1[std::size_t(i)]->setText(initialCaption(i));
    Command3->setText(text::AutoRunOn());
    Check1[1]->setChecked(false);
    for (QLineEdit *e : Text1)
        e->setText(QStringLiteral("0"));
    for (Lamp *l : Shape1)
        l->setLit(false);
    DigitTyped = 0;
    m_staging.fill(0);
    m_outputOn.fill(false);
    m_mousePressOn = -1;
}
