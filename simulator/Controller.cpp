#include "Controller.h"

#include "ModbusRtu.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

namespace trelmo::sim {

namespace {

constexpr double Pi = std::numbers::pi;
// Positions closer than this (in thousandths of a millimetre) are the same point.
constexpr double SamePoint = 0.5;
// Three arc points whose turning angle has a sine below this are treated as a line.
constexpr double CollinearSine = 1e-6;
// Speed used for homing when neither the manual nor the homing speed is positive.
constexpr double FallbackHomingSpeed = 10.0;  // thousandths of mm per ms = 10 mm/s

std::int32_t clampToInt32(double v)
{
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (!(v < 2147483647.0))
        return INT32_MAX;
    return static_cast<std::int32_t>(std::nearbyint(v));
}

// Angle in (0, 2pi].
double positiveTurn(double angle)
{
    double a = std::fmod(angle, 2 * Pi);
    if (a <= 0)
        a += 2 * Pi;
    return a;
}

}  // namespace

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
    for (std::size_t i = 0; i < values.size(); ++i)
        at(static_cast<std::uint16_t>(start + i)) = values[i];
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

Access Controller::writeCoil(std::uint16_t c, bool on)
{
    switch (c) {
    case coil::JogXMinus: jog(0, -1, on); break;
    case coil::JogXPlus: jog(0, +1, on); break;
    case coil::JogYMinus: jog(1, -1, on); break;
    case coil::JogYPlus: jog(1, +1, on); break;
    case coil::JogZMinus: jog(2, -1, on); break;
    case coil::JogZPlus: jog(2, +1, on); break;
    case coil::HomeX:
        if (on)
            home(0);
        break;
    case coil::HomeY:
        if (on)
            home(1);
        break;
    case coil::HomeZ:
        if (on)
            home(2);
        break;
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
    case coil::LinearXY:
        if (on)
            startPath(0, 1, false);
        break;
    case coil::LinearXZ:
        if (on)
            startPath(0, 2, false);
        break;
    case coil::LinearYZ:
        if (on)
            startPath(1, 2, false);
        break;
    case coil::ArcXY:
        if (on)
            startPath(0, 1, true);
        break;
    case coil::ArcXZ:
        if (on)
            startPath(0, 2, true);
        break;
    case coil::ArcYZ:
        if (on)
            startPath(1, 2, true);
        break;
    case coil::Save:
        if (on) {
            std::string error;
            if (m_stateFile.empty())
                notice("save requested, but no state file is set");
            else if (saveState(m_stateFile, &error))
                notice("saved to " + m_stateFile);
            else
                notice("save failed: " + error);
        }
        break;
    default: return Access::BadAddress;
    }
    syncStatus();
    return Access::Ok;
}

// ---- motion -----------------------------------------------------------------

double Controller::travel(int axis) const
{
    return std::max(0, scaledValue(axisParam(axis, reg::Travel)));
}

// Speeds are held in thousandths of mm per second, which is thousandths of a
// position count per millisecond.
double Controller::manualSpeed() const
{
    return std::max(0, scaledValue(reg::ManualSpeed)) / 1000.0;
}

double Controller::homingSpeed(int axis) const
{
    if (manualSpeed() > 0)
        return manualSpeed();
    const double secondary = std::max(0, scaledValue(axisParam(axis, reg::HomingSpeed))) / 1000.0;
    return secondary > 0 ? secondary : FallbackHomingSpeed;
}

bool Controller::isMoving() const
{
    if (m_path.active)
        return true;
    return std::any_of(m_axes.begin(), m_axes.end(), [](const AxisState &s) { return s.motion != Motion::Idle; });
}

// Jogging keeps an axis inside 0..travel. An axis that stands outside (after the
// travel was shortened, say) may still be jogged back in.
void Controller::jog(int axis, int direction, bool on)
{
    AxisState &s = m_axes[axis];
    const bool onPath = m_path.active && (m_path.a == axis || m_path.b == axis);
    if (!on) {
        if (s.motion == Motion::Jog && s.direction == direction)
            s = AxisState{};
        return;
    }
    if (onPath || s.motion == Motion::Target)
        return;  // busy with a step, homing or interpolation move
    if (at(reg::StepMode) & 0xFF) {
        // One press, one step of the run distance; releasing does not cut it short.
        const double distance = scaledValue(reg::RunDistance);
        if (distance <= 0)
            return;
        double target = m_pos[axis] + direction * distance;
        target = direction > 0 ? std::min(target, std::max(travel(axis), m_pos[axis]))
                               : std::max(target, std::min(0.0, m_pos[axis]));
        if (target != m_pos[axis])
            s = AxisState{Motion::Target, direction, target, false};
        return;
    }
    s = AxisState{Motion::Jog, direction, 0, false};
}

// Homing drives the axis to its origin at 0, where the origin switch sits.
void Controller::home(int axis)
{
    if (m_path.active && (m_path.a == axis || m_path.b == axis))
        return;
    if (m_pos[axis] == 0) {
        m_axes[axis] = AxisState{};  // already on the switch
        return;
    }
    m_axes[axis] = AxisState{Motion::Target, m_pos[axis] > 0 ? -1 : +1, 0.0, true};
}

void Controller::stopAll()
{
    for (auto &s : m_axes)
        s = AxisState{};
    m_path = Path{};
}

// Starts an interpolated move in the plane of axes a and b from the current
// position to the end point, at the interpolation speed. A circular move runs
// on the circle through start, middle point and end point, clockwise or
// counter-clockwise as register 8622 says, seen with the plane's first axis to
// the right and its second axis up. When the three points lie on a line the move
// is made as a straight line; when start and end coincide it is a full circle
// whose diameter runs from the start to the middle point.
void Controller::startPath(int a, int b, bool arc)
{
    if (isMoving()) {
        notice("interpolation refused: the machine is moving");
        return;
    }
    const double speed = manualSpeed();
    if (speed <= 0) {
        notice("interpolation refused: the interpolation speed is not positive");
        return;
    }
    const double endA = scaledValue(static_cast<std::uint16_t>(reg::EndPoint + 2 * a));
    const double endB = scaledValue(static_cast<std::uint16_t>(reg::EndPoint + 2 * b));
    if (endA < 0 || endA > travel(a) || endB < 0 || endB > travel(b)) {
        notice("interpolation refused: the end point lies outside the travel");
        return;
    }
    Path p;
    p.a = a;
    p.b = b;
    p.startA = m_pos[a];
    p.startB = m_pos[b];
    p.endA = endA;
    p.endB = endB;
    const double chord = std::hypot(endA - p.startA, endB - p.startB);

    if (arc) {
        const double midA = scaledValue(static_cast<std::uint16_t>(reg::MiddlePoint + 2 * a));
        const double midB = scaledValue(static_cast<std::uint16_t>(reg::MiddlePoint + 2 * b));
        const double sm = std::hypot(midA - p.startA, midB - p.startB);
        const double em = std::hypot(midA - endA, midB - endB);
        const bool ccw = at(reg::ArcDirection) != 0;
        if (chord < SamePoint && sm >= SamePoint) {
            p.arc = true;
            p.centreA = (p.startA + midA) / 2;
            p.centreB = (p.startB + midB) / 2;
            p.radius = sm / 2;
            p.startAngle = std::atan2(p.startB - p.centreB, p.startA - p.centreA);
            p.sweep = ccw ? 2 * Pi : -2 * Pi;
        } else if (sm >= SamePoint && em >= SamePoint && chord >= SamePoint) {
            // Circle through three points, with the start as origin to keep the
            // numbers small.
            const double ux = midA - p.startA, uy = midB - p.startB;
            const double vx = endA - p.startA, vy = endB - p.startB;
            const double cross = ux * vy - uy * vx;
            if (std::abs(cross) > CollinearSine * sm * chord) {
                const double u2 = ux * ux + uy * uy, v2 = vx * vx + vy * vy;
                const double cx = (vy * u2 - uy * v2) / (2 * cross);
                const double cy = (ux * v2 - vx * u2) / (2 * cross);
                p.arc = true;
                p.centreA = p.startA + cx;
                p.centreB = p.startB + cy;
                p.radius = std::hypot(cx, cy);
                p.startAngle = std::atan2(-cy, -cx);
                const double endAngle = std::atan2(endB - p.centreB, endA - p.centreA);
                p.sweep = ccw ? positiveTurn(endAngle - p.startAngle) : -positiveTurn(p.startAngle - endAngle);
            }
        }
    }

    const double length = p.arc ? p.radius * std::abs(p.sweep) : chord;
    if (!std::isfinite(length) || length < SamePoint) {
        m_pos[a] = endA;
        m_pos[b] = endB;
        return;
    }
    p.duration = length / speed;
    p.active = true;
    m_path = p;
}

void Controller::advance(double ms)
{
    if (!(ms > 0))
        return;
    for (int axis = 0; axis < AxisCount; ++axis)
        advanceAxis(axis, ms);
    advancePath(ms);
    syncStatus();
}

void Controller::advanceAxis(int axis, double ms)
{
    AxisState &s = m_axes[axis];
    double &p = m_pos[axis];
    switch (s.motion) {
    case Motion::Idle: return;
    case Motion::Jog: {
        const double step = manualSpeed() * ms;
        if (s.direction > 0) {
            const double limit = travel(axis);
            if (p >= limit) {
                s = AxisState{};
                return;
            }
            p = std::min(p + step, limit);
            if (p >= limit)
                s = AxisState{};
        } else {
            if (p <= 0) {
                s = AxisState{};
                return;
            }
            p = std::max(p - step, 0.0);
            if (p <= 0)
                s = AxisState{};
        }
        return;
    }
    case Motion::Target: {
        const double step = (s.homing ? homingSpeed(axis) : manualSpeed()) * ms;
        const double remaining = s.target - p;
        if (std::abs(remaining) <= step) {
            p = s.target;
            s = AxisState{};
        } else {
            p += remaining > 0 ? step : -step;
        }
        return;
    }
    }
}

void Controller::advancePath(double ms)
{
    if (!m_path.active)
        return;
    m_path.elapsed += ms;
    if (m_path.elapsed >= m_path.duration) {
        m_pos[m_path.a] = m_path.endA;
        m_pos[m_path.b] = m_path.endB;
        m_path = Path{};
        return;
    }
    const double f = m_path.elapsed / m_path.duration;
    if (m_path.arc) {
        const double angle = m_path.startAngle + m_path.sweep * f;
        m_pos[m_path.a] = m_path.centreA + m_path.radius * std::cos(angle);
        m_pos[m_path.b] = m_path.centreB + m_path.radius * std::sin(angle);
    } else {
        m_pos[m_path.a] = m_path.startA + (m_path.endA - m_path.startA) * f;
        m_pos[m_path.b] = m_path.startB + (m_path.endB - m_path.startB) * f;
    }
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

// ---- non-volatile memory ----------------------------------------------------

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
