#include "methods.h"
#include "db/dbgeral.h"
#include "interfaces/remotemethods.h"
#include "localserver.h"
#include "suite/core/amounttext.h"
#include "suite/core/daterange.h"
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace server::detail {
namespace {

using suite::amountText;
using suite::DataPacket;
using suite::FieldDef;
using suite::FieldType;
using suite::RemoteArg;
using suite::RemoteError;

const QString kDayText = QStringLiteral("ddMMyyyy");

// The declared result fields of each method, built once.
const QList<FieldDef>& fieldsOf(const QString& method) {
    static const QHash<QString, QList<FieldDef>> all = [] {
        QHash<QString, QList<FieldDef>> h;
        for (const remote::MethodDecl& m : remote::methods())
            h.insert(QString::fromLatin1(m.name), remote::packetFields(m.fields));
        return h;
    }();
    return *all.constFind(method);
}

[[noreturn]] void badArgs(const QString& method, const QString& what) {
    throw MethodError{RemoteError::BadArguments, QStringLiteral("%1: %2").arg(method, what)};
}

void requireCount(const QString& method, const QList<RemoteArg>& a, int n) {
    if (a.size() != n)
        badArgs(method,
                QStringLiteral("%1 argumento(s) esperado(s), %2 recebido(s)").arg(n).arg(a.size()));
}

QString textArg(const QString& method, const QList<RemoteArg>& a, int i) {
    if (a[i].kind != RemoteArg::Kind::Text)
        badArgs(method, QStringLiteral("argumento %1 deve ser texto").arg(i + 1));
    return a[i].value.toString();
}

// The day of a number counted from 30/12/1899; the fraction is the time of day.
QDate fromDayNumber(double n) {
    if (!std::isfinite(n) || std::fabs(n) > 1.0e7) // far outside the accepted range
        return {};
    return QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(n)));
}

// A date argument: a date, or a plain day number (Float or Integer), which is
// how one of the screen's calls passes it.
QDate dateArg(const QString& method, const QList<RemoteArg>& a, int i) {
    QDate d;
    switch (a[i].kind) {
    case RemoteArg::Kind::Date:
        d = a[i].value.toDate();
        break;
    case RemoteArg::Kind::Float:
        d = fromDayNumber(a[i].value.toDouble());
        break;
    case RemoteArg::Kind::Integer:
        d = fromDayNumber(static_cast<double>(a[i].value.toLongLong()));
        break;
    default:
        badArgs(method, QStringLiteral("argumento %1 deve ser uma data").arg(i + 1));
    }
    if (!d.isValid())
        badArgs(method, QStringLiteral("argumento %1: data inválida").arg(i + 1));
    if (!suite::acceptedDate(d))
        badArgs(method, QStringLiteral("argumento %1: data fora do intervalo aceito (%2 a %3)")
                            .arg(i + 1)
                            .arg(suite::kFirstAcceptedDate.toString(QStringLiteral("dd/MM/yyyy")),
                                 suite::kLastAcceptedDate.toString(QStringLiteral("dd/MM/yyyy"))));
    return d;
}

qint64 integerArg(const QString& method, const QList<RemoteArg>& a, int i) {
    bool ok = false;
    qint64 v = 0;
    switch (a[i].kind) {
    case RemoteArg::Kind::Text:
        v = a[i].value.toString().trimmed().toLongLong(&ok);
        break;
    case RemoteArg::Kind::Integer:
        v = a[i].value.toLongLong();
        ok = true;
        break;
    case RemoteArg::Kind::Float: {
        const double f = a[i].value.toDouble();
        ok = std::isfinite(f) && f == std::floor(f) && std::fabs(f) < 9e15;
        v = ok ? static_cast<qint64>(f) : 0;
        break;
    }
    default:
        break;
    }
    if (!ok)
        badArgs(method, QStringLiteral("argumento %1 deve ser um número inteiro").arg(i + 1));
    return v;
}

