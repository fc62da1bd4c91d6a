// The controller model: motion from the coils, the register map's rules, and the
// non-volatile memory.

#include "sim_test_util.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace trelmo::sim;
using namespace simtest;

namespace {

constexpr Access Ok = Access::Ok;

double pos(const Controller &c, int axis)
{
    return c.scaledValue(static_cast<std::uint16_t>(reg::Position + 2 * axis)) / 1000.0;
}

bool originSwitch(const Controller &c, int axis)
{
    return c.registerValue(static_cast<std::uint16_t>(reg::OriginSwitches + axis)) == 1;
}

// Lets time pass in 100 ms steps until the machine stands, up to a limit.
int runUntilStill(Controller &c, int maxSteps = 10000)
{
    int steps = 0;
    while (c.isMoving() && steps < maxSteps) {
        c.advance(100);
        ++steps;
    }
    return steps;
}

void moveXYTo(Controller &c, double x, double y)
{
    QCOMPARE(writeScaled(c, reg::EndPoint, x), Ok);
    QCOMPARE(writeScaled(c, reg::EndPoint + 2, y), Ok);
    QCOMPARE(c.writeCoil(coil::LinearXY, true), Ok);
    runUntilStill(c);
    QCOMPARE(pos(c, 0), x);
    QCOMPARE(pos(c, 1), y);
}

}  // namespace

class SimModelTest : public QObject {
    Q_OBJECT

private slots:
    void jogMovesWhileCoilIsOn_data();
    void jogMovesWhileCoilIsOn();
    void jogStopsAtTravelLimits();
    void jogReleaseOfOtherDirectionDoesNotStop();
    void homingLightsOriginSwitch_data();
    void homingLightsOriginSwitch();
    void outputsFollowCoils();
    void stepModeMovesByRunDistance();
    void linearMoveEndsAtEndPoint_data();
    void linearMoveEndsAtEndPoint();
    void circularMoveFollowsCircle_data();
    void circularMoveFollowsCircle();
    void degenerateArcs();
    void interpolationRefusals();
    void emergencyStopHaltsMotion_data();
    void emergencyStopHaltsMotion();
    void registerMapRules();
    void pulseEquivalentFollowsLeadAndMicrostep();
    void saveAndReloadState();
    void stateFileWithDamagedLines();
    void programImageLoad();
};

void SimModelTest::jogMovesWhileCoilIsOn_data()
{
    QTest::addColumn<int>("jogCoil");
    QTest::addColumn<int>("axis");
    QTest::addColumn<double>("delta");
    // Default manual speed 10 mm/s, so 500 ms move 5 mm.
    QTest::newRow("X+") << int(coil::JogXPlus) << 0 << 5.0;
    QTest::newRow("X-") << int(coil::JogXMinus) << 0 << -5.0;
    QTest::newRow("Y+") << int(coil::JogYPlus) << 1 << 5.0;
    QTest::newRow("Y-") << int(coil::JogYMinus) << 1 << -5.0;
    QTest::newRow("Z+") << int(coil::JogZPlus) << 2 << 5.0;
    QTest::newRow("Z-") << int(coil::JogZMinus) << 2 << -5.0;
}

void SimModelTest::jogMovesWhileCoilIsOn()
{
    QFETCH(int, jogCoil);
    QFETCH(int, axis);
    QFETCH(double, delta);
    Controller c;
    const double start = pos(c, axis);
    const double others[2] = {pos(c, (axis + 1) % 3), pos(c, (axis + 2) % 3)};

    QCOMPARE(c.writeCoil(std::uint16_t(jogCoil), true), Ok);
    c.advance(200);
    c.advance(300);
    QCOMPARE(pos(c, axis), start + delta);
    QVERIFY(c.isMoving());

    QCOMPARE(c.writeCoil(std::uint16_t(jogCoil), false), Ok);
    QVERIFY(!c.isMoving());
    c.advance(1000);
    QCOMPARE(pos(c, axis), start + delta);
    QCOMPARE(pos(c, (axis + 1) % 3), others[0]);
    QCOMPARE(pos(c, (axis + 2) % 3), others[1]);

    // A faster manual speed takes effect during the next jog.
    QCOMPARE(writeScaled(c, reg::ManualSpeed, 20), Ok);
    QCOMPARE(c.writeCoil(std::uint16_t(jogCoil), true), Ok);
    c.advance(250);
    QCOMPARE(pos(c, axis), start + 2 * delta);
}

