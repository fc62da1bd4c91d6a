// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's side of the Modbus RTU link: one complete request frame in,
// the reply frame out (or nothing, for a broadcast, a frame for another slave,
// or a frame whose CRC is wrong, which a real slave cannot tell from noise).
#pragma once

#include "Controller.h"
#include "ModbusRtu.h"

#include <cstdint>
#include <span>

namespace trelmo::sim {

class RtuSlave {
public:
    static constexpr std::uint8_t DefaultAddress = 1;
    static constexpr std::uint16_t MaxReadCount = 125;
    static constexpr std::uint16_t MaxWriteCount = 123;

    explicit RtuSlave(Controller &controller, std::uint8_t address = DefaultAddress)
        : m_controller(controller), m_address(address)
    {}

    std::uint8_t address() const { return m_address; }

    // Whether the frame is addressed to this slave (or broadcast) with a good CRC,
    // i.e. whether the controller acts on it.
    bool accepts(std::span<const std::uint8_t> frame) const;

    // Acts on the request and returns the reply; empty when no reply is due.
    Bytes handle(std::span<const std::uint8_t> frame);

    // The exception reply this slave would send for the request's function code.
    Bytes exceptionReply(std::span<const std::uint8_t> frame, std::uint8_t code) const;

private:
    Bytes process(std::span<const std::uint8_t> frame, std::uint8_t &exception);

    Controller &m_controller;
    std::uint8_t m_address;
};

}  // namespace trelmo::sim