void requirePeriod(const QString& method, const QDate& start, const QDate& end) {
    if (start > end)
        badArgs(method, QStringLiteral("data inicial posterior à data final"));
    if (const int months = suite::periodMonths(start, end); months > suite::kMaxPeriodMonths)
        badArgs(method, QStringLiteral("período de %1 meses; o máximo é %2 meses")
                            .arg(months)
                            .arg(suite::kMaxPeriodMonths));
}

QString dayText(const QVariant& v) {
    const QDate d = db::dateOf(v);
    return d.isValid() ? d.toString(kDayText) : QString();
}

int monthIndex(const QDate& d) {
    return d.year() * 12 + d.month() - 1;
}

QDate firstOfMonth(const QDate& d) {
    return QDate(d.year(), d.month(), 1);
}

// A period read from the aggregates: its whole months [from, to) (first
// days; none when from >= to) from SALDMES, the days before and after them
// from SALDDIA. head and tail are inclusive and may be empty.
struct Split {
    QDate headFirst, headLast; // start up to the first whole month
    QDate from, to;            // whole months
    QDate tailFirst, tailLast; // after the last whole month up to end
};

Split split(const QDate& start, const QDate& end) {
    Split s;
    s.from = start.day() == 1 ? start : firstOfMonth(start).addMonths(1);
    const QDate after = end.addDays(1);
    s.to = after.day() == 1 ? after : firstOfMonth(end);
    s.headFirst = start;
    s.headLast = std::min(s.from.addDays(-1), end);
    s.tailFirst = std::max(s.from, s.to);
    s.tailLast = end;
    return s;
}

// The opening balance of an account plus its months before a date: where
// both balances below start.
const QString kOpeningAndMonthsBefore =
    QStringLiteral("COALESCE((SELECT VRSALDINIC FROM SALDINIC WHERE CDEMPRESA = ?"
                   " AND CDCONTCTBL = ?), 0)"
                   " + COALESCE((SELECT SUM(VRDEBITO - VRCREDITO) FROM SALDMES"
                   " WHERE CDEMPRESA = ? AND CDCONTCTBL = ? AND DTSALDO < ?), 0)");

// Signed balances (debit positive) at the end of a day D: the opening,
// the months before D's month, and the days of D's month up to D.
//
// One account, every entry, with the company and account checks in the same
// statement: each statement is a read transaction of its own, and on SQLite
// its file locking costs about as much as a small query.
const QString kBalanceSql =
    QStringLiteral("SELECT (SELECT COUNT(*) FROM EMPRESA WHERE CDEMPRESA = ?),"
                   " (SELECT COUNT(*) FROM CONTCTBL WHERE CDCONTCTBL = ?), CAST(") +
    kOpeningAndMonthsBefore +
    QStringLiteral(" + COALESCE((SELECT SUM(VRDEBITO - VRCREDITO) FROM SALDDIA"
                   " WHERE CDEMPRESA = ? AND CDCONTCTBL = ? AND DTSALDO >= ? AND DTSALDO <= ?),"
                   " 0) AS BIGINT)");

QVariantList balanceArgs(const QString& company, const QString& account, const QDate& day) {
    const QDate month = firstOfMonth(day);
    return {company, account, company, account, company, account,
            month,   company, account, month,   day};
}

// Before the closing: the months before D's year count whole; from the
// year's first day on, the closing entries (IDENCERR "S") are left out.
const QString kPreClosingSql =
    QStringLiteral("SELECT CAST(") + kOpeningAndMonthsBefore +
    QStringLiteral(" + COALESCE((SELECT SUM(VRDEBITO - VRCREDITO) FROM SALDMES"
                   " WHERE CDEMPRESA = ? AND CDCONTCTBL = ? AND DTSALDO >= ? AND DTSALDO < ?"
                   " AND IDENCERR <> 'S'), 0)"
                   " + COALESCE((SELECT SUM(VRDEBITO - VRCREDITO) FROM SALDDIA"
                   " WHERE CDEMPRESA = ? AND CDCONTCTBL = ? AND DTSALDO >= ? AND DTSALDO <= ?"
                   " AND IDENCERR <> 'S'), 0) AS BIGINT)");

