#include "utils.h"
#include "messages.h"
#include <cmath>

namespace suite {
namespace {
const QDate kDayZero(1899, 12, 30);

QString digitsOf(const QString& s) {
    QString d;
    for (QChar c : s)
        if (c >= u'0' && c <= u'9') // other scripts' digits are not a document number
            d.append(c);
        else if (c != u'.' && c != u'-' && c != u'/' && !c.isSpace())
            return {}; // a letter makes the number invalid
    return d;
}

bool allEqual(const QString& d) {
    for (QChar c : d)
        if (c != d.front())
            return false;
    return true;
}
} // namespace

bool EmptyString(const QString& s) {
    return s.trimmed().isEmpty();
}

QString AllTrim(const QString& s) {
    return s.trimmed();
}

QString Ajusta(const QString& code, int width) {
    const QString t = code.trimmed();
    if (t.isEmpty() || t.size() >= width)
        return t.isEmpty() ? QString() : t;
    return QString(width - t.size(), u'0') + t;
}

bool CPFOk(const QString& cpf) {
    const QString d = digitsOf(cpf);
    if (d.size() != 11 || allEqual(d))
        return false;
    for (int check = 9; check <= 10; ++check) {
        int sum = 0;
        for (int i = 0; i < check; ++i)
            sum += d[i].digitValue() * (check + 1 - i);
        const int digit = (sum * 10) % 11 % 10;
        if (digit != d[check].digitValue())
            return false;
    }
    return true;
}

bool CNPJOk(const QString& cnpj) {
    const QString d = digitsOf(cnpj);
    if (d.size() != 14 || allEqual(d))
        return false;
    static const int w1[12] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[13] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    auto digit = [&](const int* w, int n) {
        int sum = 0;
        for (int i = 0; i < n; ++i)
            sum += d[i].digitValue() * w[i];
        const int r = sum % 11;
        return r < 2 ? 0 : 11 - r;
    };
    return digit(w1, 12) == d[12].digitValue() && digit(w2, 13) == d[13].digitValue();
}

QDate PriDiaMes(const QDate& d) {
    return d.isValid() ? QDate(d.year(), d.month(), 1) : QDate();
}

QDate UltimoDiaMes(const QDate& d) {
    return d.isValid() ? QDate(d.year(), d.month(), d.daysInMonth()) : QDate();
}

double DateToDayNumber(const QDate& d) {
    return d.isValid() ? static_cast<double>(kDayZero.daysTo(d)) : 0.0;
}

QDate DayNumberToDate(double n) {
    if (!std::isfinite(n) || std::fabs(n) > 3.0e6)
        return {};
    return kDayZero.addDays(static_cast<qint64>(std::floor(n)));
}

DataPacket CheckResultServ(const RemoteResult& result, bool raise, int flags) {
    Q_UNUSED(flags);
    if (result.ok())
        return result.packet;
    const QString text = result.message.isEmpty()
                             ? QStringLiteral("Erro no servidor de aplicação (código %1).")
                                   .arg(static_cast<int>(result.error))
                             : result.message;
    if (raise)
        MensErro(text, true, AbortReason::Server, result.detail);
    presenter().detailedMessage(text, result.detail, MsgType::Error, mbOK, nullptr);
    return {};
}

} // namespace suite
