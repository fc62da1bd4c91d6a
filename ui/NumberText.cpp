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
