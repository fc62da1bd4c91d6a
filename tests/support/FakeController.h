#pragma once
// A scripted controller on the master side of a pseudo-terminal: it collects request frames,
// notes them, and answers from its register table (function 03) or with an echo (05, 06,
// 16) unless told to stay silent or to spoil the reply.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <functional>

#include "Pty.h"

class QSocketNotifier;

class FakeController : public QObject {
    Q_OBJECT
public:
    explicit FakeController(Pty &pty, QObject *parent = nullptr);

    QMap<int, quint16> registers;
    QList<QByteArray> requests;  // every request frame, in order
    bool silent = false;         // answer nothing
    int slave = 1;               // address put in replies
    // Last chance to change a reply before it goes out (return empty to drop it).
    std::function<QByteArray(const QByteArray &request, const QByteArray &reply)> tamper;

    static QByteArray withCrc(QByteArray frame);
    static QByteArray readReply(int slave, const QList<quint16> &values);

signals:
    void requestSeen(const QByteArray &frame);

private:
    void onReadable();
    QByteArray answer(const QByteArray &request);

    Pty &m_pty;
    QSocketNotifier *m_notifier;
    QByteArray m_buffer;
};
