// Every remote method against the hand-built ledger of testdb.cpp, row by row.
#include "interfaces/datasets.h"
#include "interfaces/remotemethods.h"
#include "server/localserver.h"
#include "testdb.h"
#include <QDateTime>
#include <QtTest>
#include <memory>

using suite::RemoteArg;
using suite::RemoteError;
using Args = QList<RemoteArg>;
Q_DECLARE_METATYPE(Args)

namespace {

// A row as "a|b|c": floats with two decimals, date-times as their ISO date.
QStringList render(const suite::DataPacket& p) {
    QStringList out;
    for (const QVariantList& row : p.rows) {
        QStringList cells;
        for (int c = 0; c < row.size(); ++c) {
            const QVariant& v = row[c];
            switch (p.fields[c].type) {
            case suite::FieldType::Float:
                cells << QString::number(v.toDouble(), 'f', 2);
                break;
            case suite::FieldType::DateTime:
                cells << v.toDateTime().toString(Qt::ISODate);
                break;
            default:
                cells << v.toString();
            }
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

RemoteArg day(int y, int m, int d) {
    return RemoteArg::date(QDate(y, m, d));
}
double dayNumber(int y, int m, int d) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, m, d)));
}
RemoteArg t(const char* s) {
    return RemoteArg::text(QString::fromUtf8(s));
}

} // namespace

class TestMethods : public QObject {
    Q_OBJECT
    std::unique_ptr<server::LocalServer> srv;
    const QString conn = QStringLiteral("srv-methods");

private slots:
    void initTestCase() {
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        srv = std::make_unique<server::LocalServer>(db);
    }
    void cleanupTestCase() {
        srv.reset();
        srvtest::dropAll(conn);
    }

    void rows_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<Args>("args");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("getsaldmens: balances carried through a month without movement")
            << "getsaldmens" << Args{t("01"), day(2025, 1, 1), day(2025, 3, 31)}
            << QStringList{"2025-01-31T00:00:00|01/2025|1.1.01|1500.00|D",
                           "2025-01-31T00:00:00|01/2025|1.1.02|123.45|C",
                           "2025-01-31T00:00:00|01/2025|3.1.01|1000.00|C",
                           "2025-01-31T00:00:00|01/2025|4.1.01|500.00|C",
                           "2025-01-31T00:00:00|01/2025|4.1.02|123.45|D",
                           "2025-02-28T00:00:00|02/2025|1.1.01|1500.00|D",
                           "2025-02-28T00:00:00|02/2025|1.1.02|123.45|C",
                           "2025-02-28T00:00:00|02/2025|3.1.01|1000.00|C",
                           "2025-02-28T00:00:00|02/2025|4.1.01|500.00|C",
                           "2025-02-28T00:00:00|02/2025|4.1.02|123.45|D",
                           "2025-03-31T00:00:00|03/2025|1.1.01|1300.00|D",
                           "2025-03-31T00:00:00|03/2025|1.1.02|76.55|D",
                           "2025-03-31T00:00:00|03/2025|3.1.01|1000.00|C",
                           "2025-03-31T00:00:00|03/2025|4.1.01|500.00|C",
                           "2025-03-31T00:00:00|03/2025|4.1.02|123.45|D"};
        QTest::newRow("getsaldmens: closing month zeroes the result accounts")
            << "getsaldmens" << Args{t("01"), day(2025, 12, 1), day(2025, 12, 31)}
            << QStringList{"2025-12-31T00:00:00|12/2025|1.1.01|1300.00|D",
                           "2025-12-31T00:00:00|12/2025|1.1.02|76.55|D",
                           "2025-12-31T00:00:00|12/2025|3.1.01|1376.55|C",
                           "2025-12-31T00:00:00|12/2025|4.1.01|0.00|C",
                           "2025-12-31T00:00:00|12/2025|4.1.02|0.00|C",
                           "2025-12-31T00:00:00|12/2025|4.1.09|0.00|C"};
        QTest::newRow("getsaldmens: other company sees only its own ledger")
            << "getsaldmens" << Args{t("02"), day(2025, 1, 1), day(2025, 1, 31)}
            << QStringList{"2025-01-31T00:00:00|01/2025|1.1.01|9.99|D",
                           "2025-01-31T00:00:00|01/2025|4.1.01|9.99|C"};

