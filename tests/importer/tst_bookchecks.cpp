#include "ecdtextfeed.h"
#include "importer/bookchecks.h"
#include "importer/composehistory.h"
#include "importer/ecdbookwriter.h"
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace importer;

namespace {

// A small book held as typed records, fed to a handler in file order. Each
// line gets a label ("I250[1.0]": the first posting of the second entry), so
// that a test names the record a finding must point at.
struct TinyBook {
    Opening opening;
    BookKind kind{QStringLiteral("G"), QStringLiteral("9.00")};
    QList<Account> chart;
    QList<History> histories;
    QList<CostCentre> centres;
    struct Month {
        BalancePeriod period;
        QList<Balance> balances;
    };
    QList<Month> months;
    struct Ent {
        Entry entry;
        QList<Posting> postings;
    };
    QList<Ent> entries;
    struct Result {
        ResultDate date;
        QList<ResultBalance> values;
    };
    QList<Result> results;
    QList<Finding> formFindings; // as a reader would report them

    QHash<qint64, QString> labels;

    void feed(EcdHandler& h) {
        labels.clear();
        qint64 line = 0;
        auto at = [&](const QString& label) {
            labels.insert(++line, label);
            return Place{QStringLiteral("livro.txt"), line, 0};
        };
        h.opening(opening, at(QStringLiteral("0000")));
        h.bookKind(kind, at(QStringLiteral("I010")));
        for (qsizetype i = 0; i < chart.size(); ++i)
            h.account(chart[i], at(QStringLiteral("I050[%1]").arg(i)));
        for (qsizetype i = 0; i < histories.size(); ++i)
            h.history(histories[i], at(QStringLiteral("I075[%1]").arg(i)));
        for (qsizetype i = 0; i < centres.size(); ++i)
            h.costCentre(centres[i], at(QStringLiteral("I100[%1]").arg(i)));
        for (qsizetype m = 0; m < months.size(); ++m) {
            h.balancePeriod(months[m].period, at(QStringLiteral("I150[%1]").arg(m)));
            for (qsizetype i = 0; i < months[m].balances.size(); ++i)
                h.balance(months[m].balances[i], at(QStringLiteral("I155[%1.%2]").arg(m).arg(i)));
        }
        for (qsizetype e = 0; e < entries.size(); ++e) {
            h.entry(entries[e].entry, at(QStringLiteral("I200[%1]").arg(e)));
            for (qsizetype i = 0; i < entries[e].postings.size(); ++i)
                h.posting(entries[e].postings[i], at(QStringLiteral("I250[%1.%2]").arg(e).arg(i)));
        }
        for (qsizetype r = 0; r < results.size(); ++r) {
            h.resultDate(results[r].date, at(QStringLiteral("I350[%1]").arg(r)));
            for (qsizetype i = 0; i < results[r].values.size(); ++i)
                h.resultBalance(results[r].values[i],
                                at(QStringLiteral("I355[%1.%2]").arg(r).arg(i)));
        }
        for (const Finding& f : formFindings)
            h.finding(f);
        h.endOfFile(at(QStringLiteral("9999")));
    }