void SimModelTest::jogStopsAtTravelLimits()
{
    Controller c;
    QCOMPARE(writeScaled(c, reg::ManualSpeed, 100), Ok);
    QCOMPARE(c.writeCoil(coil::JogZPlus, true), Ok);  // Z travel is 100 mm
    c.advance(60000);
    QCOMPARE(pos(c, 2), 100.0);
    QVERIFY(!c.isMoving());

    QCOMPARE(c.writeCoil(coil::JogZMinus, true), Ok);
    c.advance(500);
    QCOMPARE(pos(c, 2), 50.0);
    QVERIFY(!originSwitch(c, 2));
    c.advance(60000);
    QCOMPARE(pos(c, 2), 0.0);
    QVERIFY(originSwitch(c, 2));  // the switch sits at the origin
    QVERIFY(!c.isMoving());

    // Shortening the travel leaves the axis outside; it cannot go further out
    // but can come back in.
    QCOMPARE(c.writeCoil(coil::JogXPlus, true), Ok);
    c.advance(100000);
    QCOMPARE(pos(c, 0), 300.0);
    QCOMPARE(writeScaled(c, reg::AxisParams + reg::Travel, 200), Ok);
    QCOMPARE(c.writeCoil(coil::JogXPlus, true), Ok);
    c.advance(1000);
    QCOMPARE(pos(c, 0), 300.0);
    QCOMPARE(c.writeCoil(coil::JogXMinus, true), Ok);
    c.advance(100);
    QCOMPARE(pos(c, 0), 290.0);
}

void SimModelTest::jogReleaseOfOtherDirectionDoesNotStop()
{
    // Releases can reach the controller late: an OFF for X- must not stop a jog in X+.
    Controller c;
    QCOMPARE(c.writeCoil(coil::JogXPlus, true), Ok);
    QCOMPARE(c.writeCoil(coil::JogXMinus, false), Ok);
    c.advance(100);
    QCOMPARE(pos(c, 0), 26.0);
    QCOMPARE(c.writeCoil(coil::JogXPlus, false), Ok);
    c.advance(100);
    QCOMPARE(pos(c, 0), 26.0);
}

void SimModelTest::homingLightsOriginSwitch_data()
{
    QTest::addColumn<int>("homeCoil");
    QTest::addColumn<int>("jogPlusCoil");
    QTest::addColumn<int>("axis");
    QTest::newRow("X") << int(coil::HomeX) << int(coil::JogXPlus) << 0;
    QTest::newRow("Y") << int(coil::HomeY) << int(coil::JogYPlus) << 1;
    QTest::newRow("Z") << int(coil::HomeZ) << int(coil::JogZPlus) << 2;
}

void SimModelTest::homingLightsOriginSwitch()
{
    QFETCH(int, homeCoil);
    QFETCH(int, jogPlusCoil);
    QFETCH(int, axis);
    Controller c;
    const double start = pos(c, axis);
    QVERIFY(start > 1);
    QVERIFY(!originSwitch(c, axis));

    QCOMPARE(c.writeCoil(std::uint16_t(homeCoil), true), Ok);
    QCOMPARE(c.writeCoil(std::uint16_t(homeCoil), false), Ok);  // release does not stop homing
    c.advance(100);
    QCOMPARE(pos(c, axis), start - 1.0);
    QVERIFY(!originSwitch(c, axis));
    runUntilStill(c);
    QCOMPARE(pos(c, axis), 0.0);
    QVERIFY(originSwitch(c, axis));
    for (int other = 0; other < 3; ++other) {
        if (other != axis)
            QVERIFY(!originSwitch(c, other));
    }

    // Leaving the origin puts the switch out again.
    QCOMPARE(c.writeCoil(std::uint16_t(jogPlusCoil), true), Ok);
    c.advance(50);
    QCOMPARE(c.writeCoil(std::uint16_t(jogPlusCoil), false), Ok);
    QCOMPARE(pos(c, axis), 0.5);
    QVERIFY(!originSwitch(c, axis));
}