        QTest::newRow("GetLancCont: whole year, closing entries included")
            << "GetLancCont" << Args{t("01"), day(2025, 1, 1), day(2025, 12, 31)}
            << QStringList{"1|10012025|1.1.01|NF1|Venda | à vista|500,00|1|D|500,00",
                           "1|10012025|4.1.01|NF1|Venda | à vista|500,00|2|C|500,00",
                           "2|20012025|4.1.02||Tarifa|123,45|1|D|123,45",
                           "2|20012025|1.1.02||Tarifa|123,45|2|C|123,45",
                           "3|05032025|1.1.02|DEP|Depósito|200,00|1|D|200,00",
                           "3|05032025|1.1.01|DEP|Depósito|200,00|2|C|200,00",
                           "4|31122025|4.1.01|ENC|Encerramento|500,00|1|D|500,00",
                           "4|31122025|4.1.02|ENC|Encerramento|123,45|2|C|500,00",
                           "4|31122025|4.1.09|ENC|Encerramento|376,55|3|C|500,00",
                           "5|31122025|4.1.09|ENC|Transferência|376,55|1|D|376,55",
                           "5|31122025|3.1.01|ENC|Transferência|376,55|2|C|376,55"};
        QTest::newRow("GetLancCont: period bounds are inclusive")
            << "GetLancCont" << Args{t("01"), day(2025, 1, 20), day(2025, 3, 5)}
            << QStringList{"2|20012025|4.1.02||Tarifa|123,45|1|D|123,45",
                           "2|20012025|1.1.02||Tarifa|123,45|2|C|123,45",
                           "3|05032025|1.1.02|DEP|Depósito|200,00|1|D|200,00",
                           "3|05032025|1.1.01|DEP|Depósito|200,00|2|C|200,00"};
        QTest::newRow("GetLancCont: empty period")
            << "GetLancCont" << Args{t("01"), day(2025, 6, 1), day(2025, 6, 30)} << QStringList{};

        QTest::newRow("GetIdContrib")
            << "GetIdContrib" << Args{t("01"), day(2025, 1, 1), day(2025, 12, 31)}
            << QStringList{"Empresa Um Ltda|11222333000181|SP|123|7107|JC1|01012025|31122025"};
        QTest::newRow("GetDadosCont")
            << "GetDadosCont" << Args{t("01")}
            << QStringList{"João Contador||52998224725|SP1234|01310-100|Rua A, 1||Centro|"
                           "(11) 1111-1111||joao@example.com"};
        QTest::newRow("GetDadosCont: company without accountant")
            << "GetDadosCont" << Args{t("02")} << QStringList{};
        QTest::newRow("GetDadosTecEmpr")
            << "GetDadosTecEmpr" << Args{t("01")}
            << QStringList{"Software Ltda|11444777000161|(11) 2222-2222"};
        QTest::newRow("GetPlanContas: ordered by code")
            << "GetPlanContas" << Args{}
            << QStringList{"02012024|1|S|1|1||ATIVO",
                           "02012024|1|S|2|1.1|1|DISPONÍVEL",
                           "02012024|1|A|3|1.1.01|1.1|Caixa",
                           "02012024|1|A|3|1.1.02|1.1|Banco",
                           "02012024|2|S|1|2||PASSIVO",
                           "02012024|2|S|2|2.1|2|CIRCULANTE",
                           "02012024|2|A|3|2.1.01|2.1|Fornecedores",
                           "02012024|3|S|1|3||PL",
                           "02012024|3|S|2|3.1|3|LUCROS",
                           "02012024|3|A|3|3.1.01|3.1|Lucros",
                           "02012024|4|S|1|4||RESULTADO",
                           "02012024|4|S|2|4.1|4|OPERACIONAL",
                           "02012024|4|A|3|4.1.01|4.1|Vendas",
                           "02012024|4|A|3|4.1.02|4.1|Despesas",
                           "02012024|4|A|3|4.1.09|4.1|Apuração"};
        QTest::newRow("GetCentrCust: ordered by code")
            << "GetCentrCust" << Args{}
            << QStringList{"02012024|0001|Administração", "04032024|0002|Comercial"};

