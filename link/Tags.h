#pragma once
// The request tags: what RequestTag says was asked last, or which step is due next. The
// numbers are the controller tool's own and appear in the diagnostic boxes, so they never
// change. Tags marked "step" never stand for a request on the wire.
#include <cstdint>

namespace tag {
enum Tag : std::int16_t {
    Idle = 0,
    // Main window: handshake, transfers, run control.
    LineCount = 1,       // read 8604
    ReadBlock = 2,       // read one program block
    ReadBlockDue = 3,    // step: Timer1 asks for the next block
    WriteBlock = 4,      // write one program block
    WriteBlockDue = 5,   // step: Timer1 writes the next block
    WriteLineCount = 7,  // write 8604 before a download
    BlocksDue = 8,       // step: Timer1 starts the blocks
    SaveData = 10,       // coil 34
    WriteRunMode = 11,   // write 8573
    ReadRunMode = 12,    // read 8573
    Stop = 13,           // coil 16
    // Manual screen.
    ManualRead = 20,
    ManualReceived = 21,  // step
    ManualReadDue = 22,   // step
    ManualRunMode = 23,   // write 8573
    ManualStep = 24,      // coil 29
    ManualCoil = 25,      // jog, homing, stop, outputs
    ManualWrite = 26,     // speed or distance
    // Parameter screen.
    ParamsRead = 50,
    ParamsReceived = 51,  // step
    AccelDue = 52,        // step
    AccelRead = 53,
    AccelReceived = 54,  // step
    ParamsDue = 55,      // step
    ParamsWrite = 56,
    ParamsSave = 60,
    // Interpolation screen.
    InterpReadA = 150,
    InterpAReceived = 151,  // step
    InterpAShown = 152,     // step
    InterpReadB = 153,
    InterpBReceived = 154,  // step
    InterpBShown = 155,     // step
    InterpWrite = 156,
    InterpMove = 157,
    InterpStop = 158,
};
}  // namespace tag
