// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controller.h"

#include "ModbusRtu.h"

#include <cmath>

namespace trelmo::sim {

Controller::Controller()
{
    setDefaults();
    syncStatus();
}

void Controller::setDefaults()
{
    // A 5 mm lead screw at 1600 pulses per revolution: 3.125 um per pulse.
    const std::int32_t travelMm[AxisCount] = {300, 300, 100};
    for (int axis = 0; axis < AxisCount; ++axis) {
        setScaled(axisParam(axis, reg::Lead), 5000);
        setScaled(axisParam(axis, reg::Microstep), 1600);
        setScaled(axisParam(axis, reg::Travel), travelMm[axis] * 1000);
        at(axisParam(axis, reg::OriginDirection)) = 0;
        setScaled(axisParam(axis, reg::HomingSpeed), 5000);
        setScaled(axisParam(axis, reg::BackOff), 2000);
        setScaled(static_cast<std::uint16_t>(reg::Acceleration + 2 * axis), 100000);
    }
    updatePulseEquivalents();
    setScaled(reg::ManualSpeed, 10000);
    setScaled(reg::RunDistance, 1000);
    at(reg::AutoRun) = 0;
    at(reg::LineCount) = 0;

    // The machine is switched on away from its origins, so homing has work to do.
    m_pos = {25000.0, 40000.0, 10000.0};

    setScaled(reg::EndPoint + 0, 100000);
    setScaled(reg::EndPoint + 2, 50000);
    setScaled(reg::EndPoint + 4, 20000);
    setScaled(reg::MiddlePoint + 0, 60000);
    setScaled(reg::MiddlePoint + 2, 80000);
    setScaled(reg::MiddlePoint + 4, 30000);
    at(reg::ArcDirection) = 0;
}

// ---- register storage -------------------------------------------------------

std::uint16_t &Controller::at(std::uint16_t address)
{
    if (address < reg::ProgramCount)
        return m_program[address];
    return m_settings[address - reg::AxisParams];
}

std::uint16_t Controller::at(std::uint16_t address) const
{
    if (address < reg::ProgramCount)
        return m_program[address];
    return m_settings[address - reg::AxisParams];
}

// The register map: program memory, the axis parameters, and one contiguous area
// from the accelerations to the interpolation settings. Registers of that area
// that carry nothing read as 0.
bool Controller::readable(std::uint16_t address)
{
    return address < reg::ProgramCount || (address >= reg::AxisParams && address <= reg::AxisParamsLast) ||
           (address >= reg::Acceleration && address <= reg::InterpolationLast);
}

bool Controller::writable(std::uint16_t address)
{
    if (address < reg::ProgramCount)
        return true;
    if (address >= reg::AxisParams && address <= reg::AxisParamsLast) {
        // The pulse equivalent follows from lead and microstepping.
        const int offset = (address - reg::AxisParams) % reg::AxisParamStride;
        return offset != reg::PulseEquivalent && offset != reg::PulseEquivalent + 1;
    }
    if (address >= reg::Acceleration && address < reg::Acceleration + 6)
        return true;
    if (address >= reg::ManualSpeed && address <= reg::AutoRun)
        return true;
    if (address == reg::LineCount)
        return true;
    return address >= reg::EndPoint && address <= reg::InterpolationLast;
}

bool Controller::valueAllowed(std::uint16_t address, std::uint16_t value)
{
    if (address == reg::LineCount)
        return value >= 1 && value <= reg::MaxLines;
    if (address == reg::ArcDirection)
        return value <= 1;
    if (address >= reg::AxisParams && address <= reg::AxisParamsLast &&
        (address - reg::AxisParams) % reg::AxisParamStride == reg::OriginDirection)
        return value <= 1;
    return true;
}

bool Controller::nonVolatile(std::uint16_t address)
{
    return writable(address);
}

void Controller::setScaled(std::uint16_t lowAddress, std::int32_t value)
{
    at(lowAddress) = lowWord(value);
    at(static_cast<std::uint16_t>(lowAddress + 1)) = highWord(value);
}

std::uint16_t Controller::registerValue(std::uint16_t address) const
{
    return readable(address) ? at(address) : 0;
}

std::int32_t Controller::scaledValue(std::uint16_t lowAddress) const
{
    return joinWords(registerValue(lowAddress), registerValue(static_cast<std::uint16_t>(lowAddress + 1)));
}

Access Controller::readRegisters(std::uint16_t start, std::uint16_t count, std::vector<std::uint16_t> &out) const
{
    out.clear();
    for (std::uint32_t a = start; a < std::uint32_t(start) + count; ++a) {
        if (a > 0xFFFF || !readable(static_cast<std::uint16_t>(a)))
            return Access::BadAddress;
    }
    for (std::uint32_t a = start; a < std::uint32_t(start) + count; ++a)
        out.push_back(at(static_cast<std::uint16_t>(a)));
    return Access::Ok;
}

Access Controller::writeRegisters(std::uint16_t start, std::span<const std::uint16_t> values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t a = start + i;
        if (a > 0xFFFF || !writable(static_cast<std::uint16_t>(a)))
            return Access::BadAddress;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!valueAllowed(static_cast<std::uint16_t>(start + i), values[i]))
            return Access::BadValue;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t a = start + i;
        at(static_cast<std::uint16_t>(a)) = values[i] ^ (int(a) == m_faulty ? 1 : 0);
    }
    if (start <= reg::AxisParamsLast && start + values.size() > reg::AxisParams)
        updatePulseEquivalents();
    return Access::Ok;
}

