// The demonstration ledger through the methods: the accounting identities the
// generated file relies on hold for every account and month.
#include "db/dbgeral.h"
#include "server/demo.h"
#include "server/localserver.h"
#include "suite/core/utils.h"
#include "testdb.h"
#include <QSqlQuery>
#include <QtTest>
#include <memory>

using suite::RemoteArg;
using Args = QList<RemoteArg>;

namespace {
qint64 cents(const QString& text) {
    // "1234,56"
    QString t = text;
    t.remove(QLatin1Char(','));
    return t.toLongLong();
}
qint64 cents(double v) {
    return qRound64(v * 100.0);
}
} // namespace

class TestInvariants : public QObject {
    Q_OBJECT
    std::unique_ptr<server::LocalServer> srv;
    const QString conn = QStringLiteral("srv-inv");
    suite::DataPacket ledger; // GetLancCont of 2025

    suite::DataPacket call(const QString& m, Args a) {
        const suite::RemoteResult r = srv->call(m, a);
        if (!r.ok())
            qFatal("%s: %s", qPrintable(m), qPrintable(r.message));
        return r.packet;
    }
    static RemoteArg d(const QDate& x) { return RemoteArg::date(x); }

private slots:
    void initTestCase() {
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QSqlDatabase db = srvtest::openFresh(conn);
        server::makeDemo(db, 4000);
        srv = std::make_unique<server::LocalServer>(db);
        ledger = call("GetLancCont",
                      {RemoteArg::text("01"), d(QDate(2025, 1, 1)), d(QDate(2025, 12, 31))});
    }
    void cleanupTestCase() {
        srv.reset();
        srvtest::dropAll(conn);
    }

    void sizeAsAsked() {
        // The closing entries come on top of the requested postings.
        QVERIFY(ledger.rows.size() >= 4000);
        QVERIFY(ledger.rows.size() < 4000 + 200);
    }

    void sameArgumentsSameData() {
        const QString other = QStringLiteral("srv-inv-2");
        {
            QSqlDatabase db2 = srvtest::openFresh(other);
            server::makeDemo(db2, 4000);
            server::LocalServer s2(db2);
            Args a{RemoteArg::text("01"), d(QDate(2025, 1, 1)), d(QDate(2025, 12, 31))};
            QCOMPARE(s2.call("GetLancCont", a).packet, ledger);
        }
        srvtest::dropAll(other);
    }

