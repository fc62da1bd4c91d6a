// SPDX-License-Identifier: GPL-3.0-or-later
// The motion plot: generated moves of known geometry read five times a second, the figures
// reported for them, the bound on the readings kept, the CSV table's bytes, and the window's files
// and language.
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <numbers>

#include "RecordingPrompter.h"
#include "Rigs.h"
#include "Table.h"
#include "plot/MotionPlot.h"
#include "screens/MotionFeed.h"
#include "ui/Language.h"

using namespace plot;

namespace {
constexpr double Pi = std::numbers::pi;
constexpr qint64 Dt = 200;  // ms between readings

double thousandths(double v)
{
    return std::round(v * 1000) / 1000;
}

Position inPlane(Plane plane, double a, double b, double other)
{
    switch (plane) {
    case Plane::XY: return {a, b, other};
    case Plane::XZ: return {a, other, b};
    case Plane::YZ: return {other, a, b};
    }
    return {};
}

// A move as the controller would carry it out: the axes stand at its start for two readings and
// (unless it sets off at once) one more after the command, set off 100 ms after that one, run at
// `speed` mm/s to the end and stand there for two seconds; positions to the thousandth. `along(s)`
// is the point s mm on.
struct Generated {
    Move move;
    std::function<Position(double)> along;
    double length = 0, speed = 10;
    qint64 setsOff = 500;  // ms
};

int feed(MotionTrack &track, const Generated &g)
{
    track.setSetSpeed(g.speed);
    track.add(0, g.along(0));
    track.add(Dt, g.along(0));
    track.moveStarted(g.move);
    int moving = 0;
    const double arrival = double(g.setsOff) + g.length / g.speed * 1000;
    for (qint64 ms = 2 * Dt; ms < arrival + 2000; ms += Dt) {
        const double s = std::clamp(double(ms - g.setsOff) * g.speed / 1000.0, 0.0, g.length);
        const Position p = g.along(s);
        track.add(ms, {thousandths(p.x), thousandths(p.y), thousandths(p.z)});
        moving += s > 0 && s < g.length;
    }
    return moving;
}

Generated arc(Plane plane, QPointF centre, double r, double from, double sweep, double speed)
{
    Generated g;
    g.speed = speed;
    g.length = std::abs(sweep) * r;
    g.along = [=](double s) {
        const double a = from + std::copysign(s / r, sweep);
        return inPlane(plane, centre.x() + r * std::cos(a), centre.y() + r * std::sin(a), 7.5);
    };
    g.move = {MoveKind::Circular, plane, {}, g.along(g.length / 2), g.along(g.length),
              sweep > 0 ? Turn::CounterClockwise : Turn::Clockwise, speed};
    return g;
}

Generated line(Position from, Position to, double speed)
{
    Generated g;
    g.speed = speed;
    g.length = std::hypot(to.x - from.x, to.y - from.y, to.z - from.z);
    g.along = [=](double s) {
        const double f = s / g.length;
        return Position{from.x + f * (to.x - from.x), from.y + f * (to.y - from.y), from.z + f * (to.z - from.z)};
    };
    g.move = {MoveKind::Linear, Plane::XY, {}, {}, to, Turn::Clockwise, Unknown};
    return g;
}
}  // namespace

Q_DECLARE_METATYPE(Generated)
Q_DECLARE_METATYPE(plot::Reading)

