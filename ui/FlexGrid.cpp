// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FlexGrid.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {
// A cell shows its column's alignment unless it was given one of its own: the alignment is
// kept once per column, not stored in each of the thousands of cells a program fills.
class GridItem : public QTableWidgetItem {
public:
    explicit GridItem(const Qt::Alignment *columns) : m_columns(columns) {}
    QVariant data(int role) const override
    {
        QVariant v = QTableWidgetItem::data(role);
        if (role == Qt::TextAlignmentRole && !v.isValid()) {
            const int c = column();
            if (c >= 0 && c + 1 < FlexGrid::Cols)
                v = int(m_columns[c + 1]);
        }
        return v;
    }
    QTableWidgetItem *clone() const override { return new GridItem(*this); }

private:
    const Qt::Alignment *m_columns;
};
}  // namespace

FlexGrid::FlexGrid(QWidget *parent) : QTableWidget(1, Cols - 1, parent)
{
    for (auto &a : m_colAlign)
        a = Qt::AlignCenter;
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    setRowCount(0);
    for (int c = 0; c < Cols - 1; ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));

    connect(this, &QTableWidget::cellClicked, this, [this](int r, int c) {
        m_row = r + 1;
        m_col = c + 1;
        emit clicked();
    });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        m_row = 0;
        m_col = c + 1;
        emit clicked();
    });
    connect(verticalHeader(), &QHeaderView::sectionClicked, this, [this](int r) {
        m_row = r + 1;
        m_col = 0;
        emit clicked();
    });
}

int FlexGrid::twipsToPixels(int twips) const
{
    return int(std::lround(twips * logicalDpiY() / 1440.0));
}

int FlexGrid::pixelsToTwips(int pixels) const
{
    const int dpi = std::max(1, logicalDpiY());
    return int(std::lround(pixels * 1440.0 / dpi));
}

void FlexGrid::setRows(int rows)
{
    const int old = rowCount();
    const int wanted = std::max(0, rows - 1);
    setRowCount(wanted);
    for (int r = old; r < wanted; ++r)
        setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
}

void FlexGrid::setColWidthTwips(int col, int twips)
{
    const int px = std::max(0, twipsToPixels(twips));
    if (col == 0)
        verticalHeader()->setFixedWidth(px);
    else if (col > 0 && col < Cols)
        setColumnWidth(col - 1, px);
}

int FlexGrid::colWidthTwips(int col) const
{
    if (col == 0)
        return pixelsToTwips(verticalHeader()->width());
    if (col > 0 && col < Cols)
        return pixelsToTwips(columnWidth(col - 1));
    return 0;
}

void FlexGrid::setRowHeightTwips(int row, int twips)
{
    const int px = std::max(1, twipsToPixels(twips));
    if (row == 0)
        horizontalHeader()->setFixedHeight(px);
    else if (row >= 1 && row <= rowCount())
        setRowHeight(row - 1, px);
    // Every row shares the default height; setting it again walks every row, so a grid of
    // 500 rows laid out row by row would walk them 500 times.
    if (row >= 1 && verticalHeader()->defaultSectionSize() != px)
        verticalHeader()->setDefaultSectionSize(px);
}

void FlexGrid::setRowHeightsTwips(int first, int last, int twips)
{
    const int px = std::max(1, twipsToPixels(twips));
    first = std::max(first, 1);
    last = std::min(last, rowCount());
    if (first > last)
        return;
    // Rows made from now on take the default height; rows already that high are left alone.
    if (verticalHeader()->defaultSectionSize() != px)
        verticalHeader()->setDefaultSectionSize(px);
    for (int r = first; r <= last; ++r)
        if (rowHeight(r - 1) != px)
            setRowHeight(r - 1, px);
}

int FlexGrid::rowHeightTwips(int row) const
{
    if (row == 0)
        return pixelsToTwips(horizontalHeader()->height());
    if (row >= 1 && row <= rowCount())
        return pixelsToTwips(rowHeight(row - 1));
    return 0;
}

Qt::Alignment FlexGrid::alignmentFor(int code) const
{
    switch (code) {
    case 0: return Qt::AlignLeft | Qt::AlignTop;
    case 1: return Qt::AlignLeft | Qt::AlignVCenter;
    case 2: return Qt::AlignLeft | Qt::AlignBottom;
    case 3: return Qt::AlignHCenter | Qt::AlignTop;
    case 5: return Qt::AlignHCenter | Qt::AlignBottom;
    case 6: return Qt::AlignRight | Qt::AlignTop;
    case 7: return Qt::AlignRight | Qt::AlignVCenter;
    case 8: return Qt::AlignRight | Qt::AlignBottom;
    default: return Qt::AlignCenter;
    }
}

