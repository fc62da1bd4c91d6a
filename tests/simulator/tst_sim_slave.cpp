// The controller's Modbus RTU slave: replies to each function code, exception
// replies, frames it must not answer, stream framing and injected faults.

#include "FaultInjector.h"
#include "RtuFramer.h"
#include "RtuSlave.h"
#include "sim_test_util.h"

#include <algorithm>
#include <QtTest>

using namespace trelmo::sim;
using namespace simtest;

Q_DECLARE_METATYPE(trelmo::sim::Bytes)

class SimSlaveTest : public QObject {
    Q_OBJECT

private slots:
    void crcOfKnownFrames_data();
    void crcOfKnownFrames();
    void readHoldingRegisters();
    void writeSingleCoil();
    void writeSingleRegister();
    void writeMultipleRegisters();
    void programBlockAt5880ReadsBack();
    void exceptionReplies_data();
    void exceptionReplies();
    void badCrcIsIgnored();
    void broadcastActsWithoutReply();
    void otherSlavesAreIgnored();
    void framerCutsStreamIntoFrames();
    void framerResynchronisesAfterNoise();
    void faultsActAsAdvertised();
    void faultsRepeatWithTheSeed();
};

void SimSlaveTest::crcOfKnownFrames_data()
{
    QTest::addColumn<Bytes>("wire");
    QTest::newRow("read 8573") << Bytes{0x01, 0x03, 0x21, 0x7D, 0x00, 0x01, 0x1E, 0x2E};
    QTest::newRow("read 8604") << Bytes{0x01, 0x03, 0x21, 0x9C, 0x00, 0x01, 0x4E, 0x18};
    QTest::newRow("read 120 at 0") << Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x78, 0x45, 0xE8};
    QTest::newRow("coil 34 on") << Bytes{0x01, 0x05, 0x00, 0x22, 0xFF, 0x00, 0x2C, 0x30};
    QTest::newRow("coil 16 on") << Bytes{0x01, 0x05, 0x00, 0x10, 0xFF, 0x00, 0x8D, 0xFF};
    QTest::newRow("8573 := 1") << Bytes{0x01, 0x06, 0x21, 0x7D, 0x00, 0x01, 0xD2, 0x2E};
    QTest::newRow("8573 := 0") << Bytes{0x01, 0x06, 0x21, 0x7D, 0x00, 0x00, 0x13, 0xEE};
    QTest::newRow("speed 12.5") << Bytes{0x01, 0x10, 0x21, 0x79, 0x00, 0x02, 0x04, 0x30, 0xD4, 0x00, 0x00, 0xEF, 0x88};
}

void SimSlaveTest::crcOfKnownFrames()
{
    QFETCH(Bytes, wire);
    Bytes body(wire.begin(), wire.end() - 2);
    appendCrc(body);
    QCOMPARE(hex(body), hex(wire));
    QVERIFY(hasValidCrc(wire));
    wire[3] ^= 0x01;
    QVERIFY(!hasValidCrc(wire));
}

void SimSlaveTest::readHoldingRegisters()
{
    Controller c;
    RtuSlave slave(c);
    QCOMPARE(hex(slave.handle(frame({1, 3, 0x21, 0x7D, 0, 1}))), hex(frame({1, 3, 2, 0, 0})));

    // The status block: 51 registers, 107 bytes, X position in the first two.
    const Bytes reply = slave.handle(frame({1, 3, 0x21, 0x6F, 0, 51}));
    QCOMPARE(reply.size(), 107u);
    QVERIFY(hasValidCrc(reply));
    QCOMPARE(reply[2], 102);
    QCOMPARE(joinWords(be16(&reply[3]), be16(&reply[5])), c.scaledValue(reg::Position));
    QCOMPARE(be16(&reply[3 + 2 * (reg::LineCount - reg::StatusFirst)]), c.registerValue(reg::LineCount));

    // The largest read.
    const Bytes big = slave.handle(frame({1, 3, 0, 0, 0, 125}));
    QCOMPARE(big.size(), 255u);
    QVERIFY(hasValidCrc(big));
}

