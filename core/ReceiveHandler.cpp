// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ReceiveHandler.h"

#include "link/Watchdog.h"
#include "protocol/Frames.h"
#include "core/ToolState.h"
#include "core/ControllerStatus.h"
#include "core/ProgramModel.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "link/CommPort.h"
#include "core/Texts.h"

#include <algorithm>

namespace {
// A reply is taken when the slave is ours, RequestTag names a rule and the function code is
// the rule's; RequestTag then moves to `next` (Decided: the block transfers decide).
constexpr int Decided = -1;
struct Rule {
    int tag;
    int function;
    int next;
};
constexpr Rule Rules[] = {
    {tag::LineCount, 0x03, tag::Idle},
    {tag::ReadBlock, 0x03, Decided},
    {tag::WriteBlock, 0x10, Decided},
    {tag::WriteLineCount, 0x06, tag::BlocksDue},
    {tag::VerifyLineCount, 0x03, tag::Idle},
    {tag::VerifyBlock, 0x03, tag::Idle},
    {tag::SaveData, 0x05, tag::Idle},
    {tag::WriteRunMode, 0x06, tag::Idle},
    {tag::ReadRunMode, 0x03, tag::Idle},
    {tag::Stop, 0x05, tag::Idle},
    {tag::ManualRead, 0x03, tag::ManualReceived},
    {tag::ManualRunMode, 0x06, tag::ManualReadDue},
    {tag::ManualStep, 0x05, tag::ManualReceived},
    {tag::ManualCoil, 0x05, tag::ManualReceived},
    {tag::ManualWrite, 0x10, tag::ManualReceived},
    {tag::ParamsRead, 0x03, tag::ParamsReceived},
    {tag::AccelRead, 0x03, tag::AccelReceived},
    {tag::ParamsWrite, 0x10, tag::AccelDue},
    {tag::ParamsWrite, 0x06, tag::AccelDue},
    {tag::ParamsSave, 0x05, tag::ParamsReceived},
    {tag::InterpReadA, 0x03, tag::InterpAReceived},
    {tag::InterpReadB, 0x03, tag::InterpBReceived},
    {tag::InterpWrite, 0x10, tag::InterpAReceived},
    {tag::InterpWrite, 0x06, tag::InterpAReceived},
    {tag::InterpMove, 0x05, tag::InterpAReceived},
    {tag::InterpStop, 0x05, tag::InterpAReceived},
};

const Rule *findRule(int tag, int function)
{
    for (const Rule &r : Rules)
        if (r.tag == tag && (function < 0 || r.function == function))
            return &r;
    return nullptr;
}

// A reply must be the one the request asked for: the same function, the length the request
// asks for (the rule the receive threshold is set by), and a good CRC. Anything else, an
// exception reply included, is dropped and left to the watchdog.
bool answers(const QByteArray &b, const QByteArray &request)
{
    return frames::Answers(b, request);
}

template <std::size_t N> void copyData(std::array<std::uint8_t, N> &to, const QByteArray &b)
{
    // Data bytes are everything between the 3-byte header and the CRC.
    const int n = int(b.size()) - 5;
    for (int i = 0; i < n && i < int(N); ++i)
        to[std::size_t(i)] = std::uint8_t(b[3 + i]);
}
}  // namespace

void ReceiveHandler::onReceive()
{
    // The framer has read the bytes as they came; what waits at the port is over.
    m_ctx.port.readAll();
    dispatch();
}

void ReceiveHandler::receive(const QByteArray &bytes)
{
    m_ctx.link.framer().read(bytes);
    dispatch();
}

// The replies the link has cut from what came, in the order they came: the stop's echo, the reply
// a stop overtook on the wire, the reply to the request outstanding, a reply somebody still waits
// for.
void ReceiveHandler::dispatch()
{
    m_ctx.state.PortErrorFlag = 0;
    m_ctx.state.NoReplyTicks = 0;
    m_ctx.state.WatchdogTicks = 0;
    for (const ModbusLink::Delivery &d : m_ctx.link.takeDeliveries())
        take(d);
    m_ctx.link.armReceive();
}

void ReceiveHandler::take(const ModbusLink::Delivery &d)
{
    ModbusLink &link = m_ctx.link;
    const auto awaited = [&link, &d]() -> ModbusLink::Request * {
        for (ModbusLink::Request &r : link.awaited())
            if (r.serial == d.serial && !r.answered)
                return &r;
        return nullptr;
    };
    // The stop's echo, found where a frame starts: the stop is confirmed, and answered when it
    // is the request outstanding.
    if (link.stopAwaited() && d.frame == link.stopEcho()) {
        const bool stopIsCurrent = link.current().frame == d.frame;
        link.confirmStop();
        if (stopIsCurrent)
            handleReply(d.frame);
        return;
    }
    // The reply of the request a stop overtook: over, and it counts for a probe or the read
    // button's line count still waiting for it.
    if (link.abandoned() && link.abandoned()->serial == d.serial) {
        link.clearAbandoned();
        if (ModbusLink::Request *r = awaited())
            acceptsAwaited(*r, d.frame);
        return;
    }
    if (d.serial == link.current().serial) {
        handleReply(d.frame);
        return;
    }
    // A request that somebody waits for (a probe of the handshake, the read button's line count)
    // still counts as answered when its reply comes after another request (an emergency stop)
    // has been started: its data is taken, RequestTag is left to the newer request.
    if (ModbusLink::Request *r = awaited())
        acceptsAwaited(*r, d.frame);
}

