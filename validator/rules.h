#pragma once
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <optional>

// Small value rules of the digital file, each usable on its own. A rule that
// accepts a value returns no problem; otherwise it says why in words fit for
// the report.
namespace validator::rules {

enum class Level { Error, Warning };

struct Problem {
    Level level = Level::Error;
    QString reason;
};

// Date as ddmmyyyy, a real calendar date. A date written dd/mm/yyyy is read
// but warned about (some fields are written as the screen shows them).
struct DateValue {
    QDate date;
    std::optional<Problem> problem;
};
DateValue parseDate(QByteArrayView v);

// Month as mmyyyy (or a full ddmmyyyy date); gives year * 12 + month - 1.
struct MonthValue {
    int key = -1;
    std::optional<Problem> problem;
};
MonthValue parseMonth(QByteArrayView v);
int monthKey(const QDate& d);
QString monthText(int key);

// Amount: digits with an optional decimal comma and at most two decimals, no
// sign, no exponent, no thousands separator. Gives integer cents.
struct AmountValue {
    qint64 cents = 0;
    std::optional<Problem> problem;
};
AmountValue parseAmount(QByteArrayView v);
// Cents as suite::amountText writes them, with a minus sign when negative.
QString centsText(qint64 cents);

// Non-negative count written as plain decimal digits.
struct CountValue {
    qint64 value = -1;
    std::optional<Problem> problem;
};
CountValue parseCount(QByteArrayView v);

// Check digits of bare digit strings.
bool cnpjDigitsOk(QByteArrayView digits);
bool cpfDigitsOk(QByteArrayView digits);
// CNPJ and CPF fields: empty is accepted (the fields are optional); the
// usual separators are warned about and the digits still checked.
std::optional<Problem> checkCnpj(QByteArrayView v);
std::optional<Problem> checkCpf(QByteArrayView v);
// A registration that may be either (14 digits CNPJ, 11 digits CPF).
std::optional<Problem> checkCnpjOrCpf(QByteArrayView v);

// One of the allowed codes, compared exactly.
std::optional<Problem> checkCode(QByteArrayView v, std::initializer_list<const char*> allowed);

// Bytes of one line (without CR LF) that are not Windows-1252 text: control
// characters, bytes the code page leaves undefined, and UTF-8 sequences
// (text written in the wrong encoding). Gives the offset of the first
// offending byte and the reason.
struct ByteProblem {
    qsizetype offset = -1;
    QString reason;
};
std::optional<ByteProblem> checkBytes(QByteArrayView line);

// Text of a field for a message: decoded as Windows-1252 and shortened.
QString shown(QByteArrayView v);

} // namespace validator::rules
