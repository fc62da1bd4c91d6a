#include "mainwindow/TrafficView.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

TrafficView::TrafficView(QWidget *parent)
    : QAbstractScrollArea(parent), m_header(new QHeaderView(Qt::Horizontal, this)),
      m_rowHeight(fontMetrics().height() + 6)
{
    m_header->setStretchLastSection(true);
    m_header->setHighlightSections(false);
    m_header->setSectionsClickable(false);
    // An opaque viewport is scrolled by moving what it shows, not by painting it again.
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(m_rowHeight);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        layOut();
        viewport()->update();
    });
    // The newest row stays in view until the user scrolls away from it, and again once they
    // scroll back to it.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_settling)
            m_following = value >= verticalScrollBar()->maximum();
    });
}

void TrafficView::setModel(QAbstractItemModel *model, std::function<quint64(int)> key)
{
    m_model = model;
    m_key = std::move(key);
    m_header->setModel(model);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { rowsInserted(first, last); });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsRemoved(first, last); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) { updateRows(from.row(), to.row()); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_current = m_anchor = -1;
        m_room = 0;
        layOut();
        viewport()->update();
    });
    layOut();
}

int TrafficView::rows() const
{
    return m_model ? m_model->rowCount() : 0;
}

int TrafficView::rowAt(int y) const
{
    const int row = (y + verticalScrollBar()->value()) / m_rowHeight;
    return y >= 0 && row < rows() ? row : -1;
}

// The header over the viewport, and the scroll bars' ranges for the rows and the columns.
void TrafficView::layOut()
{
    const int headerHeight = m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    QScrollBar *v = verticalScrollBar(), *h = horizontalScrollBar();
    const bool settling = std::exchange(m_settling, true);
    v->setPageStep(std::max(m_rowHeight, area.height()));
    v->setRange(0, std::max(0, rows() * m_rowHeight - area.height() + m_room));
    h->setPageStep(area.width());
    h->setRange(0, std::max(0, m_header->length() - area.width()));
    m_settling = settling;
    m_header->setOffset(h->value());
}

void TrafficView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_room = std::min(m_room, viewport()->height() / 2 / m_rowHeight * m_rowHeight);
    layOut();
    if (m_following)
        scrollToBottom();
}

void TrafficView::scrollContentsBy(int dx, int dy)
{
    m_header->setOffset(horizontalScrollBar()->value());
    viewport()->scroll(dx, dy);
}

void TrafficView::scrollToBottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_following = true;
}

void TrafficView::rowsInserted(int first, int last)
{
    layOut();
    if (last + 1 < rows()) {
        // Rows inside the table: everything below them moves.
        for (int *r : {&m_current, &m_anchor})
            if (*r >= first)
                *r += last - first + 1;
        viewport()->update();
        return;
    }
    // Rows at the end, followed: they go into the room left below the last row, and only they
    // are painted; when there is no room left, the rows jump up by half a page at once. Every
    // scroll repaints the whole table, and a table that scrolls at each new row costs the
    // screen it stands beside far more than the rows do.
    if (m_following) {
        QScrollBar *v = verticalScrollBar();
        const int room = v->value() + viewport()->height() - rows() * m_rowHeight;
        if (room < 0) {
            m_room = std::max(0, viewport()->height() / 2 / m_rowHeight * m_rowHeight);
            layOut();
            scrollToBottom();
            // The scroll moved up the room as it was, empty: the new rows are painted where
            // they now stand.
            updateRows(first, last);
            return;
        }
        m_room = room;
        layOut();
    }
    updateRows(first, last);
}

void TrafficView::rowsRemoved(int first, int last)
{
    const int count = last - first + 1;
    for (int *r : {&m_current, &m_anchor})
        *r = *r > last ? *r - count : *r >= first ? -1 : *r;
    QScrollBar *v = verticalScrollBar();
    const int value = v->value();
    if (first == 0 && value >= count * m_rowHeight) {
        // The oldest rows went, out of sight: the rows shown stay where they are, unpainted.
        const bool blocked = v->blockSignals(true);
        layOut();
        v->setValue(value - count * m_rowHeight);
        v->blockSignals(blocked);
        return;
    }
    layOut();
    viewport()->update();
}

void TrafficView::updateRows(int first, int last)
{
    const int top = first * m_rowHeight - verticalScrollBar()->value();
    const int bottom = (last + 1) * m_rowHeight - verticalScrollBar()->value();
    const QRect rows = QRect(0, top, viewport()->width(), bottom - top).intersected(viewport()->rect());
    if (!rows.isEmpty())
        viewport()->update(rows);
}