        QTest::newRow("GetSaldAntEnc: one account at a day number")
            << "GetSaldAntEnc"
            << Args{t("01"), t("_1.1.01_"), t(""), RemoteArg::real(dayNumber(2025, 2, 28))}
            << QStringList{"1.1.01|1500,00|D|28022025"};
        QTest::newRow("GetSaldAntEnc: one account as a date, credit side")
            << "GetSaldAntEnc" << Args{t("01"), t("_1.1.02_"), t(""), day(2025, 1, 31)}
            << QStringList{"1.1.02|123,45|C|31012025"};
        QTest::newRow("GetSaldAntEnc: one account, closing entries counted")
            << "GetSaldAntEnc" << Args{t("01"), t("_4.1.01_"), t(""), day(2025, 12, 31)}
            << QStringList{"4.1.01|0,00|C|31122025"};
        QTest::newRow("GetSaldAntEnc: before the first day of the books")
            << "GetSaldAntEnc"
            << Args{t("01"), t("_1.1.02_"), t(""), RemoteArg::real(dayNumber(2024, 12, 31))}
            << QStringList{"1.1.02|0,00|C|31122024"};
        QTest::newRow("GetSaldAntEnc: unknown account gives no row")
            << "GetSaldAntEnc" << Args{t("01"), t("_9.9_"), t(""), day(2025, 1, 31)}
            << QStringList{};
        QTest::newRow("GetSaldAntEnc: all result accounts before closing")
            << "GetSaldAntEnc"
            << Args{t("01"), RemoteArg::textRef("T"), RemoteArg::textRef("T"), day(2025, 12, 31)}
            << QStringList{"4.1.01|500,00|C|31122025", "4.1.02|123,45|D|31122025",
                           "4.1.09|0,00|C|31122025"};
        QTest::newRow("GetSaldAntEnc: a list, blanks and unknown codes ignored")
            << "GetSaldAntEnc"
            << Args{t("01"), RemoteArg::textRef(" 4.1.02 ; 4.1.01;9.9;"),
                    RemoteArg::textRef("4.1.01"), day(2025, 12, 31)}
            << QStringList{"4.1.01|500,00|C|31122025", "4.1.02|123,45|D|31122025"};
        QTest::newRow("GetSaldAntEnc: empty selection")
            << "GetSaldAntEnc"
            << Args{t("01"), RemoteArg::textRef(""), RemoteArg::textRef(""), day(2025, 12, 31)}
            << QStringList{};

        QTest::newRow("getcreddeb: debits of January (fifth argument)")
            << "getcreddeb"
            << Args{t("01"), day(2025, 1, 1), day(2025, 1, 31), t(""), t("T"), t("1.1.01")}
            << QStringList{"500.00|1.1.01|01/25"};
        QTest::newRow("getcreddeb: credits of January (fourth argument), none")
            << "getcreddeb"
            << Args{t("01"), day(2025, 1, 1), day(2025, 1, 31), t("T"), t(""), t("1.1.01")}
            << QStringList{"0.00|1.1.01|01/25"};
        QTest::newRow("getcreddeb: credits of March")
            << "getcreddeb"
            << Args{t("01"), day(2025, 3, 1), day(2025, 3, 31), t("T"), t(""), t("1.1.01")}
            << QStringList{"200.00|1.1.01|03/25"};

