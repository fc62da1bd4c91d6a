// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/parameters/ParamScreen.h"

#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "core/ParameterEntry.h"
#include "ui/Colors.h"
#include "ui/Dialogs.h"
#include "ui/KeyAscii.h"
#include "ui/Language.h"
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
const char *const RowCaptions[3] = {QT_TRANSLATE_NOOP("Trelmo", "X轴参数"), QT_TRANSLATE_NOOP("Trelmo", "Y轴参数"),
                                    QT_TRANSLATE_NOOP("Trelmo", "Z轴参数")};

// Refresh and watchdog every 200 ms; idle at "parameters received", resumed at "accelerations
// due"; silence is reported. Loading reads the parameter block.
const SubScreen::Cycle ParamCycle{200, 200, &ToolState::ParamScreenActive, tag::ParamsReceived, tag::AccelDue, true};
const SubScreen::Read ParamLoad{tag::ParamsRead, reg::AxisParamsX, reg::AxisParamsCount};
}  // namespace

ParamScreen::ParamScreen(const ToolContext &context, Prompter &prompter)
    : SubScreen(context, prompter, "Form5", QT_TRANSLATE_NOOP("Trelmo", "基本参数配置界面"), ParamCycle, ParamLoad)
{
    buildControls();
    setLamp(Shape1);
    connect(Command1, &QPushButton::clicked, this, &ParamScreen::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ParamScreen::unloadScreen);
}

void ParamScreen::buildControls()
{
    Frame8 = new QGroupBox(this);
    text::SetCaption(Frame8, {QT_TRANSLATE_NOOP("Trelmo", "三轴电机基本参数")});
    Frame8->setObjectName(QStringLiteral("Frame8"));
    auto *grid = new QGridLayout(Frame8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);

    // The communication lamp sits in the grid's top left corner.
    Shape1 = new Lamp(Frame8, 18);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    grid->addWidget(Shape1, 0, 0, Qt::AlignCenter);

    for (int c = 0; c < param::ColumnCount; ++c) {
        auto *caption = new QLabel(Frame8);
        text::SetCaption(caption, param::Caption(param::Column(c)));
        caption->setAlignment(Qt::AlignCenter);
        grid->addWidget(caption, 0, c + 1);
    }
    for (int axis = 0; axis < 3; ++axis) {
        auto *caption = new QLabel(Frame8);
        text::SetCaption(caption, {RowCaptions[axis]});
        grid->addWidget(caption, axis + 1, 0);
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

    Command1 = new QPushButton(this);
    text::SetCaption(Command1, {QT_TRANSLATE_NOOP("Trelmo", "控制器保存数据")});
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setMinimumSize(140, 34);
    SetBackColor(Command1, colors::LightYellow);
    Command2 = new QPushButton(this);
    text::SetCaption(Command2, {QT_TRANSLATE_NOOP("Trelmo", "返  回")});
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setMinimumSize(110, 34);

    // Below the frame: the save button in the middle, the return button at the right.
    auto *buttons = new QGridLayout;
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);
    buttons->addWidget(Command1, 0, 1);
    buttons->addWidget(Command2, 0, 2, Qt::AlignRight);

    // Under them, the parameters kept in a file: saved, compared, restored.
    auto *files = new QHBoxLayout;
    const char *const fileCaptions[3] = {QT_TRANSLATE_NOOP("Trelmo", "导出参数"), QT_TRANSLATE_NOOP("Trelmo", "比较参数"),
                                         QT_TRANSLATE_NOOP("Trelmo", "导入参数")};
    QPushButton **fileButtons[3] = {&Command3, &Command4, &Command5};
    for (int i = 0; i < 3; ++i) {
        auto *b = new QPushButton(this);
        text::SetCaption(b, {fileCaptions[i]});
        b->setObjectName(QStringLiteral("Command%1").arg(3 + i));
        b->setMinimumSize(110, 30);
        files->addWidget(b);
        *fileButtons[i] = b;
    }
    files->addStretch(1);
    connect(Command3, &QPushButton::clicked, this, &ParamScreen::SaveParameters);
    connect(Command4, &QPushButton::clicked, this, &ParamScreen::CompareParameters);
    connect(Command5, &QPushButton::clicked, this, &ParamScreen::RestoreParameters);

    auto *page = new QVBoxLayout(this);
    page->addWidget(Frame8);
    page->addSpacing(8);
    page->addLayout(buttons);
    page->addSpacing(4);
    page->addLayout(files);
}