void SimSlaveTest::writeSingleCoil()
{
    Controller c;
    RtuSlave slave(c);
    const Bytes on = frame({1, 5, 0, 19, 0xFF, 0});  // OUT3
    QCOMPARE(hex(slave.handle(on)), hex(on));
    QCOMPARE(c.registerValue(reg::Outputs + 2), 1);
    const Bytes off = frame({1, 5, 0, 19, 0, 0});
    QCOMPARE(hex(slave.handle(off)), hex(off));
    QCOMPARE(c.registerValue(reg::Outputs + 2), 0);
}

void SimSlaveTest::writeSingleRegister()
{
    Controller c;
    RtuSlave slave(c);
    const Bytes request{0x01, 0x06, 0x21, 0x7D, 0x00, 0x01, 0xD2, 0x2E};
    QCOMPARE(hex(slave.handle(request)), hex(request));
    QCOMPARE(c.registerValue(reg::AutoRun), 1);
    const Bytes count = frame({1, 6, 0x21, 0x9C, 0x01, 0xF4});  // 500 lines
    QCOMPARE(hex(slave.handle(count)), hex(count));
    QCOMPARE(c.registerValue(reg::LineCount), 500);
}

void SimSlaveTest::writeMultipleRegisters()
{
    Controller c;
    RtuSlave slave(c);
    const Bytes speed{0x01, 0x10, 0x21, 0x79, 0x00, 0x02, 0x04, 0x30, 0xD4, 0x00, 0x00, 0xEF, 0x88};
    QCOMPARE(hex(slave.handle(speed)), hex(frame({1, 0x10, 0x21, 0x79, 0, 2})));
    QCOMPARE(c.scaledValue(reg::ManualSpeed), 12500);
    // The X origin direction, one register.
    const Bytes direction{0x01, 0x10, 0x20, 0x08, 0x00, 0x01, 0x02, 0x00, 0x01, 0x47, 0x1A};
    QCOMPARE(hex(slave.handle(direction)), hex(frame({1, 0x10, 0x20, 0x08, 0, 1})));
    QCOMPARE(c.registerValue(reg::AxisParams + reg::OriginDirection), 1);
}

void SimSlaveTest::programBlockAt5880ReadsBack()
{
    Controller c;
    RtuSlave slave(c);
    // Lines 491 to 500: the last block of a full program.
    Bytes request{1, 0x10, 0x16, 0xF8, 0, 120, 240};
    for (int i = 0; i < 120; ++i) {
        request.push_back(std::uint8_t(i * 7 + 1));
        request.push_back(std::uint8_t(0xFF - i));
    }
    appendCrc(request);
    QCOMPARE(request.size(), 249u);
    QCOMPARE(hex(slave.handle(request)), hex(frame({1, 0x10, 0x16, 0xF8, 0, 120})));

    const Bytes reply = slave.handle(frame({1, 3, 0x16, 0xF8, 0, 120}));
    QCOMPARE(reply.size(), 245u);
    QVERIFY(hasValidCrc(reply));
    QCOMPARE(reply[2], 240);
    QCOMPARE(hex(Bytes(reply.begin() + 3, reply.end() - 2)), hex(Bytes(request.begin() + 7, request.end() - 2)));
    QCOMPARE(c.registerValue(5879), 0);
}

