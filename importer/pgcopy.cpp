#include "importer/pgcopy.h"
#include <QDate>
#include <QSqlDriver>
#include <libpq-fe.h>

namespace importer {
namespace {

// What COPY's text format needs of a value: its escapes.
void appendEscaped(QByteArray& out, const QByteArray& utf8) {
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

QString lastError(PGconn* conn) {
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

} // namespace

CopyIn::CopyIn(QSqlDatabase& db, const QString& table, const QStringList& columns)
    : conn_(nullptr), table_(table), width_(static_cast<int>(columns.size())) {
    const QVariant handle = db.driver()->handle();
    // The driver names the handle's type after the struct behind the typedef.
    const char* type = handle.isValid() ? handle.typeName() : "";
    if (qstrcmp(type, "pg_conn*") == 0 || qstrcmp(type, "PGconn*") == 0)
        conn_ = *static_cast<PGconn* const*>(handle.data());
    if (!conn_)
        throw DatabaseError(
            QStringLiteral("%1: a conexão não é PostgreSQL").arg(table).toStdString());
    command_ = QStringLiteral("COPY %1 (%2) FROM STDIN")
                   .arg(table, columns.join(QStringLiteral(", ")))
                   .toUtf8();
}

void CopyIn::appendValue(QByteArray& out, const QVariant& v) {
    if (v.isNull()) {
        out += "\\N";
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::QDate:
        out += v.toDate().toString(Qt::ISODate).toLatin1();
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QByteArray::number(v.toLongLong());
        break;
    default:
        appendEscaped(out, v.toString().toUtf8());
    }
}

void CopyIn::add(const QVariantList& row) {
    for (int i = 0; i < width_; ++i) {
        if (i > 0)
            pending_ += '\t';
        appendValue(pending_, row.value(i));
    }
    pending_ += '\n';
    ++rows_;
}

void CopyIn::flush() {
    if (rows_ == 0)
        return;
    // Results a forward-only query left unread would keep the connection
    // busy; none is wanted by the time rows go in.
    while (PGresult* left = PQgetResult(conn_))
        PQclear(left);
    PGresult* start = PQexec(conn_, command_.constData());
    const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
    PQclear(start);
    if (!copying)
        throw DatabaseError(QStringLiteral("%1: %2").arg(table_, lastError(conn_)).toStdString());
    // COPY itself takes the rows in pieces of any size; one call per
    // megabyte keeps libpq's buffer small.
    constexpr qsizetype kPiece = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < pending_.size(); at += kPiece) {
        const int n = static_cast<int>(std::min(kPiece, pending_.size() - at));
        sent = PQputCopyData(conn_, pending_.constData() + at, n) == 1;
    }
    const bool ended = PQputCopyEnd(conn_, sent ? nullptr : "envio interrompido") == 1;
    QString failure;
    while (PGresult* r = PQgetResult(conn_)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK && failure.isEmpty())
            failure = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
    }
    if (failure.isEmpty() && (!sent || !ended))
        failure = lastError(conn_);
    if (!failure.isEmpty())
        throw DatabaseError(QStringLiteral("%1: %2").arg(table_, failure).toStdString());
    written_ += rows_;
    rows_ = 0;
    pending_.clear();
}

} // namespace importer