void ParamScreen::resetControls()
{
    for (QLineEdit *box : Text7)
        box->setText(QStringLiteral("0"));
    SetBackColor(Command1, colors::LightYellow);
}

void ParamScreen::replyAccepted(int acceptedTag)
{
    SubScreen::replyAccepted(acceptedTag);
    if (acceptedTag == tag::ParamsSave)
        SetBackColor(Command1, colors::LightYellow);
}

bool ParamScreen::eventFilter(QObject *watched, QEvent *event)
{
    // A click on a box holds the refresh; the display-only boxes take no part in it.
    if (event->type() == QEvent::MouseButtonPress) {
        const QVariant index = watched->property("index");
        if (index.isValid() && static_cast<QWidget *>(watched)->isEnabled())
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
    if (keyAscii == keys::Escape) {
        enableRefresh();
    } else if (keyAscii == keys::Enter) {
        if (ApplyParameterEntry(index))
            enableRefresh();
        if (isLoaded())
            Command2->setFocus();
    } else if (IsNumberBoxKey(keyAscii)) {
        // Typing into a box reached with the keyboard holds the refresh as a click does.
        Timer1->stop();
    } else {
        keyAscii = 0;
    }
}

bool ParamScreen::ApplyParameterEntry(int index)
{
    const std::optional<param::WriteTarget> target = param::WriteAddress(index);
    if (!target)
        return true;
    const param::Entry entry = param::EvaluateEntry(index, Text7[std::size_t(index)]->text());
    if (!entry.error.isEmpty()) {
        showMessage(entry.error);
        return true;
    }
    // The value goes as it was when ENTER was pressed, whatever is typed during the pause.
    return command(tag::ParamsWrite, [this, target, data = param::WriteData(index, entry.value)] {
               return m_ctx.link.WriteRegisters(tag::ParamsWrite, target->start, data);
           }) != Send::Failed;
}

void ParamScreen::Command1_Click()
{
    const Send sent = command(
        tag::ParamsSave, [this] { return m_ctx.link.SendCoilOn(tag::ParamsSave, reg::coil::SaveData); },
        AfterClose::Drop, false);
    if (sent != Send::Sent)
        return;  // after a port failure the refresh stays stopped
    // Green until the controller acknowledges the save (the reply handler restores it).
    SetBackColor(Command1, colors::Green);
    if (!pause(50))
        return;
    // The buffer holds no fresh parameter block when the acknowledgement rejoins the cycle.
    SkipRefresh = 1;
    enableRefresh();
}

// Exactly one of four steps runs, chosen by RequestTag: show the parameters, ask for the
// accelerations, show the accelerations, ask for the parameters.
bool ParamScreen::refresh()
{
    ToolState &s = m_ctx.state;
    switch (s.RequestTag) {
    case tag::ParamsReceived:
        s.RequestTag = tag::AccelDue;
        toggleLamp();
        if (SkipRefresh == 1)
            SkipRefresh = 0;
        else
            showParameterBlock();
        return true;
    case tag::AccelDue: return refreshRead(tag::AccelRead, reg::ManualAccelX, reg::ManualAccelCount);
    case tag::AccelReceived:
        s.RequestTag = tag::ParamsDue;
        showAccelerations();
        return true;
    case tag::ParamsDue: return refreshRead(tag::ParamsRead, reg::AxisParamsX, reg::AxisParamsCount);
    default: return true;  // a request is outstanding
    }
}

void ParamScreen::showParameterBlock()
{
    param::Values values{};
    param::DecodeParameterBlock(m_ctx.state.ParamReplyBytes.data(), values);
    for (int i = 0; i < param::BoxCount; ++i)
        if (param::ColumnOf(i) != param::Column::ManualAccel)
            SetTextIfChanged(Text7[std::size_t(i)], param::Shown(i, values[std::size_t(i)]));
}

void ParamScreen::showAccelerations()
{
    param::Values values{};
    param::DecodeAccelerationBlock(m_ctx.state.ParamReplyBytes.data(), values);
    for (int axis = 0; axis < 3; ++axis) {
        const int i = param::BoxIndex(axis, param::Column::ManualAccel);
        SetTextIfChanged(Text7[std::size_t(i)], param::Shown(i, values[std::size_t(i)]));
    }
}
