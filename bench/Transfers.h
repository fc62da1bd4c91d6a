#pragma once
#include <QList>
#include <QString>

#include "BenchSupport.h"

// The download and upload of the 500 lines in `programFile` (Transfers.cpp).
QList<Row> MeasureTransfers(const QString &programFile);