void TrafficView::paintEvent(QPaintEvent *event)
{
    if (!m_model)
        return;
    QPainter p(viewport());
    const QRect area = event->rect();
    const int offset = verticalScrollBar()->value();
    const int first = std::max(0, (area.top() + offset) / m_rowHeight);
    const int last = std::min(rows() - 1, (area.bottom() + offset) / m_rowHeight);
    const QPalette &palette = this->palette();
    const QColor grid = palette.color(QPalette::Mid);
    const QFont font = p.font();
    for (int r = first; r <= last; ++r) {
        const int y = r * m_rowHeight - offset;
        const bool selected = m_selected.count(m_key(r)) > 0;
        const QRect line(0, y, viewport()->width(), m_rowHeight);
        if (selected)
            p.fillRect(line, palette.highlight());
        else if (const QVariant back = m_model->data(m_model->index(r, 0), Qt::BackgroundRole); back.isValid())
            p.fillRect(line, back.value<QColor>());
        for (int c = 0; c < m_model->columnCount(); ++c) {
            const int x = m_header->sectionViewportPosition(c), w = m_header->sectionSize(c);
            if (x + w < area.left() || x > area.right())
                continue;
            const QModelIndex index = m_model->index(r, c);
            const QVariant align = m_model->data(index, Qt::TextAlignmentRole);
            const QVariant cellFont = m_model->data(index, Qt::FontRole);
            p.setFont(cellFont.isValid() ? cellFont.value<QFont>() : font);
            p.setPen(selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text));
            p.drawText(QRect(x + 4, y, w - 8, m_rowHeight),
                       (align.isValid() ? align.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter)) | Qt::TextSingleLine,
                       m_model->data(index).toString());
            p.setPen(grid);
            p.drawLine(x + w - 1, y, x + w - 1, y + m_rowHeight - 1);
        }
        p.setPen(grid);
        p.drawLine(0, y + m_rowHeight - 1, viewport()->width(), y + m_rowHeight - 1);
    }
}

void TrafficView::select(int row, Qt::KeyboardModifiers modifiers)
{
    if (row < 0 || row >= rows())
        return;
    if ((modifiers & Qt::ShiftModifier) && m_anchor >= 0) {
        if (!(modifiers & Qt::ControlModifier))
            m_selected.clear();
        for (int r = std::min(row, m_anchor); r <= std::max(row, m_anchor); ++r)
            m_selected.insert(m_key(r));
    } else if (modifiers & Qt::ControlModifier) {
        if (!m_selected.erase(m_key(row)))
            m_selected.insert(m_key(row));
        m_anchor = row;
    } else {
        m_selected = {m_key(row)};
        m_anchor = row;
    }
    m_current = row;
    // In view, and the view no longer follows the newest row unless it is that one.
    QScrollBar *v = verticalScrollBar();
    if (row * m_rowHeight < v->value())
        v->setValue(row * m_rowHeight);
    else if ((row + 1) * m_rowHeight > v->value() + viewport()->height())
        v->setValue((row + 1) * m_rowHeight - viewport()->height());
    viewport()->update();
}

void TrafficView::selectRow(int row)
{
    select(row, Qt::NoModifier);
}

QList<int> TrafficView::selectedRows() const
{
    QList<int> out;
    for (int r = 0; r < rows() && out.size() < int(m_selected.size()); ++r)
        if (m_selected.count(m_key(r)))
            out << r;
    return out;
}

void TrafficView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        select(rowAt(event->position().toPoint().y()), event->modifiers());
}

void TrafficView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        select(rowAt(event->position().toPoint().y()), Qt::ShiftModifier);
}

void TrafficView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        for (int r = 0; r < rows(); ++r)
            m_selected.insert(m_key(r));
        viewport()->update();
        return;
    }
    const int page = std::max(1, viewport()->height() / m_rowHeight);
    int row = m_current;
    switch (event->key()) {
    case Qt::Key_Up: row -= 1; break;
    case Qt::Key_Down: row += 1; break;
    case Qt::Key_PageUp: row -= page; break;
    case Qt::Key_PageDown: row += page; break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows() - 1; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    select(std::clamp(row, 0, rows() - 1), event->modifiers() & Qt::ShiftModifier);
}

bool TrafficView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_model) {
        const QPoint at = static_cast<QHelpEvent *>(event)->pos();
        const int row = rowAt(at.y()), column = m_header->logicalIndexAt(at.x());
        const QString tip = row >= 0 && column >= 0 ? m_model->data(m_model->index(row, column), Qt::ToolTipRole).toString()
                                                    : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
