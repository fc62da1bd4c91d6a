#pragma once
// The request senders. Every request is built in one transmit buffer, gets its CRC, and is
// written to the port in one write; no sender waits for the reply. A failed send takes the
// one error path: "串口出错！", PortErrorFlag := 1, and the main window shows "not connected".
#include <QByteArray>
#include <cstdint>

#include "link/LinkState.h"

class CommPort;
class MainView;
class Prompter;

class ModbusLink {
public:
    ModbusLink(LinkState &state, CommPort &port, Prompter &prompter, MainView &view)
        : m_state(state), m_port(port), m_prompter(prompter), m_view(view)
    {}

    // Function 03: read `count` holding registers at `address`.
    void ReadRegisters(int slave, int address, int count);
    // Function 05: write one coil ON (FF00) or OFF (0000).
    void SendCoilOn(int slave, int coil);
    void SendCoilOff(int slave, int coil);
    // Function 06: write one register.
    void SendRegister(int slave, int address, int value);
    // Function 16 for the program download: `count` registers from the program image at the
    // position of block BlockIndex. Its error path also closes the port.
    void WriteProgramBlock(int slave, int start, int count);
    // Function 16 with data from the caller (2 * count bytes, each register high byte
    // first). With closePortOnError the error path closes the port before it returns.
    void WriteBlock(int slave, int start, int count, const std::uint8_t *data, bool closePortOnError);

    // Every caller checks right after its send: when the send failed, the request is
    // forgotten (RequestTag 0, PortErrorFlag 0) and the port closed. True when it failed.
    bool SendFailed();

    const QByteArray &TxFrame() const { return m_tx; }
    std::uint8_t CrcLo() const { return m_crcLo; }
    std::uint8_t CrcHi() const { return m_crcHi; }

    // Builds a request without sending it (used by the senders; public for benchmarks).
    static bool buildHeader(QByteArray &frame, int slave, int function, int a, int b);

private:
    void ComputeCrc();
    void send(bool closePortOnError = false);
    void fail(bool closePortOnError);

    LinkState &m_state;
    CommPort &m_port;
    Prompter &m_prompter;
    MainView &m_view;
    QByteArray m_tx;
    std::uint8_t m_crcLo = 0;
    std::uint8_t m_crcHi = 0;
};
