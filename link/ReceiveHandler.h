#pragma once
// The one receive handler of the tool. Every reply comes through here: it is checked (slave,
// function, CRC, length) against the request outstanding, its data is stored for whoever
// asked, and RequestTag moves on. The main window's watchdog tick lives here too.
#include "link/LinkContext.h"
#include "link/ModbusLink.h"
#include <QByteArray>
#include <functional>

class ReceiveHandler {
public:
    explicit ReceiveHandler(const LinkContext &ctx) : m_ctx(ctx) {}

    // The port's receive event.
    void onReceive();
    // Bytes as they came from the line, in pieces of any size (public for fuzzing and tests).
    void receive(const QByteArray &bytes);
    // Checks and dispatches one reply as read from the port (public for fuzzing and tests).
    // True when a rule took it.
    bool handleReply(const QByteArray &b);
    // The main window's Timer2 tick: abandons a request unanswered for six ticks.
    void watchdogTick();

    // Called when a reply has been accepted for a sub-screen tag (20 .. 158) after the
    // shared state has been updated; screens use it for their button colours and watchdogs.
    std::function<void(int tag)> screenReplyAccepted;

    // Called when a program block has been stored or acknowledged (the transfer may be over).
    std::function<void()> blockDone;

    static constexpr int WatchdogLimit = 6;

private:
    bool takeAtStop(QByteArray &rx);
    bool takeReply(QByteArray &rx);
    bool takeAwaited(QByteArray &rx);
    bool acceptsAwaited(ModbusLink::Request &r, const QByteArray &b);
    int apply(int tag, const QByteArray &b);
    void storeBlock(const QByteArray &b);

    LinkContext m_ctx;
};
