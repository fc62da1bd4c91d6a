// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ModbusLink.h"

#include "link/CommPort.h"
#include "link/WaitMs.h"
#include "protocol/Crc.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {
// A function-16 request carries at most 123 registers.
constexpr int MaxWriteRegisters = 123;
using frames::BuildHeader;
using frames::ExpectedReplyLength;
using frames::IsCoilOff;
}  // namespace

void ModbusLink::ComputeCrc()
{
    const std::uint16_t crc = ModbusCrc(m_tx);
    m_crcLo = std::uint8_t(crc & 0xFF);
    m_crcHi = std::uint8_t(crc >> 8);
}

ModbusLink::ModbusLink(LinkState &state, CommPort &port) : m_state(state), m_port(port)
{
    connect(&m_port, &CommPort::written, this, [this](quint32 id, const QByteArray &) { frameWritten(id); });
    // Every frame written and every byte read goes through the framer, in the order it happened.
    connect(&m_port, &CommPort::written, &m_framer, &Framer::written);
    connect(&m_port, &CommPort::bytesRead, &m_framer, &Framer::read);
    connect(&m_port, &CommPort::closed, &m_framer, &Framer::closed);
    connect(&m_port, &CommPort::failed, &m_framer, [this] { m_framer.portError(-1); });
    connect(this, &ModbusLink::sendFailed, &m_framer, &Framer::portError);
    connect(this, &ModbusLink::givenUp, &m_framer, &Framer::givenUp);
    m_framer.stopAwaited = [this] { return stopAwaited(); };
    m_framer.waitedFor = [this](quint32 serial) {
        return std::any_of(m_awaited.begin(), m_awaited.end(),
                           [serial](const Request &r) { return r.serial == serial && !r.answered; });
    };
    m_framer.answered = [this](quint32 serial, const QByteArray &frame, std::uint16_t faults) {
        cut(serial, frame, faults);
    };
}

// A frame the framer has cut that answers a request not given up. Only what somebody still waits
// for is kept for the receive handler; an exception reply is the controller refusing.
void ModbusLink::cut(quint32 serial, const QByteArray &frame, std::uint16_t faults)
{
    if (faults & LinkEvent::Exception) {
        if (m_abandoned && m_abandoned->serial == serial)
            m_abandoned.reset();  // over: nothing more comes of it
        if (serial == m_current.serial && frame.size() > 2)
            emit exceptionReceived(m_current.tag, std::uint8_t(frame[2]));
        return;
    }
    const bool stopEcho = stopAwaited() && frame == m_stopEcho;
    const bool current = serial == m_current.serial && !m_current.answered;
    const bool abandoned = m_abandoned && m_abandoned->serial == serial;
    const bool awaited = std::any_of(m_awaited.begin(), m_awaited.end(),
                                     [serial](const Request &r) { return r.serial == serial && !r.answered; });
    if (stopEcho || current || abandoned || awaited)
        m_deliveries.push_back({serial, frame});
}

ModbusLink::Setup ModbusLink::setUp(int tag)
{
    m_state.RequestTag = std::int16_t(tag);
    return {tag, m_stops};
}

bool ModbusLink::sendFor(const Setup &setup, const std::function<bool()> &send)
{
    const Setup *outer = std::exchange(m_sendingFor, &setup);
    const bool result = send();
    m_sendingFor = outer;
    return result;
}

