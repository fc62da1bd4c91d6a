// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one receive handler of the tool. Every reply comes through here: it is checked (slave,
// function, CRC, length) against the request outstanding, its data is stored for whoever
// asked, and RequestTag moves on. The main window's watchdog tick lives here too.
#include "core/ToolContext.h"
#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include <QByteArray>
#include <QObject>
#include <functional>

class ReceiveHandler : public QObject {
    Q_OBJECT
public:
    explicit ReceiveHandler(const ToolContext &ctx) : m_ctx(ctx) {}

    // The port's receive event.
    void onReceive();
    // Bytes as they came from the line, in pieces of any size (public for fuzzing and tests).
    void receive(const QByteArray &bytes);
    // Checks and dispatches one reply as read from the port (public for fuzzing and tests).
    // True when a rule took it.
    bool handleReply(const QByteArray &b);
    // The main window's Timer2 tick: abandons a request unanswered for six ticks.
    void watchdogTick();
    // Gives the request outstanding up, as the watchdog does: what waits at the port is thrown
    // away and RequestTag is 0.
    void giveUp();

signals:
    // A reply to the request outstanding has been taken for `tag`, its data stored and
    // RequestTag moved on.
    void accepted(int tag);

private:
    void dispatch();
    void take(const ModbusLink::Delivery &delivery);
    bool acceptsAwaited(ModbusLink::Request &r, const QByteArray &b);
    int apply(int tag, const QByteArray &b);
    // A block's data into `image` at the block's place; a block of the program is also shown.
    void storeBlock(const QByteArray &b, ProgramBytes &image, bool shown);

    ToolContext m_ctx;
};
