// trelmo-sim as a program: on its pseudo-terminal, against an independent
// master (mbpoll) and against a raw client, with its options and signals.

#include "sim_test_util.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace trelmo::sim;
using namespace simtest;

namespace {

// One running simulator; stopped (and checked to stop) when the test ends.
class SimProcess {
public:
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
        }
    }

    bool start(const QStringList &args)
    {
        process.start(QStringLiteral(TRELMO_SIM_PATH), args);
        if (!process.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < 10000) {
            if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
                return false;
        }
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return device.startsWith("/dev/");
    }

    // Stops the simulator with a signal and reports whether it ended cleanly.
    bool stop(int signal = SIGTERM)
    {
        ::kill(pid_t(process.processId()), signal);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QProcess process;
    QString device;
};

// The far end of the line as a plain program sees it: open, raw, 19200.
class PtyClient {
public:
    ~PtyClient() { close(); }

    bool open(const QString &path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return false;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
    }

    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool send(const Bytes &bytes) { return ::write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

    // Reads until `expected` bytes are in or the time is up.
    Bytes receive(std::size_t expected, int timeoutMs)
    {
        Bytes in;
        QElapsedTimer t;
        t.start();
        while (in.size() < expected && t.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(timeoutMs - t.elapsed())) <= 0)
                continue;
            std::uint8_t buf[300];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                in.insert(in.end(), buf, buf + n);
        }
        return in;
    }

    Bytes transact(const Bytes &request, std::size_t expected, int timeoutMs = 3000)
    {
        return send(request) ? receive(expected, timeoutMs) : Bytes{};
    }

    std::uint16_t readRegister(std::uint16_t address)
    {
        const Bytes reply = transact(frame({1, 3, address >> 8, address & 0xFF, 0, 1}), 7);
        return reply.size() == 7 && hasValidCrc(reply) ? be16(&reply[3]) : 0xDEAD;
    }

private:
    int fd_ = -1;
};

struct MbpollResult {
    int exitCode = -1;
    QString output;
    QMap<int, qint64> values;  // reference number (counted from 1) -> value
};

// Values to write go after the device on mbpoll's command line.
MbpollResult mbpoll(const QString &device, const QStringList &args, const QStringList &values = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TRELMO_MBPOLL_PATH), QStringList{"-m", "rtu", "-b", "19200", "-P", "none", "-a", "1", "-1"} +
                                                    args + QStringList{device} + values);
    MbpollResult r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.output = "mbpoll did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll());
    static const QRegularExpression line(R"(^\[(\d+)\]:\s+(-?\d+)(?: \(-?\d+\))?\s*$)",
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(r.output); it.hasNext();) {
        const auto m = it.next();
        r.values.insert(m.captured(1).toInt(), m.captured(2).toLongLong());
    }
    return r;
}

}  // namespace

class SimExecutableTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mbpollReadsStatusBlock();
    void mbpollWrites();
    void mbpollSeesIllegalAddress();
    void wireTimePacesReplies();
    void survivesCloseReopenAndNoise();
    void logsFramesBothWays();
    void inputsFromCommandLineAndConsole();
    void programFromProjectFile();
    void saveCoilPersistsAcrossRuns();
    void injectedFaults();
    void stopsCleanlyOnSignal_data();
    void stopsCleanlyOnSignal();
};

void SimExecutableTest::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(TRELMO_SIM_PATH)).isExecutable(), TRELMO_SIM_PATH);
    QVERIFY2(QFileInfo(QStringLiteral(TRELMO_MBPOLL_PATH)).isExecutable(),
             "mbpoll is needed to prove the simulator against an independent master");
}

void SimExecutableTest::mbpollReadsStatusBlock()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    // mbpoll counts references from 1: reference 8560 is register 8559.
    const MbpollResult r = mbpoll(sim.device, {"-t", "4", "-r", "8560", "-c", "51"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QCOMPARE(r.values.size(), 51);

    Controller expected;
    expected.loadSampleProgram();
    for (int a = reg::StatusFirst; a <= reg::StatusLast; ++a)
        QCOMPARE(r.values.value(a + 1, -1), qint64(expected.registerValue(std::uint16_t(a))));
    QVERIFY(r.values.value(reg::LineCount + 1) > 0);

    // The positions as signed 32-bit numbers, low-order word first.
    const MbpollResult p = mbpoll(sim.device, {"-t", "4:int", "-r", "8560", "-c", "3"});
    QVERIFY2(p.exitCode == 0, qPrintable(p.output));
    for (int axis = 0; axis < 3; ++axis) {
        const int ref = reg::Position + 2 * axis + 1;
        QCOMPARE(p.values.value(ref, -1), qint64(expected.scaledValue(std::uint16_t(ref - 1))));
    }
}

void SimExecutableTest::mbpollWrites()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    // One value: function 06, the manual speed's low word.
    MbpollResult w = mbpoll(sim.device, {"-t", "4", "-r", "8570"}, {"12345"});
    QVERIFY2(w.exitCode == 0, qPrintable(w.output));
    // Two values: function 16, the end point X as 1500 + 2 x 65536.
    w = mbpoll(sim.device, {"-t", "4", "-r", "8611"}, {"1500", "2"});
    QVERIFY2(w.exitCode == 0, qPrintable(w.output));
    // A coil: OUT1.
    w = mbpoll(sim.device, {"-t", "0", "-r", "18"}, {"1"});
    QVERIFY2(w.exitCode == 0, qPrintable(w.output));

    MbpollResult r = mbpoll(sim.device, {"-t", "4", "-r", "8570", "-c", "2"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QCOMPARE(r.values.value(8570, -1), 12345);
    QCOMPARE(r.values.value(8571, -1), 0);
    r = mbpoll(sim.device, {"-t", "4:int", "-r", "8611"});
    QCOMPARE(r.values.value(8611, -1), 1500 + 2 * 65536);
    r = mbpoll(sim.device, {"-t", "4", "-r", "8593"});
    QCOMPARE(r.values.value(8593, -1), 1);

    // The same registers through a client of our own, as a cross-check.
    PtyClient client;
    QVERIFY(client.open(sim.device));
    QCOMPARE(client.readRegister(reg::ManualSpeed), 12345);
}

void SimExecutableTest::mbpollSeesIllegalAddress()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    const MbpollResult r = mbpoll(sim.device, {"-t", "4", "-r", "8232"});  // register 8231
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.output.contains("Illegal data address"), qPrintable(r.output));
}

