// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CommPort.h"

#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
// A frame ends with 3.5 characters of silence on the line. The port cannot see its bytes
// leave (a USB adapter holds them in its own buffer for a moment), so a little more silence
// is kept than the controller needs.
constexpr double FrameGapChars = 3.5;
constexpr double SilenceMarginMs = 2.0;
}  // namespace

CommPort::CommPort(QObject *parent) : QObject(parent), m_port(new QSerialPort(this)), m_writeTimer(new QTimer(this))
{
    m_clock.start();
    m_writeTimer->setSingleShot(true);
    m_writeTimer->setTimerType(Qt::PreciseTimer);
    connect(m_writeTimer, &QTimer::timeout, this, &CommPort::writeQueued);
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        pullBytes();
        checkThreshold();
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Open failures are reported by open() itself; only a port that was working and
        // failed (an adapter pulled out, a line hung up at the far end, a read or write that
        // the system refused) is an event here.
        const bool broken = e == QSerialPort::ResourceError || e == QSerialPort::ReadError || e == QSerialPort::WriteError;
        if (!broken || !m_port->isOpen())
            return;
        // Defer: the error may be raised inside a write of a handler that is still running.
        QTimer::singleShot(0, this, [this] {
            if (m_port->isOpen())
                portFailed();
        });
    });
}

void CommPort::portFailed()
{
    close();
    emit failed();
}

void CommPort::refreshCatalogue()
{
    if (m_catalogueSource)
        m_catalogue = m_catalogueSource();
}

CommPort::~CommPort() = default;

bool CommPort::setSettings(const QString &settings)
{
    const QStringList f = settings.split(u',');
    if (f.size() != 4)
        return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    const int baud = f[0].trimmed().toInt(&ok1);
    const QString parity = f[1].trimmed().toUpper();
    const int bits = f[2].trimmed().toInt(&ok2);
    const int stop = f[3].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || baud <= 0 || parity.size() != 1 || !QStringLiteral("NEO").contains(parity) ||
        bits < 5 || bits > 8 || (stop != 1 && stop != 2))
        return false;
    m_settings = settings;
    m_baud = baud;
    m_parity = char(parity[0].unicode());
    m_dataBits = bits;
    m_stopBits = stop;
    return true;
}

void CommPort::setRThreshold(int n)
{
    m_threshold = n < 0 ? 0 : n;
    // Bytes may already be waiting: the event fires as soon as they reach the new threshold.
    if (isOpen() && m_threshold > 0 && m_input.size() >= m_threshold && !m_recheckQueued) {
        m_recheckQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_recheckQueued = false;
            checkThreshold();
        });
    }
}

QString CommPort::deviceName() const
{
    if (m_portNumber < 1 || m_portNumber > m_catalogue.size())
        return QString();
    return m_catalogue[m_portNumber - 1];
}

bool CommPort::open()
{
    if (m_port->isOpen())
        return true;
    const QString device = deviceName();
    if (device.isEmpty())
        return false;
    m_port->setPortName(device);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_port->setBaudRate(m_baud);
    m_port->setDataBits(QSerialPort::DataBits(m_dataBits));
    m_port->setParity(m_parity == 'E'   ? QSerialPort::EvenParity
                      : m_parity == 'O' ? QSerialPort::OddParity
                                        : QSerialPort::NoParity);
    m_port->setStopBits(m_stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->clear();
    m_input.clear();
    ++m_openings;
    return true;
}

void CommPort::close()
{
    const bool wasOpen = m_port->isOpen();
    if (wasOpen)
        m_port->close();
    m_input.clear();
    m_queue.clear();
    m_writeTimer->stop();
    if (wasOpen)
        emit closed();
}

bool CommPort::isOpen() const
{
    return m_port->isOpen();
}

double CommPort::charMs() const
{
    const int bits = 1 + m_dataBits + (m_parity == 'N' ? 0 : 1) + m_stopBits;
    return bits * 1000.0 / std::max(1, m_baud);
}

double CommPort::msUntilQuiet() const
{
    const double quietAt = m_lineFreeAt + FrameGapChars * charMs() + SilenceMarginMs;
    return std::max(0.0, quietAt - double(m_clock.nsecsElapsed()) / 1e6);
}

bool CommPort::write(const QByteArray &bytes, Priority priority, quint32 id)
{
    if (!m_port->isOpen())
        return false;
    const Frame frame{bytes, id};
    if (m_queue.empty() && msUntilQuiet() <= 0)
        return writeNow(frame);
    if (priority == Priority::Urgent)
        m_queue.push_front(frame);
    else
        m_queue.push_back(frame);
    if (!m_writeTimer->isActive())
        m_writeTimer->start(int(std::ceil(msUntilQuiet())));
    return true;
}

void CommPort::dropQueued(const std::function<bool(const QByteArray &)> &keep)
{
    std::erase_if(m_queue, [&keep](const Frame &f) { return !keep(f.bytes); });
    if (m_queue.empty())
        m_writeTimer->stop();
}

bool CommPort::writeNow(const Frame &frame)
{
    const double now = double(m_clock.nsecsElapsed()) / 1e6;
    // Handed to the system at once, so that the bytes start now and not at the next turn of
    // the event loop.
    const bool ok = m_port->write(frame.bytes) == frame.bytes.size();
    if (ok)
        m_port->flush();
    // The bytes leave the line one character time each, from now on.
    m_lineFreeAt = std::max(now, m_lineFreeAt) + frame.bytes.size() * charMs();
    if (ok)
        emit written(frame.id, frame.bytes);
    return ok;
}

void CommPort::writeQueued()
{
    if (m_queue.empty() || !m_port->isOpen())
        return;
    if (const double wait = msUntilQuiet(); wait > 0) {
        m_writeTimer->start(int(std::ceil(wait)));
        return;
    }
    const Frame frame = m_queue.front();
    m_queue.pop_front();
    if (!writeNow(frame)) {
        portFailed();
        return;
    }
    if (!m_queue.empty())
        m_writeTimer->start(int(std::ceil(msUntilQuiet())));
}

QByteArray CommPort::readAll()
{
    pullBytes();
    QByteArray out;
    out.swap(m_input);
    return out;
}

void CommPort::pullBytes()
{
    if (!m_port->isOpen() || m_port->bytesAvailable() <= 0)
        return;
    const QByteArray bytes = m_port->readAll();
    m_input += bytes;
    emit bytesRead(bytes);
}

void CommPort::checkThreshold()
{
    // The receive event is never raised inside itself: a handler that pauses sees the rest
    // of a reply on its next read, and bytes that arrived meanwhile are looked at again once
    // it has returned.
    if (m_inEvent) {
        m_pendingCheck = true;
        return;
    }
    do {
        m_pendingCheck = false;
        if (!isOpen() || m_threshold <= 0 || m_input.size() < m_threshold)
            return;
        m_inEvent = true;
        emit received();
        m_inEvent = false;
    } while (m_pendingCheck);
}
