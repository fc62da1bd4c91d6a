// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's core in-process, with the time passed in: the command line,
// the line model of --wire-time, and controller behaviours that no test of the
// tool sees (its faults are proved on the program by tst_system). Expected
// values are the controller's behaviour as simulator/README.md describes it,
// worked out by hand.

#include "Controller.h"
#include "LineModel.h"
#include "SimOptions.h"
#include "Table.h"

#include <QtTest>

using namespace trelmo::sim;

namespace {

const QString A = "01 03 21 7D 00 01 1E 2E";  // read 8573
const QString B = "01 03 21 9C 00 01 4E 18";  // read 8604

Bytes fromHex(const QString &text)
{
    const QByteArray raw = QByteArray::fromHex(text.toLatin1());
    return Bytes(raw.begin(), raw.end());
}

Bytes withCrc(const QString &body)
{
    Bytes frame = fromHex(body);
    appendCrc(frame);
    return frame;
}

QString hex(std::span<const std::uint8_t> bytes)
{
    return QString::fromStdString(hexText(bytes));
}

// A SlaveLine run in 0.05 ms steps: `chunks` ("ms:count ...") says when which
// bytes of `stream` are read. Logged lines and written bytes come with the time.
struct LineRun {
    QList<QPair<double, QString>> log, writes;
    QString reply;
};

LineRun runLine(const LineSettings &settings, const Bytes &stream, const QString &chunks, double untilMs)
{
    Controller controller;
    SlaveLine line(controller, settings);
    LineRun run;
    double now = 0;
    line.setLog([&](const std::string &text) { run.log.append({now, QString::fromStdString(text)}); });
    const WriteBytes write = [&](std::span<const std::uint8_t> bytes) {
        run.writes.append({now, hex(bytes)});
        run.reply += (run.reply.isEmpty() ? "" : " ") + hex(bytes);
        return long(bytes.size());
    };
    const QStringList parts = chunks.split(' ');
    qsizetype nextChunk = 0;
    std::size_t fed = 0;
    for (int step = 0; step / 20.0 <= untilMs; ++step) {
        now = step / 20.0;
        for (; nextChunk < parts.size() && parts[nextChunk].section(':', 0, 0).toDouble() <= now; ++nextChunk) {
            const auto count = parts[nextChunk].section(':', 1).toULong();
            line.receive({stream.data() + fed, count}, parts[nextChunk].section(':', 0, 0).toDouble());
            fed += count;
        }
        line.service(now, write);
    }
    return run;
}

QString describe(const ParsedOptions &parsed)
{
    if (parsed.outcome != ParsedOptions::Outcome::Run)
        return parsed.outcome == ParsedOptions::Outcome::Help
                   ? "help"
                   : "bad: " + QString::fromStdString(parsed.error).section('\n', 0, 0);
    const SimOptions &o = parsed.options;
    const FaultRates &r = o.rates;
    QString text = QString::asprintf("seed=%u link=%s state=%s program=%s log=%d wire=%d faults=%g,%g,%g,%g,%g", o.seed,
                                     o.link.c_str(), o.state.c_str(), o.program.c_str(), o.log, o.wireTime, r.drop,
                                     r.delay, r.corrupt, r.exception, r.delayMs);
    for (const auto &[n, on] : o.inputs)
        text += QString(" in%1=%2").arg(n).arg(on);
    return text;
}

// The controller as the status block shows it.
QString status(const Controller &c)
{
    auto mm = [&](int axis) { return c.scaledValue(std::uint16_t(8559 + 2 * axis)) / 1000.0; };
    auto org = [&](int axis) { return c.registerValue(std::uint16_t(8587 + axis)); };
    return QString::asprintf("X %.3f Y %.3f Z %.3f ORG %d%d%d %s", mm(0), mm(1), mm(2), org(0), org(1), org(2),
                             c.isMoving() ? "moving" : "idle");
}

}  // namespace

