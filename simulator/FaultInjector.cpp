// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultInjector.h"

namespace trelmo::sim {

bool FaultInjector::draw(double probability)
{
    // mt19937's output is fixed by the standard, unlike the distributions, so a
    // seed gives the same faults everywhere.
    const double u = static_cast<double>(m_rng()) / 4294967296.0;
    return u < probability;
}

FaultInjector::Response FaultInjector::respond(RtuSlave &slave, std::span<const std::uint8_t> frame)
{
    Response response;
    if (!slave.accepts(frame) || frame[0] == BroadcastAddress) {
        response.reply = slave.handle(frame);
        return response;
    }
    // Four draws for every request, so that one fault's rate does not shift
    // the sequence of the others.
    const bool drop = draw(m_rates.drop);
    const bool exception = draw(m_rates.exception);
    const bool corrupt = draw(m_rates.corrupt);
    const bool delay = draw(m_rates.delay);

    if (drop) {
        response.fault = Fault::Drop;
        return response;
    }
    if (exception) {
        response.fault = Fault::Exception;
        response.reply = slave.exceptionReply(frame, exc::ServerDeviceFailure);
    } else {
        response.reply = slave.handle(frame);
        if (corrupt && !response.reply.empty()) {
            response.fault = Fault::Corrupt;
            response.reply[response.reply.size() - 2] ^= 0x5A;
            response.reply[response.reply.size() - 1] ^= 0xA5;
        }
    }
    if (delay)
        response.delayMs = m_rates.delayMs;
    return response;
}

}  // namespace trelmo::sim