QVariantList preClosingArgs(const QString& company, const QString& account, const QDate& day) {
    const QDate month = firstOfMonth(day);
    const QDate year(day.year(), 1, 1);
    return {company, account, company, account, year,  company, account,
            year,    month,   company, account, month, day};
}

// A movement total with the company check, like kBalanceSql. A period of
// whole months reads SALDMES alone; otherwise the days of its partial months
// at either end come from SALDDIA.
QString movementSql(const char* column, bool wholeMonths) {
    const QString months = QStringLiteral("COALESCE((SELECT SUM(%1) FROM SALDMES"
                                          " WHERE CDEMPRESA = ? AND CDCONTCTBL = ?"
                                          " AND DTSALDO >= ? AND DTSALDO < ?), 0)");
    const QString days = QStringLiteral("COALESCE((SELECT SUM(%1) FROM SALDDIA"
                                        " WHERE CDEMPRESA = ? AND CDCONTCTBL = ?"
                                        " AND DTSALDO >= ? AND DTSALDO <= ?), 0)");
    const QString sum =
        wholeMonths ? months : days + QStringLiteral(" + ") + months + QStringLiteral(" + ") + days;
    return (QStringLiteral("SELECT (SELECT COUNT(*) FROM EMPRESA WHERE CDEMPRESA = ?), CAST(") +
            sum + QStringLiteral(" AS BIGINT)"))
        .arg(QLatin1String(column));
}

MethodError companyNotFound(const QString& method, const QString& company) {
    return {RemoteError::NotFound,
            QStringLiteral("%1: empresa \"%2\" não cadastrada.").arg(method, company)};
}

// Account codes compare by code point on every database product.
void sortCodes(QStringList& codes) {
    std::sort(codes.begin(), codes.end(),
              [](const QString& x, const QString& y) { return x.compare(y) < 0; });
}

// A register's rows in the order of the code in `column`, as sortCodes.
void sortByCode(DataPacket& p, int column) {
    p.rows.sort([column](const QVariantList& x, const QVariantList& y) {
        return x[column].toString().compare(y[column].toString()) < 0;
    });
}

// Every selection item: codes separated by ";", blanks around ignored.
QStringList splitList(const QString& s) {
    QStringList out;
    for (const QString& part : s.split(QLatin1Char(';'))) {
        const QString c = part.trimmed();
        if (!c.isEmpty())
            out.append(c);
    }
    return out;
}

} // namespace

QString sideOf(qint64 signedCents) {
    return signedCents > 0 ? QStringLiteral("D") : QStringLiteral("C");
}

void Methods::offer(DataPacket& p) {
    if (sink_ && p.rows.bytes() >= sink_->partBytes())
        sink_->take(p.fields, p.rows);
}

QSqlQuery& Methods::query(const QString& sql, const QVariantList& binds) {
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
        auto q = std::make_unique<QSqlQuery>(db_);
        q->setForwardOnly(true);
        if (!q->prepare(sql))
            throw MethodError{RemoteError::Database,
                              QStringLiteral("%1: %2").arg(method_, q->lastError().text())};
        it = prepared_.emplace(sql, std::move(q)).first;
    }
    QSqlQuery& q = *it->second;
    q.finish();
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec()) {
        const QString err = q.lastError().text();
        // A statement that failed once (lost connection, changed schema) is
        // prepared afresh next time.
        prepared_.erase(it);
        throw MethodError{RemoteError::Database, QStringLiteral("%1: %2").arg(method_, err)};
    }
    return q;
}

void Methods::requireCompany(const QString& company) {
    QSqlQuery& q = query(QStringLiteral("SELECT 1 FROM EMPRESA WHERE CDEMPRESA = ?"), {company});
    const bool found = q.next();
    q.finish();
    if (!found)
        throw companyNotFound(method_, company);
}

