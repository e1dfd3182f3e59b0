#pragma once
#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <stdexcept>

class QIODevice;

namespace importer {

// A company's books over a period, drawn from a seed: chart, cost centres,
// standard histories and entries, the same for the same plan. Any run of
// whole months of the period can be written as one ECD book (layout 9,
// Latin-1, CR LF); books that split the period carry the same entries, with
// the same numbers, as the book of the whole period, and each starts from the
// balances the months before it leave. For tests and benchmarks of the
// import: the books are consistent, so a check that fails on them is wrong.
struct LedgerPlan {
    // The company whose books they are (0000, I030).
    struct Company {
        QString cnpj, name, uf, ie, municipality, municipalityName, nire;
    };
    Company company = {.cnpj = QStringLiteral("11222333000181"),
                       .name = QStringLiteral("Indústria e Comércio de Peças Paulista Ltda."),
                       .uf = QStringLiteral("SP"),
                       .ie = QStringLiteral("110042490114"),
                       .municipality = QStringLiteral("3550308"),
                       .municipalityName = QStringLiteral("São Paulo"),
                       .nire = QStringLiteral("35212345678")};
    // The accountant who signs them (J930 with COD_ASSIN 900).
    struct Accountant {
        QString name, cpf, crc, email, phone;
    };
    Accountant accountant = {.name = QStringLiteral("Maria da Conceição Araújo"),
                             .cpf = QStringLiteral("12345678909"),
                             .crc = QStringLiteral("1SP123456O5"),
                             .email = QStringLiteral("maria.araujo@contabilidade.com.br"),
                             .phone = QStringLiteral("1133334444")};

    QDate start = QDate(2025, 1, 1), end = QDate(2025, 12, 31); // whole months
    int analyticAccounts = 60; // raised to one per group of the chart (19) when lower
    qint64 postings = 1000;    // besides the closing entry's
    quint64 seed = 1;
    // Signed balances (cents, debit positive) of analytic accounts at the
    // start, by code (codes outside the chart are ignored); the rest start at
    // zero. A balanced opening sums to zero.
    // Empty: a balanced opening drawn from the seed.
    QHash<QString, qint64> initialBalances;
    bool drawOpening = true; // with initialBalances empty; false: all zero
    // A closing entry on the last day zeroes the result accounts into
    // accumulated profit or loss, with I350/I355 giving the balances before it.
    bool closeAtEnd = true;
};

// Which book to write of the ledger.
struct BookPart {
    QDate start, end;                    // whole months inside the ledger; null: the whole period
    QString order = QStringLiteral("1"); // NUM_ORD of the opening term
    bool substitute = false;             // IND_FIN_ESC 1
};

// What was written.
struct WrittenBook {
    qint64 lines = 0, accounts = 0, entries = 0, postings = 0, balances = 0, months = 0;
    qint64 bytes = 0;
};

class WriteFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EcdLedger {
public:
    explicit EcdLedger(LedgerPlan plan);
    ~EcdLedger();
    EcdLedger(const EcdLedger&) = delete;
    EcdLedger& operator=(const EcdLedger&) = delete;

    const LedgerPlan& plan() const;

    // The analytic accounts' codes, in chart order.
    QStringList analyticCodes() const;
    // The code of the account that receives the year's result.
    QString retainedEarningsCode() const;

    // Signed balances of the analytic accounts (cost centres summed) at the
    // start of a day of the period, or of the day after its end (then after
    // the closing entry). Accounts at zero are left out.
    QHash<QString, qint64> balancesAt(const QDate& day) const;

    // Streams one book to a device or a file. Throws WriteFailed.
    WrittenBook write(QIODevice& out, const BookPart& part = {}) const;
    WrittenBook write(const QString& path, const BookPart& part = {}) const;

    // The whole period as books of `months` months each, named
    // "<dir>/<prefix>-NN.txt" (NN from 01); returns the paths.
    QStringList writeSplit(const QString& dir, const QString& prefix, int months) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace importer
