// SPDX-License-Identifier: GPL-3.0-or-later
// Deliberate link faults for testing the master's recovery: a request lost on
// the way (no reply, no action), a reply that comes late, a reply whose CRC is
// damaged, and an exception reply (slave device failure, 04) instead of the
// answer. Draws come from a seeded generator, so a run can be repeated.
#pragma once

#include "RtuSlave.h"

#include <cstdint>
#include <random>
#include <span>

namespace trelmo::sim {

struct FaultRates {
    double drop = 0, delay = 0, corrupt = 0, exception = 0;  // probabilities 0..1
    double delayMs = 1000;                                   // how late a held-back reply is
};

class FaultInjector {
public:
    using Rates = FaultRates;
    enum class Fault { None, Drop, Exception, Corrupt };
    struct Response {
        Bytes reply;         // empty: nothing to send
        double delayMs = 0;  // send this much later than at once
        Fault fault = Fault::None;
    };

    FaultInjector(std::uint32_t seed = 1, Rates rates = {}) : m_rng(seed), m_rates(rates) {}

    // Hands the frame to the slave unless a fault stands in the way. Frames the
    // slave does not act on (other addresses, bad CRC) and broadcasts draw no fault.
    Response respond(RtuSlave &slave, std::span<const std::uint8_t> frame);

private:
    bool draw(double probability);

    std::mt19937 m_rng;
    Rates m_rates;
};

}  // namespace trelmo::sim
