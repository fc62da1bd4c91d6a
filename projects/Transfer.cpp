#include "projects/Transfer.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/ProgramRead.h"
#include "link/RegisterMap.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/NumberText.h"
#include "ui/WaitMs.h"

#include <algorithm>

namespace {
const QString PortInvalidDownload = QStringLiteral("串口无效，无法下载！");
const QString NotDone = QStringLiteral("此次操作没有成功！");
}  // namespace

int Transfer::lineCount() const
{
    const double v = RoundHalfEven(NumericValue(m_view.lineCountText()));
    return int(std::clamp(v, -1.0, 32767.0));
}

bool Transfer::failedSend()
{
    return m_link.SendFailed();
}

void Transfer::DownloadClick()
{
    m_view.HideCellEditors();
    if (m_view.runModeCaption() == QStringLiteral("上电自运行")) {
        m_prompter.message(
            QStringLiteral("请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！"));
        return;
    }
    const double value = NumericValue(m_view.lineCountText());
    if (!m_port.isOpen()) {
        m_prompter.message(PortInvalidDownload);
    } else if (m_state.RequestTag != 0) {
        m_prompter.message(NotDone);
    } else if (value >= 1 && value <= reg::MaxLines) {
        m_state.RequestTag = 7;
        m_port.setRThreshold(8);
        m_link.SendRegister(m_state.SlaveAddress, reg::LineCount, int(RoundHalfEven(value)));
        if (failedSend())
            return;
    } else {
        m_prompter.message(QStringLiteral("行数输入不正确！"));
    }
    m_view.setTimer1Enabled(true);
}

void Transfer::StartBlocks()
{
    if (!m_port.isOpen()) {
        m_prompter.message(PortInvalidDownload);
        return;
    }
    if (m_state.RequestTag != 0)
        return;
    const int n = lineCount();
    // The box may have been edited since the count went out: never send what the image
    // cannot hold.
    if (n < 1 || n > reg::MaxLines) {
        m_prompter.message(QStringLiteral("行数输入不正确！"));
        return;
    }
    m_state.RequestTag = 4;
    m_port.setRThreshold(8);
    m_state.BlockIndex = 1;
    m_state.BlockCount = std::int16_t(ProgramRead::blockCountFor(n));
    m_link.WriteProgramBlock(m_state.SlaveAddress, reg::Program,
                             n <= reg::LinesPerBlock ? reg::RegistersPerLine * n : reg::RegistersPerBlock);
    if (failedSend())
        m_view.setButtonColor(MainView::Button::Command8, colors::Red);
}

void Transfer::NextBlock()
{
    m_state.RequestTag = 4;
    const int k = ++m_state.BlockIndex;
    const int rest = std::clamp(lineCount() - 10 * (k - 1), 1, reg::LinesPerBlock);
    if (k > m_state.BlockCount || k > reg::MaxLines / reg::LinesPerBlock) {
        // Nothing left to send: the count changed under a running transfer.
        m_state.RequestTag = 0;
        return;
    }
    m_port.setRThreshold(8);
    m_link.WriteProgramBlock(m_state.SlaveAddress, reg::RegistersPerBlock * (k - 1),
                             k == m_state.BlockCount ? reg::RegistersPerLine * rest : reg::RegistersPerBlock);
    failedSend();
}

void Transfer::NextReadBlock()
{
    m_state.RequestTag = 2;
    const int k = ++m_state.BlockIndex;
    if (k > m_state.BlockCount || k > reg::MaxLines / reg::LinesPerBlock) {
        m_state.RequestTag = 0;
        return;
    }
    const int m =
        k == m_state.BlockCount ? std::clamp(lineCount() - 10 * (k - 1), 1, reg::LinesPerBlock) : reg::LinesPerBlock;
    m_port.setRThreshold(24 * m + 5);
    m_link.ReadRegisters(m_state.SlaveAddress, reg::RegistersPerBlock * (k - 1), reg::RegistersPerLine * m);
    failedSend();
}

bool Transfer::timerStep()
{
    if (m_state.RequestTag == 3) {
        NextReadBlock();
        return m_port.isOpen() || m_state.RequestTag != 0;
    }
    if (m_state.RequestTag == 5) {
        NextBlock();
        return m_port.isOpen() || m_state.RequestTag != 0;
    }
    if (m_state.RequestTag == 8) {
        m_state.RequestTag = 0;
        StartBlocks();
    }
    return true;
}

void Transfer::UploadClick()
{
    m_view.HideCellEditors();
    if (!ConfirmDiscard())
        return;
    if (!m_port.isOpen()) {
        m_prompter.message(QStringLiteral("串口无效，无法读取！"));
        return;
    }
    m_state.RequestTag = 1;
    m_port.setRThreshold(7);
    m_link.ReadRegisters(1, reg::LineCount, 1);
    WaitMs(500);
    if (failedSend())
        return;
    if (m_state.RequestTag == 1) {
        m_view.setConnectionLabel(QStringLiteral("控制器没有连接！"));
        m_port.close();
        m_prompter.message(QStringLiteral("串口存在，但控制器没有连接上！"));
        return;
    }
    if (m_state.RejectedLineCount) {
        ProgramRead::reportRejectedCount(m_state, m_prompter);
        return;
    }
    const int n = lineCount();
    ProgramRead::layoutRows(m_view, n);
    if (m_state.RequestTag != 0) {
        m_prompter.message(NotDone);
        return;
    }
    ProgramRead::requestFirstBlock(m_state, m_port, m_link, m_view, n);
}