class TstPlot : public QObject {
    Q_OBJECT
private slots:
    // Each move's figures against the geometry it was generated from. The mean speed is that of
    // the chords between readings 200 ms apart: 2 r sin(v dt / 2 r) / dt on an arc.
    void moves_data()
    {
        columns<Generated, QPointF, double, int, double, double>("move", "centre", "radius", "swept", "through",
                                                                 "mean");
        const auto chord = [](double r, double v) { return 2 * r * std::sin(v * Dt / 2000.0 / r) * 1000.0 / Dt; };
        row("XY counter-clockwise", arc(Plane::XY, {10, -5}, 20, 0, 1.5 * Pi, 10), QPointF(10, -5), 20.0, 1, 20.0,
            chord(20, 10));
        row("XY clockwise, far from 0", arc(Plane::XY, {900, 700}, 12.5, Pi, -Pi / 2, 6), QPointF(900, 700), 12.5, 0,
            12.5, chord(12.5, 6));
        row("XZ counter-clockwise", arc(Plane::XZ, {0, 0}, 50, -Pi / 2, Pi, 25), QPointF(0, 0), 50.0, 1, 50.0,
            chord(50, 25));
        row("YZ clockwise", arc(Plane::YZ, {-30, 4}, 8, 0.3, -2.5, 4), QPointF(-30, 4), 8.0, 0, 8.0, chord(8, 4));
        Generated atOnce = arc(Plane::XZ, {5, 5}, 10, Pi, -Pi, 5);
        atOnce.setsOff = 300;
        row("XZ clockwise, setting off at once", atOnce, QPointF(5, 5), 10.0, 0, 10.0, chord(10, 5));
        // Points closer than the controller's thousandth are one.
        Generated twice = arc(Plane::XY, {0, 0}, 10, 0, Pi, 5);
        twice.move.middle = {10, 0.0003, 7.5};
        row("middle at the start: no circle through the points", twice, QPointF(0, 0), 10.0, 1, -1.0, chord(10, 5));
    }
    void moves()
    {
        QFETCH(Generated, move);
        QFETCH(QPointF, centre);
        QFETCH(double, radius);
        MotionTrack track;
        const int moving = feed(track, move);
        QVERIFY(track.lastCheck());
        const MoveCheck &check = *track.lastCheck();
        // From the last reading at the start to the first at rest.
        QCOMPARE(check.readings, moving + 2);
        QVERIFY(check.fitted);
        QVERIFY(QLineF(check.fitted->centre, centre).length() < 0.002);
        QVERIFY(std::abs(check.fitted->radius - radius) < 0.002);
        QVERIFY(check.largestFromCircle < 0.002);
        QFETCH(int, swept);
        QCOMPARE(int(*check.swept), swept);
        QFETCH(double, through);
        QCOMPARE(check.throughPoints.has_value(), through > 0);
        if (through > 0)
            QVERIFY(std::abs(check.throughPoints->radius - through) < 0.002);
        QFETCH(double, mean);
        QVERIFY2(std::abs(*check.meanSpeed - mean) < 0.02, qPrintable(QString::number(*check.meanSpeed)));
    }

    // A straight move: its largest distance from the line (one reading put 0.05 mm off it), and a
    // stop of two readings half way, which does not end it.
    void lines_data()
    {
        columns<int, int, double>("bumped", "stalled", "largest");
        row("straight", -1, -1, 0.0);
        row("one reading 0.05 mm off", 7, -1, 0.05);
        row("standing for two readings half way", -1, 10, 0.0);
    }
    void lines()
    {
        QFETCH(int, bumped);
        QFETCH(int, stalled);
        QFETCH(double, largest);
        Generated g = line({1, 2, 3}, {61, -78, 3}, 20);  // 100 mm at 20 mm/s
        const auto straight = g.along;
        int n = 0;
        Position previous;
        // Off the line in XY at right angles to it (its direction is (0.6, -0.8)), or where it was.
        g.along = [&, straight](double s) {
            Position p = straight(s);
            n += s > 0 && s < g.length;
            if (s > 0 && s < g.length && n == bumped)
                p = {p.x + 0.04, p.y + 0.03, p.z};
            if (s > 0 && s < g.length && n == stalled + 1)
                p = previous;
            return previous = p;
        };
        MotionTrack track;
        const int moving = feed(track, g);
        QVERIFY(track.lastCheck());
        QCOMPARE(track.lastCheck()->readings, moving + 2);
        QVERIFY(std::abs(track.lastCheck()->largestFromLine - largest) < 0.001);
        QCOMPARE(track.lastCheck()->move.setSpeed, 20.0);  // the set speed in force
        if (bumped < 0)
            QVERIFY(std::abs(*track.lastCheck()->meanSpeed - 20) < 0.01);
    }

    // A move that never leaves its start gets no figures, however long it stands; the refusal
    // forgets it. One that moved is not taken back.
    void refused()
    {
        MotionTrack track;
        Generated g = line({5, 5, 0}, {25, 5, 0}, 10);
        g.along = [](double) { return Position{5, 5, 0}; };
        feed(track, g);
        QVERIFY(!track.lastCheck());
        QCOMPARE(track.moveState(), MotionTrack::MoveState::Announced);
        QVERIFY(track.moveRefused());
        QVERIFY(!track.move());
        track.moveStarted(g.move);
        track.add(100000, {6, 5, 0});
        QVERIFY(!track.moveRefused());
        QCOMPARE(track.moveState(), MotionTrack::MoveState::Moving);
    }

