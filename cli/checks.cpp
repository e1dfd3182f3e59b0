#include "cli/checks.h"
#include "suite/core/daterange.h"
#include "suite/core/utils.h"
#include <QFile>
#include <QRegularExpression>

namespace cli {
namespace {

const QString kDateFormat = QStringLiteral("dd/MM/yyyy");

// The company edit holds two characters.
constexpr int kCompanyWidth = 2;

// The run asks for the balance on the day before the period's first month,
// so the period may start one month after the first accepted date.
QDate firstDateOf(const QString& option) {
    return option == QLatin1String("--inicio") ? suite::kFirstAcceptedDate.addMonths(1)
                                               : suite::kFirstAcceptedDate;
}

QString rangeRefusal(const QString& option, const QString& typed) {
    return QStringLiteral("Data fora do intervalo aceito em %1: %2 (aceitas de %3 a %4).")
        .arg(option, typed.trimmed(), firstDateOf(option).toString(kDateFormat),
             suite::kLastAcceptedDate.toString(kDateFormat));
}

bool inRange(const QString& option, const QDate& d) {
    return suite::acceptedDate(d) && d >= firstDateOf(option);
}

// Bytes that are not UTF-8 reach us as U+FFFD; such a name would create a
// file under another name than the one typed.
bool faithfulName(const QString& name) {
    return !name.contains(QChar::ReplacementCharacter) &&
           QFile::decodeName(QFile::encodeName(name)) == name;
}

} // namespace

std::optional<QDate> parseDate(const QString& s) {
    static const QRegularExpression shape(QStringLiteral("^[0-9]{2}/[0-9]{2}/[0-9]{4}$"));
    const QString t = s.trimmed();
    if (!shape.match(t).hasMatch())
        return std::nullopt;
    const QDate d = QDate::fromString(t, kDateFormat);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString cpfDigits(const QString& typed) {
    QString d;
    for (QChar c : typed)
        if (c >= u'0' && c <= u'9')
            d.append(c);
    return d;
}

QString refusedValue(const QHash<QString, QString>& values, const suite::TMessages& messages) {
    const QString dest = values.value(QStringLiteral("--saida"));
    if (!faithfulName(dest))
        return messages.Msg(QStringLiteral("Arq_Inv")) +
               QStringLiteral(" O nome contém bytes que não formam texto UTF-8.");

    const QString company = values.value(QStringLiteral("--empresa")).trimmed();
    if (company.size() > kCompanyWidth)
        return QStringLiteral("Empresa inválida: %1 (o código tem no máximo %2 caracteres).")
            .arg(company)
            .arg(kCompanyWidth);

    for (const char* name : {"--inicio", "--fim", "--apuracao"}) {
        const QString option = QString::fromLatin1(name);
        const QString typed = values.value(option);
        if (const auto d = parseDate(typed); d && !inRange(option, *d))
            return rangeRefusal(option, typed);
    }
    {
        const auto start = parseDate(values.value(QStringLiteral("--inicio")));
        const auto end = parseDate(values.value(QStringLiteral("--fim")));
        if (start && end && *start <= *end &&
            suite::periodMonths(*start, *end) > suite::kMaxPeriodMonths)
            return QStringLiteral("Período de %1 meses entre --inicio e --fim; o máximo aceito é "
                                  "%2 meses.")
                .arg(suite::periodMonths(*start, *end))
                .arg(suite::kMaxPeriodMonths);
    }
    // The service periods are optional, but what is typed must be a date.
    for (const char* name : {"--contab-inicio", "--contab-fim", "--info-inicio", "--info-fim"}) {
        const QString option = QString::fromLatin1(name);
        const QString typed = values.value(option);
        if (suite::EmptyString(typed))
            continue;
        const auto d = parseDate(typed);
        if (!d)
            return QStringLiteral("Data inválida em %1: \"%2\" (use DD/MM/AAAA).")
                .arg(option, typed.trimmed().left(40));
        if (!inRange(option, *d))
            return rangeRefusal(option, typed);
    }

    const QString cpf = values.value(QStringLiteral("--cpf"));
    if (!suite::EmptyString(cpf) && !suite::CPFOk(cpf))
        return messages.Msg(QStringLiteral("CPF_Inv")) + QStringLiteral(" (--cpf).");
    return {};
}

} // namespace cli
