#pragma once
// Runs trelmo-sim for a test: starts it, reads the pseudo-terminal path from its first line,
// and stops it with SIGTERM at the end. The test target defines TRELMO_SIM_PATH.
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    explicit SimProcess(const QStringList &args = {})
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral(TRELMO_SIM_PATH), args);
        if (!process.waitForStarted(5000))
            return;
        for (int i = 0; i < 50 && !process.canReadLine(); ++i)
            process.waitForReadyRead(100);
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool ok() const { return !device.isEmpty() && process.state() == QProcess::Running; }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    // Sends one line to the simulator's standard input ("in 2 1", ...).
    void command(const QByteArray &line) { process.write(line + '\n'); }

    QProcess process;
    QString device;
};
