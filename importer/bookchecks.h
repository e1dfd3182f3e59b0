#pragma once
#include "importer/ecdrecords.h"
#include <QHash>
#include <QList>
#include <memory>

namespace importer {

// Checks the content of one ECD book while its records pass on to another
// handler (the loader): the kind of book, balanced entries, the I155 against
// their own postings and the continuity of balances, the I355 against the
// balances before closing, the chart, cost centres and standard histories.
// It keeps sums per account, cost centre and month (or day, for result
// accounts), never the postings, so its memory does not grow with them.
// Findings of form that the reader reports pass through it and count too.
class BookChecks : public EcdHandler {
public:
    BookChecks();                                // checks only
    explicit BookChecks(EcdHandler& downstream); // checks and forwards
    ~BookChecks() override;

    IMPORTER_ECD_HANDLES_EVERY_RECORD
    void finding(const Finding&) override;
    // Runs the checks that need the whole book, then forwards.
    void endOfFile(const Place&) override;

    // Findings so far, the reader's and these checks'. Each check lists its
    // first kShownPerCheck findings and then one line with how many more.
    const QList<Finding>& findings() const;
    bool hasErrors() const { return errorCount() > 0; }
    int errorCount() const;
    int warningCount() const;
    static constexpr int kShownPerCheck = 20;

    // What the book is: its 0000 (period, company) and I010.
    const Opening& openingRecord() const;
    QDate start() const { return openingRecord().start; }
    QDate end() const { return openingRecord().end; }
    const BookKind& bookKindRecord() const;
    QString kind() const { return bookKindRecord().kind; }
    QString version() const { return bookKindRecord().version; }

    struct Counts {
        int accounts = 0, costCentres = 0, histories = 0, months = 0;
        qint64 entries = 0, postings = 0;
    };
    const Counts& counts() const;

    // Signed balance (cents, debit positive) of each account at the book's
    // start, summed over cost centres: the initial balance of its first I155.
    QHash<QString, qint64> initialBalances() const;

    // The book's own balances, kept for the reconciliation against the
    // database after the load.
    struct MonthBalance { // I155
        QDate start, end; // its I150
        QString account, costCentre;
        qint64 initial = 0, debits = 0, credits = 0, final = 0;
    };
    struct ResultValue { // I355
        QDate date;      // its I350
        QString account, costCentre;
        qint64 value = 0; // signed
    };
    const QList<MonthBalance>& monthBalances() const;
    const QList<ResultValue>& resultValues() const;

private:
    struct State;
    std::unique_ptr<State> d_;
};

} // namespace importer
