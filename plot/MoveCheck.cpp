// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/MoveCheck.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace plot {

namespace {
using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

// Solves m * x = v by Gaussian elimination with partial pivoting; none when m is singular.
std::optional<Vector3> Solve(Matrix3 m, Vector3 v)
{
    double scale = 0;
    for (const Vector3 &row : m)
        for (double e : row)
            scale = std::max(scale, std::abs(e));
    if (scale == 0)
        return std::nullopt;
    for (int c = 0; c < 3; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        if (std::abs(m[pivot][c]) <= 1e-13 * scale)
            return std::nullopt;
        std::swap(m[c], m[pivot]);
        std::swap(v[c], v[pivot]);
        for (int r = c + 1; r < 3; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < 3; ++k)
                m[r][k] -= f * m[c][k];
            v[r] -= f * v[c];
        }
    }
    Vector3 x{};
    for (int c = 2; c >= 0; --c) {
        double s = v[c];
        for (int k = c + 1; k < 3; ++k)
            s -= m[c][k] * x[k];
        x[c] = s / m[c][c];
    }
    return x;
}

double Cross(QPointF a, QPointF b)
{
    return a.x() * b.y() - a.y() * b.x();
}

double Length(QPointF a)
{
    return std::hypot(a.x(), a.y());
}

// The circle whose equation x² + y² + D x + E y + F = 0 the points fit best (Kåsa): a start for
// the geometric fit, exact when the points lie exactly on a circle. Worked about the points' mean,
// so that coordinates far from the origin lose no digits.
std::optional<Circle> AlgebraicCircle(std::span<const QPointF> points, QPointF mean)
{
    double suu = 0, suv = 0, svv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
    for (QPointF p : points) {
        const double u = p.x() - mean.x(), v = p.y() - mean.y();
        suu += u * u, suv += u * v, svv += v * v;
        suuu += u * u * u, svvv += v * v * v, suvv += u * v * v, svuu += v * u * u;
    }
    // On one line the points' spread has no second direction.
    const double det = suu * svv - suv * suv;
    if (!(det > 1e-12 * (suu + svv) * (suu + svv)))
        return std::nullopt;
    const double uc = ((suuu + suvv) * svv - (svvv + svuu) * suv) / (2 * det);
    const double vc = ((svvv + svuu) * suu - (suuu + suvv) * suv) / (2 * det);
    const double n = double(points.size());
    return Circle{mean + QPointF(uc, vc), std::sqrt(uc * uc + vc * vc + (suu + svv) / n)};
}
}  // namespace

bool Same(const Position &a, const Position &b)
{
    return std::abs(a.x - b.x) < SamePosition && std::abs(a.y - b.y) < SamePosition &&
           std::abs(a.z - b.z) < SamePosition;
}

QPointF InPlane(const Position &p, Plane plane)
{
    switch (plane) {
    case Plane::XY: return {p.x, p.y};
    case Plane::XZ: return {p.x, p.z};
    case Plane::YZ: return {p.y, p.z};
    }
    return {};
}

char FirstAxis(Plane plane)
{
    return plane == Plane::YZ ? 'Y' : 'X';
}

char SecondAxis(Plane plane)
{
    return plane == Plane::XY ? 'Y' : 'Z';
}

std::optional<Circle> FitCircle(std::span<const QPointF> points)
{
    if (points.size() < 3)
        return std::nullopt;
    QPointF mean;
    for (QPointF p : points)
        mean += p;
    mean /= double(points.size());
    std::optional<Circle> circle = AlgebraicCircle(points, mean);
    if (!circle)
        return std::nullopt;
    // Gauss-Newton on the distances themselves, from the algebraic circle: that one favours
    // small circles when the readings cover a short arc.
    double a = circle->centre.x() - mean.x(), b = circle->centre.y() - mean.y(), r = circle->radius;
    for (int iteration = 0; iteration < 50; ++iteration) {
        Matrix3 jtj{};
        Vector3 jte{};
        for (QPointF p : points) {
            const double dx = p.x() - mean.x() - a, dy = p.y() - mean.y() - b, d = std::hypot(dx, dy);
            if (d == 0)
                continue;
            const Vector3 j{-dx / d, -dy / d, -1.0};
            const double e = d - r;
            for (int i = 0; i < 3; ++i) {
                jte[i] -= j[i] * e;
                for (int k = 0; k < 3; ++k)
                    jtj[i][k] += j[i] * j[k];
            }
        }
        const std::optional<Vector3> step = Solve(jtj, jte);
        if (!step || !std::isfinite((*step)[0] + (*step)[1] + (*step)[2]))
            break;
        a += (*step)[0], b += (*step)[1], r += (*step)[2];
        if (std::abs((*step)[0]) + std::abs((*step)[1]) + std::abs((*step)[2]) <= 1e-12 * (1 + std::abs(r)))
            break;
    }
    if (std::isfinite(a + b + r) && r > 0)
        circle = Circle{mean + QPointF(a, b), r};
    return circle;
}

