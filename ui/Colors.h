// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every colour the tool paints, as exact RGB values, named once.
#include <QColor>

namespace colors {
inline const QColor Green{0, 255, 0};            // a request of this button is outstanding
inline const QColor Red{255, 0, 0};              // lamp on; emergency stop button
inline const QColor LightYellow{255, 255, 192};  // connect, read and download buttons at rest
inline const QColor Apricot{255, 224, 192};      // run-control and project buttons at rest
inline const QColor LightCyan{192, 255, 255};    // communication lamp, alternate phase
inline const QColor FaultRow{255, 200, 200};     // traffic monitor: a frame that is wrong
inline const QColor WarningRow{255, 236, 179};   // traffic monitor: no reply, late, sent again
}  // namespace colors
