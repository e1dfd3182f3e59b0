#include "text.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace gen {

QString TiraMask(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (c != u'-' && c != u'.' && c != u'/')
            out.append(c);
    return out;
}

QString dateText(const QDate& d) {
    return d.isValid() ? TiraMask(d.toString(QStringLiteral("dd/MM/yyyy"))) : QString();
}

QString trimmedAmountText(double v) {
    if (!std::isfinite(v) || v == 0.0)
        return QStringLiteral("0");
    // Round the amount as its 15 significant digits read, so that a value such
    // as 1.005, stored a hair below, rounds the way it is shown.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    QByteArray digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            digits.append(*p);
    const int exp = std::atoi(p + 1);
    // Digits from the first significant one down to the hundredths.
    const int keep = exp + 3;
    QByteArray cents;
    if (keep < 0) {
        return QStringLiteral("0");
    } else if (keep == 0) {
        cents = digits.at(0) >= '5' ? "1" : "0";
    } else if (keep >= digits.size()) {
        cents = digits + QByteArray(keep - digits.size(), '0');
    } else {
        cents = digits.left(keep);
        if (digits.at(keep) >= '5') {
            int i = static_cast<int>(cents.size()) - 1;
            while (i >= 0 && cents.at(i) == '9')
                cents[i--] = '0';
            if (i < 0)
                cents.prepend('1');
            else
                cents[i] = static_cast<char>(cents.at(i) + 1);
        }
    }
    while (cents.size() < 3)
        cents.prepend('0');
    QByteArray whole = cents.left(cents.size() - 2);
    QByteArray frac = cents.right(2);
    while (whole.size() > 1 && whole.front() == '0')
        whole.remove(0, 1);
    while (!frac.isEmpty() && frac.back() == '0')
        frac.chop(1);
    QString out = QString::fromLatin1(whole);
    if (!frac.isEmpty())
        out += u',' + QString::fromLatin1(frac);
    return out;
}

} // namespace gen
