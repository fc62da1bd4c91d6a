// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchSupport.h"

#include <QColor>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <unistd.h>

#include "core/Instructions.h"
#include "core/ToolState.h"
#include "ui/Widgets.h"

double nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return double(clock.nsecsElapsed()) / 1e6;
}

bool WriteProgram500(const QString &path)
{
    ProgramBytes image{};
    image[0] = std::uint8_t(program::MaxLines >> 8);
    image[1] = std::uint8_t(program::MaxLines & 0xFF);
    const QStringList categories = program::CategoryNames();
    for (int line = 1; line <= program::MaxLines; ++line) {
        std::uint8_t *r = program::Record(image, line);
        const int category = 1 + line % int(categories.size());
        const int commands = int(program::CommandNames(categories[category - 1]).size());
        r[1] = std::uint8_t(category);
        r[3] = std::uint8_t(1 + line % std::max(1, commands));
        for (int k = 1; k <= program::ParameterCount; ++k)
            program::WriteParameter(r, k, (line * 1237 + k * 311) % 200000 - 50000);
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(reinterpret_cast<const char *>(image.data()), qint64(image.size())) == qint64(image.size());
}

bool EventWait::wait(int ms)
{
    if (m_done())
        return true;
    QEventLoop loop;
    m_loop = &loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(ms);
    // A slow look once a second, in case the awaited change came without a poke.
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, this, &EventWait::poke);
    second.start(1000);
    loop.exec();
    m_loop = nullptr;
    return m_done();
}

void EventWait::poke()
{
    if (m_loop && m_done())
        m_loop->quit();
}

ColorWatch::ColorWatch(QWidget *widget, const QColor &color, EventWait *wait)
    : m_widget(widget), m_color(color), m_wait(wait)
{
    m_widget->installEventFilter(this);
}

ColorWatch::~ColorWatch()
{
    m_widget->removeEventFilter(this);
}

bool ColorWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::DynamicPropertyChange && reachedAt < 0 &&
        BackColor(m_widget) == m_color) {
        reachedAt = nowMs();
        if (m_wait)
            m_wait->poke();
    }
    return false;
}

namespace {
QByteArray readProc(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

double ProcCpuMs(qint64 pid)
{
    const QByteArray stat = readProc(QStringLiteral("/proc/%1/stat").arg(pid));
    // The command name may hold spaces: the fields are counted from its closing parenthesis.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> f = stat.mid(close + 2).split(' ');
    // Fields 14 and 15 of the line (utime, stime) are 11 and 12 after the name.
    if (f.size() < 13)
        return -1;
    const double ticks = double(f[11].toLongLong() + f[12].toLongLong());
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double SchedCpuMs(qint64 pid)
{
    double ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        ns += readProc(tasks.filePath(t + QStringLiteral("/schedstat"))).split(' ').value(0).toDouble();
    return ns / 1e6;
}

long PeakRssKiB(qint64 pid)
{
    for (const QByteArray &line : readProc(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
