// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program grid: a table whose row 0 is a fixed header row and whose column 0 is a fixed
// label column, addressed by (row, column) with sizes in twips. Row 0 is drawn by the
// horizontal header and column 0 by the vertical header, so both stay in view on scrolling.
#include <QString>
#include <QTableWidget>

class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int Cols = 8;

    explicit FlexGrid(QWidget *parent = nullptr);

    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

    // Rows including the header row (at least 1).
    void setRows(int rows);
    int rows() const { return rowCount() + 1; }

    int gridWidthTwips() const { return pixelsToTwips(width()); }
    void setColWidthTwips(int col, int twips);
    int colWidthTwips(int col) const;
    void setRowHeightTwips(int row, int twips);
    // Rows `first` to `last` (1-based), each `twips` high: one conversion for them all, where
    // asking the screen for its resolution row by row costs more than the rows themselves.
    void setRowHeightsTwips(int first, int last, int twips);
    int rowHeightTwips(int row) const;
    // 4 = centred both ways, the only alignment the tool uses; others map to left/centre.
    void setColAlignment(int col, int alignment);
    void setFixedAlignment(int col, int alignment);

    void setTextMatrix(int row, int col, const QString &text);
    // Compared with what the cell shows first: a string is made only for a cell that changes.
    void setTextMatrix(int row, int col, QLatin1StringView text);
    QString textMatrix(int row, int col) const;
    // Clears every cell text, header texts included; rows and layout stay.
    void clearTexts();

    // Texts written while a TextBatch lives reach the view together when the last one ends.
    // A program of 500 lines is 3,500 cells, and a view told of each cell apart measures and
    // redraws 3,500 times. Only texts may change meanwhile, never the rows or columns.
    class TextBatch {
    public:
        explicit TextBatch(FlexGrid &grid);
        ~TextBatch();
        TextBatch(const TextBatch &) = delete;
        TextBatch &operator=(const TextBatch &) = delete;

    private:
        FlexGrid &m_grid;
        bool m_wasBlocked;
    };

    // The cell last clicked (the current cell).
    int currentGridRow() const { return m_row; }
    int currentGridCol() const { return m_col; }
    QString currentText() const { return textMatrix(m_row, m_col); }
    void setCurrentText(const QString &text) { setTextMatrix(m_row, m_col, text); }
    // Selects a cell as a click would, without the click event.
    void setCurrentCell(int row, int col);

    // Where a cell lies, in the coordinates of the grid's parent widget.
    QRect cellRectInParent(int row, int col) const;

    // First scrollable row shown at the top (1 when scrolled to the start).
    int topRow() const;
    void setTopRow(int row);
    bool rowIsVisible(int row) const;

signals:
    // A click on any cell, fixed cells included; the current cell already names it.
    void clicked();

private:
    QTableWidgetItem *itemFor(int row, int col, bool create);
    Qt::Alignment alignmentFor(int code) const;

    int m_row = 0;
    int m_col = 0;
    QString m_corner;
    int m_batches = 0;
    Qt::Alignment m_colAlign[Cols];
};
