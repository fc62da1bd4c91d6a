// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal for tests: the tool opens the slave device as its serial port, the test
// plays the controller on the master side.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QCoreApplication>

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return m_master >= 0; }
    QString device() const { return m_device; }
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }

    // Everything the tool has written so far (non-blocking).
    QByteArray readAvailable();
    void write(const QByteArray &bytes);
    // Closes the master side: the far end has gone away.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;  // kept open so that the tool's close and reopen do not hang the line up
    QString m_device;
};

// Hex text of bytes, "01 03 21 7D", for readable test failures.
QString hex(const QByteArray &bytes);
QByteArray fromHex(const char *text);
