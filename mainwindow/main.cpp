#include "link/LinkState.h"
#include "mainwindow/Mainfrm.h"
#include "ui/Dialogs.h"
#include "ui/PortCatalogue.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trelmo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trelmo"));

    // Devices named on the command line stand for ports 1, 2, ... in that order.
    QStringList named = QApplication::arguments();
    named.removeFirst();

    LinkState state;
    DesktopPrompter prompter;
    Mainfrm window(state, prompter, PortCatalogue::build(named));
    QObject::connect(&window, &Mainfrm::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    // Start-up runs once the window is on screen, so its messages have a window behind them.
    QTimer::singleShot(0, &window, &Mainfrm::Form_Load);
    return app.exec();
}
