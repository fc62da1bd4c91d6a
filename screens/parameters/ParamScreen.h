#pragma once
// The axis parameter screen "基本参数配置界面": reads the basic parameters of the three axes
// and their manual accelerations from the controller again and again, writes a confirmed
// entry at once, and asks the controller to save its data.
#include <array>
#include <cstdint>

#include "screens/manual/ScreenIo.h"
#include "ui/SubScreen.h"

class Lamp;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;

class ParamScreen : public SubScreen {
    Q_OBJECT
public:
    explicit ParamScreen(const ScreenContext &context, QWidget *parent = nullptr);

    void replyAccepted(int tag) override;

    // Validates, scales and writes the entry of box `index`. False when the write could not
    // be sent (the port has been closed and the refresh must stay stopped).
    bool ApplyParameterEntry(int index);

    // Controls, by their names.
    QGroupBox *Frame8;
    std::array<QLineEdit *, 24> Text7{};
    QPushButton *Command1;  // "控制器保存数据"
    QPushButton *Command2;  // "返  回"
    Lamp *Shape1;           // communication lamp
    QTimer *Timer1;         // parameter refresh
    QTimer *Timer2;         // watchdog

protected:
    void Form_Load() override;
    void Form_Unload() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void Text7_Click(int index);
    void Text7_KeyPress(int index, int &keyAscii);
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void showParameterBlock();
    void showAccelerations();
    // The caller's half of the senders' error path; true when the send failed.
    bool sendFailed();
    void enableRefresh();

    ScreenContext m_ctx;
    StagingBuffer m_staging{};
    std::int16_t WatchdogTicks = 0;
    std::int16_t SkipRefresh = 0;
    // A reply of this screen has been accepted since the watchdog's last tick.
    bool m_replySinceWatchdog = false;
    // A refresh tick is running (it may wait in a message box while further ticks fall due).
    bool m_inRefresh = false;
    // Counts loads and unloads, so that a handler resuming after a pause can tell whether the
    // screen it started on is still the one loaded.
    unsigned m_generation = 0;
};
