// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the tool's CPU figure: a bare Qt program woken as the manual screen wakes the
// tool, and doing nothing else. Two windows, the main window's two 100-ms timers, the screen's
// 200-ms refresh and 100-ms watchdog, the same status read every 200 ms with its reply, a box
// whose text changes every 100 ms and a lamp whose colour changes every 200 ms.
//
// With `table`, the floor under the traffic monitor's figure as well: a third window with a
// QTableView over a plain model of texts, the size of the monitor's table and its columns, fed
// a row for each status read and each reply as they come, put into words once, taken twice a
// second in one batch, the newest row kept in view as a Qt program keeps it.
#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPort>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "BenchSupport.h"
#include "ToolRun.h"
#include "protocol/Crc.h"
#include "protocol/Frames.h"
#include "protocol/RegisterMap.h"

namespace {
using Cells = std::array<QString, 8>;

class PlainRows : public QAbstractTableModel {
public:
    std::vector<Cells> rows, coming;

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 8; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(rows[std::size_t(index.row())][std::size_t(index.column())])
                                       : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const titles[] = {"时间 (ms)", "间隔 (ms)", "方向", "帧",
                                             "用途",      "延迟 (ms)", "故障", "数据（十六进制）"};
        return orientation == Qt::Horizontal && role == Qt::DisplayRole ? QVariant(QString::fromUtf8(titles[section]))
                                                                        : QVariant();
    }
    void take()
    {
        if (coming.empty())
            return;
        beginInsertRows({}, int(rows.size()), int(rows.size() + coming.size()) - 1);
        rows.insert(rows.end(), coming.begin(), coming.end());
        coming.clear();
        endInsertRows();
    }
};

int word(const QByteArray &f, int at)
{
    return std::uint8_t(f[at]) << 8 | std::uint8_t(f[at + 1]);
}
}  // namespace

int RunFloor(const QString &device, bool table)
{
    QWidget mainWindow;
    mainWindow.resize(1180, 820);
    QLabel box(&mainWindow);
    box.setGeometry(1120, 790, 50, 22);
    mainWindow.show();
    QWidget screen;
    screen.resize(640, 520);
    QLabel lamp(&screen);
    lamp.setGeometry(20, 20, 22, 22);
    lamp.setAutoFillBackground(true);
    screen.show();

    // The table under the monitor's counts and buttons, in a window of the monitor's size.
    QWidget monitor;
    auto *layout = new QVBoxLayout(&monitor);
    layout->addSpacing(2 * (monitor.fontMetrics().height() + 4) + QPushButton().sizeHint().height() +
                       layout->spacing());
    QTableView view;
    PlainRows rows;
    view.setModel(&rows);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setWordWrap(false);
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setMinimumSectionSize(view.fontMetrics().height() + 6);
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 6);
    view.horizontalHeader()->setStretchLastSection(true);
    const int em = monitor.fontMetrics().horizontalAdvance(u'0');
    int column = 0;
    for (const int width : {11, 9, 5, 17, 19, 12, 30})
        view.horizontalHeader()->resizeSection(column++, width * em);
    layout->addWidget(&view, 1);
    monitor.resize(1100, 560);
    if (table)
        monitor.show();

    QSerialPort port(device);
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    QByteArray request;
    frames::BuildHeader(request, 1, 3, reg::Status, reg::StatusCount);
    const std::uint16_t crc = ModbusCrc(reinterpret_cast<const std::uint8_t *>(request.constData()), 6);
    request.append(char(crc & 0xFF)).append(char(crc >> 8));
    const int replyLength = 5 + 2 * reg::StatusCount;

    // A row in words: time and gap in ms, the way, the frame, what for, the latency, no fault,
    // the first 24 bytes.
    double last = nowMs(), sentAt = last;
    auto add = [&](const QByteArray &frame, bool sent) {
        const double at = nowMs();
        const bool cut = frame.size() > 24;
        rows.coming.push_back(Cells{
            QString::number(at, 'f', 3), QString::number(at - last, 'f', 3), QString::fromUtf8(sent ? "发" : "收"),
            sent ? QString::fromUtf8("03 读 %1 ×%2").arg(word(frame, 2)).arg(word(frame, 4))
                 : QString::fromUtf8("03 %1 字节").arg(std::uint8_t(frame[2])),
            QString::fromUtf8("手动状态"), sent ? QString() : QString::number(at - sentAt, 'f', 3), QString(),
            QString::fromLatin1(frame.left(24).toHex(' ').toUpper()) + (cut ? QStringLiteral(" …") : QString())});
        last = at;
    };
    QByteArray received;
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        received += port.readAll();
        if (!table)
            received.clear();
        for (; received.size() >= replyLength; received.remove(0, replyLength))
            add(received.left(replyLength), false);
    });

    QTimer mainTimer1, mainTimer2, refresh, watchdog, batch;
    bool odd = false, lit = false;
    QObject::connect(&mainTimer1, &QTimer::timeout, [&] { box.setText((odd = !odd) ? "5" : "6"); });
    QObject::connect(&mainTimer2, &QTimer::timeout, [] {});
    QObject::connect(&watchdog, &QTimer::timeout, [] {});
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        QPalette p = lamp.palette();
        p.setColor(QPalette::Window, (lit = !lit) ? Qt::cyan : screen.palette().color(QPalette::Window));
        lamp.setPalette(p);
        port.write(request);
        port.flush();
        if (table) {
            sentAt = nowMs();
            add(request, true);
        }
    });
    QObject::connect(&batch, &QTimer::timeout, [&] {
        QScrollBar *v = view.verticalScrollBar();
        const bool following = v->value() == v->maximum();
        rows.take();
        if (following)
            view.scrollToBottom();
    });
    mainTimer1.start(100);
    mainTimer2.start(100);
    refresh.start(200);
    watchdog.start(100);
    if (table)
        batch.start(500);
    return QApplication::exec();
}
