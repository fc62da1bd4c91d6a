#include "link/ModbusLink.h"

#include "link/Crc.h"
#include "link/MainView.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"

namespace {
// Arguments are signed 16-bit numbers on the wire; only 0 .. 32767 can be sent.
bool fits(int v)
{
    return v >= 0 && v <= 32767;
}

void putWord(QByteArray &frame, int v)
{
    frame.append(char((v >> 8) & 0xFF));
    frame.append(char(v & 0xFF));
}
}  // namespace

bool ModbusLink::buildHeader(QByteArray &frame, int slave, int function, int a, int b)
{
    frame.clear();
    if (!fits(a) || !fits(b) || slave < 0 || slave > 255)
        return false;
    frame.append(char(slave));
    frame.append(char(function));
    putWord(frame, a);
    putWord(frame, b);
    return true;
}

void ModbusLink::ComputeCrc()
{
    const std::uint16_t crc = ModbusCrc(m_tx);
    m_crcLo = std::uint8_t(crc & 0xFF);
    m_crcHi = std::uint8_t(crc >> 8);
}

void ModbusLink::send(bool closePortOnError)
{
    ComputeCrc();
    m_tx.append(char(m_crcLo));
    m_tx.append(char(m_crcHi));
    if (m_state.PortOpenFlag != 1)
        return;
    // Bytes still waiting belong to no request from here on (a late or partial reply of an
    // abandoned one): they must not run into the reply to this one.
    if (m_port.isOpen())
        m_port.readAll();
    if (!m_port.write(m_tx))
        fail(closePortOnError);
}

void ModbusLink::fail(bool closePortOnError)
{
    if (!m_state.PortLostReported)
        m_prompter.message(QStringLiteral("串口出错！"), Prompter::Buttons::Ok, QStringLiteral(""));
    m_state.PortErrorFlag = 1;
    if (closePortOnError)
        m_port.close();
    m_view.setConnectionLabel(QStringLiteral("控制器没有连接！"));
    m_view.setConnectCaption(QStringLiteral("连接控制器"));
}

bool ModbusLink::SendFailed()
{
    if (m_state.PortErrorFlag != 1)
        return false;
    m_state.RequestTag = 0;
    m_state.PortErrorFlag = 0;
    m_port.close();
    return true;
}

void ModbusLink::ReadRegisters(int slave, int address, int count)
{
    if (!buildHeader(m_tx, slave, 0x03, address, count))
        return fail(false);
    send();
}

void ModbusLink::SendCoilOn(int slave, int coil)
{
    if (!buildHeader(m_tx, slave, 0x05, coil, 0))
        return fail(false);
    // ON is the constant FF00 of the frame, outside the range of the arguments.
    m_tx[4] = char(0xFF);
    send();
}

void ModbusLink::SendCoilOff(int slave, int coil)
{
    if (!buildHeader(m_tx, slave, 0x05, coil, 0))
        return fail(false);
    send();
}

void ModbusLink::SendRegister(int slave, int address, int value)
{
    if (!buildHeader(m_tx, slave, 0x06, address, value))
        return fail(false);
    send();
}

void ModbusLink::WriteBlock(int slave, int start, int count, const std::uint8_t *data, bool closePortOnError)
{
    // A function-16 request carries at most 123 registers.
    if (count < 1 || count > 123 || !data || !buildHeader(m_tx, slave, 0x10, start, count))
        return fail(closePortOnError);
    m_tx.append(char(2 * count));
    m_tx.append(reinterpret_cast<const char *>(data), 2 * count);
    send(closePortOnError);
}

void ModbusLink::WriteProgramBlock(int slave, int start, int count)
{
    const long offset = 2L + 240L * (m_state.BlockIndex - 1);
    // The block must lie inside the program image; anything else is refused, never read
    // past the end.
    if (m_state.BlockIndex < 1 || count < 1 || offset + 2L * count > ProgramImageSize)
        return fail(true);
    WriteBlock(slave, start, count, m_state.ProgramImage.data() + offset, true);
}
