// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from the line, in arbitrary states: the first bytes choose the request
// outstanding, the block counters and the loaded screen; the rest is the reply, read by the link's
// framer as the port would hand it over, and taken by the receive handler. (The traffic record and
// its words are fuzzed on their own, with arbitrary traffic: fuzz_traffic.)
//
// The world (the application, the main window, its screens) is built once. An input changes
// only what it asks for: a screen is loaded only when another one (or none) is loaded, and
// the grid's row count is set only when it differs. A screen is loaded with a request of its
// own outstanding, so that the load neither pauses nor reads.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "link/EmergencyStop.h"
#include "link/ModbusLink.h"
#include "core/ReceiveHandler.h"
#include "protocol/Tags.h"
#include "ui/FlexGrid.h"
#include "screens/SubScreen.h"

namespace {
constexpr std::int16_t Tags[] = {0,  1,  2,  3,  4,  5,  7,  8,  10, 11,  12,  13,  20,  21,  22,  23,
                                 24, 25, 26, 50, 51, 53, 54, 56, 60, 150, 151, 153, 154, 156, 157, 158};
// The read each screen's load would send; standing as the request outstanding, it keeps the
// load from sending it.
constexpr int LoadTags[] = {tag::ManualRead, tag::ParamsRead, tag::InterpReadA};

// Loads screen `screen` (0 to 2; 3: none) unless it is the one loaded.
void loadScreen(Mainfrm &w, ToolState &s, int screen)
{
    RunControl &run = w.runControl();
    for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i) {
        SubScreen *sub = run.screen(RunControl::Screen(i));
        if (sub && i != screen && sub->isLoaded())
            sub->unloadScreen();
    }
    if (screen > RunControl::Interpolation)
        return;
    SubScreen *sub = run.screen(RunControl::Screen(screen));
    if (!sub || sub->isLoaded())
        return;
    s.RequestTag = std::int16_t(LoadTags[screen]);
    sub->showScreen();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    FuzzWorld &world = FuzzWorld::instance();
    ToolState &s = world.state;
    Mainfrm &w = world.window;
    ModbusLink &link = w.link();
    s.PortOpenFlag = 0;  // frames are built but nothing is written

    // One of the screens loaded, or none; the grid with as many rows as the input says. A
    // technician changes screens seldom against the replies that come in, and a screen shown is
    // the costliest thing an input can ask (the window shown, activated, its controls reset):
    // one input in sixteen may change them, the others take the screen and the grid as they are.
    if (data[7] < 16) {
        loadScreen(w, s, data[7] % 4);
        if (const int rows = 1 + data[1] % 120; w.MSFlexGrid1->rows() != rows)
            w.MSFlexGrid1->setRows(rows);
    }

    const int tag = Tags[data[0] % std::size(Tags)];
    s.BlockIndex = std::int16_t(std::int8_t(data[1]));
    s.BlockCount = std::int16_t(std::int8_t(data[2]));
    // The request the reply answers: a read of any count, or a write of any function. Nothing
    // an earlier input left half-received runs into its reply.
    const int function = data[3] % 4;
    const int address = (data[4] << 8 | data[5]) & 0x7FFF;
    const int count = data[6] % 130;
    link.discardInput();
    if (function == 0)
        link.ReadRegisters(tag, address, count);
    else if (function == 1)
        link.SendCoilOn(tag, address);
    else if (function == 2)
        link.SendRegister(tag, address, count);
    else if (function == 3)
        link.WriteRegisters(tag, address, std::span<const std::uint8_t>(s.ProgramImage.data() + 2, 2 * std::size_t(count)));
    // The emergency stop behind the request: the reply's bytes come before its echo.
    if (data[3] >= 128)
        w.emergencyStop().stop(tag);
    s.RequestTag = std::int16_t(tag);
    s.PortErrorFlag = 0;

    // The request as the port would have written it; the reply arrives in two pieces, split where
    // the input says.
    link.framer().written(link.current().serial, link.current().frame);
    const QByteArray reply(reinterpret_cast<const char *>(data + 8), qsizetype(size - 8));
    const qsizetype cut = reply.isEmpty() ? 0 : data[2] % (reply.size() + 1);
    w.receiveHandler().receive(reply.left(cut));
    w.receiveHandler().receive(reply.mid(cut));
    // Let the screens' handlers and timers that are due run once.
    QCoreApplication::processEvents();
    return 0;
}
