#include "validator/rules.h"
#include "generator/windows1252.h"
#include "suite/core/amounttext.h"
#include "validator/digits.h"

namespace validator::rules {
namespace {

Problem error(const QString& reason) {
    return {Level::Error, reason};
}
Problem warning(const QString& reason) {
    return {Level::Warning, reason};
}

// Bare digits of a registration written with its usual separators.
QByteArray withoutSeparators(QByteArrayView v, bool* hadSeparators) {
    QByteArray d;
    d.reserve(v.size());
    *hadSeparators = false;
    for (char c : v) {
        if (c == '.' || c == '-' || c == '/')
            *hadSeparators = true;
        else
            d.append(c);
    }
    return d;
}

// Mod-11 check digit over the weights given, as both registrations use it.
int mod11(QByteArrayView digits, const int* weights, int count) {
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += (digits[i] - '0') * weights[i];
    const int r = sum % 11;
    return r < 2 ? 0 : 11 - r;
}

bool allSame(QByteArrayView digits) {
    for (char c : digits)
        if (c != digits[0])
            return false;
    return true;
}

std::optional<Problem> checkRegistration(QByteArrayView v, int length, bool (*ok)(QByteArrayView),
                                         const char* name) {
    if (v.isEmpty())
        return std::nullopt;
    bool separators = false;
    const QByteArray digits = withoutSeparators(v, &separators);
    if (!allDigits(digits) || digits.size() != length)
        return error(QStringLiteral("%1 deve ter %2 dígitos: \"%3\"")
                         .arg(QLatin1String(name))
                         .arg(length)
                         .arg(shown(v)));
    if (!ok(digits))
        return error(QStringLiteral("%1 com dígitos verificadores inválidos: \"%2\"")
                         .arg(QLatin1String(name), shown(v)));
    if (separators)
        return warning(QStringLiteral("%1 escrito com separadores: \"%2\"")
                           .arg(QLatin1String(name), shown(v)));
    return std::nullopt;
}

} // namespace

DateValue parseDate(QByteArrayView v) {
    DateValue r;
    bool separators = false;
    QByteArrayView digits = v;
    QByteArray bare;
    if (v.size() == 10 && v[2] == '/' && v[5] == '/') {
        bare = QByteArray(v.data(), 2) + QByteArray(v.data() + 3, 2) + QByteArray(v.data() + 6, 4);
        digits = bare;
        separators = true;
    }
    if (digits.size() != 8 || !allDigits(digits)) {
        r.problem =
            error(QStringLiteral("data deve estar no formato ddmmaaaa: \"%1\"").arg(shown(v)));
        return r;
    }
    const int day = int(digitsValue(digits.sliced(0, 2)));
    const int month = int(digitsValue(digits.sliced(2, 2)));
    const int year = int(digitsValue(digits.sliced(4, 4)));
    const QDate d(year, month, day);
    if (!d.isValid() || year < 1900) {
        r.problem = error(QStringLiteral("data inexistente: \"%1\"").arg(shown(v)));
        return r;
    }
    r.date = d;
    if (separators)
        r.problem = warning(QStringLiteral("data escrita com separadores: \"%1\"").arg(shown(v)));
    return r;
}

MonthValue parseMonth(QByteArrayView v) {
    MonthValue r;
    if (v.size() == 8) {
        const DateValue d = parseDate(v);
        if (d.date.isValid() && !d.problem)
            r.key = monthKey(d.date);
        else
            r.problem =
                error(QStringLiteral("mês deve estar no formato mmaaaa: \"%1\"").arg(shown(v)));
        return r;
    }
    if (v.size() != 6 || !allDigits(v)) {
        r.problem = error(QStringLiteral("mês deve estar no formato mmaaaa: \"%1\"").arg(shown(v)));
        return r;
    }
    const int month = int(digitsValue(v.sliced(0, 2)));
    const int year = int(digitsValue(v.sliced(2, 4)));
    if (month < 1 || month > 12 || year < 1900) {
        r.problem = error(QStringLiteral("mês inexistente: \"%1\"").arg(shown(v)));
        return r;
    }
    r.key = year * 12 + month - 1;
    return r;
}

int monthKey(const QDate& d) {
    return d.year() * 12 + d.month() - 1;
}

QString monthText(int key) {
    return QStringLiteral("%1/%2").arg(key % 12 + 1, 2, 10, QLatin1Char('0')).arg(key / 12);
}

AmountValue parseAmount(QByteArrayView v) {
    AmountValue r;
    if (v.isEmpty()) {
        r.problem = error(QStringLiteral("valor vazio"));
        return r;
    }
    if (v.contains('-') || v.contains('+')) {
        r.problem = error(QStringLiteral("valor com sinal: \"%1\"").arg(shown(v)));
        return r;
    }
    if (v.contains('E') || v.contains('e')) {
        r.problem = error(QStringLiteral("valor em notação científica: \"%1\"").arg(shown(v)));
        return r;
    }
    if (v.contains('.')) {
        r.problem = error(
            QStringLiteral("valor com ponto; use só a vírgula decimal: \"%1\"").arg(shown(v)));
        return r;
    }
    const qsizetype comma = v.indexOf(',');
    const QByteArrayView whole = comma < 0 ? v : v.first(comma);
    const QByteArrayView decimals = comma < 0 ? QByteArrayView() : v.sliced(comma + 1);
    if (!allDigits(whole) || (comma >= 0 && !allDigits(decimals))) {
        r.problem = error(
            QStringLiteral("valor deve ter só dígitos e vírgula decimal: \"%1\"").arg(shown(v)));
        return r;
    }
    if (decimals.size() > 2) {
        r.problem =
            error(QStringLiteral("valor com mais de duas casas decimais: \"%1\"").arg(shown(v)));
        return r;
    }
    // Sixteen whole digits (the generator's widest amount) fit 64-bit cents.
    qsizetype start = 0;
    while (start + 1 < whole.size() && whole[start] == '0')
        ++start;
    if (whole.size() - start > 16) {
        r.problem = error(QStringLiteral("valor grande demais: \"%1\"").arg(shown(v)));
        return r;
    }
    qint64 cents = 0;
    for (char c : whole.sliced(start))
        cents = cents * 10 + (c - '0');
    cents *= 100;
    if (decimals.size() >= 1)
        cents += (decimals[0] - '0') * 10;
    if (decimals.size() == 2)
        cents += decimals[1] - '0';
    r.cents = cents;
    return r;
}

QString centsText(qint64 cents) {
    return cents < 0 ? QLatin1Char('-') + suite::amountText(cents) : suite::amountText(cents);
}

CountValue parseCount(QByteArrayView v) {
    CountValue r;
    if (!allDigits(v) || v.size() > 15) {
        r.problem =
            error(QStringLiteral("quantidade deve ser um número inteiro: \"%1\"").arg(shown(v)));
        return r;
    }
    qint64 n = 0;
    for (char c : v)
        n = n * 10 + (c - '0');
    r.value = n;
    return r;
}

bool cnpjDigitsOk(QByteArrayView d) {
    static const int w1[12] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[13] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    if (d.size() != 14 || !allDigits(d) || allSame(d))
        return false;
    return mod11(d, w1, 12) == d[12] - '0' && mod11(d, w2, 13) == d[13] - '0';
}

bool cpfDigitsOk(QByteArrayView d) {
    static const int w1[9] = {10, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[10] = {11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    if (d.size() != 11 || !allDigits(d) || allSame(d))
        return false;
    return mod11(d, w1, 9) == d[9] - '0' && mod11(d, w2, 10) == d[10] - '0';
}

std::optional<Problem> checkCnpj(QByteArrayView v) {
    return checkRegistration(v, 14, cnpjDigitsOk, "CNPJ");
}

std::optional<Problem> checkCpf(QByteArrayView v) {
    return checkRegistration(v, 11, cpfDigitsOk, "CPF");
}

std::optional<Problem> checkCnpjOrCpf(QByteArrayView v) {
    bool separators = false;
    const QByteArray digits = withoutSeparators(v, &separators);
    return digits.size() == 11 ? checkCpf(v) : checkCnpj(v);
}

std::optional<Problem> checkCode(QByteArrayView v, std::initializer_list<const char*> allowed) {
    QStringList names;
    for (const char* a : allowed) {
        if (v == QByteArrayView(a))
            return std::nullopt;
        names << QLatin1String(a);
    }
    return error(QStringLiteral("código \"%1\" inválido; esperado %2")
                     .arg(shown(v), names.join(QStringLiteral(", "))));
}

std::optional<ByteProblem> checkBytes(QByteArrayView line) {
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) {
                const QString what = c == '\r' ? QStringLiteral("CR solto no meio da linha")
                                               : QStringLiteral("caractere de controle 0x%1")
                                                     .arg(c, 2, 16, QLatin1Char('0'));
                return ByteProblem{i, what};
            }
            continue;
        }
        // A lead byte followed by the right number of continuation bytes is
        // UTF-8; Portuguese text in Windows-1252 practically never looks so.
        const int follow = c >= 0xC2 && c <= 0xDF   ? 1
                           : c >= 0xE0 && c <= 0xEF ? 2
                           : c >= 0xF0 && c <= 0xF4 ? 3
                                                    : 0;
        if (follow > 0) {
            bool utf8 = true;
            for (int k = 1; utf8 && k <= follow; ++k)
                utf8 = i + k < n && (p[i + k] & 0xC0) == 0x80;
            if (utf8)
                return ByteProblem{i, QStringLiteral("texto em UTF-8, não em Windows-1252")};
        }
        if (gen::fromWindows1252(c) == 0)
            return ByteProblem{i, QStringLiteral("byte 0x%1 não existe em Windows-1252")
                                      .arg(c, 2, 16, QLatin1Char('0'))};
    }
    return std::nullopt;
}

QString shown(QByteArrayView v) {
    constexpr qsizetype maxShown = 60;
    QString s;
    const qsizetype n = qMin(v.size(), maxShown);
    s.reserve(n + 3);
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(v[i]);
        if (c < 0x20 || c == 0x7F)
            s += QChar(0xFFFD);
        else if (const char16_t u = gen::fromWindows1252(c))
            s += QChar(u);
        else
            s += QChar(0xFFFD);
    }
    if (v.size() > maxShown)
        s += QStringLiteral("...");
    return s;
}

} // namespace validator::rules
