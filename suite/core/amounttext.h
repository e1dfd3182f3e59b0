#pragma once
#include <QString>
#include <QtGlobal>

namespace suite {

// Cents as the module's amount text: the magnitude, a decimal comma, two
// decimals, no thousands separator ("1234,56"); the side or sign, where one
// is shown, goes apart. Inline so that the file checker, which needs Qt Core
// alone, shares it without linking the suite.
inline QString amountText(qint64 cents) {
    const quint64 m = cents < 0 ? 0 - static_cast<quint64>(cents) : static_cast<quint64>(cents);
    return QStringLiteral("%1,%2").arg(m / 100).arg(m % 100, 2, 10, QLatin1Char('0'));
}

} // namespace suite