bool ReceiveHandler::acceptsAwaited(ModbusLink::Request &r, const QByteArray &b)
{
    if (std::uint8_t(b[0]) != m_ctx.state.SlaveAddress || !answers(b, r.frame) ||
        !findRule(r.tag, std::uint8_t(b[1])))
        return false;
    apply(r.tag, b);
    r.answered = true;
    return true;
}

bool ReceiveHandler::handleReply(const QByteArray &b)
{
    m_ctx.state.PortErrorFlag = 0;
    m_ctx.state.NoReplyTicks = 0;
    m_ctx.state.WatchdogTicks = 0;
    if (b.size() < 2 || std::uint8_t(b[0]) != m_ctx.state.SlaveAddress)
        return false;
    const Rule *rule = findRule(m_ctx.state.RequestTag, std::uint8_t(b[1]));
    if (!rule || !answers(b, m_ctx.link.current().frame))
        return false;
    const int tag = m_ctx.state.RequestTag;
    const int next = apply(tag, b);
    m_ctx.state.RequestTag = std::int16_t(rule->next == Decided ? next : rule->next);
    m_ctx.link.markAnswered(m_ctx.link.current().serial);
    emit accepted(tag);
    return true;
}

// What a reply does besides moving RequestTag; returns the next tag of the block transfers.
int ReceiveHandler::apply(int tag, const QByteArray &b)
{
    switch (tag) {
    case tag::LineCount: {
        // Kept aside: whoever asked decides whether the program takes it (a count above 500
        // is no program this tool can hold).
        m_ctx.state.ReportedLineCount = (std::uint8_t(b[3]) << 8) | std::uint8_t(b[4]);
        m_ctx.status.show(true);
        return tag::Idle;
    }
    case tag::VerifyLineCount: m_ctx.state.ReportedLineCount = (std::uint8_t(b[3]) << 8) | std::uint8_t(b[4]); break;
    case tag::VerifyBlock: storeBlock(b, m_ctx.state.VerifyImage, false); break;
    case tag::ReadBlock:
        m_ctx.state.BlocksDone = m_ctx.state.BlockIndex;
        storeBlock(b, m_ctx.state.ProgramImage, true);
        return m_ctx.state.BlockIndex < m_ctx.state.BlockCount ? tag::ReadBlockDue : tag::Idle;
    case tag::WriteBlock:
        m_ctx.state.BlocksDone = m_ctx.state.BlockIndex;
        return m_ctx.state.BlockIndex < m_ctx.state.BlockCount ? tag::WriteBlockDue : tag::Idle;
    case tag::ReadRunMode: m_ctx.status.setAutoRun(std::uint8_t(b[4]) == 1); break;
    case tag::ManualRead: copyData(m_ctx.state.ManualReplyBytes, b); break;
    case tag::ParamsRead:
    case tag::AccelRead: copyData(m_ctx.state.ParamReplyBytes, b); break;
    case tag::InterpReadA:
    case tag::InterpReadB: copyData(m_ctx.state.InterpReplyBytes, b); break;
    default: break;
    }
    return tag::Idle;
}

void ReceiveHandler::storeBlock(const QByteArray &b, ProgramBytes &image, bool shown)
{
    // Lines 1 to 500 only: nothing past the last line's record is ever written.
    constexpr int ProgramEnd = program::CountWordSize + program::RecordSize * program::MaxLines;
    const long base = program::CountWordSize + long(program::BlockBytes) * (m_ctx.state.BlockIndex - 1);
    const int n = int(b.size()) - 5;
    for (int k = 0; k < n; ++k) {
        const long at = base + k;
        if (at >= program::CountWordSize && at < ProgramEnd)
            image[std::size_t(at)] = std::uint8_t(b[3 + k]);
        if (shown && k < program::ImageSize)
            m_ctx.state.DisplayImage[std::size_t(k)] = std::uint8_t(b[3 + k]);
    }
    if (!shown)
        return;
    const int lines = std::min(std::uint8_t(b[2]) / program::RecordSize, program::LinesPerBlock);
    m_ctx.program.render(lines, m_ctx.state.BlockIndex);
}

void ReceiveHandler::watchdogTick()
{
    if (m_ctx.state.ManualScreenActive || m_ctx.state.ParamScreenActive || m_ctx.state.InterpScreenActive ||
        !m_ctx.port.isOpen())
        return;
    if (watchdog::Tick(m_ctx.state.WatchdogTicks, m_ctx.state.RequestTag == tag::Idle))
        giveUp();
}

void ReceiveHandler::giveUp()
{
    m_ctx.link.discardInput();
    m_ctx.state.WatchdogTicks = 0;
    m_ctx.state.RequestTag = tag::Idle;
}
