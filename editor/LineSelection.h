// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lines selected by their numbers: a click on a line number selects the line, Shift+click and a
// drag down the line-number column a range of lines. The selection is shown in the grid, and the
// last line of it is the selected line (SelectedRow) that the line buttons act on. A click on a
// cell is no line selection: it opens the cell's editor and the line selection is gone.
#include <QObject>
#include <cstdint>

class FlexGrid;

class LineSelection : public QObject {
    Q_OBJECT
public:
    LineSelection(FlexGrid &grid, std::int16_t &selectedRow, QObject *parent = nullptr);

    // Lines are selected by their numbers, and the grid still shows them so.
    bool active() const;
    int first() const { return m_first; }
    int last() const { return m_last; }
    // Shows lines `from` to `to` (either order) selected; the last of them is the selected line.
    void select(int from, int to);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The line under `y` of the line-number column; past its ends, the grid scrolls a line.
    int lineAt(int y);

    FlexGrid &m_grid;
    std::int16_t &SelectedRow;
    int m_anchor = 0;
    int m_first = 0;
    int m_last = 0;
    bool m_dragging = false;
};
