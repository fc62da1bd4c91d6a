// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/TrafficMonitor.h"

#include "mainwindow/TrafficView.h"

#include "core/Files.h"
#include "ui/Prompter.h"
#include "core/TrafficWords.h"
#include "ui/Colors.h"
#include "ui/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const text::Text Title{QT_TRANSLATE_NOOP("Trelmo", "通信监视")};
const text::Text Pause{QT_TRANSLATE_NOOP("Trelmo", "暂停")};
const text::Text Resume{QT_TRANSLATE_NOOP("Trelmo", "继续")};
const text::Text SaveFailed{QT_TRANSLATE_NOOP("Trelmo", "文件保存出错！")};
// A long frame shows this many bytes in its row; all of them in its tip, a copy and a file.
constexpr int ShownBytes = 24;
// What can go wrong with a frame, and what only went unanswered or was sent again.
constexpr std::uint16_t Errors = Traffic::CrcError | Traffic::WrongLength | Traffic::Exception | Traffic::NoFrame |
                                 Traffic::Unexpected | Traffic::PortError;

// The two lines of counts, one label each. Their texts change every second: a label of a fixed
// size takes a new text without the window being laid out again, and one that fills its own
// background, no wider than its text, is painted alone and sent to the display in few bytes.
class CountLines : public QWidget {
public:
    CountLines(QLabel *top, QLabel *bottom, QWidget *parent) : QWidget(parent), m_lines{top, bottom}
    {
        for (QLabel *line : m_lines) {
            line->setParent(this);
            line->setTextFormat(Qt::PlainText);
            line->setAutoFillBackground(true);
        }
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {0, 2 * lineHeight()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Its width grows in steps, so that a count with one more digit seldom changes it.
    static void show(QLabel *line, const QString &text)
    {
        if (line->text() != text)
            line->setText(text);
        const int width = (line->fontMetrics().horizontalAdvance(text) / 64 + 1) * 64;
        const QSize size(std::min(width, line->parentWidget()->width()), line->height());
        if (size != line->size())
            line->setFixedSize(size);
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        for (int i = 0; i < 2; ++i) {
            m_lines[i]->setGeometry(0, i * lineHeight(), width(), lineHeight());
            show(m_lines[i], m_lines[i]->text());
        }
    }

private:
    int lineHeight() const { return fontMetrics().height() + 4; }
    QLabel *m_lines[2];
};
}  // namespace

TrafficModel::TrafficModel(const Traffic &traffic, QObject *parent) : QAbstractTableModel(parent), m_traffic(traffic) {}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : traffic::Columns;
}

const TrafficModel::Words &TrafficModel::words(quint64 n) const
{
    if (const Words *w = m_words.object(n))
        return *w;
    auto *w = new Words{{}, m_traffic.has(n) ? m_traffic.row(n).faults : std::uint16_t(0)};
    for (int c = 0; c < traffic::Columns; ++c)
        w->cells[std::size_t(c)] = traffic::Cell(m_traffic, n, c, c == traffic::Bytes ? ShownBytes : -1);
    m_words.insert(n, w);
    return *w;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const quint64 n = m_rows[std::size_t(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return words(n).cells[std::size_t(column)];
    // The whole frame, where the row shows only its start.
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        if (column == traffic::Bytes || (column == traffic::Faults && role == Qt::ToolTipRole))
            return traffic::Cell(m_traffic, n, column);
        return {};
    // What the colour of the row says, in words, in each of its cells.
    case Qt::AccessibleDescriptionRole: return words(n).cells[traffic::Faults];
    case Qt::BackgroundRole: {
        const std::uint16_t faults = words(n).faults;
        if (faults & Errors)
            return colors::FaultRow;
        if (faults)
            return colors::WarningRow;
        return {};
    }
    case Qt::TextAlignmentRole:
        if (column == traffic::Time || column == traffic::Gap || column == traffic::Latency)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::FontRole: {
        static const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        return column == traffic::Bytes ? QVariant(fixed) : QVariant();
    }
    default: return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return traffic::Title(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool TrafficModel::shown(quint64 n) const
{
    return m_traffic.has(n) && (!m_faultsOnly || m_traffic.row(n).faults != 0);
}

void TrafficModel::update()
{
    const quint64 first = m_traffic.first(), end = m_traffic.end();
    // A clear tells the times from then on.
    if (m_origin != m_traffic.origin()) {
        m_origin = m_traffic.origin();
        m_words.clear();
    }
    // The oldest rows the record has let go of (all of them, after a clear). The first row kept
    // has no gap to show any more.
    const auto kept = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    if (kept != m_rows.begin()) {
        beginRemoveRows({}, 0, int(kept - m_rows.begin()) - 1);
        m_rows.erase(m_rows.begin(), kept);
        endRemoveRows();
        m_words.remove(first);
    }
    // A request shown may have learnt since that no reply came.
    for (const auto &[n, faults] : m_unsettled) {
        if (!m_traffic.has(n) || m_traffic.row(n).faults == faults)
            continue;
        m_words.remove(n);
        const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), n);
        const int i = int(at - m_rows.begin());
        if (at != m_rows.end() && *at == n) {
            emit dataChanged(index(i, 0), index(i, traffic::Columns - 1));
        } else if (shown(n)) {
            beginInsertRows({}, i, i);
            m_rows.insert(at, n);
            endInsertRows();
        }
    }
    std::vector<quint64> fresh;
    for (quint64 n = std::max(m_taken, first); n < end; ++n)
        if (shown(n))
            fresh.push_back(n);
    if (!fresh.empty()) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + fresh.size()) - 1);
        m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
        endInsertRows();
    }
    m_taken = end;
    m_unsettled.clear();
    for (quint64 n = std::max(m_traffic.settled(), first); n < end; ++n)
        m_unsettled.emplace_back(n, m_traffic.row(n).faults);
}

