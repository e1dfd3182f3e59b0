#pragma once
#include "importer/ecdrecords.h"
#include "importer/sqlbatch.h"
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>

namespace importer {

// One book as loaded, for the report.
struct LoadedBook {
    QString file;
    QDate start, end;
    QString kind, version; // I010
    int finality = 0;      // 0 original, 1 substitute
    int accounts = 0, costCentres = 0, months = 0;
    qint64 entries = 0, postings = 0;
    // Values the server's methods reproduced: I155 (final balance, debits
    // and credits of each account and month) and I355.
    int balancesChecked = 0, resultsChecked = 0;
};

struct LoadReport {
    enum class Outcome {
        Imported,      // committed
        Simulated,     // everything done and checked, then rolled back
        Refused,       // the books' content: findings name why; nothing kept
        DatabaseError, // the database failed: databaseError says how; nothing kept
    };
    Outcome outcome = Outcome::Refused;
    QList<Finding> findings; // the loader's own (errors refuse; warnings inform)
    QStringList notes;       // what else the user should know
    QList<LoadedBook> books;
    qint64 renumbered = 0; // entries that got a "-n" suffix (docs/importar.md)
    QString databaseError;
};

// Loads the records of one or more ECD books of one company, in file order,
// into the database, all inside one transaction that finish() commits or
// rolls back:
// - the company (EMPRESA) from 0000 and I030, the accountant (CONTADOR)
//   from J930 COD_ASSIN 900, both only from the latest book (what the ECD
//   does not carry stays); a code holding another CNPJ is refused;
// - the chart (CONTCTBL, one per installation: an account that exists with
//   another nature, level, type or superior is refused), cost centres,
//   and the code pictures when the codes follow one pattern per level;
// - the entries: a book first takes out every entry of the company dated in
//   its period, then inserts its own in bulk with the aggregates' triggers
//   off, refreshing the company's aggregates of that period at its end;
// - the opening balances: the earliest book's initial balances become
//   SALDINIC; a later book's must equal what the stored books give at its
//   start, and a book before stored ones must end where they begin.
// finish() then has the application server's own methods reproduce every
// I155 and I355 value on this connection before anything is kept.
//
// Handlers throw DatabaseError when the database fails (the read stops);
// content problems become findings and the read goes on. Memory does not
// grow with the postings.
class Loader : public EcdHandler {
public:
    struct Options {
        QString company;       // the code the books are kept under, as padded
        bool simulate = false; // do and check everything, then roll back
    };

    // db: an open connection (db::open); its schema is brought up to date
    // and the transaction begins. Throws DatabaseError.
    Loader(const QSqlDatabase& db, Options options);
    ~Loader() override; // rolls back what finish() did not end
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    IMPORTER_ECD_HANDLES_EVERY_RECORD
    // An error found by the reader or the content checks refuses the import;
    // the loader then stops writing (its own checks go on). What the content
    // checks report too (an undeclared account, a book not of kind G...) the
    // loader lists only when the caller did not refuse the import itself.
    void finding(const Finding&) override;
    void endOfFile(const Place&) override;

    // Reconciles, then commits (or, simulating, rolls back); with any error
    // (the loader's, one passed to finding(), or refusedElsewhere) rolls
    // back. Never throws. Call once, after the last file.
    LoadReport finish(bool refusedElsewhere = false);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace importer
