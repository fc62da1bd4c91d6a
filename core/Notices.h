// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an operation of the core has to tell the user, at the moment it happens: the front end
// puts it into its own words (the window shows the message box of its texts; the command line
// decides by the outcomes the operations return). The core chooses no text and shows nothing.
#include <QObject>

enum class Notice {
    ProgramLocked,       // a transfer runs, or the window waits for a reply: the program stays
    AutoRunSet,          // a download refused: the controller runs its program at power-on
    NoPortDownload,      // a download refused: the port is closed
    NoPortRead,          // a read or a verify refused: the port is closed
    Busy,                // refused: another request is outstanding
    BadLineCount,        // a download refused: the line count is not 1 to 500
    NoPortFound,         // no port opens
    NoController,        // a port opens, but nothing answers
    TooManyLines,        // the controller holds more lines than a program can have (the count)
    PortLost,            // the port failed under a send or under the tool
    StopUnconfirmed,     // the emergency stop went out three times unechoed
    DownloadUnfinished,  // a download ended before its last block
    UploadUnfinished,    // an upload ended before its last block: the program is as it was
};

class Notices : public QObject {
    Q_OBJECT
public:
    void tell(Notice notice, int value = 0) { emit told(notice, value); }

signals:
    // Connected directly: the front end tells the user before the operation goes on.
    void told(Notice notice, int value);
};
