#pragma once
// The one request path. Every request is built in one transmit buffer for SlaveAddress, gets
// its CRC, and goes to the port in one write; the same call sets RequestTag, and the receive
// threshold to the length of the reply that this frame asks for. No sender waits for the
// reply. A failed send takes the one error path: "串口出错！", the main window shows "not
// connected", the request is forgotten (RequestTag 0, PortErrorFlag 0) and the port closed;
// the sender then returns false.
#include "link/LinkContext.h"
#include <QByteArray>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/LinkState.h"

class ModbusLink {
public:
    explicit ModbusLink(const LinkContext &ctx) : m_ctx(ctx) {}

    // Function 03: `count` holding registers at `address`.
    bool ReadRegisters(int tag, int address, int count);
    // The same from another slave (the read button asks slave 1 for the line count).
    bool ReadRegistersFrom(int slave, int tag, int address, int count);
    // Function 05: one coil ON (FF00) or OFF (0000).
    bool SendCoilOn(int tag, int coil);
    bool SendCoilOff(int tag, int coil);
    // Function 06: one register.
    bool SendRegister(int tag, int address, int value);
    // Function 16: data.size() / 2 registers from `start`, each register high byte first.
    bool WriteRegisters(int tag, int start, std::span<const std::uint8_t> data);
    // Function 16 of the download: `count` registers from the program image at the position
    // of block BlockIndex.
    bool WriteProgramBlock(int start, int count);
    // Coil 16 ON, the emergency stop: it goes out ahead of anything waiting for the line.
    bool SendStop(int tag);
    // The same frame once more, without touching RequestTag (an unanswered stop).
    bool ResendStop();

    // Waits `ms`, handling events, for the reply to the request just sent. True when that
    // very reply was accepted, whatever else happened meanwhile.
    bool WaitForReply(double ms);

    // The length of the reply a request asks for: 5 + 2 x count for function 03, 8 for
    // functions 05, 06 and 16 (0 for anything else). The reply check uses the same rule.
    static int ExpectedReplyLength(const QByteArray &request);

    // What the receive handler needs to know about the requests on their way.
    struct Request {
        int tag = 0;
        QByteArray frame;
        std::uint32_t serial = 0;
        bool answered = false;
    };
    const Request &current() const { return m_current; }
    // Requests somebody is waiting for (WaitForReply), innermost last.
    std::vector<Request> &awaited() { return m_awaited; }
    void markAnswered(std::uint32_t serial);
    // Bytes received that make no whole reply yet; an awaited stop's echo.
    QByteArray &rxCarry() { return m_rx; }
    // The stop's echo is looked for in every byte received, whatever request is outstanding:
    // found, it is taken out of `bytes` and stopConfirmed runs.
    void setStopAwaited(bool on);
    bool stopAwaited() const { return !m_stopEcho.isEmpty(); }
    const QByteArray &stopEcho() const { return m_stopEcho; }
    bool takeStopEcho(QByteArray &bytes);
    std::function<void()> stopConfirmed;
    // Sets the receive threshold for what is still expected.
    void armReceive();
    // Throws away every byte waiting at the port or held back here.
    void discardInput();

    const QByteArray &TxFrame() const { return m_tx; }
    std::uint8_t CrcLo() const { return m_crcLo; }
    std::uint8_t CrcHi() const { return m_crcHi; }

    // Builds a request header without sending it (used by the senders; public for benchmarks).
    static bool buildHeader(QByteArray &frame, int slave, int function, int a, int b);

private:
    bool request(int tag, bool built, bool urgent = false);
    void ComputeCrc();
    bool fail();

    LinkContext m_ctx;
    QByteArray m_tx;
    std::uint8_t m_crcLo = 0;
    std::uint8_t m_crcHi = 0;
    Request m_current;
    std::vector<Request> m_awaited;
    std::uint32_t m_serial = 0;
    QByteArray m_rx;
    QByteArray m_stopEcho;
};
