// Small helpers shared by the simulator tests.
#pragma once

#include "Controller.h"
#include "ModbusRtu.h"

#include <QByteArray>
#include <QTest>

#include <cmath>
#include <initializer_list>

namespace simtest {

using trelmo::sim::Bytes;

// Frame body plus its CRC.
inline Bytes frame(std::initializer_list<int> body)
{
    Bytes f;
    for (int b : body)
        f.push_back(static_cast<std::uint8_t>(b));
    trelmo::sim::appendCrc(f);
    return f;
}

inline QByteArray hex(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
}

inline trelmo::sim::Access writeScaled(trelmo::sim::Controller &c, std::uint16_t address, double value)
{
    const auto raw = static_cast<std::int32_t>(std::llround(value * 1000.0));
    const std::uint16_t words[2] = {trelmo::sim::lowWord(raw), trelmo::sim::highWord(raw)};
    return c.writeRegisters(address, words);
}

inline trelmo::sim::Access writeRegister(trelmo::sim::Controller &c, std::uint16_t address, std::uint16_t value)
{
    return c.writeRegisters(address, {&value, 1});
}

}  // namespace simtest
