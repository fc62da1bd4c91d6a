#pragma once
// Moving the program between the tool and the controller. Download: the line count with
// function 06, then blocks of ten lines (120 registers) with function 16. Upload: the line
// count, then the blocks with function 03, each shown in the grid as it arrives. Each step
// waits for the previous reply; the main window's Timer1 sends the next block.
#include "link/LinkContext.h"
#include <functional>

class Transfer {
public:
    explicit Transfer(const LinkContext &ctx) : m_ctx(ctx) {}

    // "下载工程"
    void DownloadClick();
    // "工程读取"
    void UploadClick();
    // Asked before an upload replaces the program; false stops it.
    std::function<bool()> ConfirmDiscard = [] { return true; };
    // Steps 1 to 3 of the main window's Timer1 tick. Returns false when the tick must end
    // at once (a send failed and the port was closed).
    bool timerStep();
    // The port failed under a transfer (a write that failed, or the port's own error event).
    void portFailed();

    void StartBlocks();
    void NextBlock();
    void NextReadBlock();

    // The line count of the program in the grid (the line-count box), rounded.
    int lineCount() const;
    // A download has started and has not yet ended.
    bool downloading() const { return m_downloading; }

private:
    bool nextBlock(int tag, int &start, int &registers);
    void blockWriteFailed();
    void checkDownloadEnded();

    LinkContext m_ctx;
    // From the line count's write until the last block's echo, or until the download is
    // abandoned; an abandoned download is reported once.
    bool m_downloading = false;
};
