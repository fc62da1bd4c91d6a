// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both fuzz targets share: an offscreen application, a main window that never opens a
// port, and a prompter that answers without showing anything.
#include <QApplication>
#include <QStringList>

#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "screens/SubScreen.h"
#include "ui/Dialogs.h"

class FuzzPrompter : public Prompter {
public:
    QString path;
    // The question about unsaved work is answered "否" (go on without saving): every input is opened.
    Answer message(const QString &, Buttons buttons, const QString &) override
    {
        return buttons == Buttons::YesNoCancel ? Answer::No : Answer::Ok;
    }
    QString openFileName(const FileDialogRequest &) override { return path; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
};

struct FuzzWorld {
    ToolState state;
    FuzzPrompter prompter;
    Mainfrm window{state, prompter, QStringList{}};

    static FuzzWorld &instance()
    {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        // Made once and never destroyed: the process ends without tearing Qt down.
        static bool platform = qputenv("QT_QPA_PLATFORM", "offscreen");
        (void)platform;
        // Qt's warnings ("This plugin does not support raise()" at every screen shown) would
        // fill the log; only what libFuzzer and the sanitizers say is kept.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        static QApplication *app = new QApplication(argc, argv);
        (void)app;
        static FuzzWorld *world = [] {
            auto *w = new FuzzWorld;
            // Windows are never painted: painting is Qt's own work, and the
            // fuzzers are after the tool's handling of what comes in.
            // Nor are they put on a screen: a window shown is shown to the tool (its show event,
            // isVisible) without a platform window to map and activate, Qt's costliest part of
            // a screen's load.
            w->window.setUpdatesEnabled(false);
            w->window.setAttribute(Qt::WA_DontShowOnScreen);
            for (int i = RunControl::Manual; i <= RunControl::Interpolation; ++i)
                if (QWidget *screen = w->window.runControl().screen(RunControl::Screen(i))) {
                    screen->setUpdatesEnabled(false);
                    screen->setAttribute(Qt::WA_DontShowOnScreen);
                }
            return w;
        }();
        return *world;
    }
};
