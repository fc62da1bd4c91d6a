// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeController.h"

#include <QSocketNotifier>
#include <QTimer>

#include "protocol/Crc.h"

FakeController::FakeController(Pty &pty, QObject *parent)
    : QObject(parent), m_pty(pty), m_notifier(new QSocketNotifier(pty.masterFd(), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &FakeController::onReadable);
}

QByteArray FakeController::withCrc(QByteArray frame)
{
    const quint16 crc = ModbusCrc(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

QByteArray FakeController::readReply(int slave, const QList<quint16> &values)
{
    QByteArray f;
    f.append(char(slave)).append(char(0x03)).append(char(2 * values.size()));
    for (quint16 v : values)
        f.append(char(v >> 8)).append(char(v & 0xFF));
    return withCrc(f);
}

void FakeController::late(const QString &head, int ms)
{
    filter = [this, prefix = QByteArray::fromHex(head.toLatin1()), ms](const QByteArray &request,
                                                                       const QByteArray &reply) {
        if (!request.startsWith(prefix))
            return reply;
        if (ms >= 0)
            QTimer::singleShot(ms, this, [this, reply] { m_pty.write(reply); });
        held = ms < 0 && held.isEmpty() ? reply : held;
        return QByteArray();
    };
}

QStringList FakeController::since(int from, int function) const
{
    QStringList out;
    for (int i = from; i < requests.size(); ++i)
        if (function == 0 || quint8(requests[i][1]) == function)
            out << hex(requests[i]);
    return out;
}

void FakeController::storeProgram(int lines)
{
    registers[8604] = quint16(lines);
    for (int i = 0; i < 12 * lines; ++i)
        registers[i] = quint16(0x1000 + i);
}

QByteArray FakeController::program(int lines) const
{
    QByteArray out;
    for (int i = 0; i < 12 * lines; ++i)
        out.append(char(registers.value(i) >> 8)).append(char(registers.value(i) & 0xFF));
    return out;
}

void FakeController::onReadable()
{
    m_buffer += m_pty.readAvailable();
    // Frames are cut by their function's length; a frame that is not whole yet waits.
    while (m_buffer.size() >= 8) {
        const int length = quint8(m_buffer[1]) == 0x10 ? 9 + quint8(m_buffer[6]) : 8;
        if (m_buffer.size() < length)
            return;
        const QByteArray frame = m_buffer.left(length);
        m_buffer.remove(0, length);
        requests << frame;
        emit requestSeen(frame);
        QByteArray reply = silent ? QByteArray() : answer(frame);
        if (filter)
            reply = filter(frame, reply);
        m_pty.write(reply);
    }
}

QByteArray FakeController::answer(const QByteArray &request)
{
    const int function = quint8(request[1]);
    const int address = (quint8(request[2]) << 8) | quint8(request[3]);
    const int value = (quint8(request[4]) << 8) | quint8(request[5]);
    if (function == 0x03) {
        QList<quint16> values;
        for (int i = 0; i < value; ++i)
            values << registers.value(address + i, 0);
        return readReply(slave, values);
    }
    if (function == 0x05) {
        coils[address] = value == 0xFF00;
        if (address >= 17 && address <= 20)  // OUT1 .. OUT4 show in 8592 .. 8595
            registers[8592 + address - 17] = value == 0xFF00 ? 1 : 0;
    }
    if (function == 0x06)
        registers[address] = quint16(value);
    if (function == 0x10)
        for (int i = 0; i < value; ++i)
            registers[address + i] = quint16((quint8(request[7 + 2 * i]) << 8) | quint8(request[8 + 2 * i]));
    QByteArray echo = request.left(6);
    echo[0] = char(slave);
    return withCrc(echo);
}
