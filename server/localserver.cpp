#include "server/localserver.h"
#include "db/dbgeral.h"
#include "server/methods.h"
#include "server/readsnapshot.h"
#include <exception>
#include <memory>

namespace server {

using suite::RemoteArg;
using suite::RemoteError;
using suite::RemoteResult;

LocalServer::LocalServer(QSqlDatabase db) : db_(std::move(db)) {
    db::applyMigrations(db_);
}

LocalServer::LocalServer(const QString& url, const QString& connectionName)
    : db_(db::open(url, connectionName)), owned_(connectionName), snapshots_(true) {
    try {
        db::applyMigrations(db_);
    } catch (...) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(owned_);
        throw;
    }
}

LocalServer::~LocalServer() {
    snapshot_.reset();
    methods_.reset();
    if (!owned_.isEmpty()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(owned_);
    }
}

RemoteResult LocalServer::call(const QString& method, QList<RemoteArg>& args) {
    try {
        if (!methods_)
            methods_ = std::make_unique<detail::Methods>(db_);
        methods_->setSink(sink_);
        if (snapshots_) {
            if (!snapshot_)
                snapshot_ = std::make_unique<ReadSnapshot>(db_);
            snapshot_->enter();
        }
        RemoteResult r;
        r.packet = methods_->run(method, args);
        for (const RemoteArg& a : args)
            if (a.byRef && a.kind == RemoteArg::Kind::Text)
                r.byRef.append(a.value.toString());
        return r;
    } catch (const detail::MethodError& e) {
        // A database error may have ended the transaction underneath.
        if (e.code == RemoteError::Database)
            endSnapshot();
        return RemoteResult::failure(e.code, e.message);
    } catch (const std::exception& e) {
        endSnapshot();
        return RemoteResult::failure(
            RemoteError::Internal,
            QStringLiteral("%1: %2").arg(method, QString::fromUtf8(e.what())));
    } catch (...) {
        endSnapshot();
        return RemoteResult::failure(RemoteError::Internal,
                                     QStringLiteral("%1: erro interno").arg(method));
    }
}

void LocalServer::setRowSink(RowSink* sink) {
    sink_ = sink;
}

void LocalServer::setSnapshots(bool on) {
    if (!on)
        endSnapshot();
    snapshots_ = on;
}

bool LocalServer::inSnapshot() const {
    return snapshot_ && snapshot_->held();
}

void LocalServer::endSnapshot() {
    if (snapshot_)
        snapshot_->end();
}

QStringList methodNames() {
    return {QStringLiteral("getsaldmens"),     QStringLiteral("GetLancCont"),
            QStringLiteral("GetIdContrib"),    QStringLiteral("GetDadosCont"),
            QStringLiteral("GetDadosTecEmpr"), QStringLiteral("GetPlanContas"),
            QStringLiteral("GetCentrCust"),    QStringLiteral("GetSaldAntEnc"),
            QStringLiteral("getcreddeb"),      QStringLiteral("GetCcLanc")};
}

} // namespace server
