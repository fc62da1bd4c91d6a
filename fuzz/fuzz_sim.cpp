// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes from a master, in chunks and at times the input chooses, through the
// simulator's serial line (framer, seeded faults, slave, controller and paced
// replies), in both framings: pty-friendly and the line model. Nothing may
// crash or touch memory it does not own, what the framer hands on must be a
// frame, and every request answered must have its reply written out.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "LineModel.h"

using namespace trelmo::sim;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

// The input: a settings byte (bit 0: line model; bit 1: faults; the rest seeds
// them), then records of [length, pause before it in 0.1 ms (255: ten
// seconds), that many bytes read from the master].
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool lineModel = data[0] & 1;
    const bool faults = data[0] & 2;
    LineSettings settings{lineModel, std::uint32_t(data[0] >> 2), {}};
    if (faults)
        settings.rates = FaultRates{0.2, 0.2, 0.2, 0.2, 30};
    Controller controller;
    SlaveLine line(controller, settings);
    std::size_t written = 0;
    const WriteBytes write = [&](std::span<const std::uint8_t> bytes) {
        check(!bytes.empty());
        written += bytes.size();
        return long(bytes.size());
    };

    // The same bytes through a framer and a slave of their own, to look at what
    // they hand on.
    RtuFramer framer(lineModel ? RtuFramer::Mode::LineModel : RtuFramer::Mode::ByLength);
    Controller bare;
    RtuSlave slave(bare);
    std::size_t answered = 0;

    double now = 0;
    auto service = [&] {
        line.service(now, write);
        const double next = line.nextMs(now);
        check(next < 0 || next > now);
        while (auto frame = framer.next(now)) {
            check(frame->size() >= 4 && frame->size() <= RtuFramer::MaxBuffered && hasValidCrc(*frame));
            const Bytes reply = slave.handle(*frame);
            if (reply.empty())
                continue;
            check(reply.size() <= 256 && hasValidCrc(reply) && reply[0] == slave.address());
            check(reply[1] == (*frame)[1] || reply[1] == ((*frame)[1] | 0x80));
            answered += reply.size();
        }
        check(framer.takeNoise().size() <= RtuFramer::MaxBuffered);
    };

    for (std::size_t i = 1; i + 2 <= size;) {
        const std::size_t length = std::min<std::size_t>(data[i], size - i - 2);
        now += data[i + 1] == 255 ? 10000 : data[i + 1] / 10.0;
        service();
        const std::span<const std::uint8_t> chunk(data + i + 2, length);
        line.receive(chunk, now);
        framer.feed(chunk, now);
        service();
        i += 2 + length;
    }
    // Let the line fall silent and every reply go out.
    now += 100;
    service();
    for (double next; (next = line.nextMs(now)) >= 0;) {
        now = next;
        service();
    }
    // Faults aside, both slaves answered the same requests with replies of the
    // same sizes: the controller's time only moves the axes.
    if (!faults)
        check(written == answered);
    return 0;
}
