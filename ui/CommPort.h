#pragma once
// The serial port as the tool uses it: a port number chosen from the port catalogue, the
// line settings, a receive threshold at which the receive event fires, and reads that drain
// every waiting byte. The receive event is delivered on the user-interface thread.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QSerialPort;

class CommPort : public QObject {
    Q_OBJECT
public:
    enum class Event { Receive, Error };

    explicit CommPort(QObject *parent = nullptr);
    ~CommPort() override;

    // Port n (1 to 20) is the n-th entry of this list; empty entries do not exist.
    void setCatalogue(const QStringList &devices) { m_catalogue = devices; }
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
    // Writes every byte in order; false when the port is closed or the write fails.
    bool write(const QByteArray &bytes);
    // Every waiting byte, removed from the input buffer.
    QByteArray readAll();
    int inBufferCount() const { return int(m_input.size()); }
    QString deviceName() const;

signals:
    // Receive: at least rThreshold() bytes are waiting. Error: the port failed (unplugged);
    // it has been closed.
    void commEvent(CommPort::Event kind);

private:
    void pullBytes();
    void checkThreshold();

    QSerialPort *m_port = nullptr;
    QStringList m_catalogue;
    int m_portNumber = 1;
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
};