class SimCoreTest : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        columns<QString, QString>("args", "expected");
        const QString plain = "seed=1 link= state= program= log=0 wire=0 faults=0,0,0,0,1000";
        row("defaults", "", plain);
        row("files and switches", "--link /tmp/c --state=s --program p --log --wire-time",
            "seed=1 link=/tmp/c state=s program=p log=1 wire=1 faults=0,0,0,0,1000");
        row("faults", "--seed 4294967295 --drop=0.25 --delay 1 --corrupt 0 --exception=0.5 --delay-ms 300",
            "seed=4294967295 link= state= program= log=0 wire=0 faults=0.25,1,0,0.5,300");
        row("inputs in order", "--input 2=1 --input=3=0 --input 2=0", plain + " in2=1 in3=0 in2=0");
        row("help ends the reading", "-h --bogus", "help");
        row("seed too large", "--seed 4294967296", "bad: --seed wants a whole number");
        row("probability over 1", "--drop=1.5", "bad: --drop wants a probability 0..1, not '1.5'");
        row("delay too long", "--delay-ms 600001", "bad: --delay-ms wants 0 to 600000");
        row("input 5", "--input 5=1", "bad: --input wants N=V with N 1-4 and V 0 or 1");
        row("value missing", "--log --link", "bad: --link needs a value");
        row("unknown option", "--bogus=1", "bad: unknown option '--bogus=1'");
    }

    void commandLine()
    {
        QFETCH(QString, args);
        QFETCH(QString, expected);
        std::vector<std::string> list;
        for (const QString &a : args.split(' ', Qt::SkipEmptyParts))
            list.push_back(a.toStdString());
        QCOMPARE(describe(parseOptions(list)), expected);
    }

    void lineModelFramesBySilence_data()
    {
        // Two requests, A then B, read in chunks "ms:bytes". At 19200 8N1 the 8
        // bytes of A take 4.17 ms on the line; the frame gap is 1.82 ms.
        columns<bool, QString, QStringList>("wireTime", "chunks", "taken");
        const QString noise = "   (no valid frame, ignored)";
        const QStringList merged{"<- " + A + " " + B + noise}, both{"<- " + A, "<- " + B};
        QTest::newRow("one write") << true << "0:16" << merged;
        QTest::newRow("B read while A is on the line") << true << "0:8 2:8" << merged;
        QTest::newRow("B byte by byte while A is on the line") << true << "0:8 1:1 2:1 3:6" << merged;
        QTest::newRow("B 1.73 ms after A ends") << true << "0:8 5.9:8" << merged;
        QTest::newRow("B 1.83 ms after A ends") << true << "0:8 6:8" << both;
        QTest::newRow("A in pieces 1.74 ms apart") << true << "0:3 3.3:5 30:8" << both;
        QTest::newRow("A in pieces 1.94 ms apart")
            << true << "0:3 3.5:5 30:8" << QStringList{"<- 01 03 21" + noise, "<- 7D 00 01 1E 2E" + noise, "<- " + B};
        QTest::newRow("without the line model, cut by length") << false << "0:16" << both;
    }

    void lineModelFramesBySilence()
    {
        QFETCH(bool, wireTime);
        QFETCH(QString, chunks);
        QFETCH(QStringList, taken);
        const LineRun run = runLine({wireTime, 1, {}}, fromHex(A + " " + B), chunks, 60);
        QStringList requests, replies;
        for (const auto &[ms, text] : run.log)
            (text.startsWith("<-") ? requests : replies) << text;
        QCOMPARE(requests, taken);
        // Every request taken is answered, noise is not.
        QCOMPARE(replies.size(), taken.size() - taken.filter("(no valid frame").size());
    }

    void requestTakenThenAnswered_data()
    {
        // times: taken, first and last reply byte written
        columns<bool, double, QString, QString, QString, QList<double>>("wireTime", "delayMs", "request", "chunks",
                                                                        "reply", "times");
        // A: 8 bytes, 4.17 ms on the line and 1.82 ms of silence, taken at 5.99 ms;
        // its reply's 7 bytes start then and take 3.65 ms. Time runs in 0.05 ms steps.
        const QString readReply = "01 03 02 00 00 B8 44";
        QTest::newRow("line model") << true << 0.0 << A << "0:8" << readReply << QList<double>{6.0, 6.55, 9.65};
        QTest::newRow("line model, held back 300 ms")
            << true << 300.0 << A << "0:8" << readReply << QList<double>{6.0, 306.55, 309.65};
        QTest::newRow("pty-friendly: at once") << false << 0.0 << A << "0:8" << readReply << QList<double>{0, 0, 0};
        // 120 registers of program memory from 5880: 249 bytes, 129.69 ms on the
        // line, taken 131.51 ms after they started.
        QString block = "01 10 16 F8 00 78 F0";
        for (int i = 0; i < 240; ++i)
            block += QString::asprintf(" %02X", i);
        block = hex(withCrc(block));
        const QList<double> blockTimes{231.55, 232.1, 235.75};
        const QString blockReply = "01 10 16 F8 00 78 45 92";
        QTest::newRow("249 bytes") << true << 0.0 << block << "100:249" << blockReply << blockTimes;
        QTest::newRow("249 bytes in pieces")
            << true << 0.0 << block << "100:64 100.1:64 100.2:64 100.3:57" << blockReply << blockTimes;
    }

    void requestTakenThenAnswered()
    {
        QFETCH(bool, wireTime);
        QFETCH(double, delayMs);
        QFETCH(QString, request);
        QFETCH(QString, chunks);
        QFETCH(QString, reply);
        QFETCH(QList<double>, times);
        FaultRates rates;
        rates.delay = delayMs > 0 ? 1 : 0;
        rates.delayMs = delayMs;
        const LineRun run = runLine({wireTime, 1, rates}, fromHex(request), chunks, 400);
        QCOMPARE(run.log.first().second, "<- " + request);
        QCOMPARE(run.reply, reply);
        QCOMPARE((QList<double>{run.log.first().first, run.writes.first().first, run.writes.last().first}), times);
    }

    void controllerBehaviour_data()
    {
        // Steps: "coil N [off]", "wait MS", "reg ADDRESS VALUE", "mm ADDRESS MILLIMETRES"
        // (two registers, x 1000), "send REQUEST" (its reply is shown after the
        // status). The machine starts at X 25, Y 40, Z 10 mm, travel 300/300/100 mm,
        // manual speed 10 mm/s, secondary homing speed 5 mm/s.
        columns<QString, QString>("steps", "expected");
        const QString arc = "mm 8610 50; mm 8612 50; coil 30; wait 10000; mm 8610 70; mm 8616 60; mm 8618 60; ";
        const QString still = "X 25.000 Y 40.000 Z 10.000 ORG 000 idle";
        row("jog stops at the travel", "mm 8569 100; coil 8; wait 60000", "X 25.000 Y 40.000 Z 100.000 ORG 000 idle");
        row("jog stops at 0, on the switch", "coil 1; wait 5000", "X 0.000 Y 40.000 Z 10.000 ORG 100 idle");
        row("jog stops with its coil", "coil 2; wait 500; coil 2 off; wait 1",
            "X 30.000 Y 40.000 Z 10.000 ORG 000 idle");
        row("other direction released", "coil 2; coil 1 off; wait 1000", "X 35.000 Y 40.000 Z 10.000 ORG 000 moving");
        row("homing goes on", "coil 6; coil 6 off; wait 1000", "X 25.000 Y 30.000 Z 10.000 ORG 000 moving");
        row("homing makes the switch", "coil 6; wait 5000", "X 25.000 Y 0.000 Z 10.000 ORG 010 idle");
        row("homing, secondary speed", "mm 8569 0; coil 9; wait 1000", "X 25.000 Y 40.000 Z 5.000 ORG 000 moving");
        row("step mode", "mm 8571 2.5; coil 29; coil 5; coil 5 off; wait 900",
            "X 25.000 Y 42.500 Z 10.000 ORG 000 idle");
        row("linear move", "coil 30; wait 20000", "X 100.000 Y 50.000 Z 10.000 ORG 000 idle");
        row("end point outside", "mm 8610 300.001; coil 30; wait 1000", still);
        row("arc clockwise, half way", arc + "coil 36; wait 1570.8", "X 60.000 Y 60.000 Z 10.000 ORG 000 moving");
        row("arc the other way", arc + "reg 8622 1; coil 36; wait 1570.8", "X 60.000 Y 40.000 Z 10.000 ORG 000 moving");
        row("arc ends at its end point", arc + "coil 36; wait 5000", "X 70.000 Y 50.000 Z 10.000 ORG 000 idle");
        row("emergency stop", "coil 2; coil 4; wait 1000; coil 16; wait 5000",
            "X 35.000 Y 30.000 Z 10.000 ORG 000 idle");
        row("read in the gap at 8231", "send 01 03 20 27 00 01", still + " <- 01 83 02 C0 F1");
        row("read 126 registers", "send 01 03 00 00 00 7E", still + " <- 01 83 03 01 31");
        row("write a position", "send 01 06 21 6F 00 01", still + " <- 01 86 02 C3 A1");
        row("line count 0", "send 01 06 21 9C 00 00", still + " <- 01 86 03 02 61");
        row("coil 10", "send 01 05 00 0A FF 00", still + " <- 01 85 02 C3 51");
        row("coil value 1234", "send 01 05 00 10 12 34", still + " <- 01 85 03 02 91");
        row("arc direction 2", "send 01 10 21 AE 00 01 02 00 02", still + " <- 01 90 03 0C 01");
        row("function 04", "send 01 04 21 6F 00 01", still + " <- 01 84 01 82 C0");
        row("past 5999: all or nothing", "send 01 10 17 6F 00 02 04 00 07 00 07; send 01 03 17 6F 00 01",
            still + " <- 01 90 02 CD C1 <- 01 03 02 00 00 B8 44");
    }

    void controllerBehaviour()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        Controller c;
        RtuSlave slave(c);
        QString replies;
        for (const QString &step : steps.split("; ")) {
            const QStringList w = step.split(' ');
            const auto address = std::uint16_t(w.value(1).toUInt());
            Access access = Access::Ok;
            if (w[0] == "coil") {
                access = c.writeCoil(address, w.value(2) != "off");
            } else if (w[0] == "wait") {
                c.advance(w[1].toDouble());
            } else if (w[0] == "send") {
                replies += " <- " + hex(slave.handle(withCrc(step.mid(5))));
            } else {
                const auto raw = std::int32_t(std::llround(w[2].toDouble() * (w[0] == "mm" ? 1000 : 1)));
                const std::uint16_t words[2] = {std::uint16_t(raw & 0xFFFF), std::uint16_t(std::uint32_t(raw) >> 16)};
                access = c.writeRegisters(address, {words, w[0] == "mm" ? 2u : 1u});
            }
            QVERIFY2(access == Access::Ok, qPrintable(step));
        }
        QCOMPARE(status(c) + replies, expected);
    }
};

QTEST_GUILESS_MAIN(SimCoreTest)
#include "tst_sim_core.moc"
