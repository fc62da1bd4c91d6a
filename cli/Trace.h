// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// trelmo-cli --trace FILE: every frame on the line as a row of text, the rows the traffic
// monitor's text file has, written as they become final; the counts at the end.
#include <QFile>
#include <QObject>
#include <QString>

class Traffic;

namespace cli {

class Trace : public QObject {
public:
    // False when the file cannot be written.
    bool open(const QString &path, Traffic &traffic);
    // Whatever is still waiting, as it is, and the counts.
    void finish();

private:
    void write(quint64 upTo);

    QFile m_file;
    Traffic *m_traffic = nullptr;
    quint64 m_next = 0;
};

}  // namespace cli
