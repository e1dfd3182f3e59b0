#pragma once
#include "suite/core/remote.h"
#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <memory>
#include <optional>
#include <unordered_map>

namespace remote {
struct MethodDecl;
}

// The module's methods over one connection. Internal to the server library:
// LocalServer is the way in.
namespace server {
class RowSink;
}

namespace server::detail {

// A failed call: the code and text that go back to the caller.
struct MethodError {
    suite::RemoteError code;
    QString message;
};

class Methods {
public:
    explicit Methods(QSqlDatabase& db) : db_(db) {}

    // Where a long result's rows go while it is read (none: all stay in the
    // packet).
    void setSink(RowSink* sink) { sink_ = sink; }

    // Runs the method declared by decl (null, or a session call: an unknown
    // method, named as the caller spelt it); throws MethodError. args may be
    // updated (by-reference texts).
    suite::DataPacket run(const remote::MethodDecl* decl, const QString& method,
                          QList<suite::RemoteArg>& args);

private:
    suite::DataPacket getsaldmens(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetLancCont(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetIdContrib(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetDadosCont(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetDadosTecEmpr(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetPlanContas(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetCentrCust(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetSaldAntEnc(const QList<suite::RemoteArg>& a);
    suite::DataPacket getcreddeb(const QList<suite::RemoteArg>& a);
    suite::DataPacket GetCcLanc(const QList<suite::RemoteArg>& a);

    // A statement prepared once per connection and reused: the per-row
    // methods run thousands of times in one generation.
    QSqlQuery& query(const QString& sql, const QVariantList& binds);
    void requireCompany(const QString& company);

    // The company and the period that open a method's arguments, checked:
    // a period the server takes, a company on file (MethodError otherwise).
    struct Period {
        QString company;
        QDate start, end;
    };
    Period period(const QList<suite::RemoteArg>& a);
    // An empty result with the method's declared fields.
    suite::DataPacket packet() const;
    // Every row of the statement with each column as text, then `tail`.
    suite::DataPacket textRows(const QString& sql, const QVariantList& binds,
                               const QVariantList& tail = {});
    // Signed balance (debit positive, cents) of an account at the end of day;
    // nullopt when the account is not in the chart. Checks the company in the
    // same statement (MethodError NotFound).
    std::optional<qint64> balanceAt(const QString& company, const QString& account,
                                    const QDate& day);

    // Hands the rows read so far to the sink once they make a part.
    void offer(suite::DataPacket& p);

    QSqlDatabase& db_;
    RowSink* sink_ = nullptr;
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> prepared_;
    QString method_;
};

// "D" for a debit balance, "C" for a credit or zero one.
QString sideOf(qint64 signedCents);

} // namespace server::detail
