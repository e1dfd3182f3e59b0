#include "importer/reconcile.h"
#include "importer/sqlbatch.h"
#include "interfaces/remotemethods.h"
#include "server/localserver.h"
#include "suite/core/amounttext.h"
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <cmath>

namespace importer {
namespace {

using suite::RemoteArg;

// Differences listed per book; more are counted in one line.
constexpr int kShown = 20;

qint64 cents(double v) {
    return std::llround(v * 100.0);
}

// The module's amount text ("1234,56") as cents.
qint64 centsOfText(const QString& text) {
    QString digits = text.trimmed();
    const qsizetype comma = digits.indexOf(QLatin1Char(','));
    QString whole = comma < 0 ? digits : digits.left(comma);
    QString fraction = comma < 0 ? QString() : digits.mid(comma + 1);
    fraction = (fraction + QStringLiteral("00")).left(2);
    return whole.toLongLong() * 100 + fraction.toLongLong();
}

qint64 signedBy(qint64 magnitude, const QString& side) {
    return side.trimmed() == QLatin1String("D") ? magnitude : -magnitude;
}

QString monthText(const QDate& d) {
    return d.toString(QStringLiteral("MM/yyyy"));
}

class Checker {
public:
    Checker(QSqlDatabase& db, const QString& company) : server_(db), db_(db), company_(company) {
        server_.setSnapshots(false);
    }

    suite::DataPacket call(const QString& method, QList<RemoteArg> args) {
        const suite::RemoteResult r = server_.call(method, args);
        if (!r.ok())
            throw DatabaseError(QStringLiteral("%1: %2").arg(method, r.message).toStdString());
        return r.packet;
    }

    void differ(const Place& place, const QString& text) {
        ++differences_;
        if (differences_ <= kShown)
            out.differences.append({Finding::Severity::Error, place, text});
    }

    void finishList(const QString& file) {
        if (differences_ > kShown)
            out.differences.append(
                {Finding::Severity::Error,
                 {file, 0, 0},
                 QStringLiteral("… e mais %1 diferença(s) na conferência com o banco.")
                     .arg(differences_ - kShown)});
    }

    // The year's closing entries before day, per account (signed), as stored.
    QHash<QString, qint64> closingsBefore(const QDate& day) {
        QHash<QString, qint64> sums;
        QSqlQuery q = prepareOrThrow(
            db_,
            QStringLiteral("SELECT CDCONTCTBL, CAST(SUM(VRDEBITO - VRCREDITO) AS BIGINT)"
                           " FROM SALDDIA WHERE CDEMPRESA = ? AND IDENCERR = 'S'"
                           " AND DTSALDO >= ? AND DTSALDO < ? GROUP BY CDCONTCTBL"),
            QStringLiteral("SALDDIA"));
        q.bindValue(0, company_);
        q.bindValue(1, QDate(day.year(), 1, 1));
        q.bindValue(2, day);
        execOrThrow(q, QStringLiteral("SALDDIA"));
        while (q.next())
            sums[q.value(0).toString()] += q.value(1).toLongLong();
        return sums;
    }

