// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the benchmark's parts share: the table's rows, the one clock, a prompter that shows
// nothing, a 500-line program, waits that sleep in the event loop, and what the kernel says
// about a process (CPU time, peak memory).
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "ui/Dialogs.h"

struct Row {
    QString what, value, note;
};

// Milliseconds on one monotonic clock, started with the benchmark.
double nowMs();

// Seconds one byte takes at 19200 baud, 8N1 (10 bits), and the 3.5 characters of silence
// that end a request.
constexpr double ByteMs = 10.0 * 1000.0 / 19200.0;
constexpr double FrameGapMs = 3.5 * ByteMs;

class SilentPrompter : public Prompter {
public:
    QStringList messages;
    Answer message(const QString &text, Buttons, const QString &) override
    {
        messages << text;
        return Answer::Ok;
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
};

// A 500-line project file (12025 bytes) of real instructions, written to `path`.
bool WriteProgram500(const QString &path);

// Runs the event loop (sleeping between events) until `done` says so or `ms` have passed;
// `done` is asked after every event that `poke` is called from, and once a second.
class EventWait : public QObject {
public:
    explicit EventWait(std::function<bool()> done) : m_done(std::move(done)) {}
    bool wait(int ms);
    // Looks at `done` again (from a signal or an event filter).
    void poke();

private:
    std::function<bool()> m_done;
    class QEventLoop *m_loop = nullptr;
};

// Notes when a widget's back colour becomes `color` (SetBackColor keeps it in the
// "backColor" property), without asking the widget anything in between.
class ColorWatch : public QObject {
public:
    ColorWatch(QWidget *widget, const class QColor &color, EventWait *wait = nullptr);
    ~ColorWatch() override;
    double reachedAt = -1;  // nowMs(), or -1 while not reached

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    const QColor &m_color;
    EventWait *m_wait;
};

// What the kernel has counted for a process: CPU time in ms from /proc/<pid>/stat
// (utime + stime, in clock ticks), the same to the nanosecond from the scheduler's count of
// each thread (/proc/<pid>/task/*/schedstat), and the peak resident set in KiB (VmHWM).
double ProcCpuMs(qint64 pid);
double SchedCpuMs(qint64 pid);
long PeakRssKiB(qint64 pid);

double Median(std::vector<double> v);
