// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rigs the tests share. ToolRig: the real main window and its screens, offscreen, connected
// through a pseudo-terminal to a scripted controller. SimRig: the same against trelmo-sim.
// Both start the tool as a user does: port scan, handshake, and the upload of the stored lines.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "FakeController.h"
#include "Pty.h"
#include "RecordingPrompter.h"
#include "SimProcess.h"
#include "core/Traffic.h"
#include "Table.h"
#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "screens/interpolation/InterpolationScreen.h"
#include "screens/manual/ManualScreen.h"
#include "screens/parameters/ParamScreen.h"
#include "ui/Widgets.h"

// Keys as a user types them into `widget`: the characters of `text`, then `end` (none: 0).
void type(QWidget *widget, const QString &text, int end = Qt::Key_Return);

// Pastes the clipboard into `box` with "Paste" of its context menu, as the mouse does; false
// when the box offers no such menu.
bool menuPaste(QLineEdit *box);

// Waits for `n` more ticks of `timer`: whatever the tool does on its ticks had its chances,
// however slow the machine is.
bool ticks(QTimer *timer, int n);

// A line record: category, command, then parameters in thousandths, each stored low word
// first, every word high byte first.
QByteArray rec(int category, int command, std::initializer_list<qint64> parameters = {});

// The traffic record's rows from `from` on, each with `columns` in words, joined by "|".
QStringList trafficRows(const Traffic &t, quint64 from, std::initializer_list<int> columns);

// The tool and what it talks to; `devices` are its ports 1, 2, ... at every connect.
struct Tool {
    ToolState state;
    RecordingPrompter prompter;
    QStringList devices;
    Mainfrm w{state, prompter, [this] { return devices; }};

    // False when the start-up (handshake and the upload of the stored lines) had not ended
    // within a minute: on a loaded machine 500 lines at wire time take well over ten seconds.
    bool settled = true;

    explicit Tool(const QStringList &ports) : devices(ports) {}
    // Start-up as the tool does it.
    void start() { w.Form_Load(); }
    // The same, waited for to its end.
    void startAndSettle()
    {
        start();
        settled = idle(60000);
    }
    bool idle(int ms = 30000)
    {
        return QTest::qWaitFor([this] { return state.RequestTag == 0; }, ms);
    }
    // `n` bytes of the program image from byte `from`; line r starts at byte 2 + 24 (r - 1).
    QByteArray image(int from = 0, int n = 12025) const
    {
        return QByteArray(reinterpret_cast<const char *>(state.ProgramImage.data()) + from, n);
    }

    ManualScreen *manual() { return static_cast<ManualScreen *>(w.runControl().screen(RunControl::Manual)); }
    ParamScreen *params() { return static_cast<ParamScreen *>(w.runControl().screen(RunControl::Parameters)); }
    InterpolationScreen *interp()
    {
        return static_cast<InterpolationScreen *>(w.runControl().screen(RunControl::Interpolation));
    }
    // Opens a screen with its main-window button and waits until it has shown a reply (its
    // communication lamp changed); false if another screen is still loaded.
    bool open(RunControl::Screen which);
    // Waits until `lamp` has changed its colour `times` times.
    static bool lampChanges(Lamp *lamp, int times = 1, int ms = 5000);
};

struct ToolRig : Pty, FakeController, Tool {
    // A controller storing `lines` lines, power-on auto-run off; started unless told not to.
    explicit ToolRig(int lines = 0, bool start = true);
    Pty &pty() { return *this; }
    FakeController &controller() { return *this; }
};

struct SimRig : Tool {
    std::unique_ptr<SimProcess> sim;
    // `log`: the simulator's standard error (its --log) goes there.
    explicit SimRig(const QStringList &simArgs = {}, bool start = true, const QString &log = {});
    bool ok() const { return sim && sim->ok() && settled; }
};
