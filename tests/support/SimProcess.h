// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs trelmo-sim for a test: starts it, reads the pseudo-terminal path from its first line,
// and stops it with SIGTERM at the end. The test target defines TRELMO_SIM_PATH.
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    SimProcess() = default;
    explicit SimProcess(const QStringList &args) { start(args); }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool start(const QStringList &args = {}, const QString &log = QString())
    {
        process.setStandardErrorFile(!log.isEmpty()                        ? log
                                     : qEnvironmentVariableIsSet("SIMLOG") ? qEnvironmentVariable("SIMLOG")
                                                                           : QProcess::nullDevice(),
                                     QIODevice::Append);
        process.start(QStringLiteral(TRELMO_SIM_PATH), args);
        if (!process.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < 10000)
            if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
                return false;
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return ok();
    }
    bool ok() const { return device.startsWith(QLatin1String("/dev/")) && process.state() == QProcess::Running; }
    // SIGTERM; true when the simulator ended by itself, cleanly.
    bool stop()
    {
        if (process.state() == QProcess::NotRunning)
            return true;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(2000);
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit;
    }
    // Sends one line to the simulator's standard input ("in 2 1", ...).
    void command(const QByteArray &line) { process.write(line + '\n'); }

    QProcess process;
    QString device;
};