void SimModelTest::outputsFollowCoils()
{
    Controller c;
    for (int n = 0; n < 4; ++n)
        QCOMPARE(c.registerValue(std::uint16_t(reg::Outputs + n)), 0);
    QCOMPARE(c.writeCoil(coil::Output1 + 1, true), Ok);  // OUT2
    QCOMPARE(c.writeCoil(coil::Output1 + 3, true), Ok);  // OUT4
    QCOMPARE(c.registerValue(reg::Outputs + 0), 0);
    QCOMPARE(c.registerValue(reg::Outputs + 1), 1);
    QCOMPARE(c.registerValue(reg::Outputs + 2), 0);
    QCOMPARE(c.registerValue(reg::Outputs + 3), 1);
    QCOMPARE(c.writeCoil(coil::Output1 + 1, false), Ok);
    QCOMPARE(c.writeCoil(coil::Output1 + 1, false), Ok);
    QCOMPARE(c.registerValue(reg::Outputs + 1), 0);
    QCOMPARE(c.registerValue(reg::Outputs + 3), 1);

    // Inputs are the machine's, set from outside, and not writable over the link.
    c.setInput(3, true);
    QCOMPARE(c.registerValue(reg::Inputs + 2), 1);
    QCOMPARE(writeRegister(c, reg::Inputs + 2, 0), Access::BadAddress);
    QCOMPARE(writeRegister(c, reg::Outputs, 1), Access::BadAddress);
}

void SimModelTest::stepModeMovesByRunDistance()
{
    Controller c;
    QCOMPARE(writeScaled(c, reg::RunDistance, 2.5), Ok);
    QCOMPARE(c.writeCoil(coil::StepSwitch, true), Ok);
    QCOMPARE(c.registerValue(reg::StepMode), 1);
    QCOMPARE(c.writeCoil(coil::StepSwitch, false), Ok);  // only ON switches
    QCOMPARE(c.registerValue(reg::StepMode), 1);

    const double y = pos(c, 1);
    QCOMPARE(c.writeCoil(coil::JogYPlus, true), Ok);
    QCOMPARE(c.writeCoil(coil::JogYPlus, false), Ok);  // a short press still makes the whole step
    c.advance(100);
    QCOMPARE(pos(c, 1), y + 1.0);
    c.advance(10000);
    QCOMPARE(pos(c, 1), y + 2.5);
    QVERIFY(!c.isMoving());

    QCOMPARE(c.writeCoil(coil::JogYMinus, true), Ok);  // held down: still one step
    c.advance(10000);
    QCOMPARE(pos(c, 1), y);

    QCOMPARE(c.writeCoil(coil::StepSwitch, true), Ok);
    QCOMPARE(c.registerValue(reg::StepMode), 0);
    QCOMPARE(c.writeCoil(coil::JogYMinus, true), Ok);  // continuous again
    c.advance(1000);
    QCOMPARE(pos(c, 1), y - 10.0);
}

void SimModelTest::linearMoveEndsAtEndPoint_data()
{
    QTest::addColumn<int>("moveCoil");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::newRow("XY") << int(coil::LinearXY) << 0 << 1;
    QTest::newRow("XZ") << int(coil::LinearXZ) << 0 << 2;
    QTest::newRow("YZ") << int(coil::LinearYZ) << 1 << 2;
}

void SimModelTest::linearMoveEndsAtEndPoint()
{
    QFETCH(int, moveCoil);
    QFETCH(int, a);
    QFETCH(int, b);
    Controller c;
    const int third = 3 - a - b;
    const double end[3] = {61.234, 72.5, 43.001};
    for (int axis = 0; axis < 3; ++axis)
        QCOMPARE(writeScaled(c, std::uint16_t(reg::EndPoint + 2 * axis), end[axis]), Ok);
    const double startA = pos(c, a), startB = pos(c, b), startThird = pos(c, third);

    QCOMPARE(c.writeCoil(std::uint16_t(moveCoil), true), Ok);
    c.advance(1000);
    // On the straight line, 10 mm along it.
    const double da = pos(c, a) - startA, db = pos(c, b) - startB;
    QVERIFY2(std::abs(std::hypot(da, db) - 10.0) < 0.002, qPrintable(QString::number(std::hypot(da, db))));
    QVERIFY(std::abs(da * (end[b] - startB) - db * (end[a] - startA)) < 0.1);
    QVERIFY(c.isMoving());

    runUntilStill(c);
    QCOMPARE(pos(c, a), end[a]);
    QCOMPARE(pos(c, b), end[b]);
    QCOMPARE(pos(c, third), startThird);
}

