#include "link/Crc.h"

std::uint16_t ModbusCrc(const std::uint8_t *data, std::size_t size)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
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
