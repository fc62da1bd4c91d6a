#pragma once
#include <QString>

// The tool's main window on `device`, driven by lines on standard input (ToolRun.cpp).
int RunTool(const QString &device);
