// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtuSlave.h"

namespace trelmo::sim {

namespace {

std::uint8_t exceptionFor(Access access)
{
    return access == Access::BadAddress ? exc::IllegalDataAddress : exc::IllegalDataValue;
}

}  // namespace

bool RtuSlave::accepts(std::span<const std::uint8_t> frame) const
{
    if (frame.size() < 4 || !hasValidCrc(frame))
        return false;
    return frame[0] == m_address || frame[0] == BroadcastAddress;
}

Bytes RtuSlave::exceptionReply(std::span<const std::uint8_t> frame, std::uint8_t code) const
{
    Bytes reply{m_address, static_cast<std::uint8_t>(frame[1] | 0x80), code};
    appendCrc(reply);
    return reply;
}

Bytes RtuSlave::handle(std::span<const std::uint8_t> frame)
{
    if (!accepts(frame))
        return {};
    std::uint8_t exception = 0;
    Bytes reply = process(frame.first(frame.size() - 2), exception);
    if (frame[0] == BroadcastAddress)
        return {};
    if (exception)
        return exceptionReply(frame, exception);
    appendCrc(reply);
    return reply;
}

// Works on the frame without its CRC. Returns the reply body, or sets exception.
Bytes RtuSlave::process(std::span<const std::uint8_t> pdu, std::uint8_t &exception)
{
    const std::uint8_t function = pdu[1];
    const std::size_t size = pdu.size();
    switch (function) {
    case fc::ReadHoldingRegisters: {
        if (size != 6) {
            exception = exc::IllegalDataValue;
            return {};
        }
        // Broadcast reads make no sense: there is nobody to answer.
        if (pdu[0] == BroadcastAddress)
            return {};
        const std::uint16_t start = be16(&pdu[2]);
        const std::uint16_t count = be16(&pdu[4]);
        if (count == 0 || count > MaxReadCount) {
            exception = exc::IllegalDataValue;
            return {};
        }
        std::vector<std::uint16_t> values;
        const Access access = m_controller.readRegisters(start, count, values);
        if (access != Access::Ok) {
            exception = exceptionFor(access);
            return {};
        }
        Bytes reply{m_address, function, static_cast<std::uint8_t>(2 * count)};
        for (std::uint16_t v : values)
            putBe16(reply, v);
        return reply;
    }
    case fc::WriteSingleCoil: {
        if (size != 6) {
            exception = exc::IllegalDataValue;
            return {};
        }
        const std::uint16_t value = be16(&pdu[4]);
        if (value != 0xFF00 && value != 0x0000) {
            exception = exc::IllegalDataValue;
            return {};
        }
        const Access access = m_controller.writeCoil(be16(&pdu[2]), value == 0xFF00);
        if (access != Access::Ok) {
            exception = exceptionFor(access);
            return {};
        }
        return Bytes(pdu.begin(), pdu.end());  // the echo
    }
    case fc::WriteSingleRegister: {
        if (size != 6) {
            exception = exc::IllegalDataValue;
            return {};
        }
        const std::uint16_t value = be16(&pdu[4]);
        const Access access = m_controller.writeRegisters(be16(&pdu[2]), {&value, 1});
        if (access != Access::Ok) {
            exception = exceptionFor(access);
            return {};
        }
        return Bytes(pdu.begin(), pdu.end());
    }
    case fc::WriteMultipleRegisters: {
        if (size < 7) {
            exception = exc::IllegalDataValue;
            return {};
        }
        const std::uint16_t start = be16(&pdu[2]);
        const std::uint16_t count = be16(&pdu[4]);
        const std::uint8_t byteCount = pdu[6];
        if (count == 0 || count > MaxWriteCount || byteCount != 2 * count || size != 7u + byteCount) {
            exception = exc::IllegalDataValue;
            return {};
        }
        std::vector<std::uint16_t> values(count);
        for (std::uint16_t i = 0; i < count; ++i)
            values[i] = be16(&pdu[7 + 2 * i]);
        const Access access = m_controller.writeRegisters(start, values);
        if (access != Access::Ok) {
            exception = exceptionFor(access);
            return {};
        }
        return Bytes(pdu.begin(), pdu.begin() + 6);
    }
    default: exception = exc::IllegalFunction; return {};
    }
}

}  // namespace trelmo::sim
