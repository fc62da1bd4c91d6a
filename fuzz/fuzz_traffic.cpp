// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary traffic on the line, as the port reports it to the link's framer: frames written (any
// bytes, the emergency stop among them, sent again or not), bytes read in pieces of any size, a
// watchdog giving a request up, a stop given up, the port closing. The traffic record takes the
// framer's events and puts every row into words. Whatever comes, every byte read is on exactly one
// row, in the order it came.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/ToolCore.h"
#include "core/TrafficWords.h"

namespace {
struct World {
    ToolState state;
    ToolCore core{state, [] { return QStringList(); }};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;
    // A world of its own for each input: it leaves nothing behind for the leak check to suspect.
    World world;
    Framer &framer = world.core.link.framer();
    const Traffic &traffic = world.core.traffic;
    QByteArray read;
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::uint8_t op = data[at] % 6, length = data[at + 1] % 64;
        at += 2;
        const QByteArray bytes(reinterpret_cast<const char *>(data + at), qsizetype(std::min<std::size_t>(length, size - at)));
        at += std::size_t(bytes.size());
        switch (op) {
        case 0: framer.written(bytes.isEmpty() ? 0 : std::uint8_t(bytes[0]) + 1, bytes); break;
        case 1: framer.written(0, bytes); break;  // a frame written without an id: a stop sent again
        case 2: framer.read(bytes), read += bytes; break;
        case 3: framer.givenUp(); break;
        case 4: framer.stopGivenUp(); break;
        default: framer.closed(); break;
        }
    }
    framer.flush();
    QByteArray recorded;
    for (quint64 n = traffic.first(); n < traffic.end(); ++n) {
        (void)traffic::Line(traffic, n);
        if (traffic.row(n).direction == Traffic::Direction::Received)
            recorded += traffic.bytes(traffic.row(n));
    }
    if (recorded != read)
        std::abort();
    return 0;
}
