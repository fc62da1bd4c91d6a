// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QString>

#include "BenchSupport.h"

// The download and upload of the 500 lines in `programFile` (Transfers.cpp).
QList<Row> MeasureTransfers(const QString &programFile);
