#include "ui/CommPort.h"

#include <QSerialPort>
#include <QTimer>

CommPort::CommPort(QObject *parent) : QObject(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        pullBytes();
        checkThreshold();
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Open failures are reported by open() itself; only a port that was working and
        // failed (an adapter pulled out, a peer that went away) is an event here.
        if (e == QSerialPort::NoError || e == QSerialPort::OpenError || e == QSerialPort::DeviceNotFoundError ||
            e == QSerialPort::PermissionError || e == QSerialPort::TimeoutError)
            return;
        if (e != QSerialPort::ResourceError || !m_port->isOpen())
            return;
        // Defer: the error may be raised inside a write of a handler that is still running.
        QTimer::singleShot(0, this, [this] {
            if (!m_port->isOpen())
                return;
            m_port->close();
            emit commEvent(Event::Error);
        });
    });
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
    return true;
}

void CommPort::close()
{
    if (m_port->isOpen())
        m_port->close();
    m_input.clear();
}

bool CommPort::isOpen() const
{
    return m_port->isOpen();
}

bool CommPort::write(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        return false;
    return m_port->write(bytes) == bytes.size();
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
    if (m_port->isOpen() && m_port->bytesAvailable() > 0)
        m_input += m_port->readAll();
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
        emit commEvent(Event::Receive);
        m_inEvent = false;
    } while (m_pendingCheck);
}