    QString labelOf(const Place& p) const {
        return QStringLiteral("%1:%2").arg(labels.value(p.line, QStringLiteral("?"))).arg(p.field);
    }
};

Account acc(const char* code, const char* nature, char type, int level, const char* superior,
            const char* name) {
    return {QDate(2025, 1, 1),       QString::fromLatin1(nature), QLatin1Char(type),      level,
            QString::fromUtf8(code), QString::fromUtf8(superior), QString::fromUtf8(name)};
}

Posting post(const char* account, const char* cc, qint64 value, char side,
             const char* historyCode = "", const char* history = "") {
    return {QString::fromUtf8(account),
            QString::fromUtf8(cc),
            value,
            QLatin1Char(side),
            QString(),
            QString::fromUtf8(historyCode),
            QString::fromUtf8(history)};
}

Balance bal(const char* account, const char* cc, qint64 initial, qint64 debits, qint64 credits) {
    return {QString::fromUtf8(account), QString::fromUtf8(cc), initial, debits, credits,
            initial + debits - credits};
}

// Two months of a small company, closed on the last day, which also holds a
// normal entry. Rent is kept per cost centre.
TinyBook goodBook() {
    TinyBook b;
    b.opening.start = QDate(2025, 1, 1);
    b.opening.end = QDate(2025, 2, 28);
    b.opening.name = QStringLiteral("Padaria São João Ltda.");
    b.opening.cnpj = QStringLiteral("11222333000181");
    b.chart = {
        acc("1", "01", 'S', 1, "", "ATIVO"),
        acc("1.1", "01", 'S', 2, "1", "ATIVO CIRCULANTE"),
        acc("1.1.01", "01", 'A', 3, "1.1", "Caixa"),
        acc("1.1.02", "01", 'A', 3, "1.1", "Banco conta movimento"),
        acc("2", "02", 'S', 1, "", "PASSIVO"),
        acc("2.3", "03", 'S', 2, "2", "PATRIMÔNIO LÍQUIDO"),
        acc("2.3.01", "03", 'A', 3, "2.3", "Capital social"),
        acc("2.3.02", "03", 'A', 3, "2.3", "Lucros acumulados"),
        acc("3", "04", 'S', 1, "", "RESULTADO"),
        acc("3.1", "04", 'S', 2, "3", "Receitas"),
        acc("3.1.01", "04", 'A', 3, "3.1", "Vendas"),
        acc("3.2", "04", 'S', 2, "3", "Despesas"),
        acc("3.2.01", "04", 'A', 3, "3.2", "Aluguel"),
    };
    b.histories = {{QStringLiteral("01"), QStringLiteral("Venda à vista")}};
    b.centres = {{QDate(2025, 1, 1), QStringLiteral("ADM"), QStringLiteral("Administração")},
                 {QDate(2025, 1, 1), QStringLiteral("FAB.01"), QStringLiteral("Fábrica")}};
    b.months = {
        {{QDate(2025, 1, 1), QDate(2025, 1, 31)},
         {bal("1.1.01", "", 100000, 50000, 0), bal("1.1.02", "", 0, 0, 30000),
          bal("2.3.01", "", -100000, 0, 0), bal("3.1.01", "", 0, 0, 50000),
          bal("3.2.01", "ADM", 0, 20000, 0), bal("3.2.01", "FAB.01", 0, 10000, 0)}},
        {{QDate(2025, 2, 1), QDate(2025, 2, 28)},
         {bal("1.1.01", "", 150000, 0, 0), bal("1.1.02", "", -30000, 20000, 0),
          bal("2.3.01", "", -100000, 0, 0), bal("2.3.02", "", 0, 0, 40000),
          bal("3.1.01", "", -50000, 70000, 20000), bal("3.2.01", "ADM", 20000, 0, 20000),
          bal("3.2.01", "FAB.01", 10000, 0, 10000)}},
    };
    auto entry = [](const char* number, QDate date, qint64 total, char kind) {
        return Entry{QString::fromLatin1(number), date, total, QLatin1Char(kind), QDate()};
    };
    b.entries = {
        {entry("0001", QDate(2025, 1, 10), 50000, 'N'),
         {post("1.1.01", "", 50000, 'D', "01"), post("3.1.01", "", 50000, 'C', "01", "NF 12")}},
        {entry("0002", QDate(2025, 1, 20), 30000, 'N'),
         {post("3.2.01", "ADM", 20000, 'D', "", "Aluguel de janeiro"),
          post("3.2.01", "FAB.01", 10000, 'D', "", "Aluguel de janeiro"),
          post("1.1.02", "", 30000, 'C', "", "Aluguel de janeiro")}},
        {entry("0003", QDate(2025, 2, 28), 20000, 'N'),
         {post("1.1.02", "", 20000, 'D', "01"), post("3.1.01", "", 20000, 'C', "01")}},
        {entry("0004", QDate(2025, 2, 28), 70000, 'E'),
         {post("3.1.01", "", 70000, 'D', "", "Encerramento"),
          post("3.2.01", "ADM", 20000, 'C', "", "Encerramento"),
          post("3.2.01", "FAB.01", 10000, 'C', "", "Encerramento"),
          post("2.3.02", "", 40000, 'C', "", "Encerramento")}},
    };
    b.results = {{{QDate(2025, 2, 28)},
                  {{QStringLiteral("3.1.01"), QString(), -70000},
                   {QStringLiteral("3.2.01"), QStringLiteral("ADM"), 20000},
                   {QStringLiteral("3.2.01"), QStringLiteral("FAB.01"), 10000}}}};
    return b;
}

using Change = std::function<void(TinyBook&)>;

QStringList describe(const BookChecks& c, const TinyBook& b) {
    QStringList out;
    for (const Finding& f : c.findings())
        out << QStringLiteral("%1 %2 %3")
                   .arg(f.severity == Finding::Severity::Error ? QStringLiteral("E")
                                                               : QStringLiteral("W"),
                        b.labelOf(f.place), f.text);
    return out;
}

// Records what reaches the loader, and whether the checks were done by then.
class Recorder : public EcdHandler {
public:
    const BookChecks* checks = nullptr;
    QStringList calls;
    bool errorsKnownAtEnd = false;
    void opening(const Opening&, const Place&) override { calls << "0000"; }
    void bookKind(const BookKind&, const Place&) override { calls << "I010"; }
    void account(const Account&, const Place&) override { calls << "I050"; }
    void history(const History&, const Place&) override { calls << "I075"; }
    void costCentre(const CostCentre&, const Place&) override { calls << "I100"; }
    void balancePeriod(const BalancePeriod&, const Place&) override { calls << "I150"; }
    void balance(const Balance&, const Place&) override { calls << "I155"; }
    void entry(const Entry&, const Place&) override { calls << "I200"; }
    void posting(const Posting&, const Place&) override { calls << "I250"; }
    void resultDate(const ResultDate&, const Place&) override { calls << "I350"; }
    void resultBalance(const ResultBalance&, const Place&) override { calls << "I355"; }
    void finding(const Finding&) override { calls << "finding"; }
    void endOfFile(const Place&) override {
        calls << "end";
        errorsKnownAtEnd = checks && checks->hasErrors();
    }
};

// Checks a written book through the test feed.
struct CheckedFile {
    BookChecks checks;
    QStringList findings;
};

void checkFile(const QString& path, CheckedFile& out) {
    QVERIFY(testfeed::feedFile(path, out.checks));
    for (const Finding& f : out.checks.findings())
        out.findings << QStringLiteral("%1:%2 %3").arg(f.place.line).arg(f.place.field).arg(f.text);
}

QHash<QString, qint64> nonZero(QHash<QString, qint64> balances) {
    for (auto it = balances.begin(); it != balances.end();)
        it = it.value() == 0 ? balances.erase(it) : std::next(it);
    return balances;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class BookChecksTest : public QObject {
    Q_OBJECT
private slots:
    void goodBooks_data();
    void goodBooks();
    void refusals_data();
    void refusals();
    void warnings_data();
    void warnings();
    void composedHistory_data();
    void composedHistory();
    void exposesTheBook();
    void forwardsEverythingAndChecksBeforeTheEnd();
    void repeatedFaultsAreCounted();
    void generatedBookIsCleanAndComplete();
    void yearInTwoBooksIsContinuous();
};

// Books that must pass without any finding.
void BookChecksTest::goodBooks_data() {
    QTest::addColumn<Change>("change");
    QTest::addRow("two months closed on a day with a normal entry") << Change([](TinyBook&) {});
    QTest::addRow("I355 per account though postings carry cost centres") << Change([](TinyBook& b) {
        b.results[0].values = {{QStringLiteral("3.1.01"), QString(), -70000},
                               {QStringLiteral("3.2.01"), QString(), 30000}};
    });
    QTest::addRow("January closed too: February's I355 starts after it") << Change([](TinyBook& b) {
        // Close January on the 31st; February then only holds its own result.
        b.entries.insert(
            2, {{QStringLiteral("0002A"), QDate(2025, 1, 31), 50000, QLatin1Char('E'), QDate()},
                {post("3.1.01", "", 50000, 'D'), post("3.2.01", "ADM", 20000, 'C'),
                 post("3.2.01", "FAB.01", 10000, 'C'), post("2.3.02", "", 20000, 'C')}});
        b.months[0].balances = {
            bal("1.1.01", "", 100000, 50000, 0),     bal("1.1.02", "", 0, 0, 30000),
            bal("2.3.01", "", -100000, 0, 0),        bal("2.3.02", "", 0, 0, 20000),
            bal("3.1.01", "", 0, 50000, 50000),      bal("3.2.01", "ADM", 0, 20000, 20000),
            bal("3.2.01", "FAB.01", 0, 10000, 10000)};
        b.months[1].balances = {
            bal("1.1.01", "", 150000, 0, 0), bal("1.1.02", "", -30000, 20000, 0),
            bal("2.3.01", "", -100000, 0, 0), bal("2.3.02", "", -20000, 0, 20000),
            bal("3.1.01", "", 0, 20000, 20000)};
        b.entries[4].postings = {post("3.1.01", "", 20000, 'D'), post("2.3.02", "", 20000, 'C')};
        b.entries[4].entry.total = 20000;
        b.results = {{{QDate(2025, 1, 31)},
                      {{QStringLiteral("3.1.01"), QString(), -50000},
                       {QStringLiteral("3.2.01"), QStringLiteral("ADM"), 20000},
                       {QStringLiteral("3.2.01"), QStringLiteral("FAB.01"), 10000}}},
                     {{QDate(2025, 2, 28)}, {{QStringLiteral("3.1.01"), QString(), -20000}}}};
    });
    QTest::addRow("half-year book: result accounts open with the result so far")
        << Change([](TinyBook& b) {
               // The months before the book left 100,00 of sales; they reach the I355.
               b.months[0].balances[3] = bal("3.1.01", "", -10000, 0, 50000);
               b.months[0].balances[1] = bal("1.1.02", "", 10000, 0, 30000);
               b.months[1].balances[1] = bal("1.1.02", "", -20000, 20000, 0);
               b.months[1].balances[4] = bal("3.1.01", "", -60000, 80000, 20000);
               b.entries[3].postings[0].value = 80000;
               b.entries[3].postings[3].value = 50000;
               b.entries[3].entry.total = 80000;
               b.months[1].balances[3] = bal("2.3.02", "", 0, 0, 50000);
               b.results[0].values[0].value = -80000;
           });
}

void BookChecksTest::goodBooks() {
    QFETCH(Change, change);
    TinyBook b = goodBook();
    change(b);
    BookChecks c;
    b.feed(c);
    QCOMPARE(describe(c, b), QStringList());
    QVERIFY(!c.hasErrors());
}

// Each fault refuses the book with a finding at the record and field at fault.
void BookChecksTest::refusals_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("says");

    auto kind = [](const char* k) {
        return Change([k](TinyBook& b) { b.kind.kind = QString::fromLatin1(k); });
    };
    QTest::addRow("summarised journal R") << kind("R") << "I010:2"
                                          << "contariam os mesmos";
    QTest::addRow("auxiliary journal A") << kind("A") << "I010:2"
                                         << "contariam os mesmos";
    QTest::addRow("daily balances B") << kind("B") << "I010:2"
                                      << "não traz as partidas";
    QTest::addRow("auxiliary ledger Z") << kind("Z") << "I010:2"
                                        << "Razão Auxiliar";
    QTest::addRow("unknown kind") << kind("Q") << "I010:2"
                                  << "desconhecido";
    QTest::addRow("partnership book")
        << Change([](TinyBook& b) { b.opening.tipEcd = 2; }) << "0000:17"
        << "sociedade em conta de participação";
    QTest::addRow("functional currency")
        << Change([](TinyBook& b) { b.opening.identMf = QStringLiteral("S"); }) << "0000:19"
        << "moeda funcional";
    QTest::addRow("empty book kind") << Change([](TinyBook& b) { b.kind.kind.clear(); }) << "I010:2"
                                     << "desconhecido";

    QTest::addRow("entry total above its postings")
        << Change([](TinyBook& b) { b.entries[0].entry.total = 50001; }) << "I200[0]:4"
        << "desequilibrado";
    QTest::addRow("entry debits differ from credits") << Change([](TinyBook& b) {
        b.entries[1].postings[2].value = 29999;
        b.months[0].balances[1] = bal("1.1.02", "", 0, 0, 29999);
        b.months[1].balances[1] = bal("1.1.02", "", -29999, 20000, 0);
    }) << "I200[1]:4"
                                                      << "a crédito 299,99";

    QTest::addRow("I155 debits not the postings'")
        << Change([](TinyBook& b) { b.months[0].balances[0] = bal("1.1.01", "", 99999, 50001, 0); })
        << "I155[0.0]:6"
        << "o I155 informa 500,01, mas as partidas somam 500,00";
    QTest::addRow("I155 credits not the postings'")
        << Change(
               [](TinyBook& b) { b.months[1].balances[5] = bal("3.2.01", "ADM", 20000, 0, 19000); })
        << "I155[1.5]:7"
        << "centro de custo ADM em 02/2025: o I155 informa 190,00, mas as partidas somam 200,00";
    QTest::addRow("postings in a month without I155") << Change([](TinyBook& b) {
        b.months[0].balances.removeAt(5); // rent of the factory in January
        b.months[1].balances[6] = bal("3.2.01", "FAB.01", 0, 10000, 10000);
    }) << "I250[1.1]:2"
                                                      << "nenhum saldo (I155)";
    QTest::addRow("initial plus movement is not the final")
        << Change([](TinyBook& b) { b.months[1].balances[0].final = 150001; }) << "I155[1.0]:8"
        << "dá 1.500,00 D, mas o saldo final informado é 1.500,01 D";
    QTest::addRow("initial differs from last month's final")
        << Change([](TinyBook& b) { b.months[1].balances[0] = bal("1.1.01", "", 150100, 0, 0); })
        << "I155[1.0]:4"
        << "difere do saldo final de 01/2025";
    QTest::addRow("I155 repeated") << Change([](TinyBook& b) {
        b.months[0].balances.append(bal("2.3.01", "", -100000, 0, 0));
    }) << "I155[0.6]:2"
                                   << "repetido";

    QTest::addRow("I355 not the balance before closing")
        << Change([](TinyBook& b) { b.results[0].values[0].value = -70001; }) << "I355[0.0]:4"
        << "o I355 informa 700,01 C, mas os saldos e partidas do livro dão 700,00 C";
    QTest::addRow("I355 after the closing entry")
        << Change([](TinyBook& b) { b.results[0].values[1].value = 0; }) << "I355[0.1]:4"
        << "dão 200,00 D";
    QTest::addRow("I355 without the day's normal entry")
        << Change([](TinyBook& b) { b.results[0].values[0].value = -50000; }) << "I355[0.0]:4"
        << "dão 700,00 C";
    QTest::addRow("I355 missing for an account with a balance")
        << Change([](TinyBook& b) { b.results[0].values.removeAt(2); }) << "I350[0]:0"
        << "Falta o saldo antes do encerramento (I355) da conta 3.2.01, centro de custo FAB.01";
    QTest::addRow("I355 of a balance-sheet account") << Change([](TinyBook& b) {
        b.results[0].values.append({QStringLiteral("1.1.01"), QString(), 150000});
    }) << "I355[0.3]:2"
                                                     << "não é conta de resultado";

    QTest::addRow("posting to an account outside the chart")
        << Change([](TinyBook& b) { b.entries[0].postings[0].account = QStringLiteral("1.1.09"); })
        << "I250[0.0]:2"
        << "A conta 1.1.09 não está no plano de contas";
    QTest::addRow("I155 of an account outside the chart")
        << Change([](TinyBook& b) { b.months[0].balances.append(bal("9.9", "", 0, 0, 0)); })
        << "I155[0.6]:2"
        << "A conta 9.9 não está no plano de contas";
    QTest::addRow("I355 of an account outside the chart")
        << Change([](TinyBook& b) {
               b.results[0].values.append({QStringLiteral("3.9"), QString(), 0});
           })
        << "I355[0.3]:2"
        << "A conta 3.9 não está no plano de contas";
    QTest::addRow("posting to a synthetic account")
        << Change([](TinyBook& b) { b.entries[0].postings[0].account = QStringLiteral("1.1"); })
        << "I250[0.0]:2"
        << "é sintética";
    QTest::addRow("cost centre not registered")
        << Change([](TinyBook& b) { b.centres.removeAt(1); }) << "I155[0.5]:3"
        << "O centro de custo FAB.01 não está cadastrado (I100) (5 ocorrências)";
    QTest::addRow("standard history not registered")
        << Change([](TinyBook& b) { b.entries[2].postings[1].historyCode = QStringLiteral("77"); })
        << "I250[2.1]:7"
        << "O histórico padronizado 77 não está cadastrado";

    QTest::addRow("superior not in the chart")
        << Change([](TinyBook& b) { b.chart[3].superior = QStringLiteral("1.9"); }) << "I050[3]:7"
        << "A conta superior 1.9 da conta 1.1.02 não está no plano de contas";
    QTest::addRow("superior analytic") << Change([](TinyBook& b) {
        b.chart[3].superior = QStringLiteral("1.1.01");
        b.chart[3].level = 4;
    }) << "I050[3]:7"
                                       << "é analítica";
    QTest::addRow("superior two levels up")
        << Change([](TinyBook& b) { b.chart[3].superior = QStringLiteral("1"); }) << "I050[3]:7"
        << "deveria estar um nível acima";
    QTest::addRow("no superior below level 1")
        << Change([](TinyBook& b) { b.chart[3].superior.clear(); }) << "I050[3]:7"
        << "não informa a conta superior";
    QTest::addRow("account listed twice")
        << Change([](TinyBook& b) { b.chart.append(b.chart[2]); }) << "I050[13]:6"
        << "mais de uma vez";
    QTest::addRow("standard history listed twice")
        << Change([](TinyBook& b) { b.histories.append(b.histories[0]); }) << "I075[1]:2"
        << "O histórico padronizado 01 aparece mais de uma vez";
    QTest::addRow("cost centre listed twice")
        << Change([](TinyBook& b) { b.centres.append(b.centres[0]); }) << "I100[2]:3"
        << "O centro de custo ADM aparece mais de uma vez";
    QTest::addRow("cost centre without a code")
        << Change([](TinyBook& b) { b.centres[1].code.clear(); }) << "I100[1]:3"
        << "Centro de custo sem código";
    QTest::addRow("entry outside the book's period")
        << Change([](TinyBook& b) { b.entries[0].entry.date = QDate(2024, 12, 31); }) << "I200[0]:3"
        << "fora do período do livro";
    QTest::addRow("a reader's finding of form") << Change([](TinyBook& b) {
        b.formFindings.append({Finding::Severity::Error, Place{QStringLiteral("livro.txt"), 3, 5},
                               QStringLiteral("data inválida")});
    }) << "I050[0]:5"
                                                << "data inválida";
}

void BookChecksTest::refusals() {
    QFETCH(Change, change);
    QFETCH(QString, where);
    QFETCH(QString, says);
    TinyBook b = goodBook();
    change(b);
    BookChecks c;
    b.feed(c);
    QVERIFY(c.hasErrors());
    const QStringList found = describe(c, b);
    const QString wanted = QStringLiteral("E %1 ").arg(where);
    bool ok = false;
    for (const QString& f : found)
        ok = ok || (f.startsWith(wanted) && f.contains(says));
    if (!ok)
        qWarning().noquote() << found.join(QLatin1Char('\n'));
    QVERIFY2(ok, qPrintable(wanted + says));
}

// Warnings are reported and do not refuse the book.
void BookChecksTest::warnings_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("where"); // empty: no warning
    QTest::addColumn<QString>("says");

