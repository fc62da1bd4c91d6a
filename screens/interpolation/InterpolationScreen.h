// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interpolation test screen "插补调试界面": the user sets an end point, a middle point for
// arcs, a speed and an arc direction (each written to the controller when its box is
// confirmed), then starts a linear or circular move in the XY, XZ or YZ plane. While the
// screen is open it reads the coordinates and the move settings back, one read per tick.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "screens/SubScreen.h"

class Lamp;
class MotionFeed;
class QLabel;
class QLineEdit;
class QPushButton;

class InterpolationScreen : public SubScreen {
    Q_OBJECT
public:
    InterpolationScreen(const ToolContext &ctx, Prompter &prompter, MotionFeed &motion);

    // Controls, by their names. Text1: 0-2 coordinates (display only), 3 speed, 4-6 end
    // point, 7-9 middle point, 10 arc direction. Command1: 0-2 arcs, 3-5 lines, 6 emergency
    // stop, 14 return (the other indices do not exist). Label1: only 13, the direction text.
    std::array<QLineEdit *, 11> Text1{};
    std::array<QPushButton *, 15> Command1{};
    std::array<QLabel *, 14> Label1{};
    Lamp *Shape2 = nullptr;
    QLineEdit *Text2 = nullptr;  // the current RequestTag, for diagnosis
    QPushButton *MotionPlotButton = nullptr;  // "运动轨迹"

protected:
    void resetControls() override;
    bool refresh() override;
    void resumed() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    // One width for the labels of the boxes, that of the widest, so that the boxes stand in
    // one column.
    void fitBoxLabels();
    void Command1_Click(int index);
    void Text1_Click(int index);
    void Text1_KeyPress(int index, int &keyAscii);

    // Writes the setting of Text1 `index` (3 to 10); false when it was not sent.
    bool commitSetting(int index);
    bool send(int tag, const std::function<bool()> &request);
    void showReadA();
    void showReadB();

    StagingBuffer m_staging{};
    std::array<QLabel *, 11> m_boxLabels{};
    MotionFeed &m_motion;
};
