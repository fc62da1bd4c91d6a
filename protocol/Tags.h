// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request tags: what RequestTag says was asked last, or which step is due next. The
// numbers are the tool's own, shown in the diagnostic boxes, so they never change. Tags of
// steps never stand for a request on the wire.
#include <cstdint>

namespace tag {
// clang-format off
enum Tag : std::int16_t {
    Idle = 0,
    // Main window. The line count (8604) and the run mode (8573) read by the handshake and the
    // read button; the upload's blocks, with the step "next block due".
    LineCount = 1, ReadRunMode = 12, ReadBlock = 2, ReadBlockDue = 3,
    // The download: the line count written, the step "blocks due", the blocks with the step
    // "next block due".
    WriteLineCount = 7, BlocksDue = 8, WriteBlock = 4, WriteBlockDue = 5,
    // Program verify: the controller's line count, its blocks, and the step "next block due".
    VerifyLineCount = 70, VerifyBlock = 71, VerifyBlockDue = 72,
    // Run control: save data (coil 34), the power-on auto-run (8573), the emergency stop.
    SaveData = 10, WriteRunMode = 11, Stop = 13,
    // Manual screen: the status read with its steps "received" and "read due"; the run mode,
    // the step switch, the coils (jog, homing, stop, outputs), the speed or distance.
    ManualRead = 20, ManualReceived = 21, ManualReadDue = 22,
    ManualRunMode = 23, ManualStep = 24, ManualCoil = 25, ManualWrite = 26,
    // Parameter screen: the parameter block and the accelerations, each read with its steps
    // "received" and "due"; an entry written; the save.
    ParamsRead = 50, ParamsReceived = 51, ParamsDue = 55, AccelRead = 53, AccelReceived = 54, AccelDue = 52,
    ParamsWrite = 56, ParamsSave = 60,
    // Interpolation screen: reads A (coordinates and speed) and B (the move settings), each
    // with its steps "received" and "shown"; a setting written, a move, the emergency stop.
    InterpReadA = 150, InterpAReceived = 151, InterpAShown = 152,
    InterpReadB = 153, InterpBReceived = 154, InterpBShown = 155,
    InterpWrite = 156, InterpMove = 157, InterpStop = 158,
};
// clang-format on
}  // namespace tag
