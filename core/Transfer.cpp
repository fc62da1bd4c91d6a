// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Transfer.h"

#include "core/ToolState.h"
#include "core/WaitGuard.h"
#include "core/ControllerStatus.h"
#include "core/ProgramModel.h"
#include "link/ModbusLink.h"
#include "core/ProgramRead.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "link/CommPort.h"
#include "core/Notices.h"
#include "core/NumberText.h"
#include "core/Texts.h"

#include <algorithm>

namespace {

bool isDownloadStep(int t)
{
    return t == tag::WriteLineCount || t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue;
}
bool isUploadStep(int t)
{
    return t == tag::ReadBlock || t == tag::ReadBlockDue;
}

}  // namespace

Transfer::Transfer(const ToolContext &ctx) : m_ctx(ctx)
{
}

// Function 16 of the download: `count` registers of the program as it stood at the click, from
// the position of block BlockIndex. A block that would not lie inside the program image is
// refused, never read past its end.
bool Transfer::writeBlock(int start, int count)
{
    const long offset = program::CountWordSize + long(program::BlockBytes) * (m_ctx.state.BlockIndex - 1);
    if (m_ctx.state.BlockIndex < 1 || count < 1 || offset + 2L * count > program::ImageSize)
        return m_ctx.link.WriteRegisters(tag::WriteBlock, start, {});
    return m_ctx.link.WriteRegisters(tag::WriteBlock, start,
                                     std::span<const std::uint8_t>(m_sent.data() + offset, std::size_t(2 * count)));
}

void Transfer::replyAccepted(int acceptedTag)
{
    const bool last = m_ctx.state.RequestTag == tag::Idle;
    if (acceptedTag == tag::WriteLineCount)
        emit countAcknowledged();
    else if (acceptedTag == tag::WriteBlock && last)
        emit lastBlockAcknowledged();
    else if (acceptedTag == tag::ReadBlock && last)
        emit lastBlockStored();
    if (acceptedTag == tag::WriteBlock || acceptedTag == tag::ReadBlock)
        checkEnded();
}

void Transfer::DownloadClick()
{
    if (uploading() || m_ctx.state.MainWaiting) {
        ProgramRead::refuseWhileLocked(m_ctx.state, m_ctx.notices);
        return;
    }
    if (m_ctx.status.autoRun()) {
        m_ctx.notices.tell(Notice::AutoRunSet);
        return;
    }
    const double value = m_ctx.program.count();
    if (!m_ctx.port.isOpen()) {
        m_ctx.notices.tell(Notice::NoPortDownload);
    } else if (m_ctx.state.RequestTag != tag::Idle) {
        m_ctx.notices.tell(Notice::Busy);
    } else if (value >= 1 && value <= program::MaxLines) {
        // What goes to the controller is the program as it stands now.
        m_sent = m_ctx.state.ProgramImage;
        m_lines = m_ctx.program.lines();
        if (!m_ctx.link.SendRegister(tag::WriteLineCount, reg::LineCount, m_lines))
            return;
        m_ctx.state.BlockCount = 0;
        m_ctx.state.Transferring = ToolState::Transfer::Download;
        emit started(Kind::Download, m_lines);
    } else {
        m_ctx.notices.tell(Notice::BadLineCount);
    }
    m_ctx.timers.enable(1, true);
}

void Transfer::StartBlocks()
{
    if (!m_ctx.port.isOpen()) {
        m_ctx.notices.tell(Notice::NoPortDownload);
        return;
    }
    if (m_ctx.state.RequestTag != tag::Idle)
        return;
    const int n = m_lines;
    m_ctx.state.BlockIndex = 1;
    m_ctx.state.BlocksDone = 0;
    m_ctx.state.BlockCount = std::int16_t(ProgramRead::blockCountFor(n));
    if (!writeBlock(reg::Program, reg::RegistersPerLine * std::min(n, program::LinesPerBlock)))
        blockWriteFailed();
}

// Block k of a transfer: ten lines, or what is left of the program for the last one.
bool Transfer::nextBlock(int tag, int &start, int &registers)
{
    m_ctx.state.RequestTag = std::int16_t(tag);
    const int k = ++m_ctx.state.BlockIndex;
    if (k > m_ctx.state.BlockCount || k > program::MaxLines / program::LinesPerBlock) {
        m_ctx.state.RequestTag = tag::Idle;
        return false;
    }
    const int rest = std::clamp(m_lines - program::LinesPerBlock * (k - 1), 1, program::LinesPerBlock);
    start = reg::RegistersPerBlock * (k - 1);
    registers = reg::RegistersPerLine * (k == m_ctx.state.BlockCount ? rest : program::LinesPerBlock);
    return true;
}

void Transfer::NextBlock()
{
    int start = 0, registers = 0;
    if (nextBlock(tag::WriteBlock, start, registers) && !writeBlock(start, registers))
        blockWriteFailed();
}

void Transfer::NextReadBlock()
{
    int start = 0, registers = 0;
    if (nextBlock(tag::ReadBlock, start, registers))
        m_ctx.link.ReadRegisters(tag::ReadBlock, start, registers);
}

bool Transfer::timerStep()
{
    bool goOn = true;
    if (m_ctx.state.RequestTag == tag::ReadBlockDue) {
        NextReadBlock();
        goOn = m_ctx.port.isOpen() || m_ctx.state.RequestTag != tag::Idle;
    } else if (m_ctx.state.RequestTag == tag::WriteBlockDue) {
        NextBlock();
        goOn = m_ctx.port.isOpen() || m_ctx.state.RequestTag != tag::Idle;
    } else if (m_ctx.state.RequestTag == tag::BlocksDue) {
        m_ctx.state.RequestTag = tag::Idle;
        StartBlocks();
    }
    checkEnded();
    return goOn;
}

