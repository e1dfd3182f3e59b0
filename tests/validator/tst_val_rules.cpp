#include "validator/rules.h"
#include <QTest>

using namespace validator::rules;

class ValRules : public QObject {
    Q_OBJECT
private slots:
    void dates_data();
    void dates();
    void months_data();
    void months();
    void amounts_data();
    void amounts();
    void registrations_data();
    void registrations();
    void bytes_data();
    void bytes();
};

// level: "" accepted, "W" warning, "E" error.
static QString levelOf(const std::optional<Problem>& p) {
    return !p ? QString() : p->level == Level::Error ? QStringLiteral("E") : QStringLiteral("W");
}

void ValRules::dates_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QDate>("date");
    QTest::addRow("ddmmyyyy") << QByteArray("31012025") << "" << QDate(2025, 1, 31);
    QTest::addRow("leap day") << QByteArray("29022024") << "" << QDate(2024, 2, 29);
    QTest::addRow("no leap day in 2025") << QByteArray("29022025") << "E" << QDate();
    QTest::addRow("month 13") << QByteArray("01132025") << "E" << QDate();
    QTest::addRow("day 00") << QByteArray("00012025") << "E" << QDate();
    QTest::addRow("seven digits") << QByteArray("1012025") << "E" << QDate();
    QTest::addRow("yyyymmdd") << QByteArray("20250131") << "E" << QDate();
    QTest::addRow("letters") << QByteArray("3101202A") << "E" << QDate();
    QTest::addRow("slashes warned") << QByteArray("31/01/2025") << "W" << QDate(2025, 1, 31);
    QTest::addRow("slashes and bad day") << QByteArray("32/01/2025") << "E" << QDate();
}

void ValRules::dates() {
    QFETCH(QByteArray, text);
    QFETCH(QString, level);
    QFETCH(QDate, date);
    const DateValue d = parseDate(text);
    QCOMPARE(levelOf(d.problem), level);
    QCOMPARE(d.date, date);
}

void ValRules::months_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("key");
    QTest::addRow("mmyyyy") << QByteArray("022025") << 2025 * 12 + 1;
    QTest::addRow("full date") << QByteArray("01122025") << 2025 * 12 + 11;
    QTest::addRow("month 13") << QByteArray("132025") << -1;
    QTest::addRow("month 00") << QByteArray("002025") << -1;
    QTest::addRow("with slash") << QByteArray("02/2025") << -1;
    QTest::addRow("empty") << QByteArray() << -1;
}

void ValRules::months() {
    QFETCH(QByteArray, text);
    QFETCH(int, key);
    const MonthValue m = parseMonth(text);
    QCOMPARE(m.key, key);
    QCOMPARE(m.problem.has_value(), key < 0);
}

void ValRules::amounts_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("cents");
    QTest::addRow("whole") << QByteArray("200") << true << qint64(20000);
    QTest::addRow("one decimal") << QByteArray("150,5") << true << qint64(15050);
    QTest::addRow("two decimals") << QByteArray("0,25") << true << qint64(25);
    QTest::addRow("zero") << QByteArray("0") << true << qint64(0);
    QTest::addRow("leading zeros") << QByteArray("0012,30") << true << qint64(1230);
    QTest::addRow("fifteen digits")
        << QByteArray("999999999999999,99") << true << qint64(99999999999999999);
    QTest::addRow("sixteen digits")
        << QByteArray("1000000000000000") << true << qint64(100000000000000000);
    QTest::addRow("seventeen digits") << QByteArray("10000000000000000") << false << qint64(0);
    QTest::addRow("three decimals") << QByteArray("1,234") << false << qint64(0);
    QTest::addRow("minus sign") << QByteArray("-10,00") << false << qint64(0);
    QTest::addRow("plus sign") << QByteArray("+10") << false << qint64(0);
    QTest::addRow("exponent") << QByteArray("1,5E7") << false << qint64(0);
    QTest::addRow("decimal point") << QByteArray("10.5") << false << qint64(0);
    QTest::addRow("thousands dot") << QByteArray("1.234,56") << false << qint64(0);
    QTest::addRow("comma first") << QByteArray(",5") << false << qint64(0);
    QTest::addRow("comma last") << QByteArray("5,") << false << qint64(0);
    QTest::addRow("two commas") << QByteArray("1,2,3") << false << qint64(0);
    QTest::addRow("space") << QByteArray("1 000") << false << qint64(0);
    QTest::addRow("empty") << QByteArray() << false << qint64(0);
}

void ValRules::amounts() {
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(qint64, cents);
    const AmountValue a = parseAmount(text);
    QCOMPARE(!a.problem.has_value(), ok);
    if (ok)
        QCOMPARE(a.cents, cents);
}

void ValRules::registrations_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("cnpj"); // false: CPF
    QTest::addColumn<QString>("level");
    QTest::addRow("CNPJ valid") << QByteArray("11222333000181") << true << "";
    QTest::addRow("CNPJ wrong first digit") << QByteArray("11222333000191") << true << "E";
    QTest::addRow("CNPJ wrong second digit") << QByteArray("11222333000182") << true << "E";
    QTest::addRow("CNPJ all equal") << QByteArray("11111111111111") << true << "E";
    QTest::addRow("CNPJ short") << QByteArray("1122233300018") << true << "E";
    QTest::addRow("CNPJ with separators") << QByteArray("11.222.333/0001-81") << true << "W";
    QTest::addRow("CNPJ empty") << QByteArray() << true << "";
    QTest::addRow("CPF valid") << QByteArray("11144477735") << false << "";
    QTest::addRow("CPF valid, remainder below two") << QByteArray("52998224725") << false << "";
    QTest::addRow("CPF wrong digit") << QByteArray("11144477736") << false << "E";
    QTest::addRow("CPF all equal") << QByteArray("22222222222") << false << "E";
    QTest::addRow("CPF letters") << QByteArray("1114447773X") << false << "E";
    QTest::addRow("CPF with separators") << QByteArray("111.444.777-35") << false << "W";
    QTest::addRow("CPF empty") << QByteArray() << false << "";
}

void ValRules::registrations() {
    QFETCH(QByteArray, text);
    QFETCH(bool, cnpj);
    QFETCH(QString, level);
    QCOMPARE(levelOf(cnpj ? checkCnpj(text) : checkCpf(text)), level);
}

void ValRules::bytes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("offset"); // -1: clean
    QTest::addRow("ascii") << QByteArray("I050|01012025|1|A|2|1.01|1|CAIXA") << -1;
    QTest::addRow("windows-1252 accents") << QByteArray("I100||CC1|ADMINISTRA\xC7\xC3O") << -1;
    QTest::addRow("euro sign 0x80") << QByteArray("X|\x80") << -1;
    QTest::addRow("undefined 0x81") << QByteArray("X|\x81") << 2;
    QTest::addRow("undefined 0x9D") << QByteArray("X|ab\x9D") << 4;
    QTest::addRow("utf-8 c cedilla") << QByteArray("X|ADMINISTRA\xC3\x87\xC3\x83O") << 12;
    QTest::addRow("tab") << QByteArray("X|a\tb") << 3;
    QTest::addRow("stray CR") << QByteArray("X|a\rb") << 3;
    QTest::addRow("NUL") << QByteArray("X|a\0b", 5) << 3;
}

void ValRules::bytes() {
    QFETCH(QByteArray, line);
    QFETCH(int, offset);
    const auto p = checkBytes(line);
    QCOMPARE(p ? static_cast<int>(p->offset) : -1, offset);
}

QTEST_APPLESS_MAIN(ValRules)
#include "tst_val_rules.moc"
