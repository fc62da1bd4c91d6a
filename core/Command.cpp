// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Command.h"

#include "core/WaitGuard.h"
#include "link/ModbusLink.h"
#include "link/WaitMs.h"

CommandResult RunCommand(const ToolContext &ctx, int tag, const std::function<bool()> &send, const unsigned *loading,
                         bool sendAfterClose)
{
    const ModbusLink::Setup setup = ctx.link.setUp(tag);
    {
        const WaitGuard pause(ctx.state, ctx.port, WaitGuard::Lock::None, loading);
        WaitMs(50);
        // A send into a port that a disconnect closed would only fail.
        if (!pause.holds() && (!sendAfterClose || !ctx.port.isOpen()))
            return CommandResult::Skipped;
    }
    if (!ctx.link.sendFor(setup, send))
        return CommandResult::Failed;
    return ctx.link.lastDropped() ? CommandResult::Dropped : CommandResult::Sent;
}