        QTest::newRow("GetCcLanc: largest share first")
            << "GetCcLanc" << Args{t("01"), t("1"), t("2")} << QStringList{"0001", "0002"};
        QTest::newRow("GetCcLanc: posting without cost centre")
            << "GetCcLanc" << Args{t("01"), t("1"), t("1")} << QStringList{};
        QTest::newRow("GetCcLanc: other company's same numbers")
            << "GetCcLanc" << Args{t("02"), t("1"), t("2")} << QStringList{};
    }
    void rows() {
        QFETCH(QString, method);
        QFETCH(Args, args);
        QFETCH(QStringList, expected);
        const suite::RemoteResult r = srv->call(method, args);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(render(r.packet), expected);
    }

    void byReferenceTextsComeBackUnchanged() {
        Args a{t("01"), RemoteArg::textRef("4.1.01;4.1.02"), RemoteArg::textRef("T"),
               day(2025, 12, 31)};
        const suite::RemoteResult r = srv->call(QStringLiteral("GetSaldAntEnc"), a);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.byRef, (QStringList{"4.1.01;4.1.02", "T"}));
        QCOMPARE(a[1].value.toString(), QStringLiteral("4.1.01;4.1.02"));
    }

    // Each packet must load into the form's dataset: names, types and sizes.
    void packetsFitTheDeclaredFields_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<Args>("args");
        const Args period{t("01"), day(2025, 1, 1), day(2025, 12, 31)};
        QTest::newRow("getsaldmens") << "getsaldmens" << period;
        QTest::newRow("GetLancCont") << "GetLancCont" << period;
        QTest::newRow("GetIdContrib") << "GetIdContrib" << period;
        QTest::newRow("GetDadosCont") << "GetDadosCont" << Args{t("01")};
        QTest::newRow("GetDadosTecEmpr") << "GetDadosTecEmpr" << Args{t("01")};
        QTest::newRow("GetPlanContas") << "GetPlanContas" << Args{};
        QTest::newRow("GetCentrCust") << "GetCentrCust" << Args{};
        QTest::newRow("GetSaldAntEnc")
            << "GetSaldAntEnc" << Args{t("01"), t("T"), t("T"), day(2025, 12, 31)};
        QTest::newRow("getcreddeb")
            << "getcreddeb"
            << Args{t("01"), day(2025, 1, 1), day(2025, 1, 31), t(""), t("T"), t("1.1.01")};
        QTest::newRow("GetCcLanc") << "GetCcLanc" << Args{t("01"), t("1"), t("2")};
    }
    void packetsFitTheDeclaredFields() {
        QFETCH(QString, method);
        QFETCH(Args, args);
        GerArqPrevDatasets ds;
        suite::TClientDataSet* target =
            ds.byName(QString::fromLatin1(remote::method(qPrintable(method)).dataset));
        QVERIFY(target);
        const suite::RemoteResult r = srv->call(method, args);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.packet.fields.size(), target->fields().size());
        for (const suite::FieldDecl& f : target->fields()) {
            const int i = r.packet.indexOf(f.name);
            QVERIFY2(i >= 0, qPrintable(f.name));
            QCOMPARE(r.packet.fields[i].type, f.type);
            QCOMPARE(r.packet.fields[i].size, f.size);
        }
        target->SetData(r.packet);
        // Texts never exceed their declared width.
        for (const QVariantList& row : r.packet.rows)
            for (int c = 0; c < row.size(); ++c)
                if (r.packet.fields[c].type == suite::FieldType::String)
                    QVERIFY2(row[c].toString().size() <= r.packet.fields[c].size,
                             qPrintable(r.packet.fields[c].name));
    }

    void refusals_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<Args>("args");
        QTest::addColumn<int>("code");
        const int bad = static_cast<int>(RemoteError::BadArguments);
        QTest::newRow("unknown method")
            << "GetNada" << Args{} << static_cast<int>(RemoteError::UnknownMethod);
        QTest::newRow("unknown company")
            << "GetIdContrib" << Args{t("ZZ"), day(2025, 1, 1), day(2025, 1, 31)}
            << static_cast<int>(RemoteError::NotFound);
        QTest::newRow("unknown company in a period fetch")
            << "getsaldmens" << Args{t("ZZ"), day(2025, 1, 1), day(2025, 1, 31)}
            << static_cast<int>(RemoteError::NotFound);
        QTest::newRow("unknown company in a per-posting call")
            << "GetCcLanc" << Args{t("ZZ"), t("1"), t("2")}
            << static_cast<int>(RemoteError::NotFound);
        QTest::newRow("too few arguments")
            << "GetLancCont" << Args{t("01"), day(2025, 1, 1)} << bad;
        QTest::newRow("too many arguments") << "GetPlanContas" << Args{t("01")} << bad;
        QTest::newRow("date given as text")
            << "getsaldmens" << Args{t("01"), t("2025-01-01"), day(2025, 1, 31)} << bad;
        QTest::newRow("company given as a number")
            << "GetDadosCont" << Args{RemoteArg::integer(1)} << bad;
        QTest::newRow("null date")
            << "GetLancCont" << Args{t("01"), RemoteArg::null(), day(2025, 1, 31)} << bad;
        QTest::newRow("start after end")
            << "GetLancCont" << Args{t("01"), day(2025, 2, 1), day(2025, 1, 31)} << bad;
        QTest::newRow("period of 121 months")
            << "getsaldmens" << Args{t("01"), day(2015, 1, 1), day(2025, 1, 31)} << bad;
        QTest::newRow("the whole calendar")
            << "getsaldmens" << Args{t("01"), day(1, 1, 1), day(9999, 12, 31)} << bad;
        QTest::newRow("day number out of range")
            << "GetSaldAntEnc" << Args{t("01"), t("_1.1.01_"), t(""), RemoteArg::real(1e300)}
            << bad;
        QTest::newRow("date before the accepted range")
            << "GetLancCont" << Args{t("01"), day(99, 12, 31), day(2025, 1, 31)} << bad;
        QTest::newRow("day number just before the accepted range")
            << "GetSaldAntEnc" << Args{t("01"), t("_1.1.01_"), t(""), RemoteArg::real(-657435.0)}
            << bad;
        QTest::newRow("getcreddeb without a flag")
            << "getcreddeb"
            << Args{t("01"), day(2025, 1, 1), day(2025, 1, 31), t(""), t(""), t("1.1.01")} << bad;
        QTest::newRow("getcreddeb with both flags")
            << "getcreddeb"
            << Args{t("01"), day(2025, 1, 1), day(2025, 1, 31), t("T"), t("T"), t("1.1.01")} << bad;
        QTest::newRow("entry number that is not a number")
            << "GetCcLanc" << Args{t("01"), t("1x"), t("2")} << bad;
    }
    void refusals() {
        QFETCH(QString, method);
        QFETCH(Args, args);
        QFETCH(int, code);
        const suite::RemoteResult r = srv->call(method, args);
        QCOMPARE(static_cast<int>(r.error), code);
        QVERIFY(!r.message.isEmpty());
        // The server goes on answering after a refusal.
        Args ok{t("01")};
        QVERIFY(srv->call(QStringLiteral("GetDadosTecEmpr"), ok).ok());
    }

    // The monthly balances of a long period leave in parts as they are
    // made, and make up the same rows as the whole reply.
    void monthlyBalancesGoInParts() {
        struct Parts final : server::RowSink {
            suite::RowSet rows;
            int parts = 0;
            void take(const QList<suite::FieldDef>&, suite::RowSet& r) override {
                rows.append(r);
                r.clear();
                ++parts;
            }
            qsizetype partBytes() const override { return 1; }
        } sink;
        Args a{t("01"), day(2016, 1, 1), day(2025, 12, 31)};
        const suite::RemoteResult whole = srv->call(QStringLiteral("getsaldmens"), a);
        QVERIFY(whole.ok());
        srv->setRowSink(&sink);
        const suite::RemoteResult last = srv->call(QStringLiteral("getsaldmens"), a);
        srv->setRowSink(nullptr);
        QVERIFY(last.ok());
        QVERIFY(sink.parts > 1);
        QCOMPARE(sink.rows.size() + last.packet.rows.size(), whole.packet.rows.size());
    }

    // Every declared method is served, and takes the declared arguments.
    void everyDeclaredMethodIsServed_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("count");
        for (const remote::MethodDecl& m : remote::methods())
            if (m.session == remote::Session::None)
                QTest::newRow(m.name) << QString::fromLatin1(m.name) << int(m.args.size());
    }
    void everyDeclaredMethodIsServed() {
        QFETCH(QString, method);
        QFETCH(int, count);
        Args a(count + 1, t("01"));
        const suite::RemoteResult r = srv->call(method, a);
        QCOMPARE(r.error, RemoteError::BadArguments);
        QVERIFY2(r.message.contains(QStringLiteral("%1 argumento(s) esperado(s)").arg(count)),
                 qPrintable(r.message));
    }

    void methodNamesIgnoreCase() {
        Args a{t("01")};
        QVERIFY(srv->call(QStringLiteral("getdadostecempr"), a).ok());
    }

    // The session calls come by the same table: any case, and no arguments.
    void sessionCalls_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("ok");
        QTest::newRow("begin") << QStringLiteral("BeginReadSnapshot") << 0 << true;
        QTest::newRow("end, other case") << QStringLiteral("endreadsnapshot") << 0 << true;
        QTest::newRow("begin with an argument")
            << QStringLiteral("BeginReadSnapshot") << 1 << false;
    }
    void sessionCalls() {
        QFETCH(QString, method);
        QFETCH(int, count);
        QFETCH(bool, ok);
        Args a(count, t("01"));
        const suite::RemoteResult r = srv->call(method, a);
        QCOMPARE(r.ok(), ok);
        if (!ok) {
            QCOMPARE(r.error, RemoteError::BadArguments);
            QVERIFY2(r.message.contains(QStringLiteral("não leva argumentos")),
                     qPrintable(r.message));
        }
        Args none;
        srv->call(QStringLiteral("EndReadSnapshot"), none);
    }
};

QTEST_GUILESS_MAIN(TestMethods)
#include "tst_methods.moc"
