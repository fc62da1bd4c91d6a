// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's non-volatile memory: the state file that coil 34 writes,
// program images from project files, and the sample program.
#include "Controller.h"

#include "ModbusRtu.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace trelmo::sim {

// The state file is plain text, one "address value" pair a line, both decimal.
bool Controller::saveState(const std::string &path, std::string *error) const
{
    std::ostringstream text;
    text << "# trelmo-sim controller memory: register value\n";
    for (std::uint32_t a = 0; a <= reg::InterpolationLast; ++a) {
        const auto address = static_cast<std::uint16_t>(a);
        if (!readable(address) || !nonVolatile(address))
            continue;
        if (address < reg::ProgramCount && at(address) == 0)
            continue;  // empty program memory is the default
        text << a << ' ' << at(address) << '\n';
    }
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) {
            if (error)
                *error = "cannot write " + tmp;
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error)
            *error = "cannot replace " + path;
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool Controller::loadState(const std::string &path, std::string *error, int *skipped)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    int bad = 0;
    m_program.fill(0);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        long address = -1, value = -1;
        std::string rest;
        if (!(fields >> address >> value) || (fields >> rest) || address < 0 || address > 0xFFFF || value < 0 ||
            value > 0xFFFF || !readable(static_cast<std::uint16_t>(address)) ||
            !nonVolatile(static_cast<std::uint16_t>(address)) ||
            !valueAllowed(static_cast<std::uint16_t>(address), static_cast<std::uint16_t>(value))) {
            ++bad;
            continue;
        }
        at(static_cast<std::uint16_t>(address)) = static_cast<std::uint16_t>(value);
    }
    updatePulseEquivalents();
    syncStatus();
    if (skipped)
        *skipped = bad;
    return true;
}

bool Controller::loadProgramImage(std::span<const std::uint8_t> image, std::string *error)
{
    constexpr std::size_t ImageSize = 2 + 2 * reg::ProgramCount + 23;  // 12025
    if (image.size() < 2 || image.size() > ImageSize) {
        if (error)
            *error = "a project file has 2 to 12025 bytes, this one has " + std::to_string(image.size());
        return false;
    }
    const std::uint16_t count = be16(image.data());
    if (count > reg::MaxLines) {
        if (error)
            *error = "the line count " + std::to_string(count) + " exceeds 500";
        return false;
    }
    m_program.fill(0);
    for (std::size_t r = 0; r < reg::ProgramCount; ++r) {
        const std::size_t offset = 2 + 2 * r;
        if (offset + 1 >= image.size())
            break;
        m_program[r] = be16(image.data() + offset);
    }
    at(reg::LineCount) = count;
    return true;
}

// A short program of the kind a user would write: set a speed, home, run an XY
// path with an arc, switch an output, wait, and loop back.
void Controller::loadSampleProgram()
{
    struct Line {
        std::uint16_t category, command;
        double p[5];
    };
    const Line lines[] = {
        {5, 1, {20, 0, 0, 0, 0}},        // point-to-point speed 20 mm/s
        {4, 1, {10, 0, 0, 0, 0}},        // homing speed 10 mm/s
        {4, 2, {0, 0, 0, 0, 0}},         // home
        {3, 1, {1, 1, 0, 0, 0}},         // OUT1 on
        {5, 4, {100, 50, 0, 0, 0}},      // XY absolute to (100, 50)
        {5, 8, {150, 100, 125, 75, 0}},  // XY arc through (125, 75) to (150, 100)
        {1, 5, {0.5, 0, 0, 0, 0}},       // wait 0.5 s
        {6, 3, {-12.5, 0, 0, 0, 0}},     // X absolute
        {3, 1, {1, 0, 0, 0, 0}},         // OUT1 off
        {2, 2, {1, 3, 0, 0, 0}},         // loop to line 1, three times
        {1, 1, {0, 0, 0, 0, 0}},         // stop
    };
    m_program.fill(0);
    std::uint16_t n = 0;
    for (const Line &l : lines) {
        std::uint16_t *r = m_program.data() + n * reg::RegistersPerLine;
        r[0] = l.category;
        r[1] = l.command;
        for (int k = 0; k < 5; ++k) {
            const std::int32_t v = clampToInt32(l.p[k] * 1000.0);
            r[2 + 2 * k] = lowWord(v);
            r[3 + 2 * k] = highWord(v);
        }
        ++n;
    }
    at(reg::LineCount) = n;
}

}  // namespace trelmo::sim