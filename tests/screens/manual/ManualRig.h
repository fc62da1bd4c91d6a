#pragma once
// The manual screen on the real main window, with a scripted controller on the far end of a
// pseudo-terminal. The controller keeps the coils it was sent, so that a test can ask which
// state a coil was left in, and it shows its outputs in the status block as a controller
// does.
#include <QtTest>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "FakeController.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "link/RegisterMap.h"
#include "mainwindow/Mainfrm.h"
#include "screens/manual/ManualScreen.h"
#include "ui/CommPort.h"
#include "ui/Widgets.h"

inline QByteArray frame(const char *hexText)
{
    return fromHex(hexText);
}

// A coil write as it travels: 01 05 00 cc FF/00 00 crc.
inline QByteArray coilFrame(int coil, bool on)
{
    QByteArray f;
    f.append(char(1)).append(char(5)).append(char(coil >> 8)).append(char(coil & 0xFF));
    f.append(char(on ? 0xFF : 0)).append(char(0));
    return FakeController::withCrc(f);
}

// A prompter that calls back when a message opens (the box itself answers OK at once).
class WatchingPrompter : public RecordingPrompter {
public:
    std::function<void(const QString &)> onMessage;
    Answer message(const QString &text, Buttons buttons, const QString &title) override
    {
        if (onMessage)
            onMessage(text);
        return RecordingPrompter::message(text, buttons, title);
    }
};

struct ManualRig {
    Pty pty;
    FakeController controller{pty};
    LinkState state;
    WatchingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{pty.device()}};
    ManualScreen *screen = nullptr;
    // Coil states the controller holds, from every FC05 it received.
    QMap<int, bool> coils;

    ManualRig()
    {
        controller.registers[reg::PowerOnRun] = 0;
        QObject::connect(&controller, &FakeController::requestSeen, &controller, [this](const QByteArray &f) {
            if (quint8(f[1]) != 0x05)
                return;
            const int coil = (quint8(f[2]) << 8) | quint8(f[3]);
            const bool on = quint8(f[4]) == 0xFF;
            coils[coil] = on;
            if (coil >= reg::coil::Out1 && coil <= reg::coil::Out4)
                controller.registers[reg::Output1 + coil - reg::coil::Out1] = on ? 1 : 0;
        });
        w.Form_Load();
        screen = static_cast<ManualScreen *>(w.runControl().screen(RunControl::Manual));
    }
    ~ManualRig()
    {
        if (screen && screen->isLoaded())
            screen->unloadScreen();
    }

    bool idle(int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (state.RequestTag != 0 && t.elapsed() < ms)
            QTest::qWait(10);
        return state.RequestTag == 0;
    }
    // Opens the screen through the main window's guard and waits for its first shown status.
    bool open()
    {
        if (!idle())
            return false;
        QTest::mouseClick(w.Cmd3, Qt::LeftButton);
        if (!screen->isLoaded() || state.ManualScreenActive != 1)
            return false;
        return waitShown();
    }
    // Waits until the refresh has shown a status reply (the communication lamp changes).
    bool waitShown(int times = 1, int ms = 5000)
    {
        int seen = 0;
        QColor last = screen->Shape2->fillColor();
        QElapsedTimer t;
        t.start();
        while (seen < times && t.elapsed() < ms) {
            QTest::qWait(10);
            if (screen->Shape2->fillColor() != last) {
                last = screen->Shape2->fillColor();
                ++seen;
            }
        }
        return seen >= times;
    }

    QPushButton *button(int i) const { return screen->Command1[std::size_t(i)]; }
    int mark() const { return int(controller.requests.size()); }
    // Every request since `from` except the status reads of the refresh.
    QList<QByteArray> writesSince(int from) const
    {
        QList<QByteArray> out;
        for (int i = from; i < controller.requests.size(); ++i)
            if (quint8(controller.requests[i][1]) != 0x03)
                out << controller.requests[i];
        return out;
    }
    // Frames seen since `from` as hex, reads left out.
    QStringList writesHex(int from) const
    {
        QStringList out;
        for (const QByteArray &f : writesSince(from))
            out << hex(f);
        return out;
    }
    bool coilOn(int coil) const { return coils.value(coil, false); }
    // Waits until the controller has received `n` writes since `from`.
    bool waitWrites(int from, int n, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (writesSince(from).size() < n && t.elapsed() < ms)
            QTest::qWait(10);
        return writesSince(from).size() >= n;
    }
};

// Records what the screen shows after every refresh tick (connected after the screen's own
// handler, so it sees the tick's result).
struct TickLog {
    struct Entry {
        QColor lamp;
        QString x;
        int tag;
    };
    QList<Entry> entries;
    QMetaObject::Connection c;
    explicit TickLog(ManualRig &rig)
    {
        c = QObject::connect(rig.screen->Timer1, &QTimer::timeout, rig.screen, [this, &rig] {
            entries << Entry{rig.screen->Shape2->fillColor(), rig.screen->Text1[0]->text(), rig.state.RequestTag};
        });
    }
    ~TickLog() { QObject::disconnect(c); }
};
