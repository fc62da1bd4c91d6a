// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pauses for at least `ms` milliseconds while the user interface keeps handling events
// (replies, timer ticks, clicks). It sleeps in a nested event loop between events; it never
// spins. WaitMs(0) and negative values return at once without handling any event.
void WaitMs(double ms);
