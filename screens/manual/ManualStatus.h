// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the status block 8559 .. 8609 says, as the manual screen shows it. The reply's 102
// data bytes hold register 8559 + r in bytes 2r (high) and 2r + 1 (low).
#include <QString>
#include <array>
#include <cstdint>

using StatusBytes = std::array<std::uint8_t, 102>;

struct ManualStatus {
    // Coordinates, manual speed and run distance as display texts.
    std::array<QString, 5> values;
    bool autoRun = false;           // 8573
    bool stepMode = false;          // 8609
    std::array<bool, 4> inputs{};   // IN1 .. IN4
    std::array<bool, 3> origins{};  // ORG1 .. ORG3
    std::array<bool, 4> outputs{};  // OUT1 .. OUT4
};

// One-register items count as on when their low byte is exactly 1, whatever the high byte.
ManualStatus DecodeManualStatus(const StatusBytes &bytes);
