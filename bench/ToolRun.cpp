// SPDX-License-Identifier: GPL-3.0-or-later
// The tool as a user runs it, in a process of its own that the benchmark measures from
// outside: the real main window on the given device, shown, started as trelmo starts it.
// Standard input takes what the user would click ("manual", "parameters", "interpolation",
// "close", "monitor", and in the monitor "pause" (again: resume), "minimise", "normal", "hide";
// "quit"), or "rows N": N rows of a manual screen's traffic
// put straight into the traffic record; standard output says when each step is done. Between
// two commands nothing but the tool's own code runs.
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "BenchSupport.h"
#include "ToolRun.h"
#include "protocol/Crc.h"
#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "mainwindow/TrafficMonitor.h"
#include "screens/SubScreen.h"
#include "ui/Colors.h"
#include "ui/Language.h"

namespace {
void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

// What the manual screen's refresh puts on the line, a status read and its reply, `rows` rows of
// it, as the port would report them.
void feedRows(Framer &framer, long rows)
{
    const QByteArray read = QByteArray::fromHex("0103216F00333FFE");
    QByteArray reply = QByteArray::fromHex("010366") + QByteArray(102, '\x11');
    const std::uint16_t crc = ModbusCrc(reply);
    reply.append(char(crc & 0xFF)).append(char(crc >> 8));
    for (long i = 0; i < rows / 2; ++i) {
        framer.written(0, read);
        framer.read(reply);
    }
}

void act(Mainfrm &w, SilentPrompter &prompter, const QByteArray &command)
{
    RunControl &run = w.runControl();
    if (command == "manual")
        w.Cmd3->click();
    else if (command == "parameters")
        w.Cmd4->click();
    else if (command == "interpolation")
        w.Command9->click();
    else if (command == "close") {
        for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i)
            if (SubScreen *s = run.screen(RunControl::Screen(i)); s && s->isLoaded())
                s->close();
    } else if (command == "monitor") {
        w.Command16->click();
    } else if (TrafficMonitor *m = w.trafficMonitor(); m && command == "pause") {
        m->PauseButton->click();
    } else if (m && command == "minimise") {
        m->showMinimized();
    } else if (m && command == "normal") {
        m->showNormal();
    } else if (m && command == "hide") {
        m->close();
    } else if (command.startsWith("rows ")) {
        feedRows(w.link().framer(), command.mid(5).toLong());
    } else if (command == "quit") {
        QCoreApplication::quit();
        return;
    }
    say("done " + command + (prompter.messages.isEmpty() ? QByteArray() : " " + prompter.messages.join(u'/').toUtf8()));
    prompter.messages.clear();
}
}  // namespace

int RunTool(const QString &device)
{
    LanguageSwitch language;  // Chinese, as the tool starts
    ToolState state;
    SilentPrompter prompter;
    Mainfrm w(state, prompter, QStringList{device});
    w.show();
    QTimer::singleShot(0, &w, &Mainfrm::Form_Load);

    // Start-up reads the stored program; the read button's colour says when the last block is
    // in. The watch goes once it has seen it.
    auto loaded = std::make_unique<ColorWatch>(w.Cmd5, colors::LightYellow);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (loaded && loaded->reachedAt >= 0 && state.RequestTag == 0) {
            loaded.reset();
            check.stop();
            say("loaded " + QByteArray::number(state.ProgramImage[0] << 8 | state.ProgramImage[1]));
        }
    });
    check.start(50);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buf, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            // Clicked from the event loop, as a user's click would be.
            QTimer::singleShot(0, &w, [&w, &prompter, command] { act(w, prompter, command); });
        }
    });
    return QApplication::exec();
}
