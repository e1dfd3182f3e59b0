#include "server/localserver.h"
#include "db/dbgeral.h"
#include "interfaces/remotemethods.h"
#include "server/methods.h"
#include "server/readsnapshot.h"
#include <exception>
#include <memory>

namespace server {

using suite::RemoteArg;
using suite::RemoteError;
using suite::RemoteResult;

class LocalServer::CountingSink final : public RowSink {
public:
    RowSink* target = nullptr;
    qint64 taken = 0;
    void take(const QList<suite::FieldDef>& fields, suite::RowSet& rows) override {
        ++taken;
        target->take(fields, rows);
    }
    qsizetype partBytes() const override { return target->partBytes(); }
};

LocalServer::LocalServer(const QSqlDatabase& db)
    : db_(db), counting_(std::make_unique<CountingSink>()) {
    db::applyMigrations(db_);
}

LocalServer::LocalServer(const QString& url, const QString& connectionName)
    : db_(db::open(url, connectionName)), owned_(connectionName), url_(url),
      counting_(std::make_unique<CountingSink>()), snapshots_(true) {
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
    const remote::MethodDecl* decl = remote::find(method);
    if (decl && decl->session != remote::Session::None) {
        if (!args.isEmpty())
            return RemoteResult::failure(RemoteError::BadArguments,
                                         QStringLiteral("%1: não leva argumentos").arg(method));
        if (decl->session == remote::Session::EndRead) {
            endReadSnapshot();
            return {};
        }
        return beginReadSnapshot();
    }
    // A connection the database dropped (a restart, an idle cut) fails its
    // call with a database error: outside a run, and when nothing of the
    // reply has gone out yet, the call is made once more on a new one.
    counting_->taken = 0;
    RemoteResult r = attempt(decl, method, args);
    if (r.error == RemoteError::Database && !owned_.isEmpty() && !inRun() &&
        counting_->taken == 0 && reopen())
        r = attempt(decl, method, args);
    return r;
}

RemoteResult LocalServer::attempt(const remote::MethodDecl* decl, const QString& method,
                                  QList<RemoteArg>& args) {
    try {
        if (!methods_)
            methods_ = std::make_unique<detail::Methods>(db_);
        counting_->target = sink_;
        methods_->setSink(sink_ ? counting_.get() : nullptr);
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
        r.packet = methods_->run(decl, method, args);
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

bool LocalServer::reopen() {
    snapshot_.reset();
    methods_.reset();
    db_.close();
    db_ = QSqlDatabase();
    try {
        db_ = db::open(url_, owned_);
        return true;
    } catch (const std::exception&) {
        return false;
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

} // namespace server
