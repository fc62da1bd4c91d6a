// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A screen opened from the main window: the manual, parameter and interpolation screens. At
// most one is loaded at a time. All three run one cycle, written here once:
// - Timer1 refreshes the screen from the controller, Timer2 is the watchdog; a refresh tick
//   never runs inside another one (a tick may wait in a message box);
// - the watchdog gives a request up after six ticks without progress (no reply of this
//   screen, RequestTag not at the screen's idle tag): it throws away what waits at the port
//   and puts RequestTag at the screen's resume tag;
// - "与控制器通信异常！" after ten refresh ticks without any reply, on the screens that warn; the
//   refresh goes on behind the open box, and a second box never joins it;
// - the communication lamp changes on every shown reply;
// - after any pause inside a handler, the handler goes on only if the same loading of the
//   screen is still on. What must still go out after a close says so where it is sent.
// Unloading hides the window and runs its unload steps; the object lives on, so that no
// handler of it is destroyed while it may be on the stack.
#include <QWidget>
#include <cstdint>
#include <functional>

#include "core/Command.h"
#include "core/ToolContext.h"
#include "core/ToolState.h"
#include "core/ScaledValue.h"

class Lamp;
class Prompter;
class QTimer;

class SubScreen : public QWidget {
    Q_OBJECT
public:
    // What sets one screen's cycle apart.
    struct Cycle {
        int refreshMs;
        int watchdogMs;
        std::int16_t ToolState::*active;  // 1 while loaded; the main window's watchdog stands aside
        int idleTag;                      // the watchdog is content while RequestTag stands here
        int resumeTag;                    // and brings it here when it gives a request up
        bool warnNoReply;                 // "与控制器通信异常！" after ten ticks without a reply
    };
    // A read of the screen: its tag, first register and count.
    struct Read {
        int tag, address, count;
    };
    static constexpr int NoReplyLimit = 10;

    // The window named `name` with the title `title` (a text to translate); `first` is the read
    // that loading sends.
    SubScreen(const ToolContext &ctx, Prompter &prompter, const char *name, const char *title, const Cycle &cycle,
              const Read &first);

    bool isLoaded() const { return m_loaded; }
    // Shows the screen; a screen that is not loaded runs its load steps first.
    void showScreen();
    void unloadScreen();
    // A reply for one of this screen's tags has been accepted.
    virtual void replyAccepted(int tag);

    QTimer *Timer1 = nullptr;  // the refresh
    QTimer *Timer2 = nullptr;  // the watchdog
    std::int16_t WatchdogTicks = 0;
    std::int16_t SkipRefresh = 0;  // 1: the next shown reply leaves the value boxes as they are

protected:
    using Send = CommandResult;
    enum class AfterClose { Drop, SendAnyway };

    // Loading finds the controls as the screen was created.
    virtual void resetControls() = 0;
    // The screen's part of a refresh tick; false when it ended on a port failure.
    virtual bool refresh() = 0;
    // The watchdog has given a request up.
    virtual void resumed() {}
    // The screen's own unload steps, before it lets go of the link.
    virtual void unloading() {}
    virtual void showMessage(const QString &text);

    // Pauses, handling events; true when this same loading of the screen is still on.
    bool pause(double ms);
    // One command around its one request: the refresh stopped, RequestTag set (a late reply
    // to a refresh read then finds another tag and is dropped), a pause of 50 ms, the send.
    // Closed during the pause, the command sends nothing unless told to send anyway; a stop
    // clicked meanwhile drops it (Dropped), but for a coil OFF. On a port failure the refresh
    // stays stopped; otherwise it runs again unless told not to (and after a drop always).
    Send command(int tag, const std::function<bool()> &send, AfterClose afterClose = AfterClose::Drop,
                 bool restartRefresh = true);
    // A read of the refresh; on a port failure the refresh stops.
    bool refreshRead(int tag, int address, int count);
    // The emergency stop of this screen, never refused.
    void emergencyStop(int tag);
    // Starts the refresh again, unless a port failure stopped it.
    void enableRefresh();
    void setLamp(Lamp *lamp) { m_lamp = lamp; }
    void toggleLamp();

    void closeEvent(QCloseEvent *event) override;

    ToolContext m_ctx;
    Prompter &m_prompter;
    unsigned m_generation = 0;  // counts loads and unloads: a pause knows whether its loading is still on

private:
    void Form_Load();
    void Form_Unload();
    void Timer1_Timer();
    void Timer2_Timer();
    void warnNoReply();

    Cycle m_cycle;
    Read m_first;
    bool m_loaded = false;
    bool m_inTick = false;
    bool m_refreshHalted = false;
    bool m_replySinceWatchdog = false;
    bool m_noReplyBoxOpen = false;
    Lamp *m_lamp = nullptr;
};