void FlexGrid::setColAlignment(int col, int alignment)
{
    if (col < 0 || col >= Cols)
        return;
    const Qt::Alignment align = alignmentFor(alignment);
    if (align == m_colAlign[col])
        return;
    m_colAlign[col] = align;
    // The cells ask their column for it when they are drawn.
    if (col > 0)
        viewport()->update();
}

void FlexGrid::setFixedAlignment(int col, int alignment)
{
    // Fixed cells share one alignment per header in this widget.
    if (col == 0)
        verticalHeader()->setDefaultAlignment(alignmentFor(alignment));
    else
        horizontalHeader()->setDefaultAlignment(alignmentFor(alignment));
}

QTableWidgetItem *FlexGrid::itemFor(int row, int col, bool create)
{
    if (row < 1 || row > rowCount() || col < 1 || col >= Cols)
        return nullptr;
    QTableWidgetItem *it = item(row - 1, col - 1);
    if (!it && create) {
        it = new GridItem(m_colAlign);
        setItem(row - 1, col - 1, it);
    }
    return it;
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (row == 0 && col == 0) {
        m_corner = text;
    } else if (row == 0) {
        if (col < Cols)
            horizontalHeaderItem(col - 1)->setText(text);
    } else if (col == 0) {
        if (row <= rowCount()) {
            QTableWidgetItem *h = verticalHeaderItem(row - 1);
            if (!h)
                setVerticalHeaderItem(row - 1, h = new QTableWidgetItem);
            if (h->text() != text)
                h->setText(text);
        }
    } else if (QTableWidgetItem *it = itemFor(row, col, true)) {
        // A program rendered again mostly writes what its cells already show.
        if (it->text() != text)
            it->setText(text);
    }
}

void FlexGrid::setTextMatrix(int row, int col, QLatin1StringView text)
{
    if (textMatrix(row, col) != text)
        setTextMatrix(row, col, QString(text));
}

QString FlexGrid::textMatrix(int row, int col) const
{
    if (row == 0 && col == 0)
        return m_corner;
    if (row == 0)
        return col < Cols ? horizontalHeaderItem(col - 1)->text() : QString();
    if (row > rowCount() || col < 0 || col >= Cols)
        return QString();
    if (col == 0) {
        const QTableWidgetItem *h = verticalHeaderItem(row - 1);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem *it = item(row - 1, col - 1);
    return it ? it->text() : QString();
}

FlexGrid::TextBatch::TextBatch(FlexGrid &grid) : m_grid(grid), m_wasBlocked(grid.model()->blockSignals(true))
{
    ++m_grid.m_batches;
}

FlexGrid::TextBatch::~TextBatch()
{
    m_grid.model()->blockSignals(m_wasBlocked);
    if (--m_grid.m_batches > 0)
        return;
    // The view and both headers take every text afresh.
    const int rows = m_grid.rowCount(), cols = m_grid.columnCount();
    if (rows > 0 && cols > 0)
        m_grid.dataChanged(m_grid.model()->index(0, 0), m_grid.model()->index(rows - 1, cols - 1));
    if (cols > 0)
        m_grid.horizontalHeader()->headerDataChanged(Qt::Horizontal, 0, cols - 1);
    if (rows > 0)
        m_grid.verticalHeader()->headerDataChanged(Qt::Vertical, 0, rows - 1);
}

void FlexGrid::clearTexts()
{
    clearContents();
    const TextBatch batch(*this);
    m_corner.clear();
    for (int c = 0; c < Cols - 1; ++c)
        horizontalHeaderItem(c)->setText(QString());
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem *h = verticalHeaderItem(r))
            h->setText(QString());
}

void FlexGrid::setCurrentCell(int row, int col)
{
    m_row = row;
    m_col = col;
    if (row >= 1 && col >= 1)
        QTableWidget::setCurrentCell(row - 1, col - 1);
}

QRect FlexGrid::cellRectInParent(int row, int col) const
{
    QWidget *p = parentWidget();
    QRect r;
    if (row >= 1 && col >= 1 && row <= rowCount() && col < Cols) {
        r = visualRect(model()->index(row - 1, col - 1));
        r.moveTopLeft(viewport()->mapTo(p ? p : const_cast<FlexGrid *>(this), r.topLeft()));
    }
    return r;
}

int FlexGrid::topRow() const
{
    return verticalScrollBar()->value() + 1;
}

void FlexGrid::setTopRow(int row)
{
    verticalScrollBar()->setValue(std::clamp(row - 1, 0, verticalScrollBar()->maximum()));
}

bool FlexGrid::rowIsVisible(int row) const
{
    if (row < 1 || row > rowCount())
        return false;
    const int y = rowViewportPosition(row - 1);
    return y >= 0 && y < viewport()->height();
}
