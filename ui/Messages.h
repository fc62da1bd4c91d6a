// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's words for what the core tells the user, shown as the tool's message boxes.
#include <QString>

#include "core/Notices.h"

class Prompter;
struct ToolState;

QString NoticeText(Notice notice, int value = 0);
// The message box of `notice`, at once.
void Tell(Prompter &prompter, Notice notice, int value = 0);
// When the program is locked (a transfer runs, or the window waits for a reply), says so
// ("程序传输中，请稍候！") and returns true.
bool RefuseWhileLocked(const ToolState &state, Prompter &prompter);
