// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The traffic record put into words, in the language in use: the monitor's columns, a row as a
// line of text (the monitor's text file, trelmo-cli --trace), the counts in one line. Only what
// is shown is put into words.
#include <QString>

#include "core/Traffic.h"

namespace traffic {
enum Column { Time, Gap, Way, Function, Purpose, Latency, Faults, Bytes, Columns };

QString Title(int column);
// One cell of row n. The bytes of a long frame are cut after `maxBytes` (negative: never).
QString Cell(const Traffic &t, quint64 n, int column, int maxBytes = -1);
// Row n as a line of text, the columns lined up, the bytes last; and the titles so.
QString Line(const Traffic &t, quint64 n);
QString TitleLine();
// The counts: requests, replies, mean and largest latency; each kind of fault; both in a line.
QString Totals(const Traffic::Counts &counts);
QString FaultCounts(const Traffic::Counts &counts);
QString Summary(const Traffic::Counts &counts);
// The name of fault kind k (the bit 1 << k of Traffic::Fault).
QString FaultName(int kind);
}  // namespace traffic
