// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/TrafficView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

TrafficView::TrafficView(QWidget *parent) : QTableView(parent), m_rowHeight(fontMetrics().height() + 6)
{
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(m_rowHeight);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    // The newest row stays in view until the user scrolls away from it, and again once they
    // scroll back to it.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_settling)
            m_following = value >= verticalScrollBar()->maximum();
    });
}

void TrafficView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsRemoved(first, last); });
    const auto afresh = [this] {
        m_room = 0;
        m_layout = Layout::Full;
    };
    connect(model, &QAbstractItemModel::modelReset, this, afresh);
    connect(model, &QAbstractItemModel::layoutChanged, this, afresh);
}

int TrafficView::halfPage() const
{
    return viewport()->height() / 2 / m_rowHeight * m_rowHeight;
}

void TrafficView::setRange()
{
    QScrollBar *v = verticalScrollBar();
    const int rows = model() ? model()->rowCount() : 0;
    const int maximum = std::max(0, rows * m_rowHeight - viewport()->height() + m_room);
    if (maximum != v->maximum())
        v->setRange(0, maximum);
}

void TrafficView::follow()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_following = true;
}

// Qt lays the items out again, and paints them all, at every change of the rows; rows that came
// at the end or went at the top have been seen to already.
void TrafficView::doItemsLayout()
{
    if (std::exchange(m_layout, Layout::None) != Layout::Rows) {
        QTableView::doItemsLayout();
        return;
    }
    // Qt holds the hidden row header's painting while rows are removed, until the next layout.
    if (!verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(true);
}

void TrafficView::updateGeometries()
{
    const bool settling = std::exchange(m_settling, true);
    QTableView::updateGeometries();
    setRange();
    m_settling = settling;
    if (m_following)
        follow();
}

void TrafficView::resizeEvent(QResizeEvent *event)
{
    m_room = std::min(m_room, halfPage());
    QTableView::resizeEvent(event);
}

void TrafficView::rowsInserted(const QModelIndex &parent, int first, int last)
{
    QTableView::rowsInserted(parent, first, last);
    const int rows = model()->rowCount();
    if (last + 1 < rows || !isVisible()) {
        // Rows inside the table, where everything below them moves, or a table not on screen:
        // all of it anew.
        m_layout = Layout::Full;
        return;
    }
    if (m_layout == Layout::None)
        m_layout = Layout::Rows;
    // Rows at the end, followed: they go into the room left below the last row, and only they
    // are painted; when there is no room left, the rows jump up by half a page at once. Every
    // scroll sends the whole table to the display again, and a table that scrolls at each batch
    // of rows costs the screen it stands beside far more than the rows do.
    const int room = verticalScrollBar()->value() + viewport()->height() - rows * m_rowHeight;
    if (m_following)
        m_room = room >= 0 ? room : halfPage();
    setRange();
    if (m_following && room < 0)
        follow();
    // Painted where they stand now (a jump moved up the room as it was, empty).
    const int top = rowViewportPosition(first);
    viewport()->update(QRect(0, top, viewport()->width(), rowViewportPosition(last) + m_rowHeight - top));
}

void TrafficView::rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    m_dropping = true;
    QTableView::rowsAboutToBeRemoved(parent, first, last);
}

// The current row let go of at the top hands its place to the row after it, which does not
// bring the view there.
void TrafficView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    const bool scroll = hasAutoScroll();
    setAutoScroll(scroll && !m_dropping);
    QTableView::currentChanged(current, previous);
    setAutoScroll(scroll);
}

void TrafficView::rowsRemoved(int first, int last)
{
    const int gone = (last - first + 1) * m_rowHeight;
    QScrollBar *v = verticalScrollBar();
    const int value = v->value();
    if (first > 0 || value < gone || m_layout == Layout::Full || !isVisible()) {
        m_layout = Layout::Full;
        m_dropping = false;
        return;
    }
    // The oldest rows went, out of sight: the rows shown stay where they are, unpainted.
    if (m_layout == Layout::None)
        m_layout = Layout::Rows;
    const bool settling = std::exchange(m_settling, true);
    setRange();
    v->setValue(value - gone);
    m_settling = settling;
    m_dropping = false;
}

// While rows are let go of at the top, the scroll bar moves with the rows, not the view.
void TrafficView::scrollContentsBy(int dx, int dy)
{
    if (m_dropping)
        verticalHeader()->setOffset(verticalScrollBar()->value());
    else
        QTableView::scrollContentsBy(dx, dy);
}

QList<int> TrafficView::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TrafficView::keyPressEvent(QKeyEvent *event)
{
    // Whole rows, not the current cell as Qt's views copy.
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