void TrafficModel::setFaultsOnly(bool on)
{
    if (on == m_faultsOnly)
        return;
    beginResetModel();
    m_faultsOnly = on;
    std::deque<quint64> rows;
    for (quint64 n = m_traffic.first(); n < std::min(m_taken, m_traffic.end()); ++n)
        if (shown(n))
            rows.push_back(n);
    m_rows.swap(rows);
    endResetModel();
}

void TrafficModel::refresh()
{
    m_words.clear();
    emit headerDataChanged(Qt::Horizontal, 0, traffic::Columns - 1);
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, traffic::Columns - 1));
}

TrafficMonitor::TrafficMonitor(Traffic &traffic, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_traffic(traffic), m_prompter(prompter), m_model(new TrafficModel(traffic, this))
{
    setObjectName(QStringLiteral("TrafficMonitor"));
    // Times are told from the monitor's opening; the rows from before it show how long before.
    m_traffic.timeFromNow();
    text::SetCaption(this, Title);
    Totals = new QLabel(this);
    Totals->setObjectName(QStringLiteral("Totals"));
    FaultCounts = new QLabel(this);
    FaultCounts->setObjectName(QStringLiteral("FaultCounts"));
    auto button = [this](const char *name, text::Text caption) {
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        text::SetCaption(b, caption);
        return b;
    };
    PauseButton = button("PauseButton", Pause);
    text::TrackCaption(PauseButton, {Pause, Resume});
    ClearButton = button("ClearButton", {QT_TRANSLATE_NOOP("Trelmo", "清除")});
    CopyButton = button("CopyButton", {QT_TRANSLATE_NOOP("Trelmo", "复制所选行")});
    SaveTextButton = button("SaveTextButton", {QT_TRANSLATE_NOOP("Trelmo", "保存为文本…")});
    SaveCsvButton = button("SaveCsvButton", {QT_TRANSLATE_NOOP("Trelmo", "保存为 CSV…")});
    FaultsOnly = new QCheckBox(this);
    FaultsOnly->setObjectName(QStringLiteral("FaultsOnly"));
    text::SetCaption(FaultsOnly, {QT_TRANSLATE_NOOP("Trelmo", "只显示故障")});

    Table = new TrafficView(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setModel(m_model);
    const int em = fontMetrics().horizontalAdvance(u'0');
    for (const auto &[column, width] : {std::pair{traffic::Time, 11}, {traffic::Gap, 9}, {traffic::Way, 5},
                                        {traffic::Function, 17}, {traffic::Purpose, 19}, {traffic::Latency, 12},
                                        {traffic::Faults, 30}})
        Table->horizontalHeader()->resizeSection(column, width * em);
    connect(Table, &TrafficView::copyRequested, this, &TrafficMonitor::copySelection);

    auto *tools = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{PauseButton, ClearButton, FaultsOnly, CopyButton, SaveTextButton,
                                                       SaveCsvButton})
        tools->addWidget(w);
    tools->addStretch(1);
    auto *box = new QVBoxLayout(this);
    box->addWidget(new CountLines(Totals, FaultCounts, this));
    box->addLayout(tools);
    box->addWidget(Table, 1);
    resize(1100, 560);

    connect(&m_tick, &QTimer::timeout, this, &TrafficMonitor::tick);
    connect(PauseButton, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(ClearButton, &QPushButton::clicked, this, [this] {
        // Paused or not, what was cleared goes from the table and the counts at once.
        m_traffic.clear();
        m_model->update();
        showCounts();
    });
    connect(FaultsOnly, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setFaultsOnly(on);
        Table->follow();
    });
    connect(CopyButton, &QPushButton::clicked, this, &TrafficMonitor::copySelection);
    connect(SaveTextButton, &QPushButton::clicked, this, &TrafficMonitor::saveText);
    connect(SaveCsvButton, &QPushButton::clicked, this, &TrafficMonitor::saveCsv);
}

void TrafficMonitor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_shown = true;
    watch();
    // Opened, not restored: the newest row.
    if (!event->spontaneous())
        Table->follow();
}