    QTest::addRow("analytic account without movement")
        << Change([](TinyBook& b) {
               b.chart.insert(4, acc("1.1.03", "01", 'A', 3, "1.1", "Estoques"));
           })
        << "I050[4]:6"
        << "A conta analítica 1.1.03 não tem saldo nem movimento";
    QTest::addRow("analytic account with a zero I155 only") << Change([](TinyBook& b) {
        b.chart.insert(4, acc("1.1.03", "01", 'A', 3, "1.1", "Estoques"));
        b.months[0].balances.append(bal("1.1.03", "", 0, 0, 0));
    }) << "I050[4]:6"
                                                            << "não tem saldo nem movimento";
    // "Venda à vista" (13) + space + own text.
    QTest::addRow("composed history of 201 characters")
        << Change([](TinyBook& b) {
               b.entries[0].postings[1].history = QString(187, QLatin1Char('x'));
           })
        << "I250[0.1]:8"
        << "Histórico com 201 caracteres no lançamento 0001";
    QTest::addRow("composed history of exactly 200 characters") << Change([](TinyBook& b) {
        b.entries[0].postings[1].history = QString(186, QLatin1Char('x'));
    }) << ""
                                                                << "";
    QTest::addRow("own history of 201 characters without a standard one")
        << Change([](TinyBook& b) {
               b.entries[1].postings[0].history = QString(201, QLatin1Char('y'));
           })
        << "I250[1.0]:8"
        << "201 caracteres";
    QTest::addRow("euro sign is in Windows-1252")
        << Change([](TinyBook& b) { b.chart[2].name = QStringLiteral("Caixa em €"); }) << ""
        << "";
    QTest::addRow("arrow in an account name")
        << Change([](TinyBook& b) { b.chart[2].name = QStringLiteral("Caixa → filial"); })
        << "I050[2]:8"
        << "U+2192";
    QTest::addRow("emoji in a posting history") << Change([](TinyBook& b) {
        b.entries[1].postings[0].history = QStringLiteral("Aluguel 🏠");
    }) << "I250[1.0]:8"
                                                << "saem como \"?\"";
    QTest::addRow("Cyrillic letter in a cost centre name")
        << Change([](TinyBook& b) { b.centres[0].name = QStringLiteral("Администрация"); })
        << "I100[0]:4"
        << "O nome do centro de custo";
}