void SimModelTest::circularMoveFollowsCircle_data()
{
    QTest::addColumn<int>("moveCoil");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("direction");
    QTest::addColumn<double>("halfwayB");  // b coordinate at half time; the circle's centre is (60, 50)
    // Start (50, 50), middle (60, 60), end (70, 50). Clockwise runs over the top,
    // through the middle point; counter-clockwise under it.
    QTest::newRow("XY clockwise") << int(coil::ArcXY) << 0 << 1 << 0 << 60.0;
    QTest::newRow("XY counter-clockwise") << int(coil::ArcXY) << 0 << 1 << 1 << 40.0;
    QTest::newRow("XZ clockwise") << int(coil::ArcXZ) << 0 << 2 << 0 << 60.0;
    QTest::newRow("YZ counter-clockwise") << int(coil::ArcYZ) << 1 << 2 << 1 << 40.0;
}

void SimModelTest::circularMoveFollowsCircle()
{
    QFETCH(int, moveCoil);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, direction);
    QFETCH(double, halfwayB);
    Controller c;
    const int third = 3 - a - b;
    // Get to the start point (50, 50) in the plane.
    const std::uint16_t lineCoil = a == 0 ? (b == 1 ? coil::LinearXY : coil::LinearXZ) : coil::LinearYZ;
    QCOMPARE(writeScaled(c, std::uint16_t(reg::EndPoint + 2 * a), 50), Ok);
    QCOMPARE(writeScaled(c, std::uint16_t(reg::EndPoint + 2 * b), 50), Ok);
    QCOMPARE(c.writeCoil(lineCoil, true), Ok);
    runUntilStill(c);
    QCOMPARE(pos(c, a), 50.0);
    QCOMPARE(pos(c, b), 50.0);
    const double thirdPos = pos(c, third);

    QCOMPARE(writeScaled(c, std::uint16_t(reg::EndPoint + 2 * a), 70), Ok);
    QCOMPARE(writeScaled(c, std::uint16_t(reg::EndPoint + 2 * b), 50), Ok);
    QCOMPARE(writeScaled(c, std::uint16_t(reg::MiddlePoint + 2 * a), 60), Ok);
    QCOMPARE(writeScaled(c, std::uint16_t(reg::MiddlePoint + 2 * b), 60), Ok);
    QCOMPARE(writeRegister(c, reg::ArcDirection, std::uint16_t(direction)), Ok);
    QCOMPARE(c.writeCoil(std::uint16_t(moveCoil), true), Ok);

    // Half a circle of radius 10 at 10 mm/s: pi seconds.
    const double halfTime = std::numbers::pi * 1000.0;
    double elapsed = 0;
    while (elapsed + 100 < halfTime / 2) {
        c.advance(100);
        elapsed += 100;
        const double r = std::hypot(pos(c, a) - 60.0, pos(c, b) - 50.0);
        QVERIFY2(std::abs(r - 10.0) < 0.002, qPrintable(QString("off the circle: r = %1").arg(r)));
        QVERIFY(direction == 0 ? pos(c, b) > 50.0 : pos(c, b) < 50.0);
    }
    c.advance(halfTime / 2 - elapsed);
    QVERIFY(std::abs(pos(c, a) - 60.0) < 0.002);
    QVERIFY(std::abs(pos(c, b) - halfwayB) < 0.002);
    QVERIFY(c.isMoving());
    c.advance(halfTime / 2 - 1);
    QVERIFY(c.isMoving());
    c.advance(2);
    QVERIFY(!c.isMoving());
    QCOMPARE(pos(c, a), 70.0);
    QCOMPARE(pos(c, b), 50.0);
    QCOMPARE(pos(c, third), thirdPos);
}

