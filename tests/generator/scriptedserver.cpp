#include "scriptedserver.h"
#include "interfaces/remotemethods.h"
#include <QJsonArray>

namespace {
QVariant valueOf(const QJsonValue& v, suite::FieldType type) {
    if (v.isNull() || v.isUndefined())
        return {};
    switch (type) {
    case suite::FieldType::String:
        return v.toString();
    case suite::FieldType::Float:
        return v.toDouble();
    case suite::FieldType::Integer:
        return qint64(v.toInteger());
    case suite::FieldType::DateTime:
        return QDateTime(QDate::fromString(v.toString(), "dd/MM/yyyy"), QTime(0, 0));
    }
    return {};
}
} // namespace

QString ScriptedServer::argText(const suite::RemoteArg& a) {
    switch (a.kind) {
    case suite::RemoteArg::Kind::Text:
        return a.value.toString();
    case suite::RemoteArg::Kind::Date:
        return a.value.toDate().toString("dd/MM/yyyy");
    case suite::RemoteArg::Kind::Float:
        return QString::number(a.value.toDouble(), 'g', 15);
    case suite::RemoteArg::Kind::Integer:
        return QString::number(a.value.toLongLong());
    case suite::RemoteArg::Kind::Null:
        return "null";
    }
    return {};
}

suite::RemoteResult ScriptedServer::call(const QString& method, QList<suite::RemoteArg>& args) {
    QStringList texts;
    for (const auto& a : args)
        texts << argText(a);
    trace << method + "(" + texts.join(", ") + ")";
    const int n = ++callsOf_[method];

    const remote::MethodDecl* decl = remote::find(method);
    if (!decl || method != QLatin1String(decl->name))
        return suite::RemoteResult::failure(suite::RemoteError::UnknownMethod, method);
    suite::RemoteResult result;
    result.packet.fields = remote::packetFields(decl->fields);
    for (const auto& a : args)
        if (a.byRef)
            result.byRef << a.value.toString();

    for (const auto& av : answers_.value(method).toArray()) {
        const QJsonObject answer = av.toObject();
        if (answer.contains("call") && answer.value("call").toInt() != n)
            continue;
        if (answer.contains("match")) {
            const QJsonArray m = answer.value("match").toArray();
            bool ok = true;
            for (qsizetype i = 0; i < m.size() && ok; ++i)
                if (!m[i].isNull() && (i >= texts.size() || m[i].toString() != texts[i]))
                    ok = false;
            if (!ok)
                continue;
        }
        if (answer.contains("error")) {
            const QJsonObject e = answer.value("error").toObject();
            return suite::RemoteResult::failure(
                static_cast<suite::RemoteError>(e.value("code").toInt(8)),
                e.value("message").toString());
        }
        for (const auto& rv : answer.value("rows").toArray()) {
            const QJsonObject row = rv.toObject();
            QVariantList values;
            for (const auto& f : result.packet.fields)
                values << valueOf(row.value(f.name), f.type);
            result.packet.rows.append(values);
        }
        break;
    }
    return result;
}
