// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's motion: jogging, steps, homing and interpolated moves, and
// the passing of time that carries them out.
#include "Controller.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trelmo::sim {

namespace {

constexpr double Pi = std::numbers::pi;
// Positions closer than this (in thousandths of a millimetre) are the same point.
constexpr double SamePoint = 0.5;
// Three arc points whose turning angle has a sine below this are treated as a line.
constexpr double CollinearSine = 1e-6;
// Speed used for homing when neither the manual nor the homing speed is positive.
constexpr double FallbackHomingSpeed = 10.0;  // thousandths of mm per ms = 10 mm/s

// Angle in (0, 2pi].
double positiveTurn(double angle)
{
    double a = std::fmod(angle, 2 * Pi);
    if (a <= 0)
        a += 2 * Pi;
    return a;
}

}  // namespace

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

}  // namespace trelmo::sim
