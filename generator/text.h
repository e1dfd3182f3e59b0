#pragma once
#include <QDate>
#include <QString>

// The value-to-text rules of the digital file.
namespace gen {

// The text without any "-", "." or "/".
QString TiraMask(const QString& s);
// dd/mm/yyyy without separators: eight digits ddmmyyyy; empty for no date.
QString dateText(const QDate& d);
// An amount rounded half away from zero to two decimals, decimal comma, no
// sign, no exponent, trailing zeros dropped ("150,5", "200", "0,25"); the
// server's amounts keep both decimals ("150,50").
QString trimmedAmountText(double v);
// A count in plain decimal digits.
inline QString countText(int n) {
    return QString::number(n);
}

} // namespace gen
