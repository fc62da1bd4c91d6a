#include "projects/Transfer.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/ProgramRead.h"
#include "link/RegisterMap.h"
#include "link/Tags.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/NumberText.h"
#include "ui/Texts.h"

#include <algorithm>

namespace {
QString BadLineCount()
{
    return QCoreApplication::translate("Trelmo", "行数输入不正确！");
}

bool isDownloadStep(int t)
{
    return t == tag::WriteLineCount || t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue;
}
}  // namespace

int Transfer::lineCount() const
{
    const double v = RoundHalfEven(NumericValue(m_ctx.view.text(MainView::LineCountBox)));
    return int(std::clamp(v, -1.0, 32767.0));
}

void Transfer::DownloadClick()
{
    m_ctx.view.HideCellEditors();
    if (m_ctx.view.text(MainView::RunModeButton) == text::AutoRunOn()) {
        m_ctx.prompter.message(QCoreApplication::translate(
            "Trelmo", "请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！"));
        return;
    }
    const double value = NumericValue(m_ctx.view.text(MainView::LineCountBox));
    if (!m_ctx.port.isOpen()) {
        m_ctx.prompter.message(text::PortInvalidDownload());
    } else if (m_ctx.state.RequestTag != tag::Idle) {
        m_ctx.prompter.message(text::NotDone());
    } else if (value >= 1 && value <= program::MaxLines) {
        if (!m_ctx.link.SendRegister(tag::WriteLineCount, reg::LineCount, int(RoundHalfEven(value))))
            return;
        m_ctx.state.BlockCount = 0;
        m_downloading = true;
    } else {
        m_ctx.prompter.message(BadLineCount());
    }
    m_ctx.view.setTimerEnabled(1, true);
}

void Transfer::StartBlocks()
{
    if (!m_ctx.port.isOpen()) {
        m_ctx.prompter.message(text::PortInvalidDownload());
        return;
    }
    if (m_ctx.state.RequestTag != tag::Idle)
        return;
    const int n = lineCount();
    // The box may have been edited since the count went out: never send what the image
    // cannot hold.
    if (n < 1 || n > program::MaxLines) {
        m_ctx.prompter.message(BadLineCount());
        return;
    }
    m_ctx.state.BlockIndex = 1;
    m_ctx.state.BlocksDone = 0;
    m_ctx.state.BlockCount = std::int16_t(ProgramRead::blockCountFor(n));
    if (!m_ctx.link.WriteProgramBlock(reg::Program, reg::RegistersPerLine * std::min(n, program::LinesPerBlock)))
        blockWriteFailed();
}

// Block k of a transfer: ten lines, or what is left of the program for the last one. False
// when there is no such block (the line count changed under a running transfer).
bool Transfer::nextBlock(int tag, int &start, int &registers)
{
    m_ctx.state.RequestTag = std::int16_t(tag);
    const int k = ++m_ctx.state.BlockIndex;
    if (k > m_ctx.state.BlockCount || k > program::MaxLines / program::LinesPerBlock) {
        m_ctx.state.RequestTag = tag::Idle;
        return false;
    }
    const int rest = std::clamp(lineCount() - program::LinesPerBlock * (k - 1), 1, program::LinesPerBlock);
    start = reg::RegistersPerBlock * (k - 1);
    registers = reg::RegistersPerLine * (k == m_ctx.state.BlockCount ? rest : program::LinesPerBlock);
    return true;
}

void Transfer::NextBlock()
{
    int start = 0, registers = 0;
    if (nextBlock(tag::WriteBlock, start, registers) && !m_ctx.link.WriteProgramBlock(start, registers))
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
    checkDownloadEnded();
    return goOn;
}

// A block that cannot be written leaves the download button red: the transfer has stopped,
// although the controller acknowledged the line count.
void Transfer::blockWriteFailed()
{
    m_ctx.view.setButtonColor(MainView::Button::Command8, colors::Red);
    checkDownloadEnded();
}

void Transfer::portFailed()
{
    const int t = m_ctx.state.RequestTag;
    if (m_downloading && (t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue))
        m_ctx.view.setButtonColor(MainView::Button::Command8, colors::Red);
}

// A download ends with the last block's echo; ended any other way (a stop, the watchdog, a
// port failure, another command), the controller holds the new line count and a mix of new
// and old lines, and the user must know.
void Transfer::checkDownloadEnded()
{
    if (!m_downloading || isDownloadStep(m_ctx.state.RequestTag))
        return;
    m_downloading = false;
    if (m_ctx.state.BlockCount > 0 && m_ctx.state.BlockIndex == m_ctx.state.BlockCount &&
        m_ctx.state.BlocksDone == m_ctx.state.BlockCount)
        return;
    m_ctx.prompter.message(QCoreApplication::translate("Trelmo", "程序下载没有完成，控制器中的程序不完整！"));
}

void Transfer::UploadClick()
{
    m_ctx.view.HideCellEditors();
    if (!ConfirmDiscard())
        return;
    if (!m_ctx.port.isOpen()) {
        m_ctx.prompter.message(QCoreApplication::translate("Trelmo", "串口无效，无法读取！"));
        return;
    }
    // The line count is asked of slave 1.
    if (!m_ctx.link.ReadRegistersFrom(1, tag::LineCount, reg::LineCount, 1))
        return;
    if (!m_ctx.link.WaitForReply(500)) {
        if (!m_ctx.port.isOpen())
            return;  // the port failed meanwhile, and the user has been told
        m_ctx.view.setText(MainView::ConnectionLabel, text::NotConnected());
        m_ctx.port.close();
        m_ctx.prompter.message(text::NoController());
        return;
    }
    if (m_ctx.state.RejectedLineCount) {
        ProgramRead::reportRejectedCount(m_ctx.state, m_ctx.prompter);
        return;
    }
    const int n = lineCount();
    m_ctx.view.layoutProgramRows(n);
    if (m_ctx.state.RequestTag != tag::Idle) {
        m_ctx.prompter.message(text::NotDone());
        return;
    }
    ProgramRead::requestFirstBlock(m_ctx.state, m_ctx.link, m_ctx.view, n);
}