void SimSlaveTest::exceptionReplies_data()
{
    QTest::addColumn<Bytes>("request");
    QTest::addColumn<int>("code");
    // 01: functions the controller does not have.
    QTest::newRow("read coils") << frame({1, 1, 0, 0, 0, 8}) << 1;
    QTest::newRow("read input registers") << frame({1, 4, 0x21, 0x6F, 0, 1}) << 1;
    QTest::newRow("write multiple coils") << frame({1, 0x0F, 0, 17, 0, 2, 1, 3}) << 1;
    // 02: addresses outside the map.
    QTest::newRow("read gap 8231") << frame({1, 3, 0x20, 0x27, 0, 1}) << 2;
    QTest::newRow("read across 6000") << frame({1, 3, 0x17, 0x66, 0, 20}) << 2;
    QTest::newRow("read past 8622") << frame({1, 3, 0x21, 0xAA, 0, 10}) << 2;
    QTest::newRow("write position") << frame({1, 6, 0x21, 0x6F, 0, 1}) << 2;
    QTest::newRow("write past 5999") << frame({1, 0x10, 0x17, 0x6F, 0, 2, 4, 0, 1, 0, 2}) << 2;
    QTest::newRow("unknown coil 10") << frame({1, 5, 0, 10, 0xFF, 0}) << 2;
    QTest::newRow("coil 0") << frame({1, 5, 0, 0, 0xFF, 0}) << 2;
    // 03: bad quantities and values.
    QTest::newRow("read 0 registers") << frame({1, 3, 0, 0, 0, 0}) << 3;
    QTest::newRow("read 126 registers") << frame({1, 3, 0, 0, 0, 126}) << 3;
    QTest::newRow("write 0 registers") << frame({1, 0x10, 0, 0, 0, 0, 0}) << 3;
    QTest::newRow("byte count not 2 x count") << frame({1, 0x10, 0, 0, 0, 2, 2, 0, 1}) << 3;
    QTest::newRow("coil value 1234") << frame({1, 5, 0, 16, 0x12, 0x34}) << 3;
    QTest::newRow("line count 0") << frame({1, 6, 0x21, 0x9C, 0, 0}) << 3;
    QTest::newRow("arc direction 2") << frame({1, 0x10, 0x21, 0xAE, 0, 1, 2, 0, 2}) << 3;
    QTest::newRow("short read frame") << frame({1, 3, 0, 0, 0}) << 3;
    Bytes tooMany(7 + 248, 0);
    const Bytes head{1, 0x10, 0, 0, 0, 124, 248};
    std::copy(head.begin(), head.end(), tooMany.begin());
    appendCrc(tooMany);
    QTest::newRow("write 124 registers") << tooMany << 3;
}

void SimSlaveTest::exceptionReplies()
{
    QFETCH(Bytes, request);
    QFETCH(int, code);
    Controller c;
    RtuSlave slave(c);
    std::vector<std::uint16_t> before, after;
    QCOMPARE(c.readRegisters(0, 2, before), Access::Ok);
    const Bytes reply = slave.handle(request);
    QCOMPARE(hex(reply), hex(frame({1, request[1] | 0x80, code})));
    QCOMPARE(c.readRegisters(0, 2, after), Access::Ok);
    QVERIFY(before == after);
    QCOMPARE(c.registerValue(reg::LineCount), Controller().registerValue(reg::LineCount));
}

void SimSlaveTest::badCrcIsIgnored()
{
    Controller c;
    RtuSlave slave(c);
    QVERIFY(slave.handle(Bytes{0x01, 0x03, 0x21, 0x7D, 0x00, 0x01, 0x1E, 0x2F}).empty());
    QVERIFY(slave.handle(Bytes{0x01, 0x06, 0x21, 0x7D, 0x00, 0x01, 0x2E, 0xD2}).empty());
    QCOMPARE(c.registerValue(reg::AutoRun), 0);  // and the write was not made
    QVERIFY(slave.handle(Bytes{0x01, 0x03}).empty());
    QVERIFY(slave.handle(Bytes{}).empty());
    // A bad CRC on an unknown function is silence too, not exception 01.
    QVERIFY(slave.handle(Bytes{0x01, 0x2B, 0x0E, 0x01, 0x00, 0x00}).empty());
}