Methods::Period Methods::period(const QList<RemoteArg>& a) {
    Period p{textArg(method_, a, 0), dateArg(method_, a, 1), dateArg(method_, a, 2)};
    requirePeriod(method_, p.start, p.end);
    requireCompany(p.company);
    return p;
}

DataPacket Methods::packet() const {
    DataPacket p;
    p.fields = fieldsOf(method_);
    return p;
}

DataPacket Methods::textRows(const QString& sql, const QVariantList& binds,
                             const QVariantList& tail) {
    DataPacket p = packet();
    QSqlQuery& q = query(sql, binds);
    const int columns = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(columns + tail.size());
        for (int i = 0; i < columns; ++i)
            row.append(q.value(i).toString());
        row.append(tail);
        p.rows.append(row);
    }
    q.finish();
    return p;
}

std::optional<qint64> Methods::balanceAt(const QString& company, const QString& account,
                                         const QDate& day) {
    QSqlQuery& q = query(kBalanceSql, balanceArgs(company, account, day));
    const bool row = q.next();
    const bool companyFound = row && q.value(0).toLongLong() > 0;
    const bool accountFound = row && q.value(1).toLongLong() > 0;
    const qint64 b = row ? q.value(2).toLongLong() : 0;
    q.finish();
    if (!companyFound)
        throw companyNotFound(method_, company);
    if (!accountFound)
        return std::nullopt;
    return b;
}

DataPacket Methods::run(const remote::MethodDecl* decl, const QString& method,
                        QList<RemoteArg>& args) {
    using Fn = DataPacket (Methods::*)(const QList<RemoteArg>&);
    static const QHash<QString, Fn> impl = {
        {QStringLiteral("getsaldmens"), &Methods::getsaldmens},
        {QStringLiteral("GetLancCont"), &Methods::GetLancCont},
        {QStringLiteral("GetIdContrib"), &Methods::GetIdContrib},
        {QStringLiteral("GetDadosCont"), &Methods::GetDadosCont},
        {QStringLiteral("GetDadosTecEmpr"), &Methods::GetDadosTecEmpr},
        {QStringLiteral("GetPlanContas"), &Methods::GetPlanContas},
        {QStringLiteral("GetCentrCust"), &Methods::GetCentrCust},
        {QStringLiteral("GetSaldAntEnc"), &Methods::GetSaldAntEnc},
        {QStringLiteral("getcreddeb"), &Methods::getcreddeb},
        {QStringLiteral("GetCcLanc"), &Methods::GetCcLanc},
    };
    const Fn fn = decl ? impl.value(QLatin1String(decl->name)) : nullptr;
    if (!fn)
        throw MethodError{RemoteError::UnknownMethod,
                          QStringLiteral("método desconhecido: \"%1\"").arg(method.left(80))};
    method_ = QString::fromLatin1(decl->name);
    requireCount(method_, args, int(decl->args.size()));
    return (this->*fn)(args);
}