    Reconciliation out;

private:
    server::LocalServer server_;
    QSqlDatabase& db_;
    QString company_;
    int differences_ = 0;
};

} // namespace

QString signedAmountText(qint64 c) {
    return suite::amountText(c) + (c > 0 ? QStringLiteral(" D") : QStringLiteral(" C"));
}

Reconciliation reconcile(QSqlDatabase& db, const QString& company, const QDate& start,
                         const QDate& end, const QList<ExpectedPeriod>& periods,
                         const QList<ExpectedResult>& results) {
    Checker c(db, company);
    QString file;

    if (!periods.isEmpty()) {
        // Every month's final balances in one call; key "MM/yyyy|account".
        const suite::DataPacket months =
            c.call(QStringLiteral("getsaldmens"),
                   {RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)});
        const int cMonth = months.indexOf(QStringLiteral("MESANOSALDEMPR"));
        const int cAccount = months.indexOf(QStringLiteral("CDCONTCTBL"));
        const int cValue = months.indexOf(QStringLiteral("VRSALDEMPR"));
        const int cSide = months.indexOf(QStringLiteral("TIPOSALD"));
        QHash<QString, qint64> stored;
        for (const QVariantList& row : months.rows)
            stored.insert(row[cMonth].toString() + QLatin1Char('|') + row[cAccount].toString(),
                          signedBy(cents(row[cValue].toDouble()), row[cSide].toString()));

        for (const ExpectedPeriod& p : periods) {
            const QString month = monthText(p.end);
            for (auto it = p.accounts.cbegin(); it != p.accounts.cend(); ++it) {
                const ExpectedBalance& e = it.value();
                file = e.place.file;
                const QString key = month + QLatin1Char('|') + it.key();
                const qint64 have = stored.value(key, 0);
                stored.remove(key);
                ++c.out.balances;
                if (have != e.final)
                    c.differ(e.place, QStringLiteral("Conferência com o banco: conta %1, %2: "
                                                     "saldo final %3 no banco, %4 no livro.")
                                          .arg(it.key(), month, signedAmountText(have),
                                               signedAmountText(e.final)));
                for (const bool debits : {true, false}) {
                    QList<RemoteArg> args{RemoteArg::text(company),   RemoteArg::date(p.start),
                                          RemoteArg::date(p.end),     RemoteArg::text(QString()),
                                          RemoteArg::text(QString()), RemoteArg::text(it.key())};
                    args[debits ? remote::kDebitsFlag : remote::kCreditsFlag] =
                        RemoteArg::text(QString::fromLatin1(remote::kFlagOn));
                    const suite::DataPacket t = c.call(QStringLiteral("getcreddeb"), args);
                    const qint64 total =
                        t.rows.isEmpty()
                            ? 0
                            : cents(t.rows.at(0)[t.indexOf(QStringLiteral("VALOR"))].toDouble());
                    const qint64 want = debits ? e.debits : e.credits;
                    ++c.out.balances;
                    if (total != want)
                        c.differ(e.place,
                                 QStringLiteral("Conferência com o banco: conta %1, %2: %3 "
                                                "%4 no banco, %5 no livro.")
                                     .arg(it.key(), month,
                                          debits ? QStringLiteral("débitos")
                                                 : QStringLiteral("créditos"),
                                          suite::amountText(total), suite::amountText(want)));
                }
            }
        }
        // What the book leaves out has no balance in its months.
        QSet<QString> bookMonths;
        for (const ExpectedPeriod& p : periods)
            bookMonths.insert(monthText(p.end));
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            const QString month = it.key().section(QLatin1Char('|'), 0, 0);
            if (it.value() == 0 || !bookMonths.contains(month))
                continue;
            c.differ({file, 0, 0},
                     QStringLiteral("Conferência com o banco: conta %1, %2: saldo final %3 no "
                                    "banco; o livro não tem saldo dela.")
                         .arg(it.key().section(QLatin1Char('|'), 1), month,
                              signedAmountText(it.value())));
        }
    }

    for (const ExpectedResult& r : results) {
        if (r.accounts.isEmpty())
            continue;
        const QHash<QString, qint64> closings = c.closingsBefore(r.date);
        QStringList codes;
        for (auto it = r.accounts.cbegin(); it != r.accounts.cend(); ++it)
            codes << it.key();
        const suite::DataPacket p =
            c.call(QStringLiteral("GetSaldAntEnc"),
                   {RemoteArg::text(company), RemoteArg::text(codes.join(QLatin1Char(';'))),
                    RemoteArg::text(QString()), RemoteArg::date(r.date)});
        const int cAccount = p.indexOf(QStringLiteral("CDCONTCTBL"));
        const int cValue = p.indexOf(QStringLiteral("VRSALDEMPR"));
        const int cSide = p.indexOf(QStringLiteral("IDSALDOFIN"));
        QHash<QString, qint64> stored;
        for (const QVariantList& row : p.rows)
            stored.insert(row[cAccount].toString(),
                          signedBy(centsOfText(row[cValue].toString()), row[cSide].toString()));
        for (auto it = r.accounts.cbegin(); it != r.accounts.cend(); ++it) {
            const Place place = r.places.value(it.key());
            file = place.file;
            const qint64 want = it.value() - closings.value(it.key(), 0);
            const qint64 have = stored.value(it.key(), 0);
            ++c.out.results;
            if (have != want)
                c.differ(place, QStringLiteral("Conferência com o banco: conta %1, saldo antes do "
                                               "encerramento em %2: %3 no banco, %4 no livro.")
                                    .arg(it.key(), r.date.toString(QStringLiteral("dd/MM/yyyy")),
                                         signedAmountText(have + closings.value(it.key(), 0)),
                                         signedAmountText(it.value())));
        }
    }
    c.finishList(file);
    return c.out;
}

} // namespace importer