void SimModelTest::degenerateArcs()
{
    // Collinear points: the move is made as a straight line.
    {
        Controller c;
        moveXYTo(c, 10, 10);
        QCOMPARE(writeScaled(c, reg::MiddlePoint, 20), Ok);
        QCOMPARE(writeScaled(c, reg::MiddlePoint + 2, 20), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint, 40), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint + 2, 40), Ok);
        QCOMPARE(c.writeCoil(coil::ArcXY, true), Ok);
        for (int i = 0; i < 30; ++i) {
            c.advance(100);
            QVERIFY(std::isfinite(c.positionMm(0)) && std::isfinite(c.positionMm(1)));
            QCOMPARE(pos(c, 0), pos(c, 1));
        }
        runUntilStill(c);
        QCOMPARE(pos(c, 0), 40.0);
        QCOMPARE(pos(c, 1), 40.0);
    }
    // Middle point on the start point: straight line too.
    {
        Controller c;
        moveXYTo(c, 10, 10);
        QCOMPARE(writeScaled(c, reg::MiddlePoint, 10), Ok);
        QCOMPARE(writeScaled(c, reg::MiddlePoint + 2, 10), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint, 10), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint + 2, 30), Ok);
        QCOMPARE(c.writeCoil(coil::ArcXY, true), Ok);
        c.advance(1000);
        QCOMPARE(pos(c, 0), 10.0);
        QCOMPARE(pos(c, 1), 20.0);
        runUntilStill(c);
        QCOMPARE(pos(c, 1), 30.0);
    }
    // End point on the start point: a full circle whose diameter runs to the middle point.
    {
        Controller c;
        moveXYTo(c, 10, 10);
        QCOMPARE(writeScaled(c, reg::MiddlePoint, 30), Ok);
        QCOMPARE(writeScaled(c, reg::MiddlePoint + 2, 10), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint, 10), Ok);
        QCOMPARE(writeScaled(c, reg::EndPoint + 2, 10), Ok);
        QCOMPARE(c.writeCoil(coil::ArcXY, true), Ok);
        const double halfTime = std::numbers::pi * 1000.0;  // r 10 at 10 mm/s
        c.advance(halfTime);
        QVERIFY(std::abs(pos(c, 0) - 30.0) < 0.002);
        QVERIFY(std::abs(pos(c, 1) - 10.0) < 0.002);
        runUntilStill(c);
        QCOMPARE(pos(c, 0), 10.0);
        QCOMPARE(pos(c, 1), 10.0);
    }
    // All three points the same: nothing to do.
    {
        Controller c;
        moveXYTo(c, 10, 10);
        QCOMPARE(writeScaled(c, reg::MiddlePoint, 10), Ok);
        QCOMPARE(writeScaled(c, reg::MiddlePoint + 2, 10), Ok);
        QCOMPARE(c.writeCoil(coil::ArcXY, true), Ok);
        QVERIFY(!c.isMoving());
        QCOMPARE(pos(c, 0), 10.0);
    }
}

void SimModelTest::interpolationRefusals()
{
    Controller c;
    std::vector<std::string> notices;
    c.setNoticeSink([&](const std::string &n) { notices.push_back(n); });
    const double x = pos(c, 0), y = pos(c, 1);

    QCOMPARE(writeScaled(c, reg::EndPoint, 300.001), Ok);  // X travel is 300 mm
    QCOMPARE(c.writeCoil(coil::LinearXY, true), Ok);
    QVERIFY(!c.isMoving());
    QCOMPARE(notices.size(), 1u);

    QCOMPARE(writeScaled(c, reg::EndPoint, 200), Ok);
    QCOMPARE(writeScaled(c, reg::ManualSpeed, 0), Ok);
    QCOMPARE(c.writeCoil(coil::LinearXY, true), Ok);
    QVERIFY(!c.isMoving());
    QCOMPARE(notices.size(), 2u);

    // A second move while one runs is refused; the first carries on.
    QCOMPARE(writeScaled(c, reg::ManualSpeed, 10), Ok);
    QCOMPARE(c.writeCoil(coil::LinearXY, true), Ok);
    c.advance(100);
    QCOMPARE(c.writeCoil(coil::LinearYZ, true), Ok);
    QCOMPARE(notices.size(), 3u);
    // Jogs and homing of the moving axes wait too.
    QCOMPARE(c.writeCoil(coil::HomeX, true), Ok);
    QCOMPARE(c.writeCoil(coil::JogYPlus, true), Ok);
    runUntilStill(c);
    QCOMPARE(pos(c, 0), 200.0);
    QCOMPARE(pos(c, 1), 50.0);
    QVERIFY(x != 200.0 && y != 50.0);
}

