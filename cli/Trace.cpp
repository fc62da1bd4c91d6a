// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Trace.h"

#include <QDateTime>
#include <QFileInfo>

#include "core/Traffic.h"
#include "core/TrafficWords.h"

namespace cli {

bool Trace::open(const QString &path, Traffic &traffic)
{
    // A pipe or a device would take the trace as it pleased (a pipe nobody reads blocks the run).
    if (const QFileInfo target(path); target.exists() && !target.isFile())
        return false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    m_traffic = &traffic;
    m_next = traffic.end();
    m_file.write(QStringLiteral("# trelmo-cli %1\n%2\n")
                     .arg(QDateTime::currentDateTime().toString(Qt::ISODate), traffic::TitleLine())
                     .toUtf8());
    m_file.flush();
    // A request's row is written once it is known whether a reply came.
    connect(&traffic, &Traffic::grew, this, [this] { write(m_traffic->settled()); });
    return true;
}

void Trace::write(quint64 upTo)
{
    m_next = std::max(m_next, m_traffic->first());
    if (m_next >= upTo)
        return;
    QByteArray lines;
    for (; m_next < upTo; ++m_next)
        lines += traffic::Line(*m_traffic, m_next).toUtf8() + '\n';
    m_file.write(lines);
    m_file.flush();
}

void Trace::finish()
{
    if (!m_traffic)
        return;
    m_traffic->flush();
    write(m_traffic->end());
    m_file.write(QStringLiteral("# %1\n").arg(traffic::Summary(m_traffic->counts())).toUtf8());
    m_file.close();
    m_traffic = nullptr;
}

}  // namespace cli
