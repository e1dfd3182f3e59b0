#include "importer/ecdfields.h"
#include "validator/digits.h"

namespace importer {
namespace {

// Beyond this many digits before the comma an amount no longer fits in cents.
constexpr qsizetype MaxAmountDigits = 16;
constexpr qsizetype MaxIntegerDigits = 18;

using validator::allDigits;
using validator::digitsValue;

// Shown back to the user: long contents are cut so a message stays readable.
QString shown(QByteArrayView raw) {
    constexpr qsizetype Max = 40;
    QString s = QString::fromLatin1(raw.first(std::min(raw.size(), Max)));
    if (raw.size() > Max)
        s += QStringLiteral("…");
    return s;
}

bool isChoice(const char* choices, QByteArrayView raw) {
    QByteArrayView rest(choices);
    while (!rest.isEmpty()) {
        const qsizetype comma = rest.indexOf(',');
        const QByteArrayView one = comma < 0 ? rest : rest.first(comma);
        if (one == raw)
            return true;
        rest = comma < 0 ? QByteArrayView() : rest.sliced(comma + 1);
    }
    return false;
}

QString choiceList(const char* choices) {
    return QString::fromLatin1(choices).replace(QLatin1Char(','), QStringLiteral(", "));
}

} // namespace

bool parseEcdDate(QByteArrayView raw, QDate* date) {
    if (raw.size() != 8 || !allDigits(raw))
        return false;
    const int day = int(digitsValue(raw.first(2)));
    const int month = int(digitsValue(raw.sliced(2, 2)));
    const int year = int(digitsValue(raw.sliced(4)));
    const QDate d(year, month, day);
    if (year == 0 || !d.isValid())
        return false;
    *date = d;
    return true;
}

bool parseEcdAmount(QByteArrayView raw, qint64* cents) {
    const qsizetype comma = raw.indexOf(',');
    const QByteArrayView whole = comma < 0 ? raw : raw.first(comma);
    const QByteArrayView decimals = comma < 0 ? QByteArrayView() : raw.sliced(comma + 1);
    if (!allDigits(whole) || whole.size() > MaxAmountDigits)
        return false;
    if (comma >= 0 && (decimals.isEmpty() || decimals.size() > 2 || !allDigits(decimals)))
        return false;
    qint64 fraction = decimals.isEmpty() ? 0 : digitsValue(decimals);
    if (decimals.size() == 1)
        fraction *= 10;
    *cents = digitsValue(whole) * 100 + fraction;
    return true;
}

bool parseEcdInteger(QByteArrayView raw, qint64* value) {
    if (!allDigits(raw) || raw.size() > MaxIntegerDigits)
        return false;
    *value = digitsValue(raw);
    return true;
}

QString checkField(const layout::Field& field, QByteArrayView raw, FieldValue* value) {
    using layout::Kind;
    value->raw = raw;
    // Built only for a message: valid content allocates nothing.
    const auto name = [&field] { return QString::fromLatin1(field.name); };
    if (raw.isEmpty()) {
        if (field.required)
            return QStringLiteral("%1: campo obrigatório vazio").arg(name());
        return {};
    }
    switch (field.kind) {
    case Kind::Text:
        return {};
    case Kind::Date:
        if (parseEcdDate(raw, &value->date))
            return {};
        return QStringLiteral("%1: data inválida \"%2\" (use ddmmaaaa, uma data que exista)")
            .arg(name(), shown(raw));
    case Kind::Amount:
        if (parseEcdAmount(raw, &value->number))
            return {};
        return QStringLiteral("%1: valor inválido \"%2\" (só algarismos, vírgula e até 2 "
                              "decimais, sem sinal nem separador de milhar)")
            .arg(name(), shown(raw));
    case Kind::Side:
        if (raw == "D" || raw == "C")
            return {};
        return QStringLiteral("%1: indicador \"%2\" inválido (use D ou C)").arg(name(), shown(raw));
    case Kind::Integer:
        if (parseEcdInteger(raw, &value->number))
            return {};
        return QStringLiteral("%1: número inteiro inválido \"%2\"").arg(name(), shown(raw));
    case Kind::Choice:
        if (isChoice(field.choices, raw))
            return {};
        return QStringLiteral("%1: valor \"%2\" inválido (aceitos: %3)")
            .arg(name(), shown(raw), choiceList(field.choices));
    case Kind::Digits:
        if (raw.size() == field.digits && allDigits(raw))
            return {};
        return QStringLiteral("%1: \"%2\" deve ter %3 algarismos")
            .arg(name(), shown(raw))
            .arg(field.digits);
    }
    return {};
}

} // namespace importer
