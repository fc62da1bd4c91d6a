// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/WheelHook.h"

#include "ui/FlexGrid.h"

#include <QWheelEvent>

void WheelHook::InstallWheelHook(QWidget *form)
{
    for (FlexGrid *grid : form->findChildren<FlexGrid *>()) {
        m_table.append({form, grid});
        grid->viewport()->installEventFilter(this);
    }
}

void WheelHook::RemoveWheelHook(QWidget *form)
{
    for (qsizetype i = m_table.size() - 1; i >= 0; --i) {
        if (m_table[i].owner != form)
            continue;
        if (m_table[i].grid)
            m_table[i].grid->viewport()->removeEventFilter(this);
        m_table.removeAt(i);
    }
}

bool WheelHook::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    FlexGrid *grid = nullptr;
    for (const Record &r : m_table)
        if (r.grid && r.grid->viewport() == watched) {
            grid = r.grid;
            break;
        }
    if (!grid)
        return QObject::eventFilter(watched, event);
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const int delta = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
    if (delta > 0) {
        if (!grid->rowIsVisible(1))
            grid->setTopRow(grid->topRow() - 1);
    } else if (delta < 0) {
        grid->setTopRow(grid->topRow() + 1);  // clamped at the last row
    }
    return true;
}
