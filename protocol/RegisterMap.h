// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every coil and holding register through which the tool talks to the controller, as the
// address travels in the request (0-based, no offset).

#include "protocol/Program.h"

namespace reg {

// Coils, written with function 05 (ON = FF00, OFF = 0000).
namespace coil {
constexpr int JogXMinus = 1, JogXPlus = 2, HomeX = 3;
constexpr int JogYMinus = 4, JogYPlus = 5, HomeY = 6;
constexpr int JogZMinus = 7, JogZPlus = 8, HomeZ = 9;
constexpr int EmergencyStop = 16;
constexpr int Out1 = 17, Out2 = 18, Out3 = 19, Out4 = 20;  // OUTn = Out1 + n - 1
constexpr int StepSwitch = 29;
constexpr int LinearXY = 30, LinearXZ = 31, LinearYZ = 39;
constexpr int SaveData = 34;
constexpr int ArcXY = 36, ArcXZ = 37, ArcYZ = 38;
}  // namespace coil

// The stored program: line n in registers 12 (n - 1) .. 12 (n - 1) + 11, moved in blocks of
// ten lines (120 registers).
constexpr int Program = 0;
constexpr int RegistersPerLine = program::RecordSize / 2;
constexpr int RegistersPerBlock = program::BlockBytes / 2;

// Axis parameter block: 13 registers per axis.
constexpr int AxisParamsX = 8192, AxisParamsY = 8205, AxisParamsZ = 8218;
constexpr int AxisParamsCount = 39;
constexpr int AxisParamStride = 13;
namespace axis {                    // offsets from the axis base
constexpr int PulseEquivalent = 0;  // x 1000000, shown only
constexpr int Lead = 2;             // x 1000
constexpr int Microstep = 4;        // x 1
constexpr int Travel = 6;           // x 1000
constexpr int OriginDirection = 8;  // one plain register, 0 or 1
constexpr int HomingSpeed = 9;      // x 1000
constexpr int BackOff = 11;         // x 1000
}  // namespace axis

// Manual acceleration per axis, scaled, two registers each.
constexpr int ManualAccelX = 8549, ManualAccelY = 8551, ManualAccelZ = 8553;
constexpr int ManualAccelCount = 6;

// Status block 8559 .. 8609 (51 registers).
constexpr int Status = 8559;
constexpr int StatusCount = 51;
constexpr int PosX = 8559, PosY = 8561, PosZ = 8563;
constexpr int ManualSpeed = 8569;  // also the interpolation speed
constexpr int RunDistance = 8571;
constexpr int PowerOnRun = 8573;  // flag: 1 = run the stored program at power-on
constexpr int Input1 = 8579;      // IN1 .. IN4 at 8579 .. 8582
constexpr int Origin1 = 8587;     // ORG1 .. ORG3 at 8587 .. 8589
constexpr int Output1 = 8592;     // OUT1 .. OUT4 at 8592 .. 8595
constexpr int LineCount = 8604;
constexpr int StepMode = 8609;

// Interpolation move settings 8610 .. 8622.
constexpr int InterpSettings = 8610;
constexpr int InterpSettingsCount = 13;
constexpr int EndX = 8610, EndY = 8612, EndZ = 8614;
constexpr int MidX = 8616, MidY = 8618, MidZ = 8620;
constexpr int ArcDirection = 8622;  // 0 clockwise, 1 counter-clockwise

}  // namespace reg