// A block that cannot be written leaves the download button red: the transfer has stopped,
// although the controller acknowledged the line count.
void Transfer::blockWriteFailed()
{
    emit blockNotSent();
    checkEnded();
}

void Transfer::portFailed(int t)
{
    if (downloading() && (t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue))
        emit blockNotSent();
}

void Transfer::disconnected()
{
    if (m_ctx.state.Transferring == ToolState::Transfer::None)
        return;
    portFailed(m_ctx.state.RequestTag);
    m_ctx.state.RequestTag = tag::Idle;
    checkEnded();
}

bool Transfer::beginUpload(int lines)
{
    // The program, the line-count box and the grid as they are now come back if the upload
    // does not complete.
    m_beforeImage = m_ctx.state.ProgramImage;
    m_beforeDisplay = m_ctx.state.DisplayImage;
    m_beforeCount = m_ctx.program.count();
    emit uploadBeginning();
    m_lines = lines;
    m_ctx.program.setCount(lines);
    m_ctx.program.setCountWord(lines);
    m_ctx.program.layOutRows(lines);
    m_ctx.state.BlockCount = std::int16_t(ProgramRead::blockCountFor(lines));
    m_ctx.state.BlocksDone = 0;
    m_ctx.state.Transferring = ToolState::Transfer::Upload;
    if (lines >= 1)
        emit started(Kind::Upload, lines);
    const bool sent = ProgramRead::requestFirstBlock(m_ctx.state, m_ctx.link, lines);
    if (sent && lines >= 1)
        emit readStarted();
    checkEnded();
    return sent;
}

// A transfer ends with its last block; ended any other way (a stop, the watchdog, a port
// failure, a disconnect, another command), the controller or the grid would hold a mix of two
// programs, and the user must know.
void Transfer::checkEnded()
{
    const int t = m_ctx.state.RequestTag;
    if (downloading() && !isDownloadStep(t))
        end(m_ctx.state.BlockCount > 0 && m_ctx.state.BlockIndex == m_ctx.state.BlockCount &&
            m_ctx.state.BlocksDone == m_ctx.state.BlockCount);
    else if (uploading() && !isUploadStep(t))
        end(m_ctx.state.BlocksDone == m_ctx.state.BlockCount);
}

void Transfer::end(bool complete)
{
    const Kind kind = downloading() ? Kind::Download : Kind::Upload;
    m_ctx.state.Transferring = ToolState::Transfer::None;
    const Outcome outcome{kind, complete, m_ctx.state.BlocksDone, ProgramRead::blockCountFor(m_lines)};
    if (complete) {
        emit finished(kind);
        emit ended(outcome);
        return;
    }
    if (kind == Kind::Upload) {
        m_ctx.state.ProgramImage = m_beforeImage;
        m_ctx.state.DisplayImage = m_beforeDisplay;
        m_ctx.program.setCount(m_beforeCount);
    }
    emit cutShort(kind);
    m_ctx.notices.tell(kind == Kind::Download ? Notice::DownloadUnfinished : Notice::UploadUnfinished);
    emit ended(outcome);
}

void Transfer::UploadClick()
{
    if (downloading() || m_ctx.state.MainWaiting) {
        ProgramRead::refuseWhileLocked(m_ctx.state, m_ctx.notices);
        return;
    }
    if (!ConfirmDiscard())
        return;
    if (!m_ctx.port.isOpen()) {
        m_ctx.notices.tell(Notice::NoPortRead);
        return;
    }
    // Busy: refused before anything is sent or changed.
    if (m_ctx.state.RequestTag != tag::Idle) {
        m_ctx.notices.tell(Notice::Busy);
        return;
    }
    // The line count is asked of slave 1. The upload is one command from here: a stop while it
    // waits for the count ends it.
    const ModbusLink::Setup setup = m_ctx.link.setUp(tag::LineCount);
    if (!m_ctx.link.sendFor(setup, [this] { return m_ctx.link.ReadRegistersFrom(1, tag::LineCount, reg::LineCount, 1); }))
        return;
    bool answered = false;
    {
        // Inside this wait: replies, the timers, the emergency stop, a jog release and closing
        // the window go on; a click that would change the program or the connection is refused.
        const WaitGuard wait(m_ctx.state, m_ctx.port, WaitGuard::Lock::Program);
        answered = m_ctx.link.WaitForReply(500);
    }
    if (!answered) {
        if (!m_ctx.port.isOpen())
            return;  // the port failed meanwhile, and the user has been told
        m_ctx.status.setLabel(ControllerStatus::Label::NotConnected);
        m_ctx.port.close();
        m_ctx.notices.tell(Notice::NoController);
        return;
    }
    const int n = m_ctx.state.ReportedLineCount;
    if (n > program::MaxLines) {
        m_ctx.notices.tell(Notice::TooManyLines, n);
        return;
    }
    if (m_ctx.state.RequestTag != tag::Idle) {
        m_ctx.notices.tell(Notice::Busy);
        return;
    }
    // Stopped while it waited: nothing has changed, and nothing will.
    if (setup.stops != m_ctx.link.stopsSent()) {
        m_ctx.notices.tell(Notice::UploadUnfinished);
        return;
    }
    beginUpload(n);
}
