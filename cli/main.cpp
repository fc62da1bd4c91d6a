// trelmo-cli: the controller programmed from a command line (see Cli.h, and `trelmo-cli --help`).
#include <QCoreApplication>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "cli/Cli.h"
#include "core/Texts.h"

namespace {
// Ctrl+C reaches the event loop through a socket: a signal handler may do nothing more.
int interruptFds[2] = {-1, -1};
void onSignal(int)
{
    const char byte = 1;
    (void)!write(interruptFds[0], &byte, 1);
}
}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trelmo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    // Chinese under a Chinese locale, English otherwise.
    QTranslator english;
    if (QLocale::system().language() != QLocale::Chinese && english.load(text::EnglishCatalogue())) {
        QCoreApplication::installTranslator(&english);
        text::SetCurrentLanguage(Language::English);
    }
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(qPrintable(cli::Help()), stdout);
        return cli::Done;
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        std::puts("trelmo-cli 2.0");
        return cli::Done;
    }
    QString error;
    const std::optional<cli::Options> options = cli::Parse(arguments, error);
    if (!options) {
        std::fputs(qPrintable(QCoreApplication::translate("Trelmo", "命令行有误：%1").arg(error) + u'\n' + cli::Help()),
                   stderr);
        return cli::Usage;
    }
    cli::Runner runner(*options);
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, interruptFds) == 0) {
        auto *notifier = new QSocketNotifier(interruptFds[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&runner] {
            char byte;
            (void)!read(interruptFds[1], &byte, 1);
            runner.interrupt();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    return runner.run();
}
