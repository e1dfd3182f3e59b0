#pragma once
#include <QSqlDatabase>
#include <QString>

// Databases for the server's tests: a fresh SQLite file, or, when the test
// runs with GERARQPREV_TEST_BACKEND=pg, a schema of its own in the
// PostgreSQL database of GERARQPREV_TEST_PG_URL.
namespace srvtest {

// Empty when the backend is available; else why it is not (the caller skips).
QString unavailable();
// A migrated, empty database under connection name `name`; at schema
// version upTo when given (0: the newest), to test an upgrade.
QSqlDatabase openFresh(const QString& name, int upTo = 0);
// Drops what openFresh made (the PostgreSQL schema; the file goes with the
// temporary folder).
void dropAll(const QString& name);
// The url openFresh used for `name` (to open more connections to it).
QString urlOf(const QString& name);

// The small hand-built ledger whose expected results the tests spell out.
void buildFixture(QSqlDatabase& db);

} // namespace srvtest