void SimModelTest::emergencyStopHaltsMotion_data()
{
    QTest::addColumn<QList<int>>("startCoils");
    QTest::newRow("jog") << QList<int>{coil::JogXPlus, coil::JogZMinus};
    QTest::newRow("homing") << QList<int>{coil::HomeX, coil::HomeY, coil::HomeZ};
    QTest::newRow("linear move") << QList<int>{coil::LinearXY};
    QTest::newRow("circular move") << QList<int>{coil::ArcXZ};
}

void SimModelTest::emergencyStopHaltsMotion()
{
    QFETCH(QList<int>, startCoils);
    Controller c;
    for (int k : startCoils)
        QCOMPARE(c.writeCoil(std::uint16_t(k), true), Ok);
    c.advance(300);
    QVERIFY(c.isMoving());
    QCOMPARE(c.writeCoil(coil::EmergencyStop, true), Ok);
    QVERIFY(!c.isMoving());
    const double stopped[3] = {pos(c, 0), pos(c, 1), pos(c, 2)};
    c.advance(5000);
    for (int axis = 0; axis < 3; ++axis)
        QCOMPARE(pos(c, axis), stopped[axis]);
    // A jog coil still ON does not restart anything; a new press does.
    if (startCoils.first() == coil::JogXPlus) {
        QCOMPARE(c.writeCoil(coil::JogXPlus, true), Ok);
        c.advance(100);
        QCOMPARE(pos(c, 0), stopped[0] + 1.0);
    }
}

