// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PortCatalogue.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace PortCatalogue {

static int group(const QString &path)
{
    const QString name = path.section(u'/', -1);
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 0;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return 2;
}

QStringList order(QStringList devices)
{
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d+)$"));
    std::stable_sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        const int ga = group(a), gb = group(b);
        if (ga != gb)
            return ga < gb;
        const auto ma = tail.match(a), mb = tail.match(b);
        const QString sa = ma.hasMatch() ? ma.captured(1) : a;
        const QString sb = mb.hasMatch() ? mb.captured(1) : b;
        if (sa != sb)
            return sa < sb;
        const qlonglong na = ma.hasMatch() ? ma.captured(2).toLongLong() : -1;
        const qlonglong nb = mb.hasMatch() ? mb.captured(2).toLongLong() : -1;
        return na < nb;
    });
    return devices;
}

QStringList build(const QStringList &namedDevices)
{
    QStringList out;
#ifdef Q_OS_WIN
    Q_UNUSED(namedDevices);
    for (int n = 1; n <= MaxPorts; ++n)
        out << QStringLiteral("COM%1").arg(n);
#else
    if (!namedDevices.isEmpty()) {
        out = namedDevices;
    } else {
        QStringList found;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            found << info.systemLocation();
        found.removeDuplicates();
        out = order(found);
    }
    while (out.size() > MaxPorts)
        out.removeLast();
#endif
    return out;
}

}  // namespace PortCatalogue
