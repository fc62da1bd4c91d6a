// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QStringList>

// Which device each port number 1 to 20 stands for. On Windows port n is COMn. Elsewhere it
// is the n-th device named on the command line or, when none are named, the n-th of the
// system's serial devices: USB adapters (ttyUSB*, ttyACM*) first, then the rest, each group
// by number.
namespace PortCatalogue {
constexpr int MaxPorts = 20;
QStringList build(const QStringList &namedDevices);
// The system ordering, exposed for tests: sorts device paths as described above.
QStringList order(QStringList devices);
}  // namespace PortCatalogue
