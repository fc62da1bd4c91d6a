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
QString BadLineCount() { return QCoreApplication::translate("Trelmo", "行数输入不正确！"); }

bool isDownloadStep(int t)
{
    return t == tag::WriteLineCount || t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue;
}
}  // namespace

int Transfer::lineCount() const
{
    const double v = RoundHalfEven(NumericValue(m_view.lineCountText()));
    return int(std::clamp(v, -1.0, 32767.0));
}

void Transfer::DownloadClick()
{
    m_view.HideCellEditors();
    if (m_view.runModeCaption() == text::AutoRunOn()) {
        m_prompter.message(QCoreApplication::translate(
            "Trelmo", "请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！"));
        return;
    }
    const double value = NumericValue(m_view.lineCountText());
    if (!m_port.isOpen()) {
        m_prompter.message(text::PortInvalidDownload());
    } else if (m_state.RequestTag != tag::Idle) {
        m_prompter.message(text::NotDone());
    } else if (value >= 1 && value <= program::MaxLines) {
        if (!m_link.SendRegister(tag::WriteLineCount, reg::LineCount, int(RoundHalfEven(value))))
            return;
        m_state.BlockCount = 0;
        m_downloading = true;
    } else {
        m_prompter.message(BadLineCount());
    }
    m_view.setTimer1Enabled(true);
}

void Transfer::StartBlocks()
{
    if (!m_port.isOpen()) {
        m_prompter.message(text::PortInvalidDownload());
        return;
    }
    if (m_state.RequestTag != tag::Idle)
        return;
    const int n = lineCount();
    // The box may have been edited since the count went out: never send what the image
    // cannot hold.
    if (n < 1 || n > program::MaxLines) {
        m_prompter.message(BadLineCount());
        return;
    }
    m_state.BlockIndex = 1;
    m_state.BlocksDone = 0;
    m_state.BlockCount = std::int16_t(ProgramRead::blockCountFor(n));
    if (!m_link.WriteProgramBlock(reg::Program, reg::RegistersPerLine * std::min(n, program::LinesPerBlock)))
        blockWriteFailed();
}

void Transfer::NextBlock()
{
    m_state.RequestTag = tag::WriteBlock;
    const int k = ++m_state.BlockIndex;
    if (k > m_state.BlockCount || k > program::MaxLines / program::LinesPerBlock) {
        // Nothing left to send: the count changed under a running transfer.
        m_state.RequestTag = tag::Idle;
        return;
    }
    const int rest = std::clamp(lineCount() - program::LinesPerBlock * (k - 1), 1, program::LinesPerBlock);
    const int lines = k == m_state.BlockCount ? rest : program::LinesPerBlock;
    if (!m_link.WriteProgramBlock(reg::RegistersPerBlock * (k - 1), reg::RegistersPerLine * lines))
        blockWriteFailed();
}

void Transfer::NextReadBlock()
{
    m_state.RequestTag = tag::ReadBlock;
    const int k = ++m_state.BlockIndex;
    if (k > m_state.BlockCount || k > program::MaxLines / program::LinesPerBlock) {
        m_state.RequestTag = tag::Idle;
        return;
    }
    const int rest = std::clamp(lineCount() - program::LinesPerBlock * (k - 1), 1, program::LinesPerBlock);
    const int lines = k == m_state.BlockCount ? rest : program::LinesPerBlock;
    m_link.ReadRegisters(tag::ReadBlock, reg::RegistersPerBlock * (k - 1), reg::RegistersPerLine * lines);
}

bool Transfer::timerStep()
{
    bool goOn = true;
    if (m_state.RequestTag == tag::ReadBlockDue) {
        NextReadBlock();
        goOn = m_port.isOpen() || m_state.RequestTag != tag::Idle;
    } else if (m_state.RequestTag == tag::WriteBlockDue) {
        NextBlock();
        goOn = m_port.isOpen() || m_state.RequestTag != tag::Idle;
    } else if (m_state.RequestTag == tag::BlocksDue) {
        m_state.RequestTag = tag::Idle;
        StartBlocks();
    }
    checkDownloadEnded();
    return goOn;
}

// A block that cannot be written leaves the download button red: the transfer has stopped,
// although the controller acknowledged the line count.
void Transfer::blockWriteFailed()
{
    m_view.setButtonColor(MainView::Button::Command8, colors::Red);
    checkDownloadEnded();
}

void Transfer::portFailed()
{
    const int t = m_state.RequestTag;
    if (m_downloading && (t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue))
        m_view.setButtonColor(MainView::Button::Command8, colors::Red);
}

// A download ends with the last block's echo; ended any other way (a stop, the watchdog, a
// port failure, another command), the controller holds the new line count and a mix of new
// and old lines, and the user must know.
void Transfer::checkDownloadEnded()
{
    if (!m_downloading || isDownloadStep(m_state.RequestTag))
        return;
    m_downloading = false;
    if (m_state.BlockCount > 0 && m_state.BlockIndex == m_state.BlockCount && m_state.BlocksDone == m_state.BlockCount)
        return;
    m_prompter.message(QCoreApplication::translate("Trelmo", "程序下载没有完成，控制器中的程序不完整！"));
}

void Transfer::UploadClick()
{
    m_view.HideCellEditors();
    if (!ConfirmDiscard())
        return;
    if (!m_port.isOpen()) {
        m_prompter.message(QCoreApplication::translate("Trelmo", "串口无效，无法读取！"));
        return;
    }
    // The line count is asked of slave 1.
    if (!m_link.ReadRegistersFrom(1, tag::LineCount, reg::LineCount, 1))
        return;
    if (!m_link.WaitForReply(500)) {
        if (!m_port.isOpen())
            return;  // the port failed meanwhile, and the user has been told
        m_view.setConnectionLabel(text::NotConnected());
        m_port.close();
        m_prompter.message(text::NoController());
        return;
    }
    if (m_state.RejectedLineCount) {
        ProgramRead::reportRejectedCount(m_state, m_prompter);
        return;
    }
    const int n = lineCount();
    m_view.layoutProgramRows(n);
    if (m_state.RequestTag != tag::Idle) {
        m_prompter.message(text::NotDone());
        return;
    }
    ProgramRead::requestFirstBlock(m_state, m_link, m_view, n);
}
