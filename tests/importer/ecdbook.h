#pragma once
#include "importer/ecdrecords.h"
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

// Small ECD books for the tests, built as the records a reader hands over.
// The balances (I155) and the balances before closing (I355) are worked out
// from the initial balances and the entries, so a book is consistent unless
// a test spoils it on purpose.
namespace ecdtest {

struct Post {
    QString account, centre;
    qint64 value = 0;
    char side = 'D';
    QString document, historyCode, history;
};

struct Ent {
    QString number;
    QDate date;
    QList<Post> posts;
    QChar kind = u'N';
};

// (account, cost centre) -> signed cents, debit positive.
using Balances = QMap<QPair<QString, QString>, qint64>;

struct Book {
    QString file;
    QDate start, end;
    QString cnpj = QStringLiteral("11222333000181");
    QString name = QStringLiteral("Indústria e Comércio de Máquinas Agrícolas Paraná S.A.");
    QString uf = QStringLiteral("PR"), ie = QStringLiteral("9012345678"),
            municipality = QStringLiteral("4106902"), nire = QStringLiteral("41300012345");
    int finality = 0;
    QString kind = QStringLiteral("G");
    QList<importer::Account> accounts;
    QList<importer::CostCentre> centres;
    QList<importer::History> histories;
    Balances initial;
    QList<Ent> entries;
    // Closing dates (I350): the result accounts are closed into the
    // result-assessment account, then that into retained earnings, by
    // closing entries (IND_LCTO "E") the book gets on those dates.
    QList<QDate> closings;
    importer::Signatory accountant;
    // Added to the I155 final balance and debits of one account and month
    // after they are worked out: a book that disagrees with its postings.
    QString spoilAccount;
    QDate spoilMonth;
    qint64 spoilBy = 0;

    // The closing entries for `closings`, added to entries in date order.
    void addClosings();
    // Balances at the end of the book.
    Balances finalBalances() const;
    // Hands the records over in file order, lines counted from 1.
    void feed(importer::EcdHandler& h) const;
};

// The test chart: dotted codes longer than 20 characters, names longer than
// 40 with accents; nature 04 under "4".
QList<importer::Account> chart();
QList<importer::CostCentre> centres();
QList<importer::History> histories();
importer::Signatory accountant();

// The year 2025 of the test company: `perMonth` entries each month, of two
// and three postings, numbered from `firstNumber` with six digits.
QList<Ent> yearEntries(const QDate& from, const QDate& to, int perMonth, int firstNumber = 1);
// Opening balances of the test company on 01/01/2025.
Balances openingBalances();

// A book of the test company for [start, end] with those entries and
// closings, starting from `initial`.
Book book(const QString& file, const QDate& start, const QDate& end, const Balances& initial,
          const QList<Ent>& entries, const QList<QDate>& closings = {});

// Codes used by the tests.
extern const QString kCash, kBank, kSuppliers, kCapital, kRetained, kSales, kExpenses, kRent,
    kAssessment, kCentreA, kCentreB;

} // namespace ecdtest
