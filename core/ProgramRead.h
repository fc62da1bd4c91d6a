// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the handshake and the read button share about the program and its transfers: the
// blocks of a program, the first block of an upload, and the rule that nothing changes the
// program while it is on its way.

struct ToolState;
class ModbusLink;
class Notices;

namespace ProgramRead {
int blockCountFor(int lines);
// Returns false when the send failed (the port has then been closed and the tag cleared).
bool requestFirstBlock(ToolState &state, ModbusLink &link, int lines);

// A program transfer runs, or the main window waits for a reply: the program stays as it is.
bool programLocked(const ToolState &state);
// When the program is locked, tells so and returns true.
bool refuseWhileLocked(const ToolState &state, Notices &notices);
}  // namespace ProgramRead
