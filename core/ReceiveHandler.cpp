#include "core/ReceiveHandler.h"

#include "protocol/Crc.h"
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
    receive(m_ctx.port.readAll());
}

void ReceiveHandler::receive(const QByteArray &bytes)
{
    QByteArray &rx = m_ctx.link.rxCarry();
    rx += bytes;
    m_ctx.link.noteReceived(int(bytes.size()));
    m_ctx.state.PortErrorFlag = 0;
    m_ctx.state.NoReplyTicks = 0;
    m_ctx.state.WatchdogTicks = 0;

    // Whole frames are taken from the front while any can be: the reply that a stop abandoned,
    // the stop's echo, the reply to the request outstanding, a reply somebody still waits for.
    for (;;) {
        while (!rx.isEmpty() && (takeAtStop(rx) || takeReply(rx) || takeAwaited(rx)))
            ;
        // Behind a stop, bytes that make no frame we know of are dropped one at a time from
        // the front, until a frame starts there.
        if (rx.isEmpty() || !m_ctx.link.stopAwaited() || m_ctx.link.abandoned() || rx.size() < 8)
            break;
        rx.remove(0, 1);
    }

    // What is left may be the start of a reply still to come: keep as much of it as the
    // longest reply expected, and wait for the rest.
    int expected = m_ctx.link.stopAwaited() ? 8 : 0;
    if (const auto &a = m_ctx.link.abandoned())
        expected = std::max(expected, frames::ExpectedReplyLength(a->frame));
    if (findRule(m_ctx.state.RequestTag, -1))
        expected = std::max(expected, frames::ExpectedReplyLength(m_ctx.link.current().frame));
    for (const ModbusLink::Request &r : m_ctx.link.awaited())
        if (!r.answered)
            expected = std::max(expected, frames::ExpectedReplyLength(r.frame));
    if (rx.size() >= expected)
        rx = expected > 1 ? rx.right(expected - 1) : QByteArray();
    m_ctx.link.armReceive();
}

// While a stop is on its way, the bytes are read as frames from where the stop found the line:
// first the rest of the reply that was coming (taken by its length, or an exception reply), then
// the stop's echo. The echo counts only there, never inside another frame's data.
bool ReceiveHandler::takeAtStop(QByteArray &rx)
{
    ModbusLink &link = m_ctx.link;
    const QByteArray echo = link.stopEcho();
    if (!echo.isEmpty() && rx.startsWith(echo)) {
        rx.remove(0, echo.size());
        const bool stopIsCurrent = link.current().frame == echo;
        link.confirmStop();
        if (stopIsCurrent)
            handleReply(echo);
        return true;
    }
    const std::optional<ModbusLink::Request> abandoned = link.abandoned();
    if (!abandoned)
        return false;
    const int length = frames::ExpectedReplyLength(abandoned->frame);
    const bool exception = rx.size() >= 5 && rx[0] == abandoned->frame[0] &&
                           std::uint8_t(rx[1]) == (std::uint8_t(abandoned->frame[1]) | 0x80) && CrcMatches(rx.left(5));
    if (!exception && rx.size() < length)
        return false;
    const QByteArray b = rx.left(exception ? 5 : length);
    rx.remove(0, b.size());
    link.clearAbandoned();
    // A probe or the read button's line count is still waited for: its reply counts.
    for (ModbusLink::Request &r : link.awaited())
        if (r.serial == abandoned->serial && !r.answered && !exception && acceptsAwaited(r, b))
            break;
    return true;
}

// The reply to the request outstanding stands at the end of what came (anything before it
// is left over from a request abandoned before its reply), or at the start, with the next
// reply already behind it.
bool ReceiveHandler::takeReply(QByteArray &rx)
{
    const int length = frames::ExpectedReplyLength(m_ctx.link.current().frame);
    if (length <= 0 || rx.size() < length)
        return false;
    // Behind a stop only whole frames from the front count; the stop's own echo is taken there.
    if (m_ctx.link.stopAwaited() || m_ctx.link.abandoned()) {
        if (m_ctx.link.current().frame == m_ctx.link.stopEcho() || !handleReply(rx.left(length)))
            return false;
        rx.remove(0, length);
        return true;
    }
    if (handleReply(rx.right(length))) {
        rx.clear();
        return true;
    }
    if (rx.size() > length && handleReply(rx.left(length))) {
        rx.remove(0, length);
        return true;
    }
    return false;
}

// A request that somebody waits for (a probe of the handshake, the read button's line count)
// still counts as answered when its reply comes after another request (an emergency stop)
// has been started: its data is taken, RequestTag is left to the newer request.
bool ReceiveHandler::takeAwaited(QByteArray &rx)
{
    const std::uint32_t current = m_ctx.link.current().serial;
    for (ModbusLink::Request &r : m_ctx.link.awaited()) {
        const int length = frames::ExpectedReplyLength(r.frame);
        if (r.serial == current || r.answered || length <= 0 || rx.size() < length)
            continue;
        if (acceptsAwaited(r, rx.right(length))) {
            rx.chop(length);
            return true;
        }
    }
    return false;
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
    if (m_ctx.state.RequestTag == tag::Idle) {
        m_ctx.state.WatchdogTicks = 0;
        return;
    }
    if (++m_ctx.state.WatchdogTicks >= WatchdogLimit)
        giveUp();
}

void ReceiveHandler::giveUp()
{
    m_ctx.link.discardInput();
    m_ctx.state.WatchdogTicks = 0;
    m_ctx.state.RequestTag = tag::Idle;
}
