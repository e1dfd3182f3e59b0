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

RemoteResult LocalServer::beginReadSnapshot() {
    if (!snapshot_)
        snapshot_ = std::make_unique<ReadSnapshot>(db_);
    QString error;
    if (!snapshot_->pin(error))
        return RemoteResult::failure(
            RemoteError::Database,
            QStringLiteral("não foi possível abrir uma leitura consistente do banco: %1")
                .arg(error));
    return {};
}

void LocalServer::endReadSnapshot() noexcept {
    if (snapshot_)
        snapshot_->unpin();
}

bool LocalServer::inRun() const {
    return snapshot_ && snapshot_->pinned();
}

RemoteResult LocalServer::call(const QString& method, QList<RemoteArg>& args) {
    const auto is = [&method](const char* name) {
        return method.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is(suite::kBeginReadSnapshot) || is(suite::kEndReadSnapshot)) {
        if (!args.isEmpty())
            return RemoteResult::failure(RemoteError::BadArguments,
                                         QStringLiteral("%1: não leva argumentos").arg(method));
        if (is(suite::kEndReadSnapshot)) {
            endReadSnapshot();
            return {};
        }
        return beginReadSnapshot();
    }
    try {
        if (!methods_)
            methods_ = std::make_unique<detail::Methods>(db_);
        methods_->setSink(sink_);
        if (snapshot_ && snapshot_->expired())
            return RemoteResult::failure(
                RemoteError::Database,
                QStringLiteral("%1: a leitura consistente desta geração foi encerrada (conexão "
                               "ociosa ou erro do banco); gere o arquivo novamente.")
                    .arg(method));
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