void SimSlaveTest::broadcastActsWithoutReply()
{
    Controller c;
    RtuSlave slave(c);
    QVERIFY(slave.handle(frame({0, 6, 0x21, 0x7D, 0, 1})).empty());
    QCOMPARE(c.registerValue(reg::AutoRun), 1);
    QVERIFY(slave.handle(frame({0, 5, 0, 17, 0xFF, 0})).empty());
    QCOMPARE(c.registerValue(reg::Outputs), 1);
    QVERIFY(slave.handle(frame({0, 0x10, 0x21, 0x79, 0, 2, 4, 0x30, 0xD4, 0, 0})).empty());
    QCOMPARE(c.scaledValue(reg::ManualSpeed), 12500);
    // Nothing answers a broadcast: not a read, not an error.
    QVERIFY(slave.handle(frame({0, 3, 0x21, 0x7D, 0, 1})).empty());
    QVERIFY(slave.handle(frame({0, 3, 0x20, 0x27, 0, 1})).empty());
    QVERIFY(slave.handle(frame({0, 4, 0, 0, 0, 1})).empty());
}

void SimSlaveTest::otherSlavesAreIgnored()
{
    Controller c;
    RtuSlave slave(c);
    for (int address : {2, 17, 247, 255}) {
        QVERIFY(slave.handle(frame({address, 6, 0x21, 0x7D, 0, 1})).empty());
        QVERIFY(slave.handle(frame({address, 3, 0x21, 0x7D, 0, 1})).empty());
        QVERIFY(slave.handle(frame({address, 4, 0, 0, 0, 1})).empty());
    }
    QCOMPARE(c.registerValue(reg::AutoRun), 0);
}

void SimSlaveTest::framerCutsStreamIntoFrames()
{
    RtuFramer framer;
    const Bytes read = frame({1, 3, 0x21, 0x6F, 0, 51});
    const Bytes write = frame({1, 0x10, 0x21, 0x79, 0, 2, 4, 0x30, 0xD4, 0, 0});

    // Pieces of one frame; complete at its last byte, without waiting for silence.
    framer.feed({read.data(), 3}, 0);
    QVERIFY(!framer.next(1));
    framer.feed({read.data() + 3, 5}, 2);
    auto f = framer.next(2);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(read));

    // Two frames in one chunk; the function 16 length comes from its byte count.
    Bytes both = write;
    both.insert(both.end(), read.begin(), read.end());
    framer.feed(both, 10);
    f = framer.next(10);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(write));
    f = framer.next(10);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(read));
    QVERIFY(!framer.next(10));
    QCOMPARE(framer.discarded(), 0u);
    QVERIFY(framer.msUntilSilence(10) < 0);

    // An unknown function is only known to be complete when the line falls silent.
    const Bytes odd = frame({1, 0x2B, 0x0E, 0x01, 0x00});
    framer.feed(odd, 100);
    QVERIFY(!framer.next(101));
    QCOMPARE(framer.msUntilSilence(101), RtuFramer::DefaultSilenceMs - 1);
    f = framer.next(100 + RtuFramer::DefaultSilenceMs);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(odd));
}

void SimSlaveTest::framerResynchronisesAfterNoise()
{
    RtuFramer framer;
    const Bytes read = frame({1, 3, 0x21, 0x7D, 0, 1});

    // Noise in front of a frame.
    Bytes noisy{0x00, 0xFF, 0x10, 0x03};
    noisy.insert(noisy.end(), read.begin(), read.end());
    framer.feed(noisy, 0);
    auto f = framer.next(0 + RtuFramer::DefaultSilenceMs);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(read));
    QCOMPARE(framer.discarded(), 4u);
    QCOMPARE(hex(framer.takeNoise()), hex(Bytes{0x00, 0xFF, 0x10, 0x03}));
    QVERIFY(framer.takeNoise().empty());

    // A frame with a bad CRC, then a good one.
    Bytes damaged = read;
    damaged[5] ^= 0x04;
    damaged.insert(damaged.end(), read.begin(), read.end());
    framer.feed(damaged, 100);
    f = framer.next(100 + RtuFramer::DefaultSilenceMs);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(read));
    QVERIFY(!framer.next(200));
    QCOMPARE(framer.pending(), 0u);

    // A frame cut short: thrown away once the line is silent, the next one is fine.
    framer.feed({read.data(), 5}, 300);
    QVERIFY(!framer.next(301));
    QVERIFY(!framer.next(300 + RtuFramer::DefaultSilenceMs));
    QCOMPARE(framer.pending(), 0u);
    framer.takeNoise();
    framer.feed(read, 400);
    f = framer.next(400);
    QVERIFY(f);
    QCOMPARE(hex(*f), hex(read));

    // A flood of noise never grows the buffer without bound.
    Bytes flood(5000, 0x10);
    framer.feed(flood, 500);
    QVERIFY(framer.pending() <= RtuFramer::MaxBuffered);
    QVERIFY(!framer.next(500 + RtuFramer::DefaultSilenceMs));
    QCOMPARE(framer.pending(), 0u);
    QCOMPARE(framer.takeNoise().size(), RtuFramer::MaxBuffered);
}

