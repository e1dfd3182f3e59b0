#pragma once
// Running a statement or failing with the database's own message: the one
// way the db module reports a refused statement (inside the module only).
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

namespace db {

[[noreturn]] void fail(const QString& what, const QSqlError& e);

// Without values the statement runs as it is (PostgreSQL prepares no DDL);
// with them it is prepared and bound by position. The query is returned,
// forward only, for the rows it may have.
QSqlQuery run(QSqlDatabase& db, const QString& what, const QString& sql,
              const QVariantList& binds = {});

void runAll(QSqlDatabase& db, const QString& what, const QStringList& statements);

} // namespace db