void BookChecksTest::warnings() {
    QFETCH(Change, change);
    QFETCH(QString, where);
    QFETCH(QString, says);
    TinyBook b = goodBook();
    change(b);
    BookChecks c;
    b.feed(c);
    QCOMPARE(c.errorCount(), 0);
    const QStringList found = describe(c, b);
    if (where.isEmpty()) {
        QCOMPARE(found, QStringList());
        return;
    }
    QCOMPARE(found.size(), 1);
    QVERIFY2(found[0].startsWith(QStringLiteral("W %1 ").arg(where)) && found[0].contains(says),
             qPrintable(found[0]));
}

void BookChecksTest::composedHistory_data() {
    QTest::addColumn<QString>("standard");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("composed");
    QTest::addRow("both") << "Venda à vista"
                          << "NF 12"
                          << "Venda à vista NF 12";
    QTest::addRow("standard only") << "Venda à vista"
                                   << ""
                                   << "Venda à vista";
    QTest::addRow("own only") << ""
                              << "Aluguel"
                              << "Aluguel";
    QTest::addRow("neither") << ""
                             << ""
                             << "";
}

void BookChecksTest::composedHistory() {
    QFETCH(QString, standard);
    QFETCH(QString, own);
    QFETCH(QString, composed);
    QCOMPARE(composeHistory(standard, own), composed);
    QCOMPARE(composedHistoryLength(standard, own), composed.size());
}

