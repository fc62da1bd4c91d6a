#pragma once
// "通信监视": the line as the port saw it, one row per frame written and per frame received,
// from the core's traffic record: time, gap, direction, the frame in words, what it was for,
// the latency of a reply, what is wrong with it, and its bytes. A line at the top counts the
// requests, replies and faults. Opened beside any screen; it only looks: nothing that goes out,
// nor when, changes with it.
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <deque>

#include "core/Traffic.h"

class Prompter;
class QCheckBox;
class QLabel;
class QPushButton;
class TrafficView;

// The rows of the record that the monitor shows, taken in batches.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TrafficModel(const Traffic &traffic, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes the rows the record has gained, lets go of those it has dropped, and shows again
    // those that may have changed since.
    void update();
    void setFaultsOnly(bool on);
    bool faultsOnly() const { return m_faultsOnly; }
    // The record's row shown in row i.
    quint64 recordRow(int i) const { return m_rows[std::size_t(i)]; }
    // Everything shown again (the language has changed).
    void refresh();

private:
    bool shown(quint64 n) const;

    const Traffic &m_traffic;
    std::deque<quint64> m_rows;
    quint64 m_taken = 0;      // the record's rows up to here have been looked at
    quint64 m_unsettled = 0;  // and from here on they may still change
    bool m_faultsOnly = false;
};

class TrafficMonitor : public QWidget {
    Q_OBJECT
public:
    // A batch of rows is taken at most this often; the counts are shown again at most this often.
    static constexpr int BatchMs = 500;
    static constexpr int CountsMs = 1000;

    TrafficMonitor(Traffic &traffic, Prompter &prompter, QWidget *parent = nullptr);

    TrafficModel &model() { return *m_model; }
    // The rows as shown, as text: the count line, the titles, a line per row.
    QString shownText() const;
    // The rows as shown, as CSV.
    QString shownCsv() const;
    void copySelection();
    void saveText();
    void saveCsv();
    void setPaused(bool on);
    bool paused() const { return m_paused; }

    QLabel *Totals, *FaultCounts;  // the line at the top, in two
    QPushButton *PauseButton, *ClearButton, *CopyButton, *SaveTextButton, *SaveCsvButton;
    QCheckBox *FaultsOnly;
    TrafficView *Table;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rowsCame();
    void takeBatch();
    void showCounts();
    void save(bool csv);

    Traffic &m_traffic;
    Prompter &m_prompter;
    TrafficModel *m_model;
    QTimer m_batch;
    QElapsedTimer m_sinceCounts;
    bool m_paused = false;
    QString m_folder;
};
