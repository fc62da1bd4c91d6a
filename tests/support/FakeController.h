// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted controller on the master side of a pseudo-terminal: it cuts request frames by
// their function's length, notes them, and answers from its register table (function 03) or
// with an echo (05, 06, 16) unless told to stay silent. `filter` sees every request with the
// reply about to go out and may change it (an empty reply sends nothing). It keeps the coils
// it was sent, and shows its outputs in the status block as a controller does.
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
    QMap<int, bool> coils;
    QList<QByteArray> requests;  // every request frame, in order
    bool silent = false;         // answer nothing
    int slave = 1;               // address put in replies
    std::function<QByteArray(const QByteArray &request, const QByteArray &reply)> filter;
    // Sets `filter`: replies to requests starting with `head` ("01 05") leave `ms` late; with ms < 0
    // they never leave, and the first of them is kept in `held`.
    void late(const QString &head, int ms);
    QByteArray held;

    int mark() const { return int(requests.size()); }
    // Requests since `from`, as hex; function 0: all, else only those of that function.
    QStringList since(int from, int function = 0) const;
    // A program of `lines` lines whose registers count up from 0x1000, and its bytes.
    void storeProgram(int lines);
    QByteArray program(int lines) const;

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