void BookChecksTest::exposesTheBook() {
    TinyBook b = goodBook();
    BookChecks c;
    b.feed(c);
    QCOMPARE(c.start(), QDate(2025, 1, 1));
    QCOMPARE(c.end(), QDate(2025, 2, 28));
    QCOMPARE(c.kind(), QStringLiteral("G"));
    QCOMPARE(c.version(), QStringLiteral("9.00"));
    QCOMPARE(c.counts().accounts, 13);
    QCOMPARE(c.counts().costCentres, 2);
    QCOMPARE(c.counts().histories, 1);
    QCOMPARE(c.counts().months, 2);
    QCOMPARE(c.counts().entries, 4);
    QCOMPARE(c.counts().postings, 11);
    // The first I155 of each account; rent summed over its cost centres;
    // accumulated profit first appears in February at zero.
    const QHash<QString, qint64> initial{
        {QStringLiteral("1.1.01"), 100000},  {QStringLiteral("1.1.02"), 0},
        {QStringLiteral("2.3.01"), -100000}, {QStringLiteral("3.1.01"), 0},
        {QStringLiteral("3.2.01"), 0},       {QStringLiteral("2.3.02"), 0}};
    QCOMPARE(c.initialBalances(), initial);
    QCOMPARE(c.monthBalances().size(), 13);
    const BookChecks::MonthBalance& m = c.monthBalances()[11];
    QCOMPARE(m.start, QDate(2025, 2, 1));
    QCOMPARE(m.end, QDate(2025, 2, 28));
    QCOMPARE(m.account, QStringLiteral("3.2.01"));
    QCOMPARE(m.costCentre, QStringLiteral("ADM"));
    QCOMPARE(m.initial, 20000);
    QCOMPARE(m.credits, 20000);
    QCOMPARE(c.resultValues().size(), 3);
    QCOMPARE(c.resultValues()[0].date, QDate(2025, 2, 28));
    QCOMPARE(c.resultValues()[0].value, -70000);
}

