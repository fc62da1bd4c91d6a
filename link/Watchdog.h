// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The watchdogs of the main window and of each screen, one rule: a request that makes no
// progress for six ticks of its window's watchdog timer is given up.
#include <cstdint>

namespace watchdog {
constexpr int Limit = 6;

// One tick of a watchdog whose count is `ticks`: with progress the count starts afresh; true when
// the request is to be given up now (and the count starts afresh).
inline bool Tick(std::int16_t &ticks, bool progress)
{
    if (progress) {
        ticks = 0;
        return false;
    }
    if (++ticks < Limit)
        return false;
    ticks = 0;
    return true;
}
}  // namespace watchdog
