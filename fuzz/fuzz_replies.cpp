// Arbitrary bytes from the line, in arbitrary states: the first bytes choose the request
// outstanding, the block counters and the loaded screen; the rest is the reply.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "link/ModbusLink.h"
#include "link/ReceiveHandler.h"
#include "ui/FlexGrid.h"
#include "screens/SubScreen.h"

namespace {
constexpr std::int16_t Tags[] = {0,  1,  2,  3,  4,  5,  7,  8,  10, 11,  12,  13,  20,  21,  22,  23,
                                 24, 25, 26, 50, 51, 53, 54, 56, 60, 150, 151, 153, 154, 156, 157, 158};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    FuzzWorld &world = FuzzWorld::instance();
    LinkState &s = world.state;
    Mainfrm &w = world.window;

    const int tag = Tags[data[0] % std::size(Tags)];
    s.BlockIndex = std::int16_t(std::int8_t(data[1]));
    s.BlockCount = std::int16_t(std::int8_t(data[2]));
    // The request the reply answers: a read of any count, or a write of any function.
    const int function = data[3] % 4;
    const int address = (data[4] << 8 | data[5]) & 0x7FFF;
    const int count = data[6] % 130;
    ModbusLink &link = w.link();
    s.PortOpenFlag = 0;  // frames are built but nothing is written
    if (function == 0)
        link.ReadRegisters(tag, address, count);
    else if (function == 1)
        link.SendCoilOn(tag, address);
    else if (function == 2)
        link.SendRegister(tag, address, count);
    else
        link.WriteProgramBlock(address, count);
    s.RequestTag = std::int16_t(tag);
    s.PortErrorFlag = 0;

    // One of the screens loaded, or none.
    const int screen = data[7] % 4;
    for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i) {
        SubScreen *sub = w.runControl().screen(RunControl::Screen(i));
        if (!sub)
            continue;
        if (i == screen)
            sub->showScreen();
        else
            sub->unloadScreen();
    }
    w.MSFlexGrid1->setRows(1 + data[1] % 120);

    // The reply arrives in two pieces, split where the input says.
    const QByteArray reply(reinterpret_cast<const char *>(data + 8), int(size - 8));
    const qsizetype cut = reply.isEmpty() ? 0 : data[2] % (reply.size() + 1);
    w.receiveHandler().receive(reply.left(cut));
    w.receiveHandler().receive(reply.mid(cut));
    // Let the screens' handlers and timers that are due run once.
    QCoreApplication::processEvents();
    return 0;
}