void BookChecksTest::forwardsEverythingAndChecksBeforeTheEnd() {
    TinyBook b = goodBook();
    b.entries[0].entry.total = 1;
    b.formFindings.append({Finding::Severity::Warning, Place{}, QStringLiteral("aviso")});
    Recorder r;
    BookChecks c(r);
    r.checks = &c;
    b.feed(c);
    QCOMPARE(r.calls.count("I050"), 13);
    QCOMPARE(r.calls.count("I155"), 13);
    QCOMPARE(r.calls.count("I250"), 11);
    QCOMPARE(r.calls.count("I355"), 3);
    QCOMPARE(r.calls.count("finding"), 1);
    QCOMPARE(r.calls.first(), QStringLiteral("0000"));
    QCOMPARE(r.calls.last(), QStringLiteral("end"));
    QVERIFY(r.errorsKnownAtEnd);
    QCOMPARE(c.warningCount(), 1);
}

void BookChecksTest::repeatedFaultsAreCounted() {
    TinyBook b = goodBook();
    // 30 unbalanced entries of zero postings, each its own fault.
    for (int i = 0; i < 30; ++i)
        b.entries.append(TinyBook::Ent{
            {QStringLiteral("X%1").arg(i), QDate(2025, 2, 1), 100, QLatin1Char('N'), QDate()}, {}});
    BookChecks c;
    b.feed(c);
    QCOMPARE(c.errorCount(), 30);
    QCOMPARE(c.findings().size(), BookChecks::kShownPerCheck + 1);
    QVERIFY(c.findings().last().text.contains(QStringLiteral("Mais 10 ocorrências")));
    QCOMPARE(c.findings().last().severity, Finding::Severity::Error);
}

