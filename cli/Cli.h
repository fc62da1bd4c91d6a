// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// trelmo-cli: the tool's core driven from a command line, for test stations and production
// lines. One verb a run (download, verify, upload, ports, params, convert), the port found as the
// window finds it or named with --port, exit codes that say what failed, one line on stderr that
// says why.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "core/ProjectFile.h"
#include "core/Texts.h"
#include "core/Verify.h"
#include "cli/Trace.h"

class ToolCore;
struct ToolState;

namespace cli {

// What a run ends with, as the shell sees it.
enum Exit {
    Done = 0,            // done (and verified)
    Usage = 1,           // the command line is wrong
    BadProject = 2,      // a file to read is missing, unreadable or not what it should be
    PortFailed = 3,      // no serial port, or the port failed
    NoController = 4,    // no controller answers
    Different = 5,       // verify found a difference
    CutShort = 6,        // the transfer was cut short
    AutoRun = 7,         // the controller is set to run its program at power-on
    Refused = 8,         // the controller answered with an exception
    NotWritable = 9,     // an output file cannot be written
    NotConfirmed = 10,   // a restore not confirmed: nothing written
    SignalBase = 128,    // ended by signal n: 128 + n (Ctrl+C 130, SIGTERM 143, SIGHUP 129)
};
// The word for an exit code in the log and in --json.
QString ResultName(int exit);

struct Options {
    QString command;  // download, verify, upload, ports, params, convert
    QString sub;      // params: save, diff, restore, store
    QString file;
    QString target;   // convert: the file written
    QString port;     // a device path; empty: the system's ports, as the window scans them
    bool verify = true;
    bool repeat = false;
    bool json = false;
    bool yes = false;    // params restore: without asking
    bool store = false;  // params restore: store the values in the controller afterwards
    QString log;
    QString trace;  // every frame on the line, as text
};

// Parses the arguments (the program's name first). Nothing, and the error for the user, when they
// are wrong; `help` or `version` set when those were asked for.
std::optional<Options> Parse(const QStringList &arguments, QString &error, bool &help, bool &version);
// The help text, exit codes included.
QString Help();
// Writes the line to standard error; gives the exit code back.
int Say(const QString &line, int exit);
// The signal that asked the run to end, 0 for none (main.cpp).
int CaughtSignal();
// Converts a project file into a CSV table or back, by the extension .csv (Convert.cpp).
int Convert(const QString &from, const QString &to);

// One run of the command line.
class Runner {
public:
    explicit Runner(Options options);
    ~Runner();
    int run();
    // A signal: the run ends as soon as it can, with 128 + `signal`.
    void interrupt(int signal) { m_signal = signal; }

private:
    struct Unit {
        int exit = Done;
        QString message;
        int lines = 0;
        double seconds = 0;
        QByteArray sha256;  // of the project's bytes read for this unit
        Verify::Result verify;
    };
    // Runner.cpp: the checks before anything is sent, connecting, one unit, upload, ports.
    int command();
    int prepare();
    int connect(bool retry);
    // One unit: the project read, a connect (unless the loop has connected already: `connected`
    // is how that went), the download and the verify.
    Unit unit(std::optional<int> connected = std::nullopt);
    bool loadProject(Unit &u);
    int runTransfer(const std::function<void()> &begin, const QString &format, int lines, const text::Text &cut,
                    QString &message);
    int transferProgram(Unit &u);
    int verifyProgram(Unit &u);
    int upload();
    int ports();
    // The exit code of an operation that ended without doing its work.
    int failure(bool cut) const;
    QString failureText(int exit) const;
    QString device() const;
    bool waitUntil(const std::function<bool()> &done, int ms = -1);
    void awaitEnd(const bool &ended, const std::function<void()> &givenUp);
    // Production.cpp: the loop of units, and whether the controller on the port still answers.
    int repeat();
    bool answers();
    void waitUnplugged();
    // Report.cpp: progress, the line on stderr, the log and --json.
    void progress(const QString &format, int done, int total);
    void report(const Unit &u);
    bool openLog();
    bool log(const Unit &u);
    void json(const Unit &u);
    int finish(const Unit &u);
    // Params.cpp
    int params();
    std::optional<bool> confirm(const QString &question);

    Options m_options;
    std::unique_ptr<ToolState> m_state;
    std::unique_ptr<ToolCore> m_core;
    std::optional<project::Contents> m_project;
    Trace m_trace;
    QFile m_log;
    int m_signal = 0;
    int m_exception = -1;  // the code of the controller's exception reply, once one came
    bool m_opened = false;  // the last connect opened a port
    bool m_terminal = false;
    int m_lastPercent = -100;
};

}  // namespace cli