bool ModbusLink::request(int tag, bool built, bool urgent)
{
    m_lastDropped = false;
    if (!built) {
        m_state.RequestTag = std::int16_t(tag);
        return fail();
    }
    ComputeCrc();
    m_tx.append(char(m_crcLo));
    m_tx.append(char(m_crcHi));
    // The stop's barrier: while the stop is unanswered nothing but OFFs follows it, and a
    // command set up before a stop never goes out at all.
    const bool overtaken = m_sendingFor && m_sendingFor->stops != m_stops;
    if (!urgent && (overtaken || (stopAwaited() && !IsCoilOff(m_tx)))) {
        m_lastDropped = true;
        return true;
    }
    m_state.RequestTag = std::int16_t(tag);
    m_current = {tag, m_tx, ++m_serial, false, false};
    if (m_state.PortOpenFlag != 1)
        return true;  // no port was ever opened: the request is built, nothing goes out
    emit sending(m_current.serial, tag);
    // Bytes still waiting belong to no request from here on (a late or partial reply of an
    // abandoned one): they must not run into the reply to this one. While a stop is on its
    // way they are the stop's business: its echo is looked for behind them.
    if (!stopAwaited() && !urgent) {
        if (m_port.isOpen())
            m_port.readAll();
        m_deliveries.clear();
    }
    armReceive();
    if (!m_port.write(m_tx, urgent ? CommPort::Priority::Urgent : CommPort::Priority::Normal, m_current.serial))
        return fail();
    return true;
}

void ModbusLink::frameWritten(quint32 id)
{
    if (id == m_current.serial)
        m_current.written = true;
    for (auto it = m_whenWritten.begin(); it != m_whenWritten.end();) {
        if (it->serial != id) {
            ++it;
            continue;
        }
        const Pending p = std::move(*it);
        it = m_whenWritten.erase(it);
        if (p.context)
            p.then();
        return;
    }
}

void ModbusLink::whenWritten(QObject *context, std::function<void()> then)
{
    if (m_lastDropped || m_state.PortOpenFlag != 1)
        return;
    // Already written (the line was quiet): at once.
    if (m_current.written) {
        then();
        return;
    }
    // Frames long gone from the queue (dropped by a stop, or by a closing port) never come.
    std::erase_if(m_whenWritten, [this](const Pending &p) { return !p.context || m_current.serial - p.serial > 64; });
    m_whenWritten.push_back({m_current.serial, context, std::move(then)});
}

bool ModbusLink::fail()
{
    emit sendFailed(m_state.RequestTag);
    m_state.PortErrorFlag = 1;
    forget();
    return false;
}

void ModbusLink::lost()
{
    const bool reported = m_state.PortLostReported;
    m_state.PortLostReported = true;
    forget(reported);
}

// The request is forgotten and the port closed before the user is told, so that nothing that
// runs while the message is open can send into the broken port.
void ModbusLink::forget(std::optional<bool> reported)
{
    const int outstanding = m_state.RequestTag;
    m_state.RequestTag = tag::Idle;
    m_port.close();
    m_deliveries.clear();
    m_abandoned.reset();
    m_state.PortErrorFlag = 0;
    emit portLost(reported.value_or(m_state.PortLostReported), outstanding);
}

bool ModbusLink::ReadRegistersFrom(int slave, int tag, int address, int count)
{
    return request(tag, BuildHeader(m_tx, slave, 0x03, address, count));
}

bool ModbusLink::ReadRegisters(int tag, int address, int count)
{
    return ReadRegistersFrom(m_state.SlaveAddress, tag, address, count);
}

bool ModbusLink::SendCoilOn(int tag, int coil)
{
    const bool built = BuildHeader(m_tx, m_state.SlaveAddress, 0x05, coil, 0);
    // ON is the constant FF00 of the frame, outside the range of the arguments.
    if (built)
        m_tx[4] = char(0xFF);
    return request(tag, built);
}

bool ModbusLink::SendCoilOff(int tag, int coil)
{
    return request(tag, BuildHeader(m_tx, m_state.SlaveAddress, 0x05, coil, 0));
}

bool ModbusLink::SendRegister(int tag, int address, int value)
{
    return request(tag, BuildHeader(m_tx, m_state.SlaveAddress, 0x06, address, value));
}

bool ModbusLink::WriteRegisters(int tag, int start, std::span<const std::uint8_t> data)
{
    const int count = int(data.size() / 2);
    const bool built = count >= 1 && count <= MaxWriteRegisters && data.size() % 2 == 0 &&
                       BuildHeader(m_tx, m_state.SlaveAddress, 0x10, start, count);
    if (built) {
        m_tx.append(char(2 * count));
        m_tx.append(reinterpret_cast<const char *>(data.data()), 2 * count);
    }
    return request(tag, built);
}

