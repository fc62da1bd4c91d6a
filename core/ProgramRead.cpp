// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramRead.h"

#include "core/ToolState.h"
#include "link/ModbusLink.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "core/Notices.h"

#include <algorithm>

namespace ProgramRead {

int blockCountFor(int lines)
{
    return lines / program::LinesPerBlock + (lines % program::LinesPerBlock > 0 ? 1 : 0);
}

bool requestFirstBlock(ToolState &state, ModbusLink &link, int lines)
{
    if (lines < 1 || lines > program::MaxLines)
        return true;
    const int first = std::min(lines, program::LinesPerBlock);
    if (!link.ReadRegisters(tag::ReadBlock, reg::Program, reg::RegistersPerLine * first))
        return false;
    state.BlockIndex = 1;
    state.BlocksDone = 0;
    state.BlockCount = std::int16_t(blockCountFor(lines));
    return true;
}

bool programLocked(const ToolState &state)
{
    return state.Transferring != ToolState::Transfer::None || state.MainWaiting;
}

bool refuseWhileLocked(const ToolState &state, Notices &notices)
{
    if (!programLocked(state))
        return false;
    notices.tell(Notice::ProgramLocked);
    return true;
}

}  // namespace ProgramRead