// One row per analytic account and month with a balance or a movement; the
// month's final balance as an unsigned number with its side in TIPOSALD.
DataPacket Methods::getsaldmens(const QList<RemoteArg>& a) {
    const auto [company, start, end] = period(a);

    QStringList accounts;
    {
        QSqlQuery& q =
            query(QStringLiteral("SELECT CDCONTCTBL FROM CONTCTBL WHERE IDTIPOCONT = 'A'"), {});
        while (q.next())
            accounts.append(q.value(0).toString());
        q.finish();
    }
    sortCodes(accounts);

    QHash<QString, qint64> balance;
    {
        QSqlQuery& q = query(QStringLiteral("SELECT CDCONTCTBL, VRSALDINIC FROM SALDINIC"
                                            " WHERE CDEMPRESA = ?"),
                             {company});
        while (q.next())
            balance[q.value(0).toString()] += q.value(1).toLongLong();
        q.finish();
    }
    {
        // Before the start: the months before its month, then its month's
        // days before it.
        const QDate month = firstOfMonth(start);
        QSqlQuery& q = query(QStringLiteral("SELECT CDCONTCTBL, CAST(SUM(VRDEBITO - VRCREDITO)"
                                            " AS BIGINT) FROM SALDMES WHERE CDEMPRESA = ?"
                                            " AND DTSALDO < ? GROUP BY CDCONTCTBL"),
                             {company, month});
        while (q.next())
            balance[q.value(0).toString()] += q.value(1).toLongLong();
        q.finish();
        if (month < start) {
            QSqlQuery& d = query(QStringLiteral("SELECT CDCONTCTBL, CAST(SUM(VRDEBITO - VRCREDITO)"
                                                " AS BIGINT) FROM SALDDIA WHERE CDEMPRESA = ?"
                                                " AND DTSALDO >= ? AND DTSALDO < ?"
                                                " GROUP BY CDCONTCTBL"),
                                 {company, month, start});
            while (d.next())
                balance[d.value(0).toString()] += d.value(1).toLongLong();
            d.finish();
        }
    }
    const int first = monthIndex(start);
    const int months = monthIndex(end) - first + 1;
    struct Move {
        qint64 debit = 0, credit = 0;
    };
    QHash<QString, QList<Move>> moves;
    // Rows of (account, day or month, debits, credits) into their months.
    auto addMoves = [&](QSqlQuery& q) {
        while (q.next()) {
            QList<Move>& m = moves[q.value(0).toString()];
            if (m.isEmpty())
                m.resize(months);
            const int k = monthIndex(db::dateOf(q.value(1))) - first;
            if (k < 0 || k >= months)
                continue;
            m[k].debit += q.value(2).toLongLong();
            m[k].credit += q.value(3).toLongLong();
        }
        q.finish();
    };
    const Split s = split(start, end);
    if (s.from < s.to)
        addMoves(query(QStringLiteral("SELECT CDCONTCTBL, DTSALDO, CAST(SUM(VRDEBITO) AS BIGINT),"
                                      " CAST(SUM(VRCREDITO) AS BIGINT) FROM SALDMES"
                                      " WHERE CDEMPRESA = ? AND DTSALDO >= ? AND DTSALDO < ?"
                                      " GROUP BY CDCONTCTBL, DTSALDO"),
                       {company, s.from, s.to}));
    for (const auto& [from, to] :
         {std::pair{s.headFirst, s.headLast}, std::pair{s.tailFirst, s.tailLast}})
        if (from <= to)
            addMoves(query(QStringLiteral("SELECT CDCONTCTBL, DTSALDO,"
                                          " CAST(SUM(VRDEBITO) AS BIGINT),"
                                          " CAST(SUM(VRCREDITO) AS BIGINT) FROM SALDDIA"
                                          " WHERE CDEMPRESA = ? AND DTSALDO >= ? AND DTSALDO <= ?"
                                          " GROUP BY CDCONTCTBL, DTSALDO"),
                           {company, from, to}));

    DataPacket p = packet();
    QHash<QString, qint64> running = balance;
    for (int k = 0; k < months; ++k) {
        const QDate monthStart(QDate(start.year(), 1, 1).addMonths(start.month() - 1 + k));
        const QDate lastDay = monthStart.addDays(monthStart.daysInMonth() - 1);
        const QString mmyyyy = monthStart.toString(QStringLiteral("MM/yyyy"));
        for (const QString& acc : accounts) {
            qint64& b = running[acc];
            Move m;
            const auto it = moves.constFind(acc);
            if (it != moves.constEnd())
                m = it->at(k);
            b += m.debit - m.credit;
            if (b == 0 && m.debit == 0 && m.credit == 0)
                continue;
            p.rows.append({QDateTime(lastDay, QTime(0, 0)), mmyyyy, acc,
                           static_cast<double>(b < 0 ? -b : b) / 100.0, sideOf(b)});
        }
        offer(p);
    }
    return p;
}