// Qt hides a window it minimises, and shows it again when it is restored.
void TrafficMonitor::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_shown = false;
    watch();
}

void TrafficMonitor::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        m_model->refresh();
        showCounts();
    }
}

// Nothing is taken while nobody can see it: the record keeps the rows and the counts.
void TrafficMonitor::watch()
{
    if (!m_shown) {
        m_tick.stop();
        return;
    }
    const int interval = m_paused ? CountsMs : BatchMs;
    if (m_tick.isActive() && m_tick.interval() == interval)
        return;
    // Seen again, or paused or resumed: what there is now, at once.
    m_ticks = 0;
    if (!m_paused)
        m_model->update();
    showCounts();
    m_tick.start(interval);
}

void TrafficMonitor::tick()
{
    // Paused, the rows are still recorded and counted; they are shown on resume. The counts
    // change with every row; they are read, not watched: once a second is enough.
    if (!m_paused)
        m_model->update();
    if (m_paused || ++m_ticks % (CountsMs / BatchMs) == 0)
        showCounts();
}

void TrafficMonitor::showCounts()
{
    CountLines::show(Totals, traffic::Totals(m_traffic.counts()));
    CountLines::show(FaultCounts, traffic::FaultCounts(m_traffic.counts()));
}

void TrafficMonitor::setPaused(bool on)
{
    m_paused = on;
    PauseButton->setText(on ? Resume() : Pause());
    watch();
}

QString TrafficMonitor::shownText() const
{
    QString out = traffic::Summary(m_traffic.counts()) + u'\n' + traffic::TitleLine() + u'\n';
    for (int i = 0; i < m_model->rowCount(); ++i)
        out += traffic::Line(m_traffic, m_model->recordRow(i)) + u'\n';
    return out;
}

QString TrafficMonitor::shownCsv() const
{
    QStringList titles;
    for (int c = 0; c < traffic::Columns; ++c)
        titles << files::CsvField(traffic::Title(c));
    QString out = titles.join(u',') + QStringLiteral("\r\n");
    for (int i = 0; i < m_model->rowCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < traffic::Columns; ++c)
            cells << files::CsvField(traffic::Cell(m_traffic, m_model->recordRow(i), c));
        out += cells.join(u',') + QStringLiteral("\r\n");
    }
    return out;
}

void TrafficMonitor::copySelection()
{
    const QList<int> rows = Table->selectedRows();
    if (rows.isEmpty())
        return;
    QString out;
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < traffic::Columns; ++c)
            cells << traffic::Cell(m_traffic, m_model->recordRow(r), c);
        out += cells.join(u'\t') + u'\n';
    }
    QApplication::clipboard()->setText(out);
}

void TrafficMonitor::saveText()
{
    save(false);
}

void TrafficMonitor::saveCsv()
{
    save(true);
}

void TrafficMonitor::save(bool csv)
{
    FileDialogRequest request;
    request.filter = csv ? QCoreApplication::translate("Trelmo", "CSV 文件 (*.csv)|*.csv")
                         : QCoreApplication::translate("Trelmo", "文本文件 (*.txt)|*.txt");
    request.folder = m_folder;
    request.initialName = QStringLiteral("traffic-%1.%2")
                              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                   csv ? QStringLiteral("csv") : QStringLiteral("txt"));
    const QString path = m_prompter.saveFileName(request);
    if (path.isEmpty())
        return;
    // The rows as they are shown at the moment of the choice; a spreadsheet takes Chinese from
    // a UTF-8 file only when it starts with the byte-order mark.
    const QByteArray bytes = csv ? QByteArray("\xEF\xBB\xBF") + shownCsv().toUtf8() : shownText().toUtf8();
    if (!files::WriteWhole(path, bytes)) {
        m_prompter.message(SaveFailed());
        return;
    }
    m_folder = QFileInfo(path).absolutePath();
}
