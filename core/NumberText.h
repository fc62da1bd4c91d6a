// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The numeric value of a text: its leading decimal number (optional minus sign, digits, one
// decimal point), 0 when there is none. "12.5mm" -> 12.5, "1/2" -> 1, "-" -> 0, "" -> 0.
double NumericValue(const QString &text);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double v);

// value / divisor (a power of ten) in the plain shortest decimal form: no exponent, "." as
// the decimal point, no trailing zeros, no point for whole values (1500/1000 -> "1.5").
#include <QLatin1StringView>
#include <array>
#include <cstdint>
QString DecimalText(std::int64_t value, std::int64_t divisor);
// The same text written into `buffer`, for callers that compare it with what a cell shows
// before they make a string of it.
using DecimalBuffer = std::array<char, 48>;
QLatin1StringView DecimalDigits(std::int64_t value, std::int64_t divisor, DecimalBuffer &buffer);