// The generator's book, read back through the test feed, checks clean, and
// carries what the import must keep whole.
void BookChecksTest::generatedBookIsCleanAndComplete() {
    QTemporaryDir dir;
    LedgerPlan plan;
    plan.analyticAccounts = 40;
    plan.postings = 3000;
    plan.seed = 7;
    const EcdLedger ledger(plan);
    const QString path = dir.filePath(QStringLiteral("ano.txt"));
    const WrittenBook w = ledger.write(path);

    CheckedFile f;
    checkFile(path, f);
    QCOMPARE(f.findings, QStringList());
    const BookChecks& c = f.checks;
    QCOMPARE(c.counts().postings, w.postings);
    QVERIFY(w.postings > plan.postings); // and the closing entry's
    QCOMPARE(c.counts().entries, w.entries);
    QCOMPARE(c.counts().months, 12);
    QCOMPARE(c.counts().accounts, w.accounts);
    QVERIFY(!c.resultValues().isEmpty());
    QCOMPARE(c.initialBalances().value(ledger.analyticCodes().first()),
             ledger.balancesAt(plan.start).value(ledger.analyticCodes().first()));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("|I010|G|9.00|\r\n"));
    QVERIFY(text.contains("|E||\r\n"));    // the closing entry
    QVERIFY(text.contains("servi\xE7os")); // Latin-1, not UTF-8
    QVERIFY(!text.contains("\xC3\xA7"));
    QVERIFY(text.contains("|1.1.01.000000000000002|")); // a code over 20 characters
    QVERIFY(text.contains("|PROD.LINHA.01|"));          // a cost centre over 4
    QVERIFY(text.contains(" - opera\xE7\xF5"
                          "es da filial de S\xE3o Jos\xE9 dos Campos|"));
    QVERIFY(text.contains("|J930|Maria da Concei\xE7\xE3o Ara\xFAjo|12345678909|Contador|900|"));
    QVERIFY(!text.contains("\n\n") && !text.contains("|\n"));
}

