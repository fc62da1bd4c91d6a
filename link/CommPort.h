// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial port as the tool uses it: a port number chosen from the port catalogue, the
// line settings, a receive threshold at which the receive event fires, and reads that drain
// every waiting byte. Events are delivered on the user-interface thread.
//
// Frames leave the port one after the other, each starting only when the one before it has
// left the line and the line has been quiet for 3.5 characters, the silence that ends a
// Modbus RTU frame: two frames written back to back would reach the controller as one long
// frame with a bad CRC. The port knows when it wrote each frame and how long its bytes take
// at the set baud rate; a frame that comes too early waits in a queue, and an urgent frame
// (the emergency stop) goes to the head of that queue.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QSerialPort;
class QTimer;

class CommPort : public QObject {
    Q_OBJECT
public:
    enum class Priority { Normal, Urgent };

    explicit CommPort(QObject *parent = nullptr);
    ~CommPort() override;

    // Port n (1 to 20) is the n-th entry of the catalogue; empty entries do not exist. The
    // catalogue is read afresh from its source by refreshCatalogue(), so that a device
    // plugged in after start-up is found.
    void setCatalogueSource(std::function<QStringList()> source)
    {
        m_catalogueSource = std::move(source);
        refreshCatalogue();
    }
    void refreshCatalogue();
    // A fixed list, from now on.
    void setCatalogue(const QStringList &devices)
    {
        m_catalogue = devices;
        m_catalogueSource = [devices] { return devices; };
    }
    const QStringList &catalogue() const { return m_catalogue; }

    void setCommPort(int n) { m_portNumber = n; }
    int commPort() const { return m_portNumber; }
    // "19200,N,8,1"; returns false for a string it cannot understand.
    bool setSettings(const QString &settings);
    QString settings() const { return m_settings; }
    void setBinaryInput(bool on) { m_binary = on; }
    void setInputLen(int n) { m_inputLen = n; }
    void setRThreshold(int n);
    int rThreshold() const { return m_threshold; }

    // Opening a port that does not exist or is busy fails; the port then reports closed.
    bool open();
    void close();
    bool isOpen() const;
    // How many times a port has been opened: a pause that ends on another opening (or on none)
    // began on a connection that is gone.
    quint64 openings() const { return m_openings; }
    // Writes one frame, now or, when the line is not yet quiet, as soon as it is. False when
    // the port is closed or the write fails at once; a frame that fails later closes the
    // port and raises failed(). `id` comes back with written() once the frame has gone to the
    // device.
    bool write(const QByteArray &frame, Priority priority = Priority::Normal, quint32 id = 0);
    // Drops the frames waiting for the line, except those `keep` names; they stay in order.
    void dropQueued(const std::function<bool(const QByteArray &frame)> &keep);
    int queued() const { return int(m_queue.size()); }
    // Every waiting byte, removed from the input buffer.
    QByteArray readAll();
    int inBufferCount() const { return int(m_input.size()); }
    QString deviceName() const;

    // Milliseconds one character takes on the wire at the current settings.
    double charMs() const;
    // Milliseconds from now until a frame may start (0 when the line is quiet).
    double msUntilQuiet() const;

signals:
    // At least rThreshold() bytes are waiting.
    void received();
    // A frame has been handed to the device: it is on its way to the controller.
    void written(quint32 id, const QByteArray &frame);
    // Bytes have come from the device, as they came (a reply may come in several pieces).
    void bytesRead(const QByteArray &bytes);
    // The port failed under us (an adapter pulled out, a write that failed later); it has
    // been closed.
    void failed();
    // An open port has been closed, for whatever reason.
    void closed();

private:
    void pullBytes();
    void checkThreshold();
    struct Frame {
        QByteArray bytes;
        quint32 id;
    };
    bool writeNow(const Frame &frame);
    void writeQueued();
    void portFailed();

    QSerialPort *m_port = nullptr;
    std::function<QStringList()> m_catalogueSource;
    QStringList m_catalogue;
    int m_portNumber = 1;
    quint64 m_openings = 0;
    QString m_settings = QStringLiteral("19200,N,8,1");
    int m_baud = 19200;
    char m_parity = 'N';
    int m_dataBits = 8;
    int m_stopBits = 1;
    bool m_binary = true;
    int m_inputLen = 0;
    int m_threshold = 0;
    QByteArray m_input;
    bool m_inEvent = false;
    bool m_recheckQueued = false;
    bool m_pendingCheck = false;

    // The line: when our last byte leaves it (ms on m_clock), and the frames waiting for it.
    QElapsedTimer m_clock;
    double m_lineFreeAt = -1e9;
    std::deque<Frame> m_queue;
    QTimer *m_writeTimer = nullptr;
};
