// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus RTU building blocks shared by the controller's slave side: the CRC of
// the serial line, the function codes the controller understands, and the
// exception codes it answers with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trelmo::sim {

using Bytes = std::vector<std::uint8_t>;

// The function codes the controller understands.
namespace fc {
enum : std::uint8_t { ReadHoldingRegisters = 0x03, WriteSingleCoil = 0x05, WriteSingleRegister = 0x06 };
enum : std::uint8_t { WriteMultipleRegisters = 0x10 };
}  // namespace fc

// The exception codes it answers with.
namespace exc {
enum : std::uint8_t { IllegalFunction = 0x01, IllegalDataAddress = 0x02, IllegalDataValue = 0x03 };
enum : std::uint8_t { ServerDeviceFailure = 0x04 };
}  // namespace exc

inline constexpr std::uint8_t BroadcastAddress = 0;

// The controller's line runs at 19200 baud, 8N1: one character is ten bits on
// the wire, 0.5208 ms, and a frame ends with 3.5 character times of silence.
inline constexpr double CharMs = 10.0 * 1000.0 / 19200.0;
inline constexpr double FrameGapMs = 3.5 * CharMs;

// CRC-16 of the Modbus serial line: initial value 0xFFFF, reflected polynomial
// 0xA001. On the wire the low byte goes first.
std::uint16_t crc16(std::span<const std::uint8_t> data);

// Appends the CRC (low byte first) to a frame body.
void appendCrc(Bytes &frame);

// True when the last two bytes of the frame are the CRC of the bytes before.
bool hasValidCrc(std::span<const std::uint8_t> frame);

// "01 03 21 7D": bytes as the log shows them.
std::string hexText(std::span<const std::uint8_t> bytes);

inline std::uint16_t be16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline void putBe16(Bytes &out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

// The controller keeps 32-bit quantities in two registers, low-order word at the
// lower address, as a signed two's-complement number.
inline std::int32_t joinWords(std::uint16_t low, std::uint16_t high)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16));
}

inline std::uint16_t lowWord(std::int32_t v)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu);
}

inline std::uint16_t highWord(std::int32_t v)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) >> 16);
}

}  // namespace trelmo::sim