void SimExecutableTest::wireTimePacesReplies()
{
    SimProcess sim;
    QVERIFY(sim.start({"--wire-time"}));
    PtyClient client;
    QVERIFY(client.open(sim.device));
    // 120 registers: a reply of 5 + 240 = 245 bytes, 2450 bits at 19200 baud = 127.6 ms.
    QElapsedTimer t;
    t.start();
    const Bytes reply = client.transact(frame({1, 3, 0, 0, 0, 120}), 245, 5000);
    const qint64 elapsed = t.elapsed();
    QCOMPARE(reply.size(), 245u);
    QVERIFY(hasValidCrc(reply));
    QVERIFY2(elapsed >= 100, qPrintable(QString("reply complete after %1 ms").arg(elapsed)));
}

void SimExecutableTest::survivesCloseReopenAndNoise()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    const Bytes request = frame({1, 3, 0x21, 0x9C, 0, 1});
    for (int round = 0; round < 3; ++round) {
        PtyClient client;
        QVERIFY(client.open(sim.device));
        const Bytes reply = client.transact(request, 7);
        QCOMPARE(reply.size(), 7u);
        QVERIFY(hasValidCrc(reply));
        // A request cut short as the port closes must not spoil the next session.
        QVERIFY(client.send(Bytes(request.begin(), request.begin() + 4)));
    }
    PtyClient client;
    QVERIFY(client.open(sim.device));
    Bytes noisy{0xFF, 0x00, 0x13};
    noisy.insert(noisy.end(), request.begin(), request.end());
    const Bytes reply = client.transact(noisy, 7);
    QCOMPARE(reply.size(), 7u);
    QVERIFY(hasValidCrc(reply));
    QVERIFY(sim.process.state() == QProcess::Running);
}

void SimExecutableTest::logsFramesBothWays()
{
    SimProcess sim;
    QVERIFY(sim.start({"--log"}));
    PtyClient client;
    QVERIFY(client.open(sim.device));
    QCOMPARE(client.transact(Bytes{0x01, 0x03, 0x21, 0x7D, 0x00, 0x01, 0x1E, 0x2E}, 7).size(), 7u);
    QVERIFY(client.transact(Bytes{0x01, 0x03, 0x21, 0x7D, 0x00, 0x01, 0x1E, 0x2F}, 1, 300).empty());
    QVERIFY(sim.stop());
    const QString log = QString::fromLocal8Bit(sim.process.readAllStandardError());
    QVERIFY2(log.contains("<- 01 03 21 7D 00 01 1E 2E"), qPrintable(log));
    QVERIFY2(log.contains(QString("-> ") + hex(frame({1, 3, 2, 0, 0})).toUpper()), qPrintable(log));
    QVERIFY2(log.contains("01 03 21 7D 00 01 1E 2F"), qPrintable(log));
}

