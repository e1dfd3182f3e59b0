// SALDDIA and SALDMES against the postings they sum, after every kind of
// write and after the upgrade of a database that had postings before them;
// and the balance and movement methods against sums computed here from the
// postings themselves.
#include "db/dbgeral.h"
#include "server/demo.h"
#include "server/localserver.h"
#include "testdb.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <algorithm>
#include <memory>

using suite::RemoteArg;
using Args = QList<RemoteArg>;
using Writes = QList<QVariantList>; // each: the SQL, then its bound values
Q_DECLARE_METATYPE(Writes)

namespace {

QSqlQuery run(QSqlDatabase& db, const QString& sql, const QVariantList& binds = {}) {
    QSqlQuery q(db);
    if (!q.prepare(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    for (const QVariant& v : binds)
        q.addBindValue(v);
    if (!q.exec())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

// The books as the tables hold them, and the sums the methods must give.
struct Books {
    struct Posting {
        QString company, account;
        QDate day; // the posting's DTLANCCONT
        bool debit;
        qint64 cents;
        bool closing;   // its entry's IDENCERR
        QDate entryDay; // its entry's DTLANCCONT
    };
    QList<Posting> postings;
    QHash<QString, qint64> opening; // "company|account"
    QStringList analytic, results;  // sorted codes; results: nature 4

    explicit Books(QSqlDatabase& db) {
        QSqlQuery q = run(db, QStringLiteral("SELECT P.CDEMPRESA, P.CDCONTCTBL, P.DTLANCCONT,"
                                             " P.IDNATLANC, P.VRLANCAMENT, L.IDENCERR,"
                                             " L.DTLANCCONT FROM PARTLANC P JOIN LANCCONT L"
                                             " ON L.CDEMPRESA = P.CDEMPRESA"
                                             " AND L.NRLANCCONT = P.NRLANCCONT"));
        while (q.next())
            postings.append({q.value(0).toString(), q.value(1).toString(), db::dateOf(q.value(2)),
                             q.value(3).toString() == QLatin1String("D"), q.value(4).toLongLong(),
                             q.value(5).toString() == QLatin1String("S"), db::dateOf(q.value(6))});
        q = run(db, QStringLiteral("SELECT CDEMPRESA, CDCONTCTBL, VRSALDINIC FROM SALDINIC"));
        while (q.next())
            opening[q.value(0).toString() + u'|' + q.value(1).toString()] = q.value(2).toLongLong();
        q = run(db, QStringLiteral("SELECT CDCONTCTBL, IDNATCONT FROM CONTCTBL"
                                   " WHERE IDTIPOCONT = 'A'"));
        while (q.next()) {
            analytic.append(q.value(0).toString());
            if (q.value(1).toString() == QLatin1String("4"))
                results.append(q.value(0).toString());
        }
        std::sort(analytic.begin(), analytic.end());
        std::sort(results.begin(), results.end());
    }

    // Signed, debit positive, at the end of day; beforeClosing leaves out the
    // closing entries dated in the day's year up to the day.
    qint64 balance(const QString& company, const QString& account, const QDate& day,
                   bool beforeClosing = false) const {
        qint64 b = opening.value(company + u'|' + account);
        for (const Posting& p : postings) {
            if (p.company != company || p.account != account || p.day > day)
                continue;
            if (beforeClosing && p.closing && p.entryDay.year() == day.year() && p.entryDay <= day)
                continue;
            b += p.debit ? p.cents : -p.cents;
        }
        return b;
    }
    qint64 moved(const QString& company, const QString& account, const QDate& first,
                 const QDate& last, bool debit) const {
        qint64 sum = 0;
        for (const Posting& p : postings)
            if (p.company == company && p.account == account && p.debit == debit &&
                p.day >= first && p.day <= last)
                sum += p.cents;
        return sum;
    }
    // "company|account|day|flag=debits|credits" per day or per month (its
    // first day), leaving out what sums to nothing.
    QStringList sums(bool months) const {
        QMap<QString, QPair<qint64, qint64>> m;
        for (const Posting& p : postings) {
            const QDate d = months ? QDate(p.day.year(), p.day.month(), 1) : p.day;
            auto& s = m[QStringList{p.company, p.account, d.toString(Qt::ISODate),
                                    p.closing ? QStringLiteral("S") : QStringLiteral("N")}
                            .join(u'|')];
            (p.debit ? s.first : s.second) += p.cents;
        }
        QStringList out;
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            if (it->first != 0 || it->second != 0)
                out << QStringLiteral("%1=%2|%3").arg(it.key()).arg(it->first).arg(it->second);
        return out;
    }
};

QStringList stored(QSqlDatabase& db, const QString& table) {
    QStringList out;
    QSqlQuery q = run(db, QStringLiteral("SELECT CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR,"
                                         " VRDEBITO, VRCREDITO FROM %1")
                              .arg(table));
    while (q.next())
        if (q.value(4).toLongLong() != 0 || q.value(5).toLongLong() != 0)
            out << QStringLiteral("%1|%2|%3|%4=%5|%6")
                       .arg(q.value(0).toString(), q.value(1).toString(),
                            db::dateOf(q.value(2)).toString(Qt::ISODate), q.value(3).toString())
                       .arg(q.value(4).toLongLong())
                       .arg(q.value(5).toLongLong());
    std::sort(out.begin(), out.end());
    return out;
}

qint64 cents(double v) {
    return qRound64(v * 100.0);
}
// "1234,56" with its side.
qint64 signedCents(const QString& text, const QString& side) {
    QString t = text;
    t.remove(QLatin1Char(','));
    return t.toLongLong() * (side == QLatin1String("D") ? 1 : -1);
}

const QDate d1(2025, 1, 10), d2(2025, 1, 20), d3(2025, 3, 5), d4(2025, 12, 31);

} // namespace

class TestAggregates : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-aggr");

    // An entry of company 01 on a day of its own.
    static void addEntry(QSqlDatabase& db) {
        const QDate day(2025, 7, 7);
        run(db,
            QStringLiteral("INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT, IDENCERR)"
                           " VALUES (?, ?, ?, ?)"),
            {"01", 900000, day, "N"});
        const QString part = QStringLiteral(
            "INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT, CDCONTCTBL,"
            " CDDOCUCONT, DSHISTLANC, VRLANCAMENT, IDNATLANC) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        QSqlQuery q = run(db, QStringLiteral("SELECT MIN(CDCONTCTBL), MAX(CDCONTCTBL)"
                                             " FROM CONTCTBL WHERE IDTIPOCONT = 'A'"));
        QVERIFY(q.next());
        run(db, part, {"01", 900000, 1, day, q.value(0), "Z", "z", 123456, "D"});
        run(db, part, {"01", 900000, 2, day, q.value(1), "Z", "z", 123456, "C"});
    }

    static suite::DataPacket call(server::LocalServer& srv, const char* method, Args a) {
        const suite::RemoteResult r = srv.call(QString::fromLatin1(method), a);
        if (!r.ok())
            qFatal("%s: %s", method, qPrintable(r.message));
        return r.packet;
    }

    static void verifyTables(QSqlDatabase& db) {
        const Books books(db);
        QCOMPARE(stored(db, QStringLiteral("SALDDIA")), books.sums(false));
        QCOMPARE(stored(db, QStringLiteral("SALDMES")), books.sums(true));
    }

    // The aggregates equal the postings' sums, and every balance and movement
    // method answers what the postings add up to.
    static void verify(QSqlDatabase& db, server::LocalServer& srv) {
        verifyTables(db);
        if (QTest::currentTestFailed())
            return;
        const Books books(db);

        QList<QDate> days{QDate(2024, 12, 31), QDate(2026, 1, 1), QDate(2026, 2, 15)};
        for (const auto& p : books.postings)
            days << p.day.addDays(-1) << p.day << p.day.addDays(1);
        for (int m = 1; m <= 12; ++m)
            days << QDate(2025, m, 1) << QDate(2025, m, 1).addMonths(1).addDays(-1);
        QList<QPair<QDate, QDate>> ranges{
            {QDate(2025, 1, 15), QDate(2025, 3, 10)}, {d1, d1},
            {QDate(2025, 2, 1), QDate(2025, 12, 31)}, {QDate(2025, 1, 21), QDate(2025, 2, 28)},
            {QDate(2024, 12, 1), QDate(2026, 1, 31)}, {d4, d4}};
        for (int m = 1; m <= 12; ++m)
            ranges.append({QDate(2025, m, 1), QDate(2025, m, 1).addMonths(1).addDays(-1)});

        for (const QString company : {"01", "02"}) {
            const RemoteArg co = RemoteArg::text(company);
            for (const QString& acc : books.analytic) {
                for (const QDate& day : days) {
                    const suite::DataPacket p = call(srv, "GetSaldAntEnc",
                                                     {co, RemoteArg::text(u'_' + acc + u'_'),
                                                      RemoteArg::text(""), RemoteArg::date(day)});
                    QCOMPARE(p.rows.size(), 1);
                    const QVariantList r = p.rows.at(0);
                    const QString what = acc + u' ' + day.toString(Qt::ISODate) + u' ';
                    const QString balance =
                        what + QString::number(signedCents(r[1].toString(), r[2].toString()));
                    QCOMPARE(balance, what + QString::number(books.balance(company, acc, day)));
                }
                for (const auto& [first, last] : ranges)
                    for (const bool debit : {true, false}) {
                        const suite::DataPacket p =
                            call(srv, "getcreddeb",
                                 {co, RemoteArg::date(first), RemoteArg::date(last),
                                  RemoteArg::text(debit ? "" : "T"),
                                  RemoteArg::text(debit ? "T" : ""), RemoteArg::text(acc)});
                        const QString what =
                            QStringList{acc, first.toString(Qt::ISODate),
                                        last.toString(Qt::ISODate), debit ? "D " : "C "}
                                .join(u' ');
                        const QString total =
                            what + QString::number(cents(p.rows.at(0)[0].toDouble()));
                        QCOMPARE(total, what + QString::number(
                                                   books.moved(company, acc, first, last, debit)));
                    }
            }

            for (const QDate& day : {d4, d4.addDays(-1), QDate(2025, 6, 30), QDate(2026, 1, 1)}) {
                QStringList got, want;
                for (const QVariantList& r : call(srv, "GetSaldAntEnc",
                                                  {co, RemoteArg::textRef("T"),
                                                   RemoteArg::textRef("T"), RemoteArg::date(day)})
                                                 .rows)
                    got << QStringLiteral("%1 %2")
                               .arg(r[0].toString())
                               .arg(signedCents(r[1].toString(), r[2].toString()));
                for (const QString& acc : books.results)
                    want << QStringLiteral("%1 %2").arg(acc).arg(
                        books.balance(company, acc, day, true));
                QCOMPARE(got, want);
            }

            for (const auto& [start, end] : ranges) {
                QStringList got, want;
                for (const QVariantList& r :
                     call(srv, "getsaldmens", {co, RemoteArg::date(start), RemoteArg::date(end)})
                         .rows)
                    got << QStringLiteral("%1|%2|%3")
                               .arg(r[1].toString(), r[2].toString())
                               .arg(cents(r[3].toDouble()) *
                                    (r[4].toString() == QLatin1String("D") ? 1 : -1));
                QHash<QString, qint64> b;
                for (const QString& acc : books.analytic)
                    b[acc] = books.balance(company, acc, start.addDays(-1));
                for (QDate m(start.year(), start.month(), 1); m <= end; m = m.addMonths(1)) {
                    const QDate from = std::max(m, start);
                    const QDate to = std::min(m.addMonths(1).addDays(-1), end);
                    for (const QString& acc : books.analytic) {
                        const qint64 deb = books.moved(company, acc, from, to, true);
                        const qint64 cred = books.moved(company, acc, from, to, false);
                        b[acc] += deb - cred;
                        if (b[acc] != 0 || deb != 0 || cred != 0)
                            want << QStringLiteral("%1|%2|%3")
                                        .arg(m.toString(QStringLiteral("MM/yyyy")), acc)
                                        .arg(b[acc]);
                    }
                }
                QCOMPARE(got, want);
            }
        }
    }

private slots:
    void initTestCase() {
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    void cleanup() { srvtest::dropAll(conn); }

    void followTheWrites_data() {
        QTest::addColumn<Writes>("writes");
        const QString part = QStringLiteral(
            "INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT, CDCONTCTBL,"
            " CDDOCUCONT, DSHISTLANC, VRLANCAMENT, IDNATLANC) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const QString posting =
            QStringLiteral(" WHERE CDEMPRESA = ? AND NRLANCCONT = ? AND NRSEQLANC = ?");
        const QString entry = QStringLiteral(" WHERE CDEMPRESA = ? AND NRLANCCONT = ?");
        const QDate june(2025, 6, 15), feb(2025, 2, 14);

        QTest::newRow("as built") << Writes{};
        QTest::newRow("posting added to a day with others")
            << Writes{{part, "01", 3, 3, d3, "1.1.01", "X", "x", 777, "D"}};
        QTest::newRow("entry on a day and month of its own")
            << Writes{{QStringLiteral("INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT,"
                                      " IDENCERR) VALUES (?, ?, ?, ?)"),
                       "01", 6, june, "N"},
                      {part, "01", 6, 1, june, "4.1.02", "Y", "y", 4100, "D"},
                      {part, "01", 6, 2, june, "1.1.02", "Y", "y", 4100, "C"}};
        QTest::newRow("posting deleted")
            << Writes{{QStringLiteral("DELETE FROM PARTLANC") + posting, "01", 3, 2}};
        QTest::newRow("entry deleted")
            << Writes{{QStringLiteral("DELETE FROM PARTLANC") + entry, "01", 2},
                      {QStringLiteral("DELETE FROM LANCCONT") + entry, "01", 2}};
        QTest::newRow("amount changed") << Writes{
            {QStringLiteral("UPDATE PARTLANC SET VRLANCAMENT = ?") + posting, 10000, "01", 2, 1}};
        QTest::newRow("side changed") << Writes{
            {QStringLiteral("UPDATE PARTLANC SET IDNATLANC = ?") + posting, "C", "01", 3, 1}};
        QTest::newRow("account changed") << Writes{
            {QStringLiteral("UPDATE PARTLANC SET CDCONTCTBL = ?") + posting, "2.1.01", "01", 3, 2}};
        QTest::newRow("entry moved to another month")
            << Writes{{QStringLiteral("UPDATE LANCCONT SET DTLANCCONT = ?") + entry, feb, "01", 2},
                      {QStringLiteral("UPDATE PARTLANC SET DTLANCCONT = ?") + entry, feb, "01", 2}};
        QTest::newRow("many postings in one statement")
            << Writes{{QStringLiteral("UPDATE PARTLANC SET VRLANCAMENT = VRLANCAMENT * 2"
                                      " WHERE CDEMPRESA = ? AND NRLANCCONT <= ?"),
                       "01", 3}};
        QTest::newRow("posting moved to the other company")
            << Writes{{QStringLiteral("UPDATE PARTLANC SET CDEMPRESA = ?, NRSEQLANC = ?") + posting,
                       "02", 3, "01", 1, 1}};
        QTest::newRow("posting moved into a closing entry")
            << Writes{{QStringLiteral("UPDATE PARTLANC SET NRLANCCONT = ?, NRSEQLANC = ?,"
                                      " DTLANCCONT = ?") +
                           posting,
                       4, 9, d4, "01", 3, 1}};
        QTest::newRow("entry flagged as closing")
            << Writes{{QStringLiteral("UPDATE LANCCONT SET IDENCERR = ?") + entry, "S", "01", 3}};
        QTest::newRow("closing entry flagged as ordinary")
            << Writes{{QStringLiteral("UPDATE LANCCONT SET IDENCERR = ?") + entry, "N", "01", 4}};
        QTest::newRow("closing entry's posting changed") << Writes{
            {QStringLiteral("UPDATE PARTLANC SET VRLANCAMENT = ?") + posting, 40000, "01", 4, 1}};
        QTest::newRow("flag set to what it was")
            << Writes{{QStringLiteral("UPDATE LANCCONT SET IDENCERR = ?") + entry, "S", "01", 5}};
    }
    void followTheWrites() {
        QFETCH(Writes, writes);
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        for (QVariantList w : writes) {
            const QString sql = w.takeFirst().toString();
            run(db, sql, w);
        }
        server::LocalServer srv(db);
        verify(db, srv);
    }

    // The per-row calls check the company in the statement that sums.
    void perRowCallsStillCheckTheCompany_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<Args>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("rows");
        const RemoteArg none = RemoteArg::text("");
        const RemoteArg yes = RemoteArg::text("T");
        const int notFound = static_cast<int>(suite::RemoteError::NotFound);
        const auto balance = [](const char* company, const char* code) {
            return Args{RemoteArg::text(company), RemoteArg::text(code), RemoteArg::text(""),
                        RemoteArg::date(d3)};
        };
        const auto movement = [&](const char* company, QDate first, QDate last) {
            return Args{
                RemoteArg::text(company), RemoteArg::date(first), RemoteArg::date(last), none, yes,
                RemoteArg::text("1.1.01")};
        };
        QTest::newRow("balance, unknown company")
            << "GetSaldAntEnc" << balance("ZZ", "_1.1.01_") << notFound << 0;
        QTest::newRow("balance, unknown company and account")
            << "GetSaldAntEnc" << balance("ZZ", "_9.9_") << notFound << 0;
        QTest::newRow("balance, unknown company, no code")
            << "GetSaldAntEnc" << balance("ZZ", "__") << notFound << 0;
        QTest::newRow("balance, unknown account")
            << "GetSaldAntEnc" << balance("01", "_9.9_") << 0 << 0;
        QTest::newRow("balance, account the company never used")
            << "GetSaldAntEnc" << balance("02", "_1.1.02_") << 0 << 1;
        QTest::newRow("movement of a month, unknown company")
            << "getcreddeb" << movement("ZZ", QDate(2025, 1, 1), QDate(2025, 1, 31)) << notFound
            << 0;
        QTest::newRow("movement of some days, unknown company")
            << "getcreddeb" << movement("ZZ", d1, d2) << notFound << 0;
        QTest::newRow("movement, unknown account")
            << "getcreddeb"
            << Args{RemoteArg::text("01"), RemoteArg::date(d1), RemoteArg::date(d2), none, yes,
                    RemoteArg::text("9.9")}
            << 0 << 1;
    }
    void perRowCallsStillCheckTheCompany() {
        QFETCH(QString, method);
        QFETCH(Args, args);
        QFETCH(int, code);
        QFETCH(int, rows);
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        server::LocalServer srv(db);
        const suite::RemoteResult r = srv.call(method, args);
        QCOMPARE(static_cast<int>(r.error), code);
        QCOMPARE(r.packet.rows.size(), rows);
    }

    // The demo builder fills the aggregates at the end of its transaction,
    // and the trigger it suspended is back for the writes after it.
    void demoFillsThemAtTheEnd() {
        QSqlDatabase db = srvtest::openFresh(conn);
        server::makeDemo(db, 3000);
        verifyTables(db);
        if (QTest::currentTestFailed())
            return;
        addEntry(db);
        verifyTables(db);
    }
    void suspendedTriggerComesBackOnRollback() {
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        QVERIFY(db.transaction());
        db::suspendAggregates(db);
        QVERIFY(db.rollback());
        addEntry(db);
        verifyTables(db);
    }

    // A database with postings from before the aggregates: the upgrade fills
    // them, and the triggers keep them from then on.
    void upgradeFillsThemFromThePostings() {
        QSqlDatabase db = srvtest::openFresh(conn, 2);
        srvtest::buildFixture(db);
        run(db, QStringLiteral("UPDATE LANCCONT SET IDENCERR = 'S' WHERE NRLANCCONT = ?"), {3});
        run(db, QStringLiteral("DELETE FROM PARTLANC WHERE CDEMPRESA = ? AND NRLANCCONT = ?"),
            {"01", 2});
        server::LocalServer srv(db); // migrates
        QSqlQuery v = run(db, QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMA_VERSION"));
        QVERIFY(v.next());
        QCOMPARE(v.value(0).toInt(), db::schemaVersion());
        verify(db, srv);
        run(db,
            QStringLiteral("UPDATE PARTLANC SET VRLANCAMENT = ? WHERE CDEMPRESA = ?"
                           " AND NRLANCCONT = ? AND NRSEQLANC = ?"),
            {1, "01", 4, 3});
        verify(db, srv);
    }
};

QTEST_GUILESS_MAIN(TestAggregates)
#include "tst_aggregates.moc"