// Every posting of the period, closing entries included.
DataPacket Methods::GetLancCont(const QList<RemoteArg>& a) {
    const auto [company, start, end] = period(a);

    DataPacket p = packet();
    // An imported entry shows the book's number (NRLANCEXT, copied on its
    // postings so that the journal reads one table); others their key.
    QSqlQuery& q = query(QStringLiteral("SELECT NRLANCCONT, DTLANCCONT, CDCONTCTBL, CDDOCUCONT,"
                                        " DSHISTLANC, VRLANCAMENT, NRSEQLANC, IDNATLANC, NRLANCEXT"
                                        " FROM PARTLANC WHERE CDEMPRESA = ? AND DTLANCCONT >= ?"
                                        " AND DTLANCCONT <= ?"
                                        " ORDER BY DTLANCCONT, NRLANCCONT, NRSEQLANC"),
                         {company, start, end});
    // An entry's postings share its date, so they arrive together: each
    // entry is held until its debit total (VRTOTDC) is known, and nothing
    // else is, whatever the size of the journal.
    QList<QVariantList> entry;
    qint64 entryNr = 0;
    qint64 entryDebits = 0;
    auto flush = [&] {
        const QString total = amountText(entryDebits);
        for (QVariantList& row : entry) {
            row.append(total);
            p.rows.append(row);
        }
        entry.clear();
        entryDebits = 0;
        offer(p);
    };
    // Dates repeat across thousands of rows: format each once.
    QVariant lastDate;
    QString lastText;
    while (q.next()) {
        const qint64 nr = q.value(0).toLongLong();
        if (nr != entryNr && !entry.isEmpty())
            flush();
        entryNr = nr;
        const QVariant dt = q.value(1);
        if (dt != lastDate) {
            lastDate = dt;
            lastText = dayText(dt);
        }
        const qint64 value = q.value(5).toLongLong();
        const QString side = q.value(7).toString();
        if (side == QLatin1String("D"))
            entryDebits += value;
        const QVariant shown = q.value(8);
        entry.append({shown.isNull() ? QString::number(nr) : shown.toString(), lastText,
                      q.value(2).toString(), q.value(3).toString(), q.value(4).toString(),
                      amountText(value), q.value(6).toString(), side});
    }
    q.finish();
    if (!entry.isEmpty())
        flush();
    return p;
}

DataPacket Methods::GetIdContrib(const QList<RemoteArg>& a) {
    const auto [company, start, end] = period(a);
    return textRows(QStringLiteral("SELECT NMRAZSOCEMPR, NRINSJUREMPR, SGESTADO, NRINSCESTA,"
                                   " CDMUNICIPIO, NRREGJUNCOM FROM EMPRESA WHERE CDEMPRESA = ?"),
                    {company}, {start.toString(kDayText), end.toString(kDayText)});
}

DataPacket Methods::GetDadosCont(const QList<RemoteArg>& a) {
    const QString company = textArg(method_, a, 0);
    requireCompany(company);
    return textRows(QStringLiteral("SELECT NMCONTADOR, NRINSJURCONT, NRCPFRESPONS, NRCRCCONT2,"
                                   " NRCEP, DSLOGRADOURO, DSCOMPLLOGRA, DSBAIRRO, NRTELCONTATO,"
                                   " NRFAXCONTATO, DSENDINTERN FROM CONTADOR WHERE CDEMPRESA = ?"),
                    {company});
}

DataPacket Methods::GetDadosTecEmpr(const QList<RemoteArg>& a) {
    const QString company = textArg(method_, a, 0);
    requireCompany(company);
    return textRows(QStringLiteral("SELECT NMRAZSOCEMPR, NRINSJUREMPR, NRTELEFOEMPR"
                                   " FROM TECEMPR WHERE CDEMPRESA = ?"),
                    {company});
}