void SimExecutableTest::inputsFromCommandLineAndConsole()
{
    SimProcess sim;
    QVERIFY(sim.start({"--input", "2=1", "--input=3=1"}));
    PtyClient client;
    QVERIFY(client.open(sim.device));
    QCOMPARE(client.readRegister(reg::Inputs + 0), 0);
    QCOMPARE(client.readRegister(reg::Inputs + 1), 1);
    QCOMPARE(client.readRegister(reg::Inputs + 2), 1);
    QCOMPARE(client.readRegister(reg::Inputs + 3), 0);

    sim.process.write("in 4 1\nin 2 0\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.readRegister(reg::Inputs + 3), 1, 5000);
    QCOMPARE(client.readRegister(reg::Inputs + 1), 0);
    QCOMPARE(client.readRegister(reg::Inputs + 2), 1);

    // Closing the console does not stop the simulator.
    sim.process.closeWriteChannel();
    QCOMPARE(client.readRegister(reg::Inputs + 3), 1);
    QVERIFY(sim.stop());

    SimProcess bad;
    QVERIFY(!bad.start({"--input", "5=1"}));
    bad.process.waitForFinished(5000);
    QCOMPARE(bad.process.state(), QProcess::NotRunning);
    QVERIFY(bad.process.exitCode() != 0);
}

void SimExecutableTest::programFromProjectFile()
{
    QTemporaryDir dir;
    QByteArray image(12025, '\0');
    image[1] = 2;
    const char record[24] = {0, 5, 0, 4, char(0x86), char(0xA0), 0, 1, char(0xFC), 0x18, char(0xFF), char(0xFF)};
    image.replace(2 + 24, 24, record, 24);
    const QString path = dir.filePath("two-lines.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(image);
    f.close();

    SimProcess sim;
    QVERIFY(sim.start({"--program", path}));
    PtyClient client;
    QVERIFY(client.open(sim.device));
    QCOMPARE(client.readRegister(reg::LineCount), 2);
    const Bytes reply = client.transact(frame({1, 3, 0, 0, 0, 24}), 53);
    QCOMPARE(reply.size(), 53u);
    QCOMPARE(hex(Bytes(reply.begin() + 3, reply.end() - 2)), hex(Bytes(image.begin() + 2, image.begin() + 2 + 48)));

    // A file that is not a project file stops the simulator before it starts.
    QVERIFY(f.open(QIODevice::Append));
    f.write("x");
    f.close();
    SimProcess bad;
    QVERIFY(!bad.start({"--program", path}));
    bad.process.waitForFinished(5000);
    QCOMPARE(bad.process.state(), QProcess::NotRunning);
    QVERIFY(bad.process.exitCode() != 0);
    QVERIFY(bad.process.readAllStandardError().contains("12025"));
}

void SimExecutableTest::saveCoilPersistsAcrossRuns()
{
    QTemporaryDir dir;
    const QString state = dir.filePath("controller.state");
    {
        SimProcess sim;
        QVERIFY(sim.start({"--state", state}));
        PtyClient client;
        QVERIFY(client.open(sim.device));
        const Bytes autoRun{0x01, 0x06, 0x21, 0x7D, 0x00, 0x01, 0xD2, 0x2E};
        QCOMPARE(hex(client.transact(autoRun, 8)), hex(autoRun));
        const Bytes line1 = frame({1, 0x10, 0, 0, 0, 2, 4, 0, 3, 0, 1});
        QCOMPARE(client.transact(line1, 8).size(), 8u);
        QVERIFY(!QFile::exists(state));
        const Bytes save{0x01, 0x05, 0x00, 0x22, 0xFF, 0x00, 0x2C, 0x30};
        QCOMPARE(hex(client.transact(save, 8)), hex(save));
        QVERIFY(QFile::exists(state));
        QVERIFY(sim.stop());
    }
    SimProcess sim;
    QVERIFY(sim.start({"--state", state}));
    PtyClient client;
    QVERIFY(client.open(sim.device));
    QCOMPARE(client.readRegister(reg::AutoRun), 1);
    QCOMPARE(client.readRegister(0), 3);
    QCOMPARE(client.readRegister(1), 1);
}

void SimExecutableTest::injectedFaults()
{
    const Bytes request = frame({1, 3, 0x21, 0x7D, 0, 1});
    {
        SimProcess sim;
        QVERIFY(sim.start({"--seed", "5", "--exception", "1"}));
        PtyClient client;
        QVERIFY(client.open(sim.device));
        QCOMPARE(hex(client.transact(request, 5)), hex(frame({1, 0x83, 4})));
    }
    {
        SimProcess sim;
        QVERIFY(sim.start({"--corrupt=1"}));
        PtyClient client;
        QVERIFY(client.open(sim.device));
        const Bytes reply = client.transact(request, 7);
        QCOMPARE(reply.size(), 7u);
        QVERIFY(!hasValidCrc(reply));
    }
    {
        SimProcess sim;
        QVERIFY(sim.start({"--delay", "1", "--delay-ms", "300"}));
        PtyClient client;
        QVERIFY(client.open(sim.device));
        QElapsedTimer t;
        t.start();
        const Bytes reply = client.transact(request, 7);
        QCOMPARE(reply.size(), 7u);
        QVERIFY(hasValidCrc(reply));
        QVERIFY2(t.elapsed() >= 250, qPrintable(QString::number(t.elapsed())));
    }
    SimProcess bad;
    QVERIFY(!bad.start({"--drop", "1.5"}));
}

void SimExecutableTest::stopsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void SimExecutableTest::stopsCleanlyOnSignal()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("controller");
    SimProcess sim;
    QVERIFY(sim.start({"--link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device);
    {
        // Reachable through the link, and left running by a client that goes away.
        PtyClient client;
        QVERIFY(client.open(link));
        QCOMPARE(client.readRegister(reg::AutoRun), 0);
    }
    QVERIFY(sim.stop(signal));
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(SimExecutableTest)
#include "tst_sim_executable.moc"
