// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SubScreen.h"

#include "link/EmergencyStop.h"
#include "core/WaitGuard.h"
#include "link/ModbusLink.h"
#include "link/Watchdog.h"
#include "protocol/Tags.h"
#include "ui/Colors.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "core/Texts.h"
#include "link/WaitMs.h"
#include "ui/Widgets.h"

#include <QCloseEvent>
#include <QTimer>

SubScreen::SubScreen(const ToolContext &ctx, Prompter &prompter, const char *name, const char *title,
                     const Cycle &cycle, const Read &first)
    : QWidget(nullptr), m_ctx(ctx), m_prompter(prompter), m_cycle(cycle), m_first(first)
{
    setObjectName(QLatin1String(name));
    text::SetCaption(this, {title});
    Timer1 = MakeTimer(this, "Timer1", cycle.refreshMs);
    Timer2 = MakeTimer(this, "Timer2", cycle.watchdogMs);
    connect(Timer1, &QTimer::timeout, this, &SubScreen::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &SubScreen::Timer2_Timer);
}

void SubScreen::showScreen()
{
    if (!m_loaded) {
        m_loaded = true;
        const unsigned loading = m_generation + 1;
        Form_Load();
        // Closed (or replaced by another screen) while its load paused: it is not shown.
        if (!m_loaded || m_generation != loading)
            return;
    }
    show();
    raise();
    activateWindow();
}

void SubScreen::unloadScreen()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    ++m_generation;
    hide();
    Form_Unload();
}

void SubScreen::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (m_loaded) {
        m_loaded = false;
        ++m_generation;
        Form_Unload();
    }
}

void SubScreen::Form_Load()
{
    ++m_generation;
    resetControls();
    WatchdogTicks = 0;
    SkipRefresh = 0;
    m_refreshHalted = false;
    m_replySinceWatchdog = false;
    if (m_lamp)
        m_lamp->setFillColor(m_lamp->backgroundColor());
    ToolState &s = m_ctx.state;
    // With another request outstanding no read is sent; the watchdog starts the refresh.
    if (s.RequestTag == tag::Idle) {
        if (!pause(50))
            return;
        if (!m_ctx.link.ReadRegisters(m_first.tag, m_first.address, m_first.count))
            return;  // the port failed: nothing is started
    }
    s.*m_cycle.active = 1;
    Timer1->start();
    Timer2->start();
    WatchdogTicks = 0;
    SkipRefresh = 0;
}

void SubScreen::Form_Unload()
{
    unloading();
    m_ctx.state.*m_cycle.active = 0;
    m_ctx.state.RequestTag = tag::Idle;
    Timer1->stop();
    Timer2->stop();
}

void SubScreen::replyAccepted(int)
{
    m_replySinceWatchdog = true;
}

bool SubScreen::pause(double ms)
{
    const WaitGuard guard(m_ctx.state, m_ctx.port, WaitGuard::Lock::None, &m_generation);
    WaitMs(ms);
    return m_loaded && guard.sameLoading();
}

SubScreen::Send SubScreen::command(int tag, const std::function<bool()> &send, AfterClose afterClose,
                                   bool restartRefresh)
{
    Timer1->stop();
    const unsigned loading = m_generation;
    const Send result = RunCommand(m_ctx, tag, send, &m_generation, afterClose == AfterClose::SendAnyway);
    if (result == Send::Skipped)
        return result;
    m_refreshHalted = result == Send::Failed;
    // A stop overtook the command: nothing went out, and the refresh goes on.
    if (!m_refreshHalted && m_loaded && loading == m_generation && (restartRefresh || result == Send::Dropped))
        Timer1->start();
    return result;
}

bool SubScreen::refreshRead(int tag, int address, int count)
{
    if (m_ctx.link.ReadRegisters(tag, address, count))
        return true;
    Timer1->stop();
    m_refreshHalted = true;
    return false;
}

void SubScreen::emergencyStop(int tag)
{
    if (m_ctx.stop.stop(tag))
        return;
    Timer1->stop();
    m_refreshHalted = true;
}

void SubScreen::enableRefresh()
{
    if (!m_refreshHalted && m_loaded && !Timer1->isActive())
        Timer1->start();
}

void SubScreen::toggleLamp()
{
    if (m_lamp)
        m_lamp->setFillColor(m_lamp->fillColor() == m_lamp->backgroundColor() ? colors::LightCyan
                                                                              : m_lamp->backgroundColor());
}

void SubScreen::showMessage(const QString &text)
{
    m_prompter.message(text);
}

void SubScreen::Timer1_Timer()
{
    // A tick whose send failed waits in the error message; later ticks stand aside.
    if (m_inTick)
        return;
    m_inTick = true;
    const bool ended = !refresh();
    m_inTick = false;
    if (ended || !m_cycle.warnNoReply)
        return;
    if (++m_ctx.state.NoReplyTicks >= NoReplyLimit) {
        m_ctx.state.NoReplyTicks = 0;
        warnNoReply();
    }
}

// The message waits for the tick to end, so that the refresh goes on behind the open box,
// and a box still open is not joined by a second one.
void SubScreen::warnNoReply()
{
    if (m_noReplyBoxOpen)
        return;
    m_noReplyBoxOpen = true;
    QTimer::singleShot(0, this, [this] {
        if (m_loaded)
            showMessage(text::NoReply());
        m_noReplyBoxOpen = false;
    });
}

// Progress is a reply of this screen since the last tick, or the cycle standing at its idle
// tag; six ticks without progress give the request up. Because every accepted reply counts,
// a cycle whose replies come in time is never disturbed, whichever of the two timers is
// handled first when both fall due.
void SubScreen::Timer2_Timer()
{
    ToolState &s = m_ctx.state;
    if (s.*m_cycle.active != 1)
        return;
    const bool progress = m_replySinceWatchdog || s.RequestTag == m_cycle.idleTag;
    m_replySinceWatchdog = false;
    if (watchdog::Tick(WatchdogTicks, progress)) {
        m_ctx.link.discardInput();
        s.RequestTag = std::int16_t(m_cycle.resumeTag);
        resumed();
    }
}