bool ModbusLink::SendStop(int tag)
{
    const bool built = BuildHeader(m_tx, m_state.SlaveAddress, 0x05, reg::coil::EmergencyStop, 0);
    if (built) {
        m_tx[4] = char(0xFF);
        // What waits for the line goes, but the OFFs, which follow the stop. The reply to a
        // request already on the wire may still come: its bytes are taken by its length.
        m_port.dropQueued(IsCoilOff);
        if (m_port.isOpen())
            m_port.readAll();
        // A reply whose bytes have all come (taken, or refused) is over; one still coming is
        // taken by its length, ahead of the echo.
        const std::vector<quint32> &waiting = m_framer.waiting();
        const bool coming = std::find(waiting.begin(), waiting.end(), m_current.serial) != waiting.end();
        if (m_current.written && !m_current.answered && coming)
            m_abandoned = m_current;
        else
            m_deliveries.clear();
        ++m_stops;
    }
    // The reply to the stop is its own echo.
    return request(tag, built, true);
}

bool ModbusLink::ResendStop()
{
    if (m_stopEcho.isEmpty() || !m_port.isOpen())
        return false;
    return m_port.write(m_stopEcho, CommPort::Priority::Urgent) || fail();
}

void ModbusLink::confirmStop()
{
    m_stopEcho.clear();
    // Nothing sent before the stop can answer after its echo.
    m_abandoned.reset();
    armReceive();
    if (stopConfirmed)
        stopConfirmed();
}

void ModbusLink::setStopAwaited(bool on)
{
    // The stop's echo is the stop frame itself.
    m_stopEcho = on ? m_current.frame : QByteArray();
    if (!on)
        m_abandoned.reset();
    armReceive();
}

// The receive event fires once the shortest reply still expected could be whole: the one to
// the request outstanding, an awaited stop's echo, or the reply to a request somebody still
// waits for.
void ModbusLink::armReceive()
{
    // While a stop is on its way every byte is looked at as it comes: the echo is found at
    // a frame boundary, behind whatever is still arriving.
    if (stopAwaited() || m_abandoned) {
        m_port.setRThreshold(1);
        return;
    }
    int want = ExpectedReplyLength(m_current.frame);
    auto consider = [&want](int length) {
        if (length > 0 && (want <= 0 || length < want))
            want = length;
    };
    for (const Request &r : m_awaited)
        if (!r.answered)
            consider(ExpectedReplyLength(r.frame));
    if (want <= 0)
        want = m_port.rThreshold();
    m_port.setRThreshold(std::max(1, want - std::min(m_framer.pending(), std::max(0, want - 1))));
}

void ModbusLink::discardInput()
{
    m_port.readAll();
    emit givenUp();
    m_deliveries.clear();
    m_abandoned.reset();
}

void ModbusLink::markAnswered(std::uint32_t serial)
{
    for (Request &r : m_awaited)
        if (r.serial == serial)
            r.answered = true;
    emit answered(serial);
}

bool ModbusLink::WaitForAnswer(double ms)
{
    const std::uint32_t serial = m_current.serial;
    bool answered = false;
    QEventLoop loop;
    QTimer::singleShot(int(ms), &loop, &QEventLoop::quit);
    connect(this, &ModbusLink::answered, &loop, [&](std::uint32_t s) {
        answered = answered || s == serial;
        if (answered)
            loop.quit();
    });
    connect(&m_port, &CommPort::closed, &loop, &QEventLoop::quit);
    if (m_port.isOpen() && !m_lastDropped)
        loop.exec();
    return answered;
}

bool ModbusLink::WaitForReply(double ms)
{
    m_awaited.push_back(m_current);
    const std::uint32_t serial = m_current.serial;
    armReceive();
    WaitMs(ms);
    bool answered = false;
    for (auto it = m_awaited.begin(); it != m_awaited.end(); ++it)
        if (it->serial == serial) {
            answered = it->answered;
            m_awaited.erase(it);
            break;
        }
    return answered;
}