    // Twelve readings round a circle, alternately 0.03 mm outside and inside it: the fit finds the
    // circle, and every reading 0.03 mm from it.
    void zigzag()
    {
        std::vector<Reading> readings;
        for (int i = 0; i < 12; ++i) {
            const double r = 15 + (i % 2 ? -0.03 : 0.03), a = i * Pi / 6;
            readings.push_back({i * Dt, {3 + r * std::cos(a), 0, -4 + r * std::sin(a)}});
        }
        const MoveCheck check = Check({MoveKind::Circular, Plane::XZ, {}, {}, {}}, readings);
        QVERIFY(QLineF(check.fitted->centre, QPointF(3, -4)).length() < 1e-9);
        QVERIFY(std::abs(check.fitted->radius - 15) < 1e-9);
        QVERIFY(std::abs(check.largestFromCircle - 0.03) < 1e-9);
        QVERIFY(!Check({MoveKind::Circular, Plane::XZ, {}, {}, {}}, std::span(readings).first(2)).fitted);
    }

    // The last 100,000 readings are kept; the oldest go.
    void bounded()
    {
        MotionTrack track;
        for (qint64 i = 0; i < 100010; ++i)
            track.add(i * 10, {double(i % 1000), 0, 0});
        QCOMPARE(track.size(), 100000);
        QCOMPARE(track.at(0).ms, 100);
        QCOMPARE(track.last().ms, 1000090);
        QCOMPARE(track.csv().count("\r\n"), 100001);
    }

    void csv_data()
    {
        columns<int, QList<Reading>, QByteArray>("kept", "readings", "rows");
        row("none", 10, QList<Reading>{}, QByteArray());
        row("three", 10, QList<Reading>{{5000, {1, 2, 3}}, {5200, {4, 6, 3}}, {5450, {4, 6, 3}}},
            QByteArray("0,1.000,2.000,3.000,\r\n200,4.000,6.000,3.000,25.000\r\n450,4.000,6.000,3.000,0.000\r\n"));
        row("signs and thousandths", 10,
            QList<Reading>{{7, {-0.5, 0.001, -12.345}}, {7, {-0.5, 0.001, -12.345}}, {2007, {-0.5, 0.002, 2147483.647}}},
            QByteArray("0,-0.500,0.001,-12.345,\r\n0,-0.500,0.001,-12.345,\r\n"
                       "2000,-0.500,0.002,2147483.647,1073747.996\r\n"));
        row("the oldest gone", 2, QList<Reading>{{0, {0, 0, 0}}, {100, {0, 0, 1}}, {300, {0, 0, 2}}},
            QByteArray("0,0.000,0.000,1.000,10.000\r\n200,0.000,0.000,2.000,5.000\r\n"));
    }
    void csv()
    {
        QFETCH(int, kept);
        QFETCH(QList<Reading>, readings);
        QFETCH(QByteArray, rows);
        MotionTrack track(kept);
        for (const Reading &r : readings)
            track.add(r.ms, r.at);
        QCOMPARE(track.csv(), "\xEF\xBB\xBF" + QByteArray("时间 (ms),X (mm),Y (mm),Z (mm),速度 (mm/s)\r\n") + rows);
    }

