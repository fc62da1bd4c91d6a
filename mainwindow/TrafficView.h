// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The traffic monitor's table: Qt's table view over the monitor's model, so that rows are
// selected, moved through with the keys and shown in tips as in any table, and reach a screen
// reader cell by cell. Rows come at the end many times a second, for hours: while the table
// follows the newest row, new rows fill the room below the last one and only they are painted,
// the table jumping by half a page when it is full; rows let go of at the top cost no painting at
// all. A row keeps its selection while rows come and go.
#include <QTableView>

class TrafficView : public QTableView {
    Q_OBJECT
public:
    explicit TrafficView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void doItemsLayout() override;
    // The rows selected, in the order shown.
    QList<int> selectedRows() const;
    // Whether the newest row is in view and stays there as rows come.
    bool following() const { return m_following; }
    // The newest row into view, and kept there.
    void follow();

signals:
    void copyRequested();

protected:
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int first, int last) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void rowsRemoved(int first, int last);
    // The scroll range over the rows and the room below them, set when it changes.
    void setRange();
    int halfPage() const;

    // What the next layout of the items has to do: nothing, or only what rows at the end or gone
    // at the top need (done already), or everything.
    enum class Layout { None, Rows, Full } m_layout = Layout::None;
    int m_rowHeight;
    bool m_following = true;
    bool m_settling = false;  // the view moves its own scroll bar
    bool m_dropping = false;  // rows are being let go of
    int m_room = 0;           // empty space below the last row, while the newest row is followed
};
