// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/NumberText.h"

#include <cmath>

double NumericValue(const QString &text)
{
    // Leading blanks are skipped, as the original number reader did.
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    QString num;
    if (i < n && text[i] == u'-') {
        num += u'-';
        ++i;
    }
    bool point = false;
    bool digits = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            num += c;
            digits = true;
        } else if (c == u'.' && !point) {
            num += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double v = num.toDouble(&ok);
    // The text is a well-formed number here, so a failed conversion means overflow: a digit
    // string too long for a double stays a huge number of its sign, so that range checks
    // downstream refuse it instead of seeing infinity.
    if (!ok || !std::isfinite(v))
        return num.startsWith(u'-') ? -1e308 : 1e308;
    return v;
}

double RoundHalfEven(double v)
{
    // nearbyint follows the current rounding mode, which is to-nearest-even by default.
    return std::nearbyint(v);
}

QLatin1StringView DecimalDigits(std::int64_t value, std::int64_t divisor, DecimalBuffer &buffer)
{
    if (divisor <= 0)
        divisor = 1;
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    if (magnitude == 0)
        return QLatin1StringView("0");
    const auto d = std::uint64_t(divisor);
    // The grid renders thousands of these and the screens several every tick: the text is
    // put together in a buffer, right to left, and made a string once.
    char *const end = buffer.data() + buffer.size();
    char *p = end;
    if (std::uint64_t fraction = magnitude % d) {
        int digits = 0;  // as many as the divisor has zeros
        for (std::uint64_t q = d; q > 1; q /= 10)
            ++digits;
        // Trailing zeros are dropped, leading ones kept up to `digits` places.
        for (; fraction % 10 == 0; fraction /= 10)
            --digits;
        for (; fraction; fraction /= 10, --digits)
            *--p = char('0' + fraction % 10);
        for (; digits > 0; --digits)
            *--p = '0';
        *--p = '.';
    }
    std::uint64_t whole = magnitude / d;
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole);
    if (negative)
        *--p = '-';
    return QLatin1StringView(p, qsizetype(end - p));
}

QString DecimalText(std::int64_t value, std::int64_t divisor)
{
    if (value == 0)
        return QStringLiteral("0");
    DecimalBuffer buffer;
    return QString(DecimalDigits(value, divisor, buffer));
}
