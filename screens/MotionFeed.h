// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The motion plot "运动轨迹", fed from what the open screen reads anyway: one reading per status
// reply accepted (the manual screen's status read, the interpolation screen's read A), timed when
// it arrived, with the set speed it carries; and the interpolation moves as they go out, with the
// end and middle points and the arc direction the controller last reported. It sends nothing.
// The window is made the first time a screen's "运动轨迹" button is clicked; until then nothing
// is fed, and nothing costs anything.
#include <QObject>
#include <array>
#include <cstdint>
#include <memory>

#include "core/ToolContext.h"

class MotionPlot;
class Prompter;
class ReceiveHandler;
class QWidget;

class MotionFeed : public QObject {
    Q_OBJECT
public:
    MotionFeed(const ToolContext &ctx, ReceiveHandler &replies, Prompter &prompter);
    ~MotionFeed() override;

    // The button of a screen: the window opens beside it.
    void open(QWidget *beside);
    // The interpolation move of button `index` has gone out (arcs XY, XZ, YZ, then lines).
    void moveSent(int index);
    // The window, once it has been opened.
    MotionPlot *window() const { return m_plot.get(); }

private:
    void accepted(int tag);

    ToolContext m_ctx;
    Prompter &m_prompter;
    std::unique_ptr<MotionPlot> m_plot;
    // The move settings of the interpolation screen's last read B and the writes since: end and
    // middle point, direction.
    std::array<std::uint8_t, 26> m_settings{};
    int m_announced = -1;  // readings since a move was announced that has not begun
};
