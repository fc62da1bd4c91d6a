#pragma once
// The start of a program upload, shared by the handshake and the read button: the grid gets
// one row per stored line, and the first block (ten lines, or all of a shorter program) is
// asked for.

struct LinkState;
class MainView;
class ModbusLink;
class Prompter;

namespace ProgramRead {
int blockCountFor(int lines);
// Returns false when the send failed (the port has then been closed and the tag cleared).
bool requestFirstBlock(LinkState &state, ModbusLink &link, MainView &view, int lines);
// The controller reported more lines than the tool can hold: say so.
void reportRejectedCount(const LinkState &state, Prompter &prompter);
}  // namespace ProgramRead
