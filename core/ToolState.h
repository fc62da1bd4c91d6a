// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state shared by the link, the editor, the transfers and the screens for the whole run.
// One instance, owned by the application object and handed out by reference.
#include <array>
#include <cstdint>

#include "link/LinkState.h"
#include "protocol/Program.h"

struct ToolState : LinkState {
    std::int16_t BlockIndex = 0;  // 1-based block being transferred
    std::int16_t BlockCount = 0;
    std::int16_t BlocksDone = 0;  // blocks of the transfer stored or acknowledged
    std::int16_t GridRefreshRequest = 0;
    // The line count the controller reported last, until whoever asked for it takes it.
    int ReportedLineCount = -1;

    // A program on its way to or from the controller: nothing may change the program meanwhile.
    enum class Transfer { None, Download, Upload };
    Transfer Transferring = Transfer::None;
    // The main window waits for a reply (a probe of the handshake, the read button's line
    // count): a click that would change the program or the connection waits its turn.
    bool MainWaiting = false;

    // Which sub-screen is loaded (at most one).
    std::int16_t ManualScreenActive = 0;
    std::int16_t ParamScreenActive = 0;
    std::int16_t InterpScreenActive = 0;

    // Data bytes of the last read reply of each screen.
    std::array<std::uint8_t, 102> ManualReplyBytes{};
    std::array<std::uint8_t, 78> ParamReplyBytes{};
    std::array<std::uint8_t, 78> InterpReplyBytes{};

    // The program: line count (big-endian) then 24-byte records; and the records alone as
    // the source of the grid's texts.
    ProgramBytes ProgramImage{};
    ProgramBytes DisplayImage{};
    // The controller's program as a verify reads it, laid out as the program image.
    ProgramBytes VerifyImage{};
};
