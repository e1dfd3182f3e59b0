#pragma once
#include <QSqlDatabase>

namespace server {

// Fills an empty, migrated database with the demonstration company "01":
// a five-level chart covering every nature, ten cost centres, opening
// balances carried from 2024, a year (2025) of balanced entries with about
// `postings` postings (0 picks a small default), cost centres on the result
// postings, the closing entries of 31/12/2025, the accountant, the software
// supplier and the account-code pictures. The same arguments give the same
// data. One transaction; std::runtime_error when the database already holds
// a company or a chart, or on any database error (nothing is kept then).
void makeDemo(QSqlDatabase& db, int postings);

// The default size of the demonstration ledger.
inline constexpr int kDemoPostings = 3000;

// Check digits appended to the first twelve digits of a CNPJ and to the first
// nine of a CPF.
QString withCnpjDigits(const QString& base12);
QString withCpfDigits(const QString& base9);

} // namespace server
