// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Dialogs.h"
#include "link/PortCatalogue.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

static void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Programming and commissioning tool of the three-axis stepper motion controller.\n"
                       "Without devices, ports 1 to 20 are the system's serial devices (ttyUSB*, ttyACM* first)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("device"),
                                 QStringLiteral("Serial devices that stand for ports 1, 2, ... in this order."),
                                 QStringLiteral("[device...]"));
}

int main(int argc, char *argv[])
{
    // Help and version need no desktop.
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-h" || a == "--help" || a == "-v" || a == "--version") {
            QCoreApplication core(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("trelmo"));
            QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
            QCommandLineParser parser;
            describe(parser);
            parser.process(core);
            return 0;
        }
    }

    PrepareDisplay();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trelmo"));
    // The user's settings keep the recent projects under this name.
    QApplication::setOrganizationName(QStringLiteral("trelmo"));
    // No display name: the desktop would append it to every window's own title.
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("trelmo")));
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    ToolState state;
    DesktopPrompter prompter;
    // Devices named on the command line stand for ports 1, 2, ... as given; without them the
    // system's serial devices are looked up afresh at every connect.
    const QStringList named = parser.positionalArguments();
    Mainfrm window(state, prompter, [named] { return PortCatalogue::build(named); });
    QObject::connect(&window, &Mainfrm::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    // Start-up runs once the window is on screen, so its messages have a window behind them.
    QTimer::singleShot(0, &window, &Mainfrm::Form_Load);
    return app.exec();
}
