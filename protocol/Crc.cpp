// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Crc.h"

#include <array>

namespace {
// The CRC of every byte value, worked out once at compile time: a reply of 107 bytes is
// checked with a table look-up per byte instead of eight shifts.
constexpr std::array<std::uint16_t, 256> CrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        std::uint16_t crc = std::uint16_t(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
        table[value] = crc;
    }
    return table;
}();
}  // namespace

std::uint16_t ModbusCrc(const std::uint8_t *data, std::size_t size)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i)
        crc = std::uint16_t((crc >> 8) ^ CrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

bool CrcMatches(const QByteArray &frame)
{
    if (frame.size() < 3)
        return false;
    const std::uint16_t crc =
        ModbusCrc(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size() - 2));
    return std::uint8_t(frame[frame.size() - 2]) == (crc & 0xFF) && std::uint8_t(frame[frame.size() - 1]) == (crc >> 8);
}
