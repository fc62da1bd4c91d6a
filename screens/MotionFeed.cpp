// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MotionFeed.h"

#include <QScreen>
#include <QWidget>

#include "core/ReceiveHandler.h"
#include "core/ScaledValue.h"
#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "plot/MotionPlot.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

namespace {
// The positions and the speed in a status reply's data: X, Y, Z from its first register (8559),
// the manual or interpolation speed at register 8569; each a scaled value in thousandths.
double Mm(const std::uint8_t *bytes)
{
    return double(std::int32_t(RawScaled(bytes))) / 1000.0;
}
}  // namespace

MotionFeed::MotionFeed(const ToolContext &ctx, ReceiveHandler &replies, Prompter &prompter)
    : m_ctx(ctx), m_prompter(prompter)
{
    connect(&replies, &ReceiveHandler::accepted, this, &MotionFeed::accepted);
    // A setting written since the last read B is what the controller moves with.
    connect(&m_ctx.link, &ModbusLink::sending, this, [this](quint32, int tag) {
        const QByteArray &f = m_ctx.link.current().frame;
        if (tag != tag::InterpWrite || f.size() < 9 || std::uint8_t(f[1]) != 0x10)
            return;
        const int start = std::uint8_t(f[2]) << 8 | std::uint8_t(f[3]);
        for (int i = 0; 7 + i < f.size() - 2; ++i)
            if (const int at = 2 * (start - reg::InterpSettings) + i; at >= 0 && at < int(m_settings.size()))
                m_settings[std::size_t(at)] = std::uint8_t(f[7 + i]);
    });
}

MotionFeed::~MotionFeed() = default;

void MotionFeed::open(QWidget *beside)
{
    // The readings are taken from here on.
    if (!m_plot)
        m_plot = std::make_unique<MotionPlot>(m_prompter);
    if (!m_plot->isVisible() && beside) {
        // Beside the screen, on its right where the desktop has room.
        const QRect at = beside->frameGeometry();
        m_plot->move(at.right() + 8, at.top());
    }
    m_plot->show();
    m_plot->raise();
    m_plot->activateWindow();
}

void MotionFeed::accepted(int tag)
{
    if (!m_plot)
        return;
    const ToolState &s = m_ctx.state;
    if (tag == tag::InterpReadB) {
        std::copy_n(s.InterpReplyBytes.begin(), m_settings.size(), m_settings.begin());
        return;
    }
    if (tag != tag::ManualRead && tag != tag::InterpReadA)
        return;
    const std::uint8_t *b = tag == tag::ManualRead ? s.ManualReplyBytes.data() : s.InterpReplyBytes.data();
    m_plot->setSetSpeed(Mm(b + 20));
    m_plot->addReading(m_ctx.link.framer().now() / 1000000, Mm(b), Mm(b + 4), Mm(b + 8));
    // A move the controller refused never leaves its start: once it has come to rest as an ended
    // move would, it gets no line.
    if (m_announced >= 0 && m_plot->track().moveState() == plot::MotionTrack::MoveState::Announced &&
        ++m_announced > plot::MotionTrack::RestReadings) {
        m_plot->moveRefused();
        m_announced = -1;
    }
}

void MotionFeed::moveSent(int index)
{
    if (!m_plot)
        return;
    const auto at = [this](int offset) {
        return plot::Position{Mm(&m_settings[std::size_t(offset)]), Mm(&m_settings[std::size_t(offset + 4)]),
                              Mm(&m_settings[std::size_t(offset + 8)])};
    };
    plot::Move move;
    move.kind = index < 3 ? plot::MoveKind::Circular : plot::MoveKind::Linear;
    move.plane = plot::Plane(index % 3);
    move.end = at(0);
    move.middle = at(12);
    move.turn = m_settings[25] == 1 ? plot::Turn::CounterClockwise : plot::Turn::Clockwise;
    m_plot->moveStarted(move);
    m_announced = 0;
}
