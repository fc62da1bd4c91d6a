#pragma once
// trelmo-cli: the tool's core driven from a command line, for test stations and production
// lines. One verb a run (download, verify, upload, ports), the port found as the window finds
// it or named with --port, exit codes that say what failed, one line on stderr that says why.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "core/ProjectFile.h"
#include "core/Prompter.h"
#include "core/Verify.h"
#include "cli/Trace.h"

class ToolCore;
struct LinkState;

namespace cli {

// What a run ends with, as the shell sees it.
enum Exit {
    Done = 0,            // done (and verified)
    Usage = 1,           // the command line is wrong
    BadProject = 2,      // the project file is missing, unreadable or not a project
    PortFailed = 3,      // no serial port, or the port failed
    NoController = 4,    // no controller answers
    Different = 5,       // verify found a difference
    CutShort = 6,        // the transfer was cut short
    AutoRun = 7,         // the controller is set to run its program at power-on
    Interrupted = 130,   // Ctrl+C
};

struct Options {
    QString command;  // download, verify, upload, ports, params, convert
    QString sub;      // params: save, diff, restore
    QString file;
    QString target;   // convert: the file written
    QString port;     // a device; empty: the system's ports, as the window scans them
    bool verify = true;
    bool repeat = false;
    bool json = false;
    bool yes = false;  // params restore: without asking
    QString log;
    QString trace;  // every frame on the line, as text
};

// Parses the arguments (after the program's name). An error text when they are wrong.
std::optional<Options> Parse(const QStringList &arguments, QString &error);
// The help text, exit codes included.
QString Help();
// Writes the line to standard error; gives the exit code back.
int Say(const QString &line, int exit);
// Converts a project file into a CSV table or back, by the extension .csv (Convert.cpp).
int Convert(const QString &from, const QString &to);

// The messages the core shows: kept, never waited on.
class QuietPrompter : public Prompter {
public:
    QStringList messages;
    Answer message(const QString &text, Buttons buttons, const QString &title) override;
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
};

// One run of the command line.
class Runner {
public:
    explicit Runner(Options options);
    ~Runner();
    int run();
    // Ctrl+C: the run ends as soon as it can.
    void interrupt() { m_interrupted = true; }

private:
    // The command the options name.
    int command();
    struct Unit {
        int exit = Done;
        QString message;
        int lines = 0;
        double seconds = 0;
        Verify::Result verify;
    };
    int program();
    int upload();
    int ports();
    int params();
    int repeat();
    // Connects as the window does; an exit code when no controller answers.
    std::optional<int> connect();
    Unit unit();
    bool loadProject(QString &why);
    int transferProgram(Unit &u);
    int verifyProgram(Unit &u);
    bool controllerAnswers();
    bool waitUntil(const std::function<bool()> &done, int ms = -1);
    void progress(const QString &format, int done, int total);
    void report(const Unit &u);
    void log(const Unit &u);
    int finish(const Unit &u);
    QString lastMessage(const QStringList &texts) const;

    Options m_options;
    QuietPrompter m_prompter;
    std::unique_ptr<LinkState> m_state;
    std::unique_ptr<ToolCore> m_core;
    std::optional<project::Contents> m_project;
    Trace m_trace;
    bool m_interrupted = false;
    bool m_terminal = false;
    int m_lastPercent = -100;
};

}  // namespace cli
