// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the readings of one interpolation move say about it: the circle they lie on, how far the
// farthest of them is from it, which way they turned, or how far they strayed from the straight
// line; and how fast the machine went between them. Plain geometry on Qt Core: it judges nothing,
// it reports what the controller reported.
#include <QPointF>
#include <QtGlobal>
#include <limits>
#include <optional>
#include <span>

namespace plot {

// The planes of the controller's interpolation moves. A plane is drawn with its first axis to the
// right and its second one up; "counter-clockwise" is the turn from the first axis to the second.
enum class Plane { XY, XZ, YZ };
enum class MoveKind { Linear, Circular };
// As the controller's arc direction register holds it: 0 clockwise ("顺"), 1 counter-clockwise
// ("逆").
enum class Turn { Clockwise = 0, CounterClockwise = 1 };

// A position of the three axes, in mm.
struct Position {
    double x = 0, y = 0, z = 0;
};

// One status reply accepted: when it arrived (ms on one steady clock), where the axes were, the
// path speed since the reading before (mm/s; NaN for the first reading, or when no time passed)
// and the set speed in force when it came (NaN while none is known).
inline constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();
struct Reading {
    qint64 ms = 0;
    Position at;
    double speed = Unknown;
    double setSpeed = Unknown;
};

// An interpolation move as the screen sent it. `start` is where the axes were when it went out;
// the middle point is used by circular moves only.
struct Move {
    MoveKind kind = MoveKind::Linear;
    Plane plane = Plane::XY;
    Position start, middle, end;
    Turn turn = Turn::Clockwise;
    double setSpeed = Unknown;  // mm/s
};

struct Circle {
    QPointF centre;
    double radius = 0;
};

// The figures of a move that has ended. The readings are those from the last one at the start
// position to the first one at the position where the move came to rest.
struct MoveCheck {
    Move move;
    int readings = 0;
    // A circular move: the circle fitted to the readings in the move's plane (none when they lie
    // on a straight line), the largest distance of a reading from it, the direction they turned,
    // and the circle through start, middle and end when those are three distinct points not on
    // one line.
    std::optional<Circle> fitted;
    double largestFromCircle = 0;
    std::optional<Turn> swept;
    std::optional<Circle> throughPoints;
    // A linear move: the largest distance of a reading from the straight line from start to end.
    double largestFromLine = 0;
    // The mean path speed over the intervals wholly inside the move: between the readings that
    // are neither at the start nor at the rest position (none when there are fewer than two).
    std::optional<double> meanSpeed;
};

// Two positions closer than this on every axis are the same: the controller counts thousandths.
inline constexpr double SamePosition = 0.0005;
bool Same(const Position &a, const Position &b);

// A position in a plane's two coordinates, and their names.
QPointF InPlane(const Position &p, Plane plane);
char FirstAxis(Plane plane);
char SecondAxis(Plane plane);

// The least-squares circle through the points: the one that makes the sum of the squared
// distances of the points from it smallest. None for fewer than three points or points on a line.
std::optional<Circle> FitCircle(std::span<const QPointF> points);
// The circle through three points; none when two of them are the same or all lie on one line.
std::optional<Circle> CircleThrough(QPointF a, QPointF b, QPointF c);
// The angle the points turn through around `centre`, step by step, in radians: positive
// counter-clockwise.
double SweptAngle(std::span<const QPointF> points, QPointF centre);
// The distance of `p` from the segment from `a` to `b` (from `a` when they are the same).
double DistanceFromSegment(const Position &p, const Position &a, const Position &b);

// The figures of `move` from its readings, oldest first (see MoveCheck).
MoveCheck Check(const Move &move, std::span<const Reading> readings);

}  // namespace plot