    // The window: a move puts the plot into its plane and its figures under it; the files go
    // through the prompter; in English the titles and the figures are English.
    void window()
    {
        RecordingPrompter prompter;
        MotionPlot w(prompter);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const Generated g = arc(Plane::YZ, {0, 0}, 10, 0, Pi / 2, 10);
        MotionTrack track;
        feed(track, g);
        w.moveStarted(g.move);
        for (int i = 0; i < track.size(); ++i)
            w.addReading(track.at(i).ms, track.at(i).at.x, track.at(i).at.y, track.at(i).at.z);
        QCOMPARE(w.PlaneChooser->currentText(), QStringLiteral("YZ"));
        const QString chinese = w.Result->text();
        QVERIFY2(chinese.startsWith("YZ圆弧插补：拟合圆圆心 (Y ") && chinese.contains("走向逆（设定逆）；过起点、中间点、终点的圆半径 10.000\u00A0mm\n"),
                 qPrintable(chinese));

        QTemporaryDir dir;
        prompter.fileNames << dir.filePath("a.csv") << dir.filePath("a.png") << dir.path();
        w.SaveCsvButton->click();
        w.SaveImageButton->click();
        w.SaveCsvButton->click();  // a folder is not written over
        QFile csv(dir.filePath("a.csv")), png(dir.filePath("a.png"));
        QVERIFY(csv.open(QIODevice::ReadOnly) && png.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), w.track().csv());
        QCOMPARE(QImage::fromData(png.readAll(), "PNG").size(), w.findChild<QWidget *>("Plot")->size() * w.devicePixelRatio());
        QCOMPARE(prompter.messages, QStringList{"文件保存出错！"});

        LanguageSwitch language;
        language.use(Language::English);
        QCOMPARE(w.windowTitle(), QStringLiteral("Motion plot"));
        QVERIFY2(w.Result->text().startsWith("YZ arc: fitted circle centre (Y ") &&
                     w.Result->text().contains("turned CCW (set CCW); through start, middle, end: radius 10.000\u00A0mm\n"),
                 qPrintable(w.Result->text()));
        QVERIFY(w.track().csv().startsWith("\xEF\xBB\xBFtime (ms),X (mm),Y (mm),Z (mm),speed (mm/s)\r\n"));
    }

    // Against a controller whose X and Y follow a circle while the interpolation screen is open:
    // the plot holds exactly the positions the screen read, one reading per reply, its CSV those
    // rows, and not one frame goes out for it.
    void readsWhatTheScreenReads()
    {
        ToolRig rig;
        QList<QPointF> replied;  // X and Y of each read A the controller answered, in mm
        const auto set = [&](int address, double mm) {
            const auto v = quint32(qint32(std::lround(mm * 1000)));
            rig.registers[address] = quint16(v & 0xFFFF), rig.registers[address + 1] = quint16(v >> 16);
        };
        const auto word = [](const QByteArray &r, int at) { return quint16(quint8(r[at]) << 8 | quint8(r[at + 1])); };
        rig.filter = [&](const QByteArray &request, const QByteArray &reply) {
            if (request.startsWith(fromHex("01 03 21 6F"))) {
                replied << QPointF(qint32(word(reply, 5) << 16 | word(reply, 3)) / 1000.0,
                                   qint32(word(reply, 9) << 16 | word(reply, 7)) / 1000.0);
                const double turned = 0.3 * double(replied.size());
                set(8559, 50 + 10 * std::cos(turned)), set(8561, -20 + 10 * std::sin(turned));
            }
            return reply;
        };
        QVERIFY(rig.open(RunControl::Interpolation));
        QTest::mouseClick(rig.interp()->MotionPlotButton, Qt::LeftButton);
        MotionPlot *plot = rig.w.motion().window();
        QVERIFY(plot && plot->isVisible());
        const int from = rig.mark();
        QTRY_VERIFY_WITH_TIMEOUT(plot->track().size() >= 20, 20000);
        rig.interp()->unloadScreen();
        QVERIFY(rig.idle());
        for (const QString &request : rig.since(from))
            QVERIFY2(request.startsWith("01 03 21 6F 00 0C") || request.startsWith("01 03 21 A2 00 0D"), qPrintable(request));
        const MotionTrack &t = plot->track();
        const qsizetype first = replied.indexOf(QPointF(t.at(0).at.x, t.at(0).at.y));
        QVERIFY(first >= 0 && first + t.size() <= replied.size());
        QTemporaryDir dir;
        rig.prompter.fileNames << dir.filePath("track.csv");
        plot->SaveCsvButton->click();
        QFile file(dir.filePath("track.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(1);
        QCOMPARE(rows.size(), t.size());
        for (int i = 0; i < t.size(); ++i) {
            const QPointF p = replied[first + i];
            QCOMPARE(QPointF(t.at(i).at.x, t.at(i).at.y), p);
            QCOMPARE(rows[i].section(u',', 1, 2), QString::asprintf("%.3f,%.3f", p.x(), p.y()));
        }
    }
};

QTEST_MAIN(TstPlot)
#include "tst_plot.moc"
