// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-sim's command line: what the user asked for, read without side
// effects so that the caller decides what to print and how to end.
#pragma once

#include "FaultInjector.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace trelmo::sim {

struct SimOptions {
    std::string link;     // symbolic link to make to the device
    bool log = false;     // every frame both ways on standard error
    std::string program;  // project file to preload
    std::string state;    // the controller's non-volatile memory
    bool wireTime = false;
    std::uint32_t seed = 1;
    FaultRates rates;
    std::vector<std::pair<int, bool>> inputs;  // IN<n> = on, in the order given
    int faultyRegister = -1;                   // keeps what is written with bit 0 flipped
};

struct ParsedOptions {
    enum class Outcome { Run, Help, Bad };
    Outcome outcome = Outcome::Run;
    SimOptions options;
    std::string error;  // for Bad: what was wrong, ready to print
};

// The arguments after the program name. "--name value" and "--name=value" are
// both understood.
ParsedOptions parseOptions(std::span<const std::string> args);

// The text of --help.
const char *usageText();

// A finite decimal number, the whole text and nothing else.
bool parseNumber(const std::string &text, double &out);

// "N=V": input IN<N> (1-4) set to V (0 or 1).
bool parseInputSetting(const std::string &text, int &number, bool &active);

}  // namespace trelmo::sim
