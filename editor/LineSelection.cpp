// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/LineSelection.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "ui/FlexGrid.h"

LineSelection::LineSelection(FlexGrid &grid, std::int16_t &selectedRow, QObject *parent)
    : QObject(parent), m_grid(grid), SelectedRow(selectedRow)
{
    m_grid.verticalHeader()->viewport()->installEventFilter(this);
    // After the grid's own click has made the clicked line the selected one: the last line of a
    // range is.
    connect(&m_grid, &FlexGrid::clicked, this, [this] {
        if (m_grid.currentGridCol() == 0 && active())
            SelectedRow = std::int16_t(m_last);
    });
}

bool LineSelection::active() const
{
    const QItemSelectionModel *selection = m_grid.selectionModel();
    return m_first >= 1 && m_last <= m_grid.rowCount() && selection->isRowSelected(m_first - 1) &&
           selection->isRowSelected(m_last - 1);
}

void LineSelection::select(int from, int to)
{
    m_first = std::max(std::min(from, to), 1);
    m_last = std::min(std::max(from, to), m_grid.rowCount());
    if (m_first > m_last)
        return;
    const QAbstractItemModel *model = m_grid.model();
    // The keyboard's place is the selected line, not whatever cell was current.
    m_grid.selectionModel()->setCurrentIndex(model->index(m_last - 1, 0), QItemSelectionModel::NoUpdate);
    m_grid.selectionModel()->select(
        QItemSelection(model->index(m_first - 1, 0), model->index(m_last - 1, model->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    SelectedRow = std::int16_t(m_last);
}

int LineSelection::lineAt(int y)
{
    const QHeaderView &numbers = *m_grid.verticalHeader();
    if (y < 0)
        m_grid.setTopRow(m_grid.topRow() - 1);
    else if (y >= numbers.viewport()->height())
        m_grid.setTopRow(m_grid.topRow() + 1);
    const int section = numbers.logicalIndexAt(std::clamp(y, 0, numbers.viewport()->height() - 1));
    return section < 0 ? m_grid.rowCount() : section + 1;
}

bool LineSelection::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const int y = int(mouse->position().y());
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const int section = m_grid.verticalHeader()->logicalIndexAt(y);
        if (section < 0)
            return false;
        const int line = section + 1;
        // Shift extends the lines already selected; a plain click starts afresh.
        if (!(mouse->modifiers() & Qt::ShiftModifier) || !active())
            m_anchor = line;
        select(m_anchor, line);
        m_dragging = true;
        // The keys for the lines go to the grid.
        m_grid.setFocus(Qt::MouseFocusReason);
    } else if (type == QEvent::MouseMove && m_dragging && (mouse->buttons() & Qt::LeftButton)) {
        select(m_anchor, lineAt(y));
    } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        if (active())
            SelectedRow = std::int16_t(m_last);
    }
    return false;
}
