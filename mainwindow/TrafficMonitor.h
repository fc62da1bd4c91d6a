// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "通信监视": the line as the port saw it, one row per frame written and per frame received,
// from the core's traffic record: time, gap, direction, the frame in words, what it was for,
// the latency of a reply, what is wrong with it, and its bytes. A line at the top counts the
// requests, replies and faults. Opened beside any screen; it only looks: nothing that goes out,
// nor when, changes with it.
#include <QAbstractTableModel>
#include <QCache>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>
#include <vector>

#include "core/Traffic.h"
#include "core/TrafficWords.h"

class Prompter;
class QCheckBox;
class QLabel;
class QPushButton;
class TrafficView;

// The rows of the record that the monitor shows, taken in batches. A row is put into words when
// it is first shown, and those words are kept for as long as it may be shown again soon.
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
    struct Words {
        std::array<QString, traffic::Columns> cells;
        std::uint16_t faults;
    };
    bool shown(quint64 n) const;
    const Words &words(quint64 n) const;

    const Traffic &m_traffic;
    std::deque<quint64> m_rows;
    quint64 m_taken = 0;  // the record's rows up to here have been looked at
    // The rows that may still change, with the faults they had when they were looked at.
    std::vector<std::pair<quint64, std::uint16_t>> m_unsettled;
    bool m_faultsOnly = false;
    qint64 m_origin = 0;  // the record's times are told from here
    // The words of the rows lately shown: about a screen full several times over.
    mutable QCache<quint64, Words> m_words{1024};
};

class TrafficMonitor : public QWidget {
    Q_OBJECT
public:
    // While the window is seen, rows are taken this often and the counts shown again this often;
    // paused, only the counts. Minimised or hidden, nothing.
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
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The one timer runs while the window is seen, at the pace of what it takes.
    void watch();
    void tick();
    void showCounts();
    void save(bool csv);

    Traffic &m_traffic;
    Prompter &m_prompter;
    TrafficModel *m_model;
    QTimer m_tick;
    int m_ticks = 0;
    bool m_shown = false;  // shown, and neither hidden nor minimised since
    bool m_paused = false;
    QString m_folder;
};
