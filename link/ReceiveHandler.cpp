#include "link/ReceiveHandler.h"

#include "link/Crc.h"
#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"

#include <algorithm>

namespace {
// Next tag when a reply for `tag` with `function` is accepted; -1 when no rule fits.
struct Rule {
    int tag;
    int function;
    int next;
};
constexpr Rule Rules[] = {
    {1, 0x03, 0},     {2, 0x03, -2},    {4, 0x10, -2},    {7, 0x06, 8},     {10, 0x05, 0},    {11, 0x06, 0},
    {12, 0x03, 0},    {13, 0x05, 0},    {20, 0x03, 21},   {23, 0x06, 22},   {24, 0x05, 21},   {25, 0x05, 21},
    {26, 0x10, 21},   {50, 0x03, 51},   {53, 0x03, 54},   {56, 0x10, 52},   {56, 0x06, 52},   {60, 0x05, 51},
    {150, 0x03, 151}, {153, 0x03, 154}, {156, 0x10, 151}, {156, 0x06, 151}, {157, 0x05, 151}, {158, 0x05, 151},
};

const Rule *findRule(int tag, int function)
{
    for (const Rule &r : Rules)
        if (r.tag == tag && r.function == function)
            return &r;
    return nullptr;
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
    handleReply(m_port.readAll());
}

// A reply must be the one the request asked for: the same function, the right length for it
// (8 bytes for functions 05, 06 and 16; 5 + twice the registers asked for function 03) and a
// good CRC. Anything else, an exception reply included, is dropped and left to the watchdog.
bool ReceiveHandler::fitsRequest(const QByteArray &b) const
{
    const QByteArray &tx = m_link.TxFrame();
    if (b.size() < 5 || tx.size() < 8 || b[1] != tx[1] || !CrcMatches(b))
        return false;
    switch (std::uint8_t(b[1])) {
    case 0x03: {
        const int asked = (std::uint8_t(tx[4]) << 8) | std::uint8_t(tx[5]);
        return std::uint8_t(b[2]) == 2 * asked && b.size() == 5 + 2 * asked;
    }
    case 0x05:
    case 0x06:
    case 0x10: return b.size() == 8;
    default: return false;
    }
}

void ReceiveHandler::handleReply(const QByteArray &b)
{
    m_state.PortErrorFlag = 0;
    m_state.NoReplyTicks = 0;
    m_state.WatchdogTicks = 0;
    if (b.size() < 2 || std::uint8_t(b[0]) != m_state.SlaveAddress)
        return;
    const Rule *rule = findRule(m_state.RequestTag, std::uint8_t(b[1]));
    if (!rule || !fitsRequest(b))
        return;

    const int tag = m_state.RequestTag;
    switch (tag) {
    case 1: {
        const int count = (std::uint8_t(b[3]) << 8) | std::uint8_t(b[4]);
        // The controller holds at most 500 lines; a larger count is not a program this tool
        // can hold, so it is not taken (the caller tells the user).
        m_state.RejectedLineCount = count > reg::MaxLines ? count : 0;
        if (!m_state.RejectedLineCount) {
            m_view.setLineCountText(QString::number(count));
            m_state.ProgramImage[0] = std::uint8_t(b[3]);
            m_state.ProgramImage[1] = std::uint8_t(b[4]);
        }
        m_view.setConnectionLabel(QStringLiteral("控制器已经连接！"));
        m_view.setConnectCaption(QStringLiteral("断开控制器"));
        break;
    }
    case 2: storeBlock(b); return;  // the block store moves the tag itself
    case 4:
        if (m_state.BlockIndex < m_state.BlockCount) {
            m_state.RequestTag = 5;
        } else {
            m_state.RequestTag = 0;
            m_view.setButtonColor(MainView::Button::Command8, colors::LightYellow);
        }
        return;
    case 7: m_view.setButtonColor(MainView::Button::Command8, colors::Green); break;
    case 10: m_view.setButtonColor(MainView::Button::Command12, colors::Apricot); break;
    case 12:
        m_view.setRunModeCaption(std::uint8_t(b[4]) == 1 ? QStringLiteral("上电自运行")
                                                         : QStringLiteral("上电后不自动运行"));
        break;
    case 13: m_view.setButtonColor(MainView::Button::Command14, colors::Red); break;
    case 20: copyData(m_state.ManualReplyBytes, b); break;
    case 50:
    case 53: copyData(m_state.ParamReplyBytes, b); break;
    case 150:
    case 153: copyData(m_state.InterpReplyBytes, b); break;
    default: break;
    }
    m_state.RequestTag = std::int16_t(rule->next);
    if (tag >= 20 && screenReplyAccepted)
        screenReplyAccepted(tag);
}

void ReceiveHandler::storeBlock(const QByteArray &b)
{
    // Lines 1 to 500 only: nothing past the last line's record is ever written.
    constexpr int ProgramEnd = 2 + 24 * reg::MaxLines;
    const long base = 2L + 240L * (m_state.BlockIndex - 1);
    const int n = int(b.size()) - 5;
    for (int k = 0; k < n; ++k) {
        const long at = base + k;
        if (at >= 2 && at < ProgramEnd)
            m_state.ProgramImage[std::size_t(at)] = std::uint8_t(b[3 + k]);
        if (k < ProgramImageSize)
            m_state.DisplayImage[std::size_t(k)] = std::uint8_t(b[3 + k]);
    }
    const int lines = std::min(std::uint8_t(b[2]) / 24, reg::LinesPerBlock);
    m_view.RenderLines(lines, m_state.BlockIndex);
    if (m_state.BlockIndex < m_state.BlockCount) {
        m_state.RequestTag = 3;
    } else {
        m_state.RequestTag = 0;
        m_view.setButtonColor(MainView::Button::Cmd5, colors::LightYellow);
        m_view.setReadButtonEnabled(true);
    }
}

void ReceiveHandler::watchdogTick()
{
    if (m_state.ManualScreenActive || m_state.ParamScreenActive || m_state.InterpScreenActive || !m_port.isOpen())
        return;
    if (m_state.RequestTag == 0) {
        m_state.WatchdogTicks = 0;
        return;
    }
    if (++m_state.WatchdogTicks >= WatchdogLimit) {
        m_port.readAll();
        m_state.WatchdogTicks = 0;
        m_state.RequestTag = 0;
    }
}
