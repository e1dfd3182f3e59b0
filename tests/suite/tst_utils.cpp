#include "suite/core/utils.h"
#include <QTest>

using namespace suite;

class TestUtils : public QObject {
    Q_OBJECT
private slots:
    void ajusta_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty stays empty") << ""
                                           << "";
        QTest::newRow("blanks count as empty") << "  "
                                               << "";
        QTest::newRow("one digit gets a leading zero") << "1"
                                                       << "01";
        QTest::newRow("full width unchanged") << "12"
                                              << "12";
        QTest::newRow("blanks around trimmed") << " 7 "
                                               << "07";
        QTest::newRow("longer code is not cut") << "123"
                                                << "123";
    }
    void ajusta() {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        QCOMPARE(Ajusta(code, 2), expected);
    }

    void cpf_data() {
        QTest::addColumn<QString>("cpf");
        QTest::addColumn<bool>("valid");
        QTest::newRow("valid digits") << "52998224725" << true;
        QTest::newRow("valid with mask") << "529.982.247-25" << true;
        QTest::newRow("second check digit wrong") << "52998224724" << false;
        QTest::newRow("first check digit wrong") << "52998224715" << false;
        QTest::newRow("eleven equal digits") << "11111111111" << false;
        QTest::newRow("too short") << "5299822472" << false;
        QTest::newRow("letters") << "5299822472a" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("check digit ten becomes zero") << "00000000191" << true;
    }
    void cpf() {
        QFETCH(QString, cpf);
        QFETCH(bool, valid);
        QCOMPARE(CPFOk(cpf), valid);
    }

    void cnpj_data() {
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<bool>("valid");
        QTest::newRow("valid") << "11222333000181" << true;
        QTest::newRow("valid with mask") << "11.222.333/0001-81" << true;
        QTest::newRow("wrong digit") << "11222333000182" << false;
        QTest::newRow("all zeros") << "00000000000000" << false;
    }
    void cnpj() {
        QFETCH(QString, cnpj);
        QFETCH(bool, valid);
        QCOMPARE(CNPJOk(cnpj), valid);
    }

    void monthBounds_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::newRow("leap February")
            << QDate(2024, 2, 10) << QDate(2024, 2, 1) << QDate(2024, 2, 29);
        QTest::newRow("common February")
            << QDate(2025, 2, 28) << QDate(2025, 2, 1) << QDate(2025, 2, 28);
        QTest::newRow("century not leap")
            << QDate(1900, 2, 3) << QDate(1900, 2, 1) << QDate(1900, 2, 28);
        QTest::newRow("400-year leap")
            << QDate(2000, 2, 3) << QDate(2000, 2, 1) << QDate(2000, 2, 29);
        QTest::newRow("December") << QDate(2025, 12, 31) << QDate(2025, 12, 1)
                                  << QDate(2025, 12, 31);
        QTest::newRow("invalid") << QDate() << QDate() << QDate();
    }
    void monthBounds() {
        QFETCH(QDate, date);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QCOMPARE(PriDiaMes(date), first);
        QCOMPARE(UltimoDiaMes(date), last);
    }

    void dayNumbers() {
        QCOMPARE(DateToDayNumber(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(DateToDayNumber(QDate(1900, 1, 1)), 2.0);
        // The last day of February 2025, as sent for a March balance row.
        QCOMPARE(DateToDayNumber(QDate(2025, 2, 28)), 45716.0);
        QCOMPARE(DayNumberToDate(45716.0), QDate(2025, 2, 28));
        QCOMPARE(DayNumberToDate(45716.75), QDate(2025, 2, 28));
        QVERIFY(!DayNumberToDate(1e300).isValid());
    }

    void emptyAndTrim() {
        QVERIFY(EmptyString(""));
        QVERIFY(EmptyString(" \t"));
        QVERIFY(!EmptyString(" a"));
        QCOMPARE(AllTrim("  /tmp/a b.txt "), QString("/tmp/a b.txt"));
    }
};

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
