// The status refresh of the manual screen: one read of the status block every 200 ms, shown
// one tick later, and the watchdog that gives up on a request left unanswered.
#include "screens/manual/ManualScreen.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "screens/manual/ManualStatus.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int NoReplyLimit = 10;  // refresh ticks without a received byte
constexpr int WatchdogLimit = 6;  // watchdog ticks with a request outstanding
}  // namespace

void ManualScreen::Timer1_Timer()
{
    LinkState &s = m_ctx.state;
    if (s.RequestTag == 21) {
        s.RequestTag = 22;
        showStatus();
    }
    if (s.RequestTag == 22) {
        s.RequestTag = 20;
        m_ctx.port.setRThreshold(5 + 2 * reg::StatusCount);
        m_ctx.link.ReadRegisters(s.SlaveAddress, reg::Status, reg::StatusCount);
        if (portFailed())
            return;
    }
    if (++s.NoReplyTicks >= NoReplyLimit) {
        s.NoReplyTicks = 0;
        noReplyMessage();
    }
}

void ManualScreen::showStatus()
{
    Shape2->setFillColor(Shape2->fillColor() == Shape2->backgroundColor() ? colors::LightCyan
                                                                          : Shape2->backgroundColor());
    const ManualStatus st = DecodeManualStatus(m_ctx.state.ManualReplyBytes);
    if (SkipRefresh == 1) {
        SkipRefresh = 0;
    } else {
        for (int i = 0; i < 5; ++i)
            SetTextIfChanged(Text1[std::size_t(i)], st.values[std::size_t(i)]);
    }
    const QString runMode = st.autoRun ? QStringLiteral("上电自运行") : QStringLiteral("上电后不自动运行");
    Command3->setText(runMode);
    m_ctx.view.setRunModeCaption(runMode);
    Check1[1]->setChecked(st.stepMode);
    for (int i = 0; i < 4; ++i)
        Shape1[std::size_t(i)]->setLit(st.inputs[std::size_t(i)]);
    for (int i = 0; i < 3; ++i)
        Shape1[std::size_t(4 + i)]->setLit(st.origins[std::size_t(i)]);
    for (int i = 0; i < 4; ++i) {
        const bool on = st.outputs[std::size_t(i)];
        Shape1[std::size_t(7 + i)]->setLit(on);
        Command1[std::size_t(13 - i)]->setText(
            QStringLiteral("OUT%1-%2").arg(i + 1).arg(on ? QStringLiteral("OF") : QStringLiteral("ON")));
    }
}

// The message waits for the tick to end, so that the refresh goes on behind the open box
// (the count with it), and a box still open is not joined by a second one.
void ManualScreen::noReplyMessage()
{
    if (m_noReplyMessageDue)
        return;
    m_noReplyMessageDue = true;
    QTimer::singleShot(0, this, [this] {
        if (isLoaded())
            showMessage(QStringLiteral("与控制器通信异常！"));
        m_noReplyMessageDue = false;
    });
}

void ManualScreen::Timer2_Timer()
{
    LinkState &s = m_ctx.state;
    if (s.ManualScreenActive != 1)
        return;
    if (s.RequestTag != 21) {
        if (++WatchdogTicks >= WatchdogLimit) {
            m_ctx.port.readAll();
            WatchdogTicks = 0;
            s.RequestTag = 21;
        }
    } else {
        WatchdogTicks = 0;
    }
}