void SimSlaveTest::faultsActAsAdvertised()
{
    const Bytes setAutoRun = frame({1, 6, 0x21, 0x7D, 0, 1});
    {
        Controller c;
        RtuSlave slave(c);
        FaultRates rates;
        rates.drop = 1;
        FaultInjector faults(7, rates);
        const auto r = faults.respond(slave, setAutoRun);
        QVERIFY(r.reply.empty());
        QCOMPARE(r.fault, FaultInjector::Fault::Drop);
        QCOMPARE(c.registerValue(reg::AutoRun), 0);  // lost on the way: not done
    }
    {
        Controller c;
        RtuSlave slave(c);
        FaultRates rates;
        rates.exception = 1;
        FaultInjector faults(7, rates);
        const auto r = faults.respond(slave, setAutoRun);
        QCOMPARE(hex(r.reply), hex(frame({1, 0x86, 4})));
        QCOMPARE(c.registerValue(reg::AutoRun), 0);
    }
    {
        Controller c;
        RtuSlave slave(c);
        FaultRates rates;
        rates.corrupt = 1;
        FaultInjector faults(7, rates);
        const auto r = faults.respond(slave, setAutoRun);
        QCOMPARE(r.reply.size(), setAutoRun.size());
        QVERIFY(!hasValidCrc(r.reply));
        QVERIFY(std::equal(r.reply.begin(), r.reply.end() - 2, setAutoRun.begin()));
        QCOMPARE(c.registerValue(reg::AutoRun), 1);
    }
    {
        Controller c;
        RtuSlave slave(c);
        FaultRates rates;
        rates.delay = 1;
        rates.delayMs = 750;
        FaultInjector faults(7, rates);
        const auto r = faults.respond(slave, setAutoRun);
        QCOMPARE(hex(r.reply), hex(setAutoRun));
        QCOMPARE(r.delayMs, 750.0);
        // Broadcasts and frames for others draw no faults.
        QVERIFY(faults.respond(slave, frame({0, 5, 0, 17, 0xFF, 0})).reply.empty());
        QCOMPARE(c.registerValue(reg::Outputs), 1);
        QCOMPARE(faults.respond(slave, frame({2, 3, 0, 0, 0, 1})).delayMs, 0.0);
    }
}

void SimSlaveTest::faultsRepeatWithTheSeed()
{
    auto run = [](std::uint32_t seed) {
        Controller c;
        RtuSlave slave(c);
        FaultRates rates;
        rates.drop = rates.exception = rates.corrupt = rates.delay = 0.3;
        FaultInjector faults(seed, rates);
        QList<int> outcome;
        for (int i = 0; i < 200; ++i) {
            const auto r = faults.respond(slave, frame({1, 3, 0x21, 0x7D, 0, 1}));
            outcome << int(r.fault) * 2 + (r.delayMs > 0 ? 1 : 0);
        }
        return outcome;
    };
    const QList<int> first = run(42);
    QCOMPARE(run(42), first);
    QVERIFY(run(43) != first);
    // Every kind of fault turns up, and so do clean replies.
    for (int kind : {0, 1, 2, 4, 6})
        QVERIFY2(first.contains(kind), qPrintable(QString::number(kind)));
}

QTEST_GUILESS_MAIN(SimSlaveTest)
#include "tst_sim_slave.moc"