std::optional<Circle> CircleThrough(QPointF a, QPointF b, QPointF c)
{
    const QPointF ab = b - a, ac = c - a, bc = c - b;
    const double lab = Length(ab), lac = Length(ac), lbc = Length(bc);
    if (lab < SamePosition || lac < SamePosition || lbc < SamePosition)
        return std::nullopt;
    const double d = 2 * Cross(ab, ac);
    if (std::abs(d) <= 1e-9 * lab * lac)
        return std::nullopt;
    const double ab2 = QPointF::dotProduct(ab, ab), ac2 = QPointF::dotProduct(ac, ac);
    const QPointF centre(a.x() + (ac.y() * ab2 - ab.y() * ac2) / d, a.y() + (ab.x() * ac2 - ac.x() * ab2) / d);
    return Circle{centre, Length(centre - a)};
}

double SweptAngle(std::span<const QPointF> points, QPointF centre)
{
    double angle = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF u = points[i - 1] - centre, v = points[i] - centre;
        angle += std::atan2(Cross(u, v), QPointF::dotProduct(u, v));
    }
    return angle;
}

double DistanceFromSegment(const Position &p, const Position &a, const Position &b)
{
    const Vector3 ab{b.x - a.x, b.y - a.y, b.z - a.z}, ap{p.x - a.x, p.y - a.y, p.z - a.z};
    const double length2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
    double t = length2 > 0 ? (ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::sqrt(std::pow(ap[0] - t * ab[0], 2) + std::pow(ap[1] - t * ab[1], 2) + std::pow(ap[2] - t * ab[2], 2));
}

MoveCheck Check(const Move &move, std::span<const Reading> readings)
{
    MoveCheck check;
    check.move = move;
    check.readings = int(readings.size());
    if (move.kind == MoveKind::Circular) {
        std::vector<QPointF> points;
        points.reserve(readings.size());
        for (const Reading &r : readings)
            points.push_back(InPlane(r.at, move.plane));
        check.fitted = FitCircle(points);
        if (check.fitted) {
            for (QPointF p : points)
                check.largestFromCircle =
                    std::max(check.largestFromCircle, std::abs(Length(p - check.fitted->centre) - check.fitted->radius));
            const double swept = SweptAngle(points, check.fitted->centre);
            if (swept != 0)
                check.swept = swept > 0 ? Turn::CounterClockwise : Turn::Clockwise;
        }
        check.throughPoints = CircleThrough(InPlane(move.start, move.plane), InPlane(move.middle, move.plane),
                                            InPlane(move.end, move.plane));
    } else {
        for (const Reading &r : readings)
            check.largestFromLine = std::max(check.largestFromLine, DistanceFromSegment(r.at, move.start, move.end));
    }
    // The first interval holds the move's start and the last one its arrival somewhere inside
    // them: only those between are wholly inside the move.
    if (readings.size() >= 4) {
        double path = 0;
        for (std::size_t i = 2; i + 1 < readings.size(); ++i) {
            const Position &a = readings[i - 1].at, &b = readings[i].at;
            path += std::sqrt(std::pow(b.x - a.x, 2) + std::pow(b.y - a.y, 2) + std::pow(b.z - a.z, 2));
        }
        const qint64 ms = readings[readings.size() - 2].ms - readings[1].ms;
        if (ms > 0)
            check.meanSpeed = path * 1000.0 / double(ms);
    }
    return check;
}

}  // namespace plot