void Controller::updatePulseEquivalents()
{
    for (int axis = 0; axis < AxisCount; ++axis) {
        const double lead = scaledValue(axisParam(axis, reg::Lead));  // um
        const double micro = scaledValue(axisParam(axis, reg::Microstep));
        // mm per pulse x 1000000 = lead in um x 1000 / pulses per revolution
        const std::int32_t pe = micro > 0 ? clampToInt32(lead * 1000.0 / micro) : 0;
        setScaled(axisParam(axis, reg::PulseEquivalent), pe);
    }
}

void Controller::setInput(int number, bool active)
{
    if (number >= 1 && number <= 4)
        at(static_cast<std::uint16_t>(reg::Inputs + number - 1)) = active ? 1 : 0;
}

void Controller::notice(const std::string &text) const
{
    if (m_notice)
        m_notice(text);
}

// ---- coils ------------------------------------------------------------------

void Controller::save()
{
    std::string error;
    if (m_stateFile.empty())
        notice("save requested, but no state file is set");
    else if (saveState(m_stateFile, &error))
        notice("saved to " + m_stateFile);
    else
        notice("save failed: " + error);
}

namespace {
// The coils that start something when switched ON (OFF does nothing): homing an axis, the six
// interpolation moves (the plane's two axes, arc or line).
struct Start {
    std::uint16_t coil;
    int axisA, axisB;  // axisB < 0: homing of axisA
    bool arc;
};
constexpr Start Starts[] = {
    {coil::HomeX, 0, -1, false},   {coil::HomeY, 1, -1, false},   {coil::HomeZ, 2, -1, false},
    {coil::LinearXY, 0, 1, false}, {coil::LinearXZ, 0, 2, false}, {coil::LinearYZ, 1, 2, false},
    {coil::ArcXY, 0, 1, true},     {coil::ArcXZ, 0, 2, true},     {coil::ArcYZ, 1, 2, true},
};
}  // namespace

Access Controller::writeCoil(std::uint16_t c, bool on)
{
    for (const Start &s : Starts) {
        if (s.coil != c)
            continue;
        if (on && s.axisB < 0)
            home(s.axisA);
        else if (on)
            startPath(s.axisA, s.axisB, s.arc);
        syncStatus();
        return Access::Ok;
    }
    switch (c) {
    case coil::JogXMinus: jog(0, -1, on); break;
    case coil::JogXPlus: jog(0, +1, on); break;
    case coil::JogYMinus: jog(1, -1, on); break;
    case coil::JogYPlus: jog(1, +1, on); break;
    case coil::JogZMinus: jog(2, -1, on); break;
    case coil::JogZPlus: jog(2, +1, on); break;
    case coil::EmergencyStop:
        if (on)
            stopAll();
        break;
    case coil::Output1:
    case coil::Output1 + 1:
    case coil::Output1 + 2:
    case coil::Output1 + 3: at(static_cast<std::uint16_t>(reg::Outputs + (c - coil::Output1))) = on ? 1 : 0; break;
    case coil::StepSwitch:
        if (on)
            at(reg::StepMode) = at(reg::StepMode) & 0xFF ? 0 : 1;
        break;
    case coil::Save:
        if (on)
            save();
        break;
    default: return Access::BadAddress;
    }
    syncStatus();
    return Access::Ok;
}

// Positions and origin switches as the status block shows them. An origin switch
// is made while its axis stands at 0.
void Controller::syncStatus()
{
    for (int axis = 0; axis < AxisCount; ++axis) {
        const std::int32_t p = clampToInt32(m_pos[axis]);
        setScaled(static_cast<std::uint16_t>(reg::Position + 2 * axis), p);
        at(static_cast<std::uint16_t>(reg::OriginSwitches + axis)) = p == 0 ? 1 : 0;
    }
}

std::int32_t Controller::clampToInt32(double v)
{
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (!(v < 2147483647.0))
        return INT32_MAX;
    return static_cast<std::int32_t>(std::nearbyint(v));
}

}  // namespace trelmo::sim
