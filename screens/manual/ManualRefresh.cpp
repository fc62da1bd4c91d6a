// SPDX-License-Identifier: GPL-3.0-or-later
// The status refresh of the manual screen: one read of the status block every 200 ms, shown
// one tick later.
#include "screens/manual/ManualScreen.h"

#include "core/ToolState.h"
#include "core/ControllerStatus.h"
#include "protocol/RegisterMap.h"
#include "protocol/Tags.h"
#include "screens/manual/ManualStatus.h"
#include "core/Texts.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

bool ManualScreen::refresh()
{
    // The refresh runs again once a command has gone out on a working port.
    m_jog.settle();
    ToolState &s = m_ctx.state;
    if (s.RequestTag == tag::ManualReceived) {
        s.RequestTag = tag::ManualReadDue;
        showStatus();
    }
    // Also left by the reply to the power-on auto-run write: a read without a display.
    if (s.RequestTag == tag::ManualReadDue)
        return refreshRead(tag::ManualRead, reg::Status, reg::StatusCount);
    return true;
}

void ManualScreen::showStatus()
{
    toggleLamp();
    const ManualStatus st = DecodeManualStatus(m_ctx.state.ManualReplyBytes);
    if (SkipRefresh == 1) {
        SkipRefresh = 0;
    } else {
        for (int i = 0; i < 5; ++i)
            SetTextIfChanged(Text1[std::size_t(i)], st.values[std::size_t(i)]);
    }
    const QString runMode = st.autoRun ? text::AutoRunOn() : text::AutoRunOff();
    Command3->setText(runMode);
    m_ctx.status.setAutoRun(st.autoRun);
    Check1[1]->setChecked(st.stepMode);
    for (int i = 0; i < 4; ++i)
        Shape1[std::size_t(i)]->setLit(st.inputs[std::size_t(i)]);
    for (int i = 0; i < 3; ++i)
        Shape1[std::size_t(4 + i)]->setLit(st.origins[std::size_t(i)]);
    for (int i = 0; i < 4; ++i) {
        const bool on = st.outputs[std::size_t(i)];
        Shape1[std::size_t(7 + i)]->setLit(on);
        showOutput(i + 1, on);
    }
}

void ManualScreen::showOutput(int n, bool on)
{
    m_outputOn[std::size_t(n - 1)] = on;
    Command1[std::size_t(14 - n)]->setText(outputCaption(n, !on));
}
