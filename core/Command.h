// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One command of a window around its one request, for the main window's run controls and the
// screens alike: RequestTag set first (a late reply to what was outstanding then finds another
// tag and is dropped), a pause of 50 ms in which events go on, then the send. Nothing goes out
// when a stop clicked meanwhile overtook it (Dropped: the stop's barrier), nor when what the
// pause began on is gone (Skipped: the screen was closed, or a disconnect closed the port), unless
// told to send after a close (a coil OFF owed to the controller).
#include <functional>

#include "core/ToolContext.h"

enum class CommandResult { Sent, Skipped, Dropped, Failed };

// `loading`: the loading of the screen that sends, when a screen sends.
CommandResult RunCommand(const ToolContext &ctx, int tag, const std::function<bool()> &send,
                         const unsigned *loading = nullptr, bool sendAfterClose = false);
