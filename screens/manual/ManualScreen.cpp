// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/manual/ManualScreen.h"

#include "core/ControllerStatus.h"
#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "link/CommPort.h"
#include "ui/KeyAscii.h"
#include "core/NumberText.h"
#include "core/Texts.h"
#include "ui/Widgets.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {
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

bool isEntryBox(int box)
{
    return box == 3 || box == 4;
}

// Refresh every 200 ms, watchdog every 100 ms; idle and resumed at "status received"; silence is
// reported. Loading reads the status block.
const SubScreen::Cycle ManualCycle{200, 100, &ToolState::ManualScreenActive, tag::ManualReceived, tag::ManualReceived,
                                   true};
const SubScreen::Read ManualLoad{tag::ManualRead, reg::Status, reg::StatusCount};
}  // namespace

ManualScreen::ManualScreen(const ToolContext &ctx, Prompter &prompter, MotionFeed &motion)
    : SubScreen(ctx, prompter, "Form2", QT_TRANSLATE_NOOP("Trelmo", "手控操作界面"), ManualCycle, ManualLoad),
      m_motion(motion), m_jog([this](int coil, bool on) { return sendJog(coil, on); }, [this] { return m_ctx.port.isOpen(); })
{
    buildControls();
    setLamp(Shape2);

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

// A jog ON goes out only while the screen is still open after its pause; the OFF of a coil
// that went on goes out whatever happened meanwhile, the screen's closing included.
JogHold::Result ManualScreen::sendJog(int coil, bool on)
{
    const Send result = command(
        tag::ManualCoil,
        [this, coil, on] {
            return on ? m_ctx.link.SendCoilOn(tag::ManualCoil, coil) : m_ctx.link.SendCoilOff(tag::ManualCoil, coil);
        },
        on ? AfterClose::Drop : AfterClose::SendAnyway);
    return result == Send::Sent                                   ? JogHold::Result::Sent
           : result == Send::Skipped || result == Send::Dropped ? JogHold::Result::Skipped
                                                                  : JogHold::Result::PortFailed;
}

ManualScreen::~ManualScreen()
{
    // The window's buttons are destroyed after this screen: one still held down says "released"
    // as it goes, and nothing of the screen is left to answer.
    for (QPushButton *b : Command1)
        if (b)
            b->disconnect(this);
}

void ManualScreen::unloading()
{
    // The OFF of a held jog (or one owed since a port failure) goes out before the screen lets
    // go of the link.
    m_jog.settle();
    m_jog.letGo();
}

void ManualScreen::Command1_MouseDown(int index)
{
    if (isJog(index))
        m_jog.press(ButtonCoil[index]);
    else if (isHoming(index))
        command(tag::ManualCoil, [this, index] { return m_ctx.link.SendCoilOn(tag::ManualCoil, ButtonCoil[index]); });
}

void ManualScreen::Command1_MouseUp(int index)
{
    if (isJog(index))
        m_jog.letGo();
}

void ManualScreen::Command1_Click(int index)
{
    if (index == StopButton) {
        emergencyStop(tag::ManualCoil);
    } else if (const int n = outputOf(index)) {
        QPushButton *b = Command1[std::size_t(index)];
        // The click switches the output the other way round from what the screen shows it to be;
        // that is read after the pause.
        command(tag::ManualCoil, [this, b, n] {
            const int coil = reg::coil::Out1 + n - 1;
            const bool switchOn = !m_outputOn[std::size_t(n - 1)];
            const bool sent =
                switchOn ? m_ctx.link.SendCoilOn(tag::ManualCoil, coil) : m_ctx.link.SendCoilOff(tag::ManualCoil, coil);
            // The output turns once the write has gone to the line: one that never left (a
            // failed port, a stop) keeps it, and the next click does the same again.
            if (sent)
                m_ctx.link.whenWritten(b, [this, n, switchOn] { showOutput(n, switchOn); });
            return sent;
        });
    } else if (index == ReturnButton) {
        unloadScreen();
    }
}

void ManualScreen::Command2_Click()
{
    command(tag::ManualStep, [this] { return m_ctx.link.SendCoilOn(tag::ManualStep, reg::coil::StepSwitch); });
}

void ManualScreen::Command3_Click()
{
    Timer1->stop();
    Timer2->stop();
    // The click turns the power-on auto-run the controller is known to have the other way round;
    // the tool knows the new setting, and the caption shows it, once its write has gone to the
    // line.
    const Send result = RunCommand(
        m_ctx, tag::ManualRunMode,
        [this] {
            const bool on = !m_ctx.status.autoRun();
            if (!m_ctx.link.SendRegister(tag::ManualRunMode, reg::PowerOnRun, on ? 1 : 0))
                return false;
            m_ctx.link.whenWritten(Command3, [this, on] {
                m_ctx.status.setAutoRun(on);
                Command3->setText(on ? text::AutoRunOn() : text::AutoRunOff());
            });
            return true;
        },
        &m_generation);
    if (result == Send::Skipped || result == Send::Failed)
        return;  // both timers stay stopped
    SkipRefresh = 1;
    if (!pause(100))
        return;
    Timer1->start();
    Timer2->start();
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

void ManualScreen::Text1_LostFocus(int)
{
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
    // The register pair carries a signed 32-bit count of thousandths.
    const double n = RoundHalfEven(v * 1000.0);
    if (v < 0 || n > 2147483647.0) {
        showMessage(text::BadEntry());
        return;
    }
    // The value goes as it was when ENTER was pressed, whatever is typed during the pause.
    FillStaging(m_staging, std::int64_t(n));
    command(tag::ManualWrite, [this, box, staging = m_staging] {
        return m_ctx.link.WriteRegisters(tag::ManualWrite, box == 3 ? reg::ManualSpeed : reg::RunDistance, staging);
    });
}

void ManualScreen::showMessage(const QString &text)
{
    // A message box takes the mouse: the button under the hand never sees its release.
    m_jog.letGo();
    SubScreen::showMessage(text);
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
