#pragma once
// The manual screen "手控操作界面": jog and home the axes, stop, switch the outputs, the step
// mode and the power-on auto-run, enter the manual speed and the run distance, and watch the
// controller's status live (the refresh every 200 ms, with its watchdog).
#include <array>
#include <cstdint>
#include <functional>

#include "screens/manual/JogHold.h"
#include "screens/manual/ScreenIo.h"
#include "ui/SubScreen.h"

class Lamp;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class ManualScreen : public SubScreen {
    Q_OBJECT
public:
    explicit ManualScreen(const ScreenContext &ctx);
    ~ManualScreen() override;

    // Controls, by their names.
    std::array<QPushButton *, 15> Command1{};
    QPushButton *Command2 = nullptr;      // "步进开关"
    QPushButton *Command3 = nullptr;      // power-on auto-run
    std::array<QCheckBox *, 2> Check1{};  // index 1 only
    std::array<QLineEdit *, 5> Text1{};
    std::array<Lamp *, 11> Shape1{};
    Lamp *Shape2 = nullptr;
    QTimer *Timer1 = nullptr;  // status refresh, 200 ms
    QTimer *Timer2 = nullptr;  // watchdog, 100 ms

    std::int16_t DigitTyped = 0;
    std::int16_t WatchdogTicks = 0;
    std::int16_t SkipRefresh = 0;
    const StagingBuffer &staging() const { return m_staging; }
    const JogHold &jog() const { return m_jog; }

    // The command handlers, by the button index where there is one.
    void Command1_MouseDown(int index);
    void Command1_MouseUp(int index);
    void Command1_Click(int index);
    void Command2_Click();
    void Command3_Click();
    void ApplyJogEntry(int box);
    void Timer1_Timer();
    void Timer2_Timer();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void resetControls();
    // One button command around its one request: refresh stopped, tag set, pause, receive
    // threshold 8, send; on a port failure the tag is cleared and the port closed, and the
    // refresh stays stopped. Returns false when the port failed.
    bool GuardedSend(int tag, const std::function<void()> &send);
    bool portFailed();
    void enableRefresh();
    void Text1_KeyPress(int box, int &keyAscii);
    void Text1_LostFocus(int box);
    // Every message of this screen: a jog held at that moment is let go first.
    void showMessage(const QString &text);
    void noReplyMessage();
    void showStatus();

    ScreenContext m_ctx;
    StagingBuffer m_staging{};
    JogHold m_jog;
    // The jog button a mouse press has started on, until its press is taken.
    int m_mousePressOn = -1;
    // The refresh was stopped by a port failure; only a successful send restarts it.
    bool m_refreshHalted = false;
    bool m_noReplyMessageDue = false;
};
