#include "ui/NumberText.h"

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

QString DecimalText(std::int64_t value, std::int64_t divisor)
{
    if (divisor <= 0)
        divisor = 1;
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    const auto d = std::uint64_t(divisor);
    QString text = QString::number(magnitude / d);
    if (const std::uint64_t fraction = magnitude % d) {
        int digits = 0;
        for (std::uint64_t p = d; p > 1; p /= 10)
            ++digits;
        QString f = QStringLiteral("%1").arg(fraction, digits, 10, QLatin1Char('0'));
        while (f.endsWith(u'0'))
            f.chop(1);
        text += u'.' + f;
    }
    return negative ? u'-' + text : text;
}
