// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/WaitMs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

void WaitMs(double ms)
{
    if (!(ms > 0))
        return;
    QElapsedTimer clock;
    clock.start();
    const qint64 wanted = static_cast<qint64>(std::ceil(ms));
    // A nested handler may quit early by returning from its own loop; loop until the time
    // has really passed.
    for (qint64 left = wanted; left > 0; left = wanted - clock.elapsed()) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