DataPacket Methods::GetPlanContas(const QList<RemoteArg>& /*a*/) {
    DataPacket p = packet();
    QSqlQuery& q = query(QStringLiteral("SELECT DTATUALIZ, IDNATCONT, IDTIPOCONT, CDNVCONTCTBL,"
                                        " CDCONTCTBL, CDCONTANTE, NMCONTCTBL FROM CONTCTBL"),
                         {});
    while (q.next())
        p.rows.append({dayText(q.value(0)), q.value(1).toString(), q.value(2).toString(),
                       QString::number(q.value(3).toInt()), q.value(4).toString(),
                       q.value(5).toString(), q.value(6).toString()});
    q.finish();
    sortByCode(p, 4);
    return p;
}

DataPacket Methods::GetCentrCust(const QList<RemoteArg>& /*a*/) {
    DataPacket p = packet();
    QSqlQuery& q =
        query(QStringLiteral("SELECT DTATUALIZ, CDCENTCUST, NMCENTCUST FROM CENTCUST"), {});
    while (q.next())
        p.rows.append({dayText(q.value(0)), q.value(1).toString(), q.value(2).toString()});
    q.finish();
    sortByCode(p, 1);
    return p;
}

// "_code_": that account's balance at the end of the day, every entry
// included. "T" or a list of codes: the balances of the result accounts (all
// analytic ones of nature 4 for "T") at the end of the day but before that
// year's closing entries.
DataPacket Methods::GetSaldAntEnc(const QList<RemoteArg>& a) {
    const QString company = textArg(method_, a, 0);
    const QString sel1 = textArg(method_, a, 1);
    const QString sel2 = textArg(method_, a, 2);
    const QDate day = dateArg(method_, a, 3);

    DataPacket p = packet();
    const QString dayTxt = day.toString(kDayText);
    auto exists = [this](const QString& code) {
        QSqlQuery& q = query(QStringLiteral("SELECT 1 FROM CONTCTBL WHERE CDCONTCTBL = ?"), {code});
        const bool found = q.next();
        q.finish();
        return found;
    };

    const QString s1 = sel1.trimmed();
    if (s1.size() >= 2 && s1.startsWith(QLatin1Char('_')) && s1.endsWith(QLatin1Char('_'))) {
        const QString code = s1.mid(1, s1.size() - 2).trimmed();
        // A per-row call: balanceAt checks the company and the account too.
        if (code.isEmpty()) {
            requireCompany(company);
        } else if (const std::optional<qint64> found = balanceAt(company, code, day)) {
            const qint64 b = *found;
            p.rows.append({code, amountText(b), sideOf(b), dayTxt});
        }
        return p;
    }
    requireCompany(company);

    QStringList codes;
    const QStringList items = splitList(sel1) + splitList(sel2);
    if (items.contains(QStringLiteral("T"))) {
        QSqlQuery& q = query(QStringLiteral("SELECT CDCONTCTBL FROM CONTCTBL"
                                            " WHERE IDTIPOCONT = 'A' AND IDNATCONT = '4'"),
                             {});
        while (q.next())
            codes.append(q.value(0).toString());
        q.finish();
    } else {
        QSet<QString> seen;
        for (const QString& c : items)
            if (!seen.contains(c) && exists(c)) {
                seen.insert(c);
                codes.append(c);
            }
    }
    if (codes.isEmpty())
        return p;
    sortCodes(codes);

    for (const QString& code : codes) {
        // The aggregates keep the closing flag apart: the year's closing
        // entries up to the day are left out, earlier years' stay in.
        QSqlQuery& q = query(kPreClosingSql, preClosingArgs(company, code, day));
        const qint64 b = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        p.rows.append({code, amountText(b), sideOf(b), dayTxt});
    }
    return p;
}