    void refusesADatabaseWithData() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, server::makeDemo(srv->database(), 10));
    }

    void identifiersHaveValidCheckDigits() {
        const suite::DataPacket id = call(
            "GetIdContrib", {RemoteArg::text("01"), d(QDate(2025, 1, 1)), d(QDate(2025, 12, 31))});
        QVERIFY(suite::CNPJOk(id.rows.at(0).at(id.indexOf("NRINSJUREMPR")).toString()));
        const suite::DataPacket c = call("GetDadosCont", {RemoteArg::text("01")});
        QVERIFY(suite::CPFOk(c.rows.at(0).at(c.indexOf("NRCPFRESPONS")).toString()));
        QVERIFY(suite::CNPJOk(c.rows.at(0).at(c.indexOf("NRINSJURCONT")).toString()));
        const suite::DataPacket t = call("GetDadosTecEmpr", {RemoteArg::text("01")});
        QVERIFY(suite::CNPJOk(t.rows.at(0).at(t.indexOf("NRINSJUREMPR")).toString()));
    }

    void chartHasFiveLevelsAndEveryNature() {
        const suite::DataPacket p = call("GetPlanContas", {});
        QVERIFY(p.rows.size() >= 120);
        QSet<QString> codes, natures;
        for (const QVariantList& r : p.rows)
            codes.insert(r[4].toString());
        for (const QVariantList& r : p.rows) {
            if (r[2].toString() == QLatin1String("A")) {
                natures.insert(r[1].toString());
                QCOMPARE(r[3].toString(), QStringLiteral("5"));
            }
            if (!r[5].toString().isEmpty())
                QVERIFY2(codes.contains(r[5].toString()), qPrintable(r[4].toString()));
        }
        QCOMPARE(natures, (QSet<QString>{"1", "2", "3", "4", "5", "9"}));
        QCOMPARE(db::dbPicture(srv->database(), 0).split(QLatin1Char('.')).size(), 5);
        QCOMPARE(call("GetCentrCust", {}).rows.size(), 10);
    }

    void everyEntryBalances() {
        QHash<QString, qint64> net, debits;
        QHash<QString, QString> total;
        for (const QVariantList& r : ledger.rows) {
            const qint64 v = cents(r[5].toString());
            const bool debit = r[7].toString() == QLatin1String("D");
            net[r[0].toString()] += debit ? v : -v;
            if (debit)
                debits[r[0].toString()] += v;
            total[r[0].toString()] = r[8].toString();
        }
        for (auto it = net.cbegin(); it != net.cend(); ++it) {
            QVERIFY2(it.value() == 0, qPrintable(it.key()));
            QCOMPARE(cents(total.value(it.key())), debits.value(it.key()));
        }
    }

    // Final = previous final + debits - credits, with getcreddeb's totals
    // equal to the month's postings in GetLancCont.
    void monthlyBalancesFollowTheMovements() {
        QHash<QString, qint64> fromLedger; // "account|month|D" -> cents
        for (const QVariantList& r : ledger.rows) {
            const QString month = r[1].toString().mid(2, 2);
            fromLedger[r[2].toString() + u'|' + month + u'|' + r[7].toString()] +=
                cents(r[5].toString());
        }
        const suite::DataPacket sm = call(
            "getsaldmens", {RemoteArg::text("01"), d(QDate(2025, 1, 1)), d(QDate(2025, 12, 31))});
        QVERIFY(sm.rows.size() > 100);
        QHash<QString, qint64> last; // account -> signed final of the previous row
        int prevMonth = 0;
        for (const QVariantList& r : sm.rows) {
            const QDate day = r[0].toDateTime().date();
            QVERIFY(day.month() >= prevMonth); // ordered by month, then account
            prevMonth = day.month();
            const QString acc = r[2].toString();
            const QDate first = suite::PriDiaMes(day), lastDay = suite::UltimoDiaMes(day);
            qint64 before;
            if (last.contains(acc)) {
                before = last.value(acc);
            } else {
                const suite::DataPacket b =
                    call("GetSaldAntEnc", {RemoteArg::text("01"),
                                           RemoteArg::text(u'_' + acc + u'_'), RemoteArg::text(""),
                                           RemoteArg::real(suite::DateToDayNumber(first) - 1.0)});
                before = b.rows.isEmpty()
                             ? 0
                             : cents(b.rows[0][1].toString()) *
                                   (b.rows[0][2].toString() == QLatin1String("D") ? 1 : -1);
            }
            const qint64 deb =
                cents(call("getcreddeb",
                           {RemoteArg::text("01"), d(first), d(lastDay), RemoteArg::text(""),
                            RemoteArg::text("T"), RemoteArg::text(acc)})
                          .rows[0][0]
                          .toDouble());
            const qint64 cred =
                cents(call("getcreddeb",
                           {RemoteArg::text("01"), d(first), d(lastDay), RemoteArg::text("T"),
                            RemoteArg::text(""), RemoteArg::text(acc)})
                          .rows[0][0]
                          .toDouble());
            const QString key = acc + u'|' + first.toString("MM") + u'|';
            QCOMPARE(deb, fromLedger.value(key + u'D'));
            QCOMPARE(cred, fromLedger.value(key + u'C'));
            const qint64 final =
                cents(r[3].toDouble()) * (r[4].toString() == QLatin1String("D") ? 1 : -1);
            QCOMPARE(final, before + deb - cred);
            last[acc] = final;
        }
    }

    void resultAccountsAreClosedAtYearEnd() {
        const suite::DataPacket pre =
            call("GetSaldAntEnc", {RemoteArg::text("01"), RemoteArg::textRef("T"),
                                   RemoteArg::textRef("T"), d(QDate(2025, 12, 31))});
        QVERIFY(pre.rows.size() > 10);
        int nonZero = 0;
        for (const QVariantList& r : pre.rows) {
            QVERIFY(r[0].toString().startsWith(QLatin1Char('4')));
            if (cents(r[1].toString()) != 0)
                ++nonZero;
            const suite::DataPacket after =
                call("GetSaldAntEnc",
                     {RemoteArg::text("01"), RemoteArg::text(u'_' + r[0].toString() + u'_'),
                      RemoteArg::text(""), d(QDate(2025, 12, 31))});
            QCOMPARE(after.rows.at(0).at(1).toString(), QStringLiteral("0,00"));
        }
        QVERIFY(nonZero > 5);
    }

    void resultPostingsCarryCostCentres() {
        int checked = 0;
        for (const QVariantList& r : ledger.rows) {
            if (!r[2].toString().startsWith(QLatin1Char('4')) ||
                r[3].toString() == QLatin1String("ENC2025"))
                continue;
            const suite::DataPacket cc =
                call("GetCcLanc", {RemoteArg::text("01"), RemoteArg::text(r[0].toString()),
                                   RemoteArg::text(r[6].toString())});
            QVERIFY(!cc.rows.isEmpty());
            QVERIFY(cc.rows.size() <= 2);
            if (++checked == 200)
                break;
        }
        QCOMPARE(checked, 200);
    }
};

QTEST_GUILESS_MAIN(TestInvariants)
#include "tst_invariants.moc"
