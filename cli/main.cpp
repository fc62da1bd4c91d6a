// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli: the controller programmed from a command line (see Cli.h, and `trelmo-cli --help`).
#include <QCoreApplication>
#include <QLibraryInfo>
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
// A signal reaches the event loop through a socket: a signal handler may do nothing more. It is
// installed without SA_RESTART, so that a call blocked in the system (the restore's question)
// returns and sees it.
int signalFds[2] = {-1, -1};
volatile std::sig_atomic_t caught = 0;
void onSignal(int signal)
{
    caught = signal;
    const char byte = char(signal);
    (void)!write(signalFds[0], &byte, 1);
}
}  // namespace

int cli::CaughtSignal()
{
    return caught;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trelmo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    // Chinese under a Chinese locale, Qt's own texts (the command line's errors) with it; English
    // otherwise.
    QTranslator english, qtChinese;
    if (QLocale::system().language() != QLocale::Chinese) {
        if (english.load(text::EnglishCatalogue())) {
            QCoreApplication::installTranslator(&english);
            text::SetCurrentLanguage(Language::English);
        }
    } else if (qtChinese.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtChinese);
    }
    QString error;
    bool help = false, version = false;
    const std::optional<cli::Options> options = cli::Parse(QCoreApplication::arguments(), error, help, version);
    if (help) {
        std::fputs(qPrintable(cli::Help()), stdout);
        return cli::Done;
    }
    if (version) {
        std::puts("trelmo-cli 2.0");
        return cli::Done;
    }
    if (!options)
        return cli::Say(QCoreApplication::translate("Trelmo", "命令行有误：%1").arg(error) + u'\n' + cli::Help(),
                        cli::Usage);
    cli::Runner runner(*options);
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) == 0) {
        auto *notifier = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&runner] {
            char byte = 0;
            if (read(signalFds[1], &byte, 1) == 1)
                runner.interrupt(byte);
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaction(signal, &action, nullptr);
    }
    return runner.run();
}
