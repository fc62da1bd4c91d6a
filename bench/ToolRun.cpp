// The tool as a user runs it, in a process of its own that the benchmark measures from
// outside: the real main window on the given device, shown, started as trelmo starts it.
// Standard input takes what the user would click ("manual", "parameters", "interpolation",
// "close", "quit"); standard output says when each step is done. Between two commands
// nothing but the tool's own code runs.
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "BenchSupport.h"
#include "ToolRun.h"
#include "link/LinkState.h"
#include "mainwindow/Mainfrm.h"
#include "screens/SubScreen.h"
#include "ui/Colors.h"
#include "ui/Language.h"

namespace {
void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
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
    LinkState state;
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