// The month's debits of the account when the debits flag is on, its credits
// when the credits flag is; one row, 0 when nothing moved.
DataPacket Methods::getcreddeb(const QList<RemoteArg>& a) {
    const QString company = textArg(method_, a, 0);
    const QDate first = dateArg(method_, a, 1);
    const QDate last = dateArg(method_, a, 2);
    const bool credits =
        textArg(method_, a, remote::kCreditsFlag).trimmed() == QLatin1String(remote::kFlagOn);
    const bool debits =
        textArg(method_, a, remote::kDebitsFlag).trimmed() == QLatin1String(remote::kFlagOn);
    const QString account = textArg(method_, a, 5);
    requirePeriod(method_, first, last);
    if (credits == debits)
        badArgs(method_, QStringLiteral("exatamente um dos argumentos 4 (créditos) e 5 (débitos) "
                                        "deve ser \"T\""));
    // A calendar month is one or two SALDMES rows (ordinary and closing
    // entries); the company check comes in the same statement.
    static const QString sql[2][2] = {
        {movementSql("VRCREDITO", false), movementSql("VRCREDITO", true)},
        {movementSql("VRDEBITO", false), movementSql("VRDEBITO", true)}};
    const Split s = split(first, last);
    const bool wholeMonths = s.headFirst > s.headLast && s.tailFirst > s.tailLast;
    QSqlQuery& q = wholeMonths ? query(sql[debits][1], {company, company, account, s.from, s.to})
                               : query(sql[debits][0], {company, company, account, s.headFirst,
                                                        s.headLast, company, account, s.from, s.to,
                                                        company, account, s.tailFirst, s.tailLast});
    const bool companyFound = q.next() && q.value(0).toLongLong() > 0;
    const qint64 total = companyFound ? q.value(1).toLongLong() : 0;
    q.finish();
    if (!companyFound)
        throw companyNotFound(method_, company);
    DataPacket p = packet();
    p.rows.append(
        {static_cast<double>(total) / 100.0, account, first.toString(QStringLiteral("MM/yy"))});
    return p;
}

// The posting's cost centres, largest share first. The entry is named as
// GetLancCont shows it: the book's number of an imported entry, else the
// entry's key.
DataPacket Methods::GetCcLanc(const QList<RemoteArg>& a) {
    const QString company = textArg(method_, a, 0);
    const QString shown = a[1].kind == RemoteArg::Kind::Text
                              ? a[1].value.toString()
                              : QString::number(integerArg(method_, a, 1));
    bool isKey = false;
    const qint64 key = shown.trimmed().toLongLong(&isKey);
    const qint64 seq = integerArg(method_, a, 2);
    DataPacket p = packet();
    QList<QPair<qint64, QString>> shares;
    // One statement answers the company check, the entry's look-up and the
    // shares: it runs once per posting, and each statement costs SQLite its
    // locking calls.
    QSqlQuery& q = query(
        QStringLiteral("SELECT E.CDEMPRESA, X.NRLANCCONT, C.CDCENTCUST, C.VRRATEIO"
                       " FROM EMPRESA E LEFT JOIN LANCCONT X"
                       " ON X.CDEMPRESA = E.CDEMPRESA AND X.NRLANCEXT = ?"
                       " LEFT JOIN PARTCCUS C ON C.CDEMPRESA = E.CDEMPRESA"
                       " AND C.NRLANCCONT = COALESCE(X.NRLANCCONT, ?)"
                       " AND C.NRSEQLANC = ? WHERE E.CDEMPRESA = ?"),
        {shown, isKey ? QVariant(key) : QVariant(QMetaType(QMetaType::LongLong)), seq, company});
    bool companyFound = false;
    bool entryFound = isKey;
    while (q.next()) {
        companyFound = true;
        entryFound = entryFound || !q.value(1).isNull();
        if (!q.value(2).isNull())
            shares.append({q.value(3).toLongLong(), q.value(2).toString()});
    }
    q.finish();
    if (!companyFound)
        throw companyNotFound(method_, company);
    if (!entryFound)
        badArgs(method_, QStringLiteral("argumento 2 deve ser um número de lançamento"));
    std::sort(shares.begin(), shares.end(), [](const auto& x, const auto& y) {
        return x.first != y.first ? x.first > y.first : x.second.compare(y.second) < 0;
    });
    for (const auto& s : shares)
        p.rows.append({s.second});
    return p;
}

} // namespace server::detail
