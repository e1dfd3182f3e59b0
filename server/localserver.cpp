#include "server/localserver.h"
#include "db/dbgeral.h"
#include "server/methods.h"
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
    : db_(db::open(url, connectionName)), owned_(connectionName) {
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
        RemoteResult r;
        r.packet = methods_->run(method, args);
        for (const RemoteArg& a : args)
            if (a.byRef && a.kind == RemoteArg::Kind::Text)
                r.byRef.append(a.value.toString());
        return r;
    } catch (const detail::MethodError& e) {
        return RemoteResult::failure(e.code, e.message);
    } catch (const std::exception& e) {
        return RemoteResult::failure(
            RemoteError::Internal,
            QStringLiteral("%1: %2").arg(method, QString::fromUtf8(e.what())));
    } catch (...) {
        return RemoteResult::failure(RemoteError::Internal,
                                     QStringLiteral("%1: erro interno").arg(method));
    }
}

void LocalServer::setRowSink(RowSink* sink) {
    sink_ = sink;
}

QStringList methodNames() {
    return {QStringLiteral("getsaldmens"),     QStringLiteral("GetLancCont"),
            QStringLiteral("GetIdContrib"),    QStringLiteral("GetDadosCont"),
            QStringLiteral("GetDadosTecEmpr"), QStringLiteral("GetPlanContas"),
            QStringLiteral("GetCentrCust"),    QStringLiteral("GetSaldAntEnc"),
            QStringLiteral("getcreddeb"),      QStringLiteral("GetCcLanc")};
}

} // namespace server
