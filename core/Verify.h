// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Program verify: proof that the controller holds the program in the tool. It reads the
// controller's line count and its lines into a buffer of its own, never into the program, and
// compares: the count first, then each line's 24 bytes; lines one side has and the other lacks
// count as different. Reads change nothing, so each block is asked for as soon as the reply
// before it is in (not on Timer1's ticks), after the 3.5 characters of silence that end a frame.
#include <QObject>
#include <QString>

#include "core/ToolContext.h"
#include "core/ToolState.h"

class Verify : public QObject {
    Q_OBJECT
public:
    explicit Verify(const ToolContext &ctx);

    // What a verify found.
    struct Result {
        bool complete = false;  // read to the end (else cut short, or refused)
        int projectLines = 0;
        int controllerLines = 0;
        int differingLines = 0;  // lines that differ, lines only one side has included
        int firstLine = 0;       // the first line that differs (0: the counts differ, or none)
        int firstField = -1;     // and its first field that differs: 0 category, 1 command, 2 to 6 parameters
        QString firstDifference;  // in words, for the user ("第 37 行 参数2：工程 1.5，控制器 1")
        bool equal() const { return complete && differingLines == 0 && projectLines == controllerLines; }
        // The user's message: equal, or the first difference and how many lines differ.
        QString message() const;
    };

    // "程序校验": compares the program (`lines` lines of the image as it stands now) with the
    // controller's. False when refused (the user has been told).
    bool start();
    // Compares a project's own bytes (the count word, then the records of its lines) with the
    // controller's program.
    bool start(const QByteArray &project);
    bool running() const { return m_running; }
    const Result &result() const { return m_result; }

    // A reply of the verify has been taken (see ReceiveHandler::accepted).
    void replyAccepted(int tag);
    // A request outstanding was given up (the watchdog, a stop): looks whether the verify is
    // over.
    void checkEnded();
    void portFailed() { checkEnded(); }

signals:
    // The first block has been asked for (`lines` lines in all are read).
    void started(int lines);
    // Read to the end and compared, or cut short.
    void finished(const Verify::Result &result);

private:
    bool begin(const ProgramBytes &expected, int lines);
    void askBlock();
    void compare();
    void end(bool complete);

    ToolContext m_ctx;
    ProgramBytes m_program{};
    ProgramBytes m_controller{};
    bool m_running = false;
    Result m_result;
};
