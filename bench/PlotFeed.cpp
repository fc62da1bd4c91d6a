// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlotFeed.h"

#include <QFile>
#include <cmath>
#include <numbers>

namespace plotbench {

plot::Position FeedPosition(qint64 n)
{
    auto thousandths = [](double v) { return std::round(v * 1000.0) / 1000.0; };
    const double turn = 2 * std::numbers::pi * double(n) / 300.0;
    return {thousandths(50 + 30 * std::cos(turn)), thousandths(20 + 30 * std::sin(turn)),
            thousandths(5 + 2 * std::sin(double(n) / 500.0))};
}

long OwnPeakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace plotbench
