// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ControllerStatus.h"

#include <utility>

void ControllerStatus::setLabel(Label label)
{
    if (std::exchange(m_label, label) != label)
        emit changed();
}

void ControllerStatus::setConnected(bool connected)
{
    if (std::exchange(m_connected, connected) != connected)
        emit changed();
}

void ControllerStatus::setAutoRun(bool on)
{
    if (std::exchange(m_autoRun, on) != on)
        emit changed();
}
