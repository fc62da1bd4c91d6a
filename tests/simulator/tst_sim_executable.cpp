// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-sim as a program, proved by mbpoll, an independent Modbus RTU master:
// reads and writes over the pseudo-terminal (also under the line model), and
// the options that shape a run.

#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One mbpoll transaction on slave 1 at 19200 8N1: the values it read ("12 0"),
// "" after a write, or its exit status and output when it failed.
QString mbpoll(const QString &device, const QStringList &args, const QStringList &values = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TRELMO_MBPOLL_PATH), QStringList{"-m", "rtu", "-b", "19200", "-P", "none", "-a", "1", "-1"} +
                                                    args + QStringList{device} + values);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return "mbpoll did not finish";
    }
    const QString output = QString::fromLocal8Bit(p.readAll());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString("exit %1: %2").arg(p.exitCode()).arg(output);
    static const QRegularExpression line(R"(^\[\d+\]:\s+(-?\d+))", QRegularExpression::MultilineOption);
    QStringList read;
    for (auto it = line.globalMatch(output); it.hasNext();)
        read << it.next().captured(1);
    return read.join(' ');
}

}  // namespace

class SimExecutableTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo(TRELMO_MBPOLL_PATH).isExecutable(), "mbpoll is the independent master"); }

    void mbpollReadsAndWrites_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("pty-friendly") << QStringList{};
        QTest::newRow("line model") << QStringList{"--wire-time"};
    }

    void mbpollReadsAndWrites()
    {
        QFETCH(QStringList, args);
        SimProcess sim;
        QVERIFY(sim.start(args));
        // mbpoll counts references from 1: reference 8560 is register 8559, X's position.
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8560", "-c", "6"}), "25000 0 40000 0 10000 0");
        QCOMPARE(mbpoll(sim.device, {"-t", "4:int", "-r", "8560", "-c", "3"}), "25000 40000 10000");
        // One register (function 06), two (function 16), and OUT1 (function 05).
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8570"}, {"12345"}), "");
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8611"}, {"1500", "2"}), "");
        QCOMPARE(mbpoll(sim.device, {"-t", "0", "-r", "18"}, {"1"}), "");
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8570", "-c", "2"}), "12345 0");
        QCOMPARE(mbpoll(sim.device, {"-t", "4:int", "-r", "8611"}), "132572");
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8593"}), "1");
        // Register 8231 lies in the gap of the register map.
        const QString gap = mbpoll(sim.device, {"-t", "4", "-r", "8232"});
        QVERIFY2(gap.startsWith("exit") && gap.contains("Illegal data address"), qPrintable(gap));
        QVERIFY(sim.stop());
    }

    // The options of a run: a link to the device, a program, inputs, and memory kept in a state
    // file by the save coil across a restart.
    void optionsOfARun()
    {
        QTemporaryDir dir;
        // A two-line project file: count word, then 24-byte records, high byte first.
        QByteArray image(12025, '\0');
        image[1] = 2;
        image.replace(2 + 24, 12, QByteArray::fromHex("0005 0004 86A0 0001 FC18 FFFF"));
        QFile file(dir.filePath("two-lines.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        const QString link = dir.filePath("controller"), state = dir.filePath("controller.state");
        {
            SimProcess sim;
            QVERIFY(sim.start(
                {"--link", link, "--program", file.fileName(), "--input", "2=1", "--input=3=1", "--state", state}));
            QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device);
            QCOMPARE(mbpoll(link, {"-t", "4", "-r", "8605"}), "2");
            QCOMPARE(mbpoll(link, {"-t", "4", "-r", "13", "-c", "7"}), "5 4 34464 1 64536 65535 0");
            QCOMPARE(mbpoll(link, {"-t", "4", "-r", "8580", "-c", "4"}), "0 1 1 0");
            sim.command("in 4 1");  // the console sets inputs too
            QTRY_COMPARE_WITH_TIMEOUT(mbpoll(link, {"-t", "4", "-r", "8583"}), "1", 10000);
            QCOMPARE(mbpoll(link, {"-t", "4", "-r", "8574"}, {"1"}), "");  // auto-run on
            QVERIFY(!QFile::exists(state));
            QCOMPARE(mbpoll(link, {"-t", "0", "-r", "35"}, {"1"}), "");  // coil 34: save
            QVERIFY(QFile::exists(state));
            QVERIFY(sim.stop());
            QVERIFY(!QFileInfo(link).isSymLink());  // taken away at the end
        }
        SimProcess sim;
        QVERIFY(sim.start({"--state", state}));
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "8574"}), "1");
        QCOMPARE(mbpoll(sim.device, {"-t", "4", "-r", "13", "-c", "2"}), "5 4");
    }
};

QTEST_GUILESS_MAIN(SimExecutableTest)
#include "tst_sim_executable.moc"
