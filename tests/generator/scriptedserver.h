#pragma once
#include "suite/core/remote.h"
#include <QJsonObject>
#include <QStringList>

// A server answering from a case's JSON and recording every call.
//
// answers: { method: [answer, ...] }; an answer is {"rows": [{FIELD: value}]}
// or {"error": {"code": n, "message": text}}, optionally limited by "match"
// (argument texts, null for any) or "call" (the n-th call of that method,
// from 1). The first answer that applies wins; a method without one returns
// no rows. Packets carry the declared fields of the method's dataset.
class ScriptedServer final : public suite::RemoteServer {
public:
    explicit ScriptedServer(QJsonObject answers) : answers_(std::move(answers)) {}
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override;

    QStringList trace; // "method(arg, arg, ...)" per call

    // The run's consistent read, counted apart from the module's methods.
    suite::RemoteResult beginReadSnapshot() override {
        ++readsBegun;
        return {};
    }
    void endReadSnapshot() noexcept override { ++readsEnded; }
    int readsBegun = 0, readsEnded = 0;

    static QString argText(const suite::RemoteArg& a);

private:
    QJsonObject answers_;
    QHash<QString, int> callsOf_;
};
