// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The manual screen "手控操作界面": jog and home the axes, stop, switch the outputs, the step
// mode and the power-on auto-run, enter the manual speed and the run distance, and watch the
// controller's status live (the refresh every 200 ms, with its watchdog).
#include <array>
#include <cstdint>

#include "screens/SubScreen.h"
#include "screens/manual/JogHold.h"

class Lamp;
class MotionFeed;
class QCheckBox;
class QLineEdit;
class QPushButton;

class ManualScreen : public SubScreen {
    Q_OBJECT
public:
    ManualScreen(const ToolContext &ctx, Prompter &prompter, MotionFeed &motion);
    ~ManualScreen() override;

    static constexpr int StopButton = 9, ReturnButton = 14;
    // Command1 13, 12, 11, 10 switch OUT1 to OUT4 (0: not an output button). The caption says
    // what a click does: "OUTn-ON" switches output n on, "OUTn-OF" off.
    static int outputOf(int index) { return index >= 10 && index <= 13 ? 14 - index : 0; }
    static QString outputCaption(int n, bool switchesOn);

    // Controls, by their names.
    std::array<QPushButton *, 15> Command1{};
    QPushButton *Command2 = nullptr;      // "步进开关"
    QPushButton *Command3 = nullptr;      // power-on auto-run
    QPushButton *MotionPlotButton = nullptr;  // "运动轨迹"
    std::array<QCheckBox *, 2> Check1{};  // index 1 only
    std::array<QLineEdit *, 5> Text1{};
    std::array<Lamp *, 11> Shape1{};
    Lamp *Shape2 = nullptr;

    std::int16_t DigitTyped = 0;
    const StagingBuffer &staging() const { return m_staging; }
    const JogHold &jog() const { return m_jog; }

    // The command handlers, by the button index where there is one.
    void Command1_MouseDown(int index);
    void Command1_MouseUp(int index);
    void Command1_Click(int index);
    void Command2_Click();
    void Command3_Click();
    void ApplyJogEntry(int box);

protected:
    void resetControls() override;
    bool refresh() override;
    void unloading() override;
    void showMessage(const QString &text) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void Text1_KeyPress(int box, int &keyAscii);
    void Text1_LostFocus(int box);
    void showStatus();
    // What the screen knows of output n (1 to 4): on or off; its button offers the other.
    void showOutput(int n, bool on);
    JogHold::Result sendJog(int coil, bool on);

    StagingBuffer m_staging{};
    std::array<bool, 4> m_outputOn{};
    MotionFeed &m_motion;
    JogHold m_jog;
    // The jog button a mouse press has started on, until its press is taken.
    int m_mousePressOn = -1;
};