void SimModelTest::registerMapRules()
{
    Controller c;
    std::vector<std::uint16_t> out;
    // Readable blocks, and the gaps around them.
    QCOMPARE(c.readRegisters(0, 125, out), Ok);
    QCOMPARE(c.readRegisters(5880, 120, out), Ok);
    QCOMPARE(c.readRegisters(5990, 11, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(6000, 1, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(8191, 1, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(8192, 39, out), Ok);
    QCOMPARE(c.readRegisters(8192, 40, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(8548, 1, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(8549, 6, out), Ok);
    QCOMPARE(c.readRegisters(8559, 51, out), Ok);
    QCOMPARE(out.size(), 51u);
    QCOMPARE(c.readRegisters(8610, 13, out), Ok);
    QCOMPARE(c.readRegisters(8610, 14, out), Access::BadAddress);
    QCOMPARE(c.readRegisters(65535, 1, out), Access::BadAddress);

    // What the controller computes or measures is not writable.
    QCOMPARE(writeScaled(c, reg::Position, 1), Access::BadAddress);
    QCOMPARE(writeScaled(c, reg::AxisParams + reg::PulseEquivalent, 1), Access::BadAddress);
    QCOMPARE(writeRegister(c, reg::StepMode, 1), Access::BadAddress);
    QCOMPARE(writeRegister(c, reg::OriginSwitches, 1), Access::BadAddress);

    // Values with a defined range.
    QCOMPARE(writeRegister(c, reg::LineCount, 0), Access::BadValue);
    QCOMPARE(writeRegister(c, reg::LineCount, 501), Access::BadValue);
    QCOMPARE(writeRegister(c, reg::LineCount, 500), Ok);
    QCOMPARE(writeRegister(c, reg::ArcDirection, 2), Access::BadValue);
    QCOMPARE(writeRegister(c, reg::AxisParams + reg::AxisParamStride + reg::OriginDirection, 2), Access::BadValue);
    QCOMPARE(writeRegister(c, reg::AxisParams + reg::AxisParamStride + reg::OriginDirection, 1), Ok);

    // A request is all or nothing.
    const std::uint16_t interp[13] = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7};
    QCOMPARE(c.writeRegisters(reg::EndPoint, interp), Access::BadValue);  // direction 7
    QCOMPARE(c.scaledValue(reg::EndPoint), 100000);
    const std::uint16_t program[3] = {1, 2, 3};
    QCOMPARE(c.writeRegisters(5998, program), Access::BadAddress);
    QCOMPARE(c.registerValue(5998), 0);
}

void SimModelTest::pulseEquivalentFollowsLeadAndMicrostep()
{
    Controller c;
    const std::uint16_t yBase = reg::AxisParams + reg::AxisParamStride;
    // 5 mm lead, 1600 pulses per revolution: 0.003125 mm per pulse.
    QCOMPARE(c.scaledValue(reg::AxisParams + reg::PulseEquivalent), 3125);
    QCOMPARE(writeScaled(c, yBase + reg::Lead, 4), Ok);
    const std::uint16_t micro[2] = {3200, 0};
    QCOMPARE(c.writeRegisters(yBase + reg::Microstep, micro), Ok);
    QCOMPARE(c.scaledValue(yBase + reg::PulseEquivalent), 1250);
    QCOMPARE(c.scaledValue(reg::AxisParams + reg::PulseEquivalent), 3125);
    const std::uint16_t zero[2] = {0, 0};
    QCOMPARE(c.writeRegisters(yBase + reg::Microstep, zero), Ok);
    QCOMPARE(c.scaledValue(yBase + reg::PulseEquivalent), 0);
}

void SimModelTest::saveAndReloadState()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = dir.filePath("controller.state").toStdString();

    Controller c;
    c.setStateFile(path);
    const std::uint16_t line[12] = {5, 4, 0x86A0, 1, 0xFC18, 0xFFFF, 0, 0, 0, 0, 0, 0};
    QCOMPARE(c.writeRegisters(12 * 41, line), Ok);
    QCOMPARE(writeRegister(c, reg::LineCount, 42), Ok);
    QCOMPARE(writeRegister(c, reg::AutoRun, 1), Ok);
    QCOMPARE(writeScaled(c, reg::AxisParams + 2 * reg::AxisParamStride + reg::Lead, 4), Ok);
    QCOMPARE(writeScaled(c, reg::Acceleration + 2, 250.5), Ok);
    QCOMPARE(writeScaled(c, reg::ManualSpeed, 12.5), Ok);
    QCOMPARE(writeScaled(c, reg::RunDistance, 250), Ok);
    QCOMPARE(writeScaled(c, reg::MiddlePoint + 4, -1.5), Ok);
    QCOMPARE(writeRegister(c, reg::ArcDirection, 1), Ok);
    // Volatile state: not part of the saved memory.
    QCOMPARE(c.writeCoil(coil::Output1, true), Ok);
    QCOMPARE(c.writeCoil(coil::StepSwitch, true), Ok);
    QCOMPARE(c.writeCoil(coil::JogXPlus, true), Ok);
    c.advance(1000);

    QCOMPARE(c.writeCoil(coil::Save, true), Ok);
    QVERIFY(QFile::exists(QString::fromStdString(path)));

    Controller reloaded;
    std::string error;
    int skipped = -1;
    QVERIFY2(reloaded.loadState(path, &error, &skipped), error.c_str());
    QCOMPARE(skipped, 0);
    std::vector<std::uint16_t> a, b;
    for (auto [start, count] : {std::pair{0, 6000}, {8192, 39}, {8549, 6}, {8569, 5}, {8604, 1}, {8610, 13}}) {
        for (int from = start; from < start + count; from += 120) {
            const auto n = std::uint16_t(std::min(120, start + count - from));
            QCOMPARE(c.readRegisters(std::uint16_t(from), n, a), Ok);
            QCOMPARE(reloaded.readRegisters(std::uint16_t(from), n, b), Ok);
            QVERIFY2(a == b, qPrintable(QString("registers from %1 differ").arg(from)));
        }
    }
    QCOMPARE(reloaded.scaledValue(reg::AxisParams + 2 * reg::AxisParamStride), 1250 * 2);  // 4 mm / 1600
    QCOMPARE(reloaded.registerValue(reg::Outputs), 0);
    QCOMPARE(reloaded.registerValue(reg::StepMode), 0);
    QCOMPARE(Controller().scaledValue(reg::Position), reloaded.scaledValue(reg::Position));

    // Without a state file the save changes nothing on disk and says so.
    Controller noFile;
    std::vector<std::string> notices;
    noFile.setNoticeSink([&](const std::string &n) { notices.push_back(n); });
    QCOMPARE(noFile.writeCoil(coil::Save, true), Ok);
    QCOMPARE(notices.size(), 1u);

    // A state file that cannot be written is reported, not fatal.
    Controller badPath;
    badPath.setStateFile(dir.filePath("missing/dir/state").toStdString());
    badPath.setNoticeSink([&](const std::string &n) { notices.push_back(n); });
    QCOMPARE(badPath.writeCoil(coil::Save, true), Ok);
    QCOMPARE(notices.size(), 2u);
    QVERIFY(notices.back().find("failed") != std::string::npos);
}

void SimModelTest::stateFileWithDamagedLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("damaged.state");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# comment\n"
            "8573 1\n"
            "8604 0\n"    // line count out of range
            "8559 100\n"  // a position is not memory
            "8300 5\n"    // outside the map
            "12 70000\n"  // value too large
            "13 -1\n"
            "14 abc\n"
            "15 3 4\n"
            "\n"
            "16 9\n"
            "99999999999999999999 1\n");
    f.close();

    Controller c;
    std::string error;
    int skipped = 0;
    QVERIFY(c.loadState(path.toStdString(), &error, &skipped));
    QCOMPARE(skipped, 8);
    QCOMPARE(c.registerValue(reg::AutoRun), 1);
    QCOMPARE(c.registerValue(16), 9);
    QCOMPARE(c.registerValue(12), 0);
    QCOMPARE(c.scaledValue(reg::Position), 25000);

    QVERIFY(!c.loadState(dir.filePath("absent").toStdString(), &error));
    QVERIFY(!error.empty());
}

void SimModelTest::programImageLoad()
{
    // A project file image: count word, then 24-byte records, each word high byte first.
    std::vector<std::uint8_t> image(12025, 0);
    image[0] = 0x01;
    image[1] = 0x2C;  // 300 lines
    const std::uint8_t record[24] = {0, 5, 0, 4, 0x86, 0xA0, 0x00, 0x01, 0xFC, 0x18, 0xFF, 0xFF};
    std::copy(std::begin(record), std::end(record), image.begin() + 2 + 24 * 299);
    image[12001] = 0x77;  // the last byte of line 500
    image[12002] = 0x55;  // padding: not memory

    Controller c;
    std::string error;
    QVERIFY2(c.loadProgramImage(image, &error), error.c_str());
    QCOMPARE(c.registerValue(reg::LineCount), 300);
    QCOMPARE(c.registerValue(12 * 299 + 0), 5);
    QCOMPARE(c.registerValue(12 * 299 + 1), 4);
    QCOMPARE(c.scaledValue(12 * 299 + 2), 100000);
    QCOMPARE(c.scaledValue(12 * 299 + 4), -1000);
    QCOMPARE(c.registerValue(5999), 0x0077);
    QCOMPARE(c.registerValue(0), 0);

    // A shorter file loads what it holds.
    std::vector<std::uint8_t> shortImage(image.begin(), image.begin() + 2 + 24 * 10);
    shortImage[0] = 0;
    shortImage[1] = 10;
    shortImage[2 + 24 * 9 + 1] = 6;
    QVERIFY(c.loadProgramImage(shortImage, &error));
    QCOMPARE(c.registerValue(reg::LineCount), 10);
    QCOMPARE(c.registerValue(12 * 9), 6);
    QCOMPARE(c.registerValue(12 * 299), 0);

    std::vector<std::uint8_t> tooLong(12026, 0);
    QVERIFY(!c.loadProgramImage(tooLong, &error));
    image[0] = 0x01;
    image[1] = 0xF5;  // 501 lines
    QVERIFY(!c.loadProgramImage(image, &error));
    QVERIFY(!c.loadProgramImage(std::vector<std::uint8_t>(1, 0), &error));
    QCOMPARE(c.registerValue(reg::LineCount), 10);  // refused images change nothing

    // The sample program is a plausible program: known categories, a command in each line.
    c.loadSampleProgram();
    const int lines = c.registerValue(reg::LineCount);
    QVERIFY(lines >= 5 && lines <= 500);
    for (int n = 0; n < lines; ++n) {
        QVERIFY(c.registerValue(std::uint16_t(12 * n)) >= 1 && c.registerValue(std::uint16_t(12 * n)) <= 6);
        QVERIFY(c.registerValue(std::uint16_t(12 * n + 1)) >= 1);
    }
}

QTEST_GUILESS_MAIN(SimModelTest)
#include "tst_sim_model.moc"
