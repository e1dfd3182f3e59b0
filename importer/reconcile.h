#pragma once
#include "importer/ecdrecords.h"
#include <QDate>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>

namespace importer {

// What a book says of one account in one balance period (its I155 lines
// summed over cost centres), and where its first line was.
struct ExpectedBalance {
    qint64 initial = 0, debits = 0, credits = 0, final = 0;
    Place place;
};

struct ExpectedPeriod { // I150
    QDate start, end;
    QMap<QString, ExpectedBalance> accounts;
};

struct ExpectedResult { // I350 and its I355 summed over cost centres
    QDate date;
    QMap<QString, qint64> accounts;
    QMap<QString, Place> places;
};

struct Reconciliation {
    int balances = 0; // I155 values compared (final balance, debits, credits)
    int results = 0;  // I355 values compared
    QList<Finding> differences;
};

// Asks the application server's own methods, on this connection and inside
// its transaction, for what the books say, and lists where they differ:
// getsaldmens over the book's period (every month's final balance), then
// getcreddeb for each account and period (its debits and credits), and
// GetSaldAntEnc for each I350 date (the balances before that year's closing
// entries; the book's I355 are before that date's closing only, so the
// year's earlier closing entries, as stored, are taken out of them first).
// Throws DatabaseError when a method fails.
Reconciliation reconcile(QSqlDatabase& db, const QString& company, const QDate& start,
                         const QDate& end, const QList<ExpectedPeriod>& periods,
                         const QList<ExpectedResult>& results);

// Cents as "1234,56 D" (debit) or "1234,56 C": a balance with its side,
// for messages.
QString signedAmountText(qint64 cents);

} // namespace importer
