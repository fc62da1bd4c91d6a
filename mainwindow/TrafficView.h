#pragma once
// The traffic monitor's table: the rows of a table model under a header of its columns, one
// line of text each. Rows come at the end many times a second, for hours: while the table
// follows the newest row, new rows fill the room below the last one and only they are painted,
// the table jumping by half a page when it is full; rows let go of at the top cost no painting
// at all. Rows are selected with the mouse and the keys as in any table; a row keeps its
// selection while rows come and go.
#include <QAbstractScrollArea>
#include <set>

class QAbstractItemModel;
class QHeaderView;

class TrafficView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TrafficView(QWidget *parent = nullptr);

    // `key` names a row for as long as it is in the model (the selection holds on to it).
    void setModel(QAbstractItemModel *model, std::function<quint64(int row)> key);
    QHeaderView *header() const { return m_header; }
    int rowHeight() const { return m_rowHeight; }
    int rowAt(int y) const;

    void selectRow(int row);
    // The rows selected, in the order shown.
    QList<int> selectedRows() const;
    // Whether the newest row is in view and stays there as rows come.
    bool following() const { return m_following; }
    void scrollToBottom();

signals:
    void copyRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void layOut();
    void rowsRemoved(int first, int last);
    void rowsInserted(int first, int last);
    void updateRows(int first, int last);
    void select(int row, Qt::KeyboardModifiers modifiers);
    int rows() const;

    QAbstractItemModel *m_model = nullptr;
    std::function<quint64(int)> m_key;
    QHeaderView *m_header;
    int m_rowHeight;
    std::set<quint64> m_selected;
    int m_current = -1, m_anchor = -1;
    bool m_following = true;
    int m_room = 0;  // empty space below the last row, while the newest row is followed
    bool m_settling = false;  // the view moves its own scroll bar
};
