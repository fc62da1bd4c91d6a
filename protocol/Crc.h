// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <cstdint>

// CRC-16 of the Modbus serial line: start 0xFFFF, reflected polynomial 0xA001. It travels
// low byte first.
std::uint16_t ModbusCrc(const std::uint8_t *data, std::size_t size);
inline std::uint16_t ModbusCrc(const QByteArray &bytes)
{
    return ModbusCrc(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
}
// True when the last two bytes are the CRC of the bytes before them.
bool CrcMatches(const QByteArray &frame);