// A year as two half-year books: the second opens with the balances the
// first closes with, and together they carry the whole year's entries.
void BookChecksTest::yearInTwoBooksIsContinuous() {
    QTemporaryDir dir;
    LedgerPlan plan;
    plan.analyticAccounts = 25;
    plan.postings = 2000;
    plan.seed = 3;
    const EcdLedger ledger(plan);
    const WrittenBook whole = ledger.write(dir.filePath(QStringLiteral("ano.txt")));
    const QStringList halves = ledger.writeSplit(dir.path(), QStringLiteral("semestre"), 6);
    QCOMPARE(halves.size(), 2);

    CheckedFile first, second;
    checkFile(halves[0], first);
    checkFile(halves[1], second);
    QCOMPARE(first.findings, QStringList());
    QCOMPARE(second.findings, QStringList());
    QCOMPARE(first.checks.end(), QDate(2025, 6, 30));
    QCOMPARE(second.checks.start(), QDate(2025, 7, 1));
    QCOMPARE(first.checks.counts().entries + second.checks.counts().entries, whole.entries);
    QCOMPARE(first.checks.counts().postings + second.checks.counts().postings, whole.postings);
    QVERIFY(first.checks.resultValues().isEmpty());
    QVERIFY(!second.checks.resultValues().isEmpty());

    // June's finals, summed per account, are July's initials.
    QHash<QString, qint64> june;
    for (const BookChecks::MonthBalance& m : first.checks.monthBalances())
        if (m.start == QDate(2025, 6, 1) && m.final != 0)
            june[m.account] += m.final;
    const QHash<QString, qint64> july = nonZero(second.checks.initialBalances());
    QCOMPARE(july, june);
    QCOMPARE(july, ledger.balancesAt(QDate(2025, 7, 1)));

    // Given the year's closing balances, the next year continues from them.
    LedgerPlan next = plan;
    next.start = QDate(2026, 1, 1);
    next.end = QDate(2026, 12, 31);
    next.initialBalances = ledger.balancesAt(QDate(2026, 1, 1));
    QVERIFY(!next.initialBalances.isEmpty());
    const EcdLedger year2(next);
    const QString path2 = dir.filePath(QStringLiteral("ano2.txt"));
    year2.write(path2);
    CheckedFile third;
    checkFile(path2, third);
    QCOMPARE(third.findings, QStringList());
    QCOMPARE(nonZero(third.checks.initialBalances()), next.initialBalances);
}

QTEST_GUILESS_MAIN(BookChecksTest)
#include "tst_bookchecks.moc"
