// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moving the program between the tool and the controller. Download: the line count with
// function 06, then blocks of ten lines (120 registers) with function 16. Upload: the line
// count, then the blocks with function 03, each shown in the grid as it arrives. Each step
// waits for the previous reply; the main window's Timer1 sends the next block.
//
// A program reaches the controller or the grid whole, or the user is told. A download sends
// the program as it stood at the click, whatever happens to the grid meanwhile (nothing may
// change it). An upload decides everything before it changes anything, and one that ends
// before its last block puts the program back as it was before it began.
#include "core/ToolContext.h"
#include "core/ToolState.h"
#include <QObject>
#include <functional>

class Transfer : public QObject {
    Q_OBJECT
public:
    explicit Transfer(const ToolContext &ctx);

    enum class Kind { Download, Upload };
    // How a transfer ended: whole, or cut short with the blocks it had stored or had acknowledged.
    struct Outcome {
        Kind kind;
        bool complete;
        int blocksDone, blocks;
    };

    // "下载工程"
    void DownloadClick();
    // "工程读取"
    void UploadClick();
    // Asked before an upload replaces the program; false stops it.
    std::function<bool()> ConfirmDiscard = [] { return true; };
    // Steps 1 to 3 of the main window's Timer1 tick. Returns false when the tick must end
    // at once (a send failed and the port was closed).
    bool timerStep();
    // The port failed under a transfer (a write that failed, or the port's own error event) with
    // `tag` outstanding.
    void portFailed(int tag);
    // The user disconnected: a transfer ends as a port failure would end it.
    void disconnected();

    // An upload of `lines` lines that the controller reported: the program takes the count,
    // the grid its rows, and the first block is asked for. False when that send failed.
    bool beginUpload(int lines);
    // Looks whether a running transfer has ended, completed or cut short, and acts on it.
    void checkEnded();

    void StartBlocks();
    void NextBlock();
    void NextReadBlock();

    // A reply of the transfer has been taken (see ReceiveHandler::accepted).
    void replyAccepted(int tag);
    // A download has started and has not yet ended.
    bool downloading() const { return m_ctx.state.Transferring == ToolState::Transfer::Download; }
    bool uploading() const { return m_ctx.state.Transferring == ToolState::Transfer::Upload; }

signals:
    // A transfer has started with `lines` lines; it finished with its last block, or it was
    // cut short.
    void started(Transfer::Kind kind, int lines);
    void finished(Transfer::Kind kind);
    // Cut short: an upload has put the program, the images and the line count back as they
    // were when it began (the grid shows them again, as uploadBeginning found it).
    void cutShort(Transfer::Kind kind);
    void uploadBeginning();
    // How a transfer ended, after finished() or cutShort(): complete, or where it stopped.
    void ended(const Transfer::Outcome &outcome);
    // The download's line count acknowledged, its last block acknowledged, a block that could
    // not go out; the upload's first block asked for, its last block stored.
    void countAcknowledged();
    void lastBlockAcknowledged();
    void blockNotSent();
    void readStarted();
    void lastBlockStored();

private:
    bool nextBlock(int tag, int &start, int &registers);
    bool writeBlock(int start, int count);
    void blockWriteFailed();
    void end(bool complete);

    ToolContext m_ctx;
    // The download's program as it stood at the click, and its line count.
    ProgramBytes m_sent{};
    int m_lines = 0;
    // The program as it was before an upload began, to be put back if it does not complete.
    ProgramBytes m_beforeImage{};
    ProgramBytes m_beforeDisplay{};
    double m_beforeCount = 0;
};
