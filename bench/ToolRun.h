// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The tool's main window on `device`, driven by lines on standard input (ToolRun.cpp).
int RunTool(const QString &device);
// A bare Qt program woken as often as the tool with its manual screen open, and with `table` a
// Qt table fed the same rows as the traffic monitor (FloorRun.cpp).
int RunFloor(const QString &device, bool table);
