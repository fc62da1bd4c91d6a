// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readings the plot's benchmark feeds, the same in the window and in the bare program: a
// machine going round a 30-mm circle in the XY plane once a minute while Z rises and falls, read
// five times a second and timed 200 ms apart, to the controller's thousandth of a millimetre.
#include <QtGlobal>

#include "plot/MoveCheck.h"

namespace plotbench {
constexpr int FeedMs = 200;
// Readings drawn from the start (ten minutes of them), so that the plots hold a few thousand
// points while they are measured.
constexpr int Prefill = 3000;
constexpr double SetSpeed = 3.2;  // mm/s

plot::Position FeedPosition(qint64 n);
inline qint64 FeedTime(qint64 n)
{
    return n * FeedMs;
}

// The peak resident set of this process so far, in KiB (VmHWM).
long OwnPeakKiB();
}  // namespace plotbench
