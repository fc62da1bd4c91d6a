#include "link/ProgramRead.h"

#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/RegisterMap.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"

#include <algorithm>

namespace ProgramRead {

int blockCountFor(int lines)
{
    return lines / reg::LinesPerBlock + (lines % reg::LinesPerBlock > 0 ? 1 : 0);
}

void layoutRows(MainView &view, int lines)
{
    FlexGrid &grid = view.grid();
    lines = std::clamp(lines, 0, int(reg::MaxLines));
    grid.setRows(lines + 1);
    for (int r = 0; r <= lines; ++r) {
        grid.setRowHeightTwips(r, 400);
        if (r >= 1)
            grid.setTextMatrix(r, 0, QString::number(r));
    }
}

bool requestFirstBlock(LinkState &state, CommPort &port, ModbusLink &link, MainView &view, int lines)
{
    if (lines < 1 || lines > reg::MaxLines)
        return true;
    const bool single = lines <= reg::LinesPerBlock;
    state.RequestTag = 2;
    port.setRThreshold(single ? 24 * lines + 5 : 245);
    link.ReadRegisters(state.SlaveAddress, reg::Program,
                       single ? reg::RegistersPerLine * lines : reg::RegistersPerBlock);
    if (link.SendFailed())
        return false;
    state.BlockIndex = 1;
    state.BlockCount = std::int16_t(blockCountFor(lines));
    view.setButtonColor(MainView::Button::Cmd5, colors::Green);
    return true;
}

void reportRejectedCount(const LinkState &state, Prompter &prompter)
{
    prompter.message(QStringLiteral("控制器中的程序有%1行，超过500行，无法读取！").arg(state.RejectedLineCount));
}

}  // namespace ProgramRead
