#include "db/dbgeral.h"
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <stdexcept>

namespace db {
namespace {

QMutex& providerMutex() {
    static QMutex m;
    return m;
}
std::function<QString()>& provider() {
    static std::function<QString()> p;
    return p;
}

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

bool isPostgresUrl(const QString& url) {
    return url.startsWith(QLatin1String("postgresql://")) ||
           url.startsWith(QLatin1String("postgres://"));
}

QSqlDatabase openPostgres(const QString& text, const QString& name) {
    const QUrl url(text);
    if (!url.isValid() || url.host().isEmpty())
        fail(QStringLiteral("invalid PostgreSQL url: %1")
                 .arg(url.toDisplayString(QUrl::RemovePassword)));
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    d.setHostName(url.host());
    d.setPort(url.port(5432));
    d.setUserName(url.userName());
    d.setPassword(url.password());
    QString dbName = url.path();
    if (dbName.startsWith(QLatin1Char('/')))
        dbName.remove(0, 1);
    d.setDatabaseName(dbName);
    if (!d.open()) {
        const QString err = d.lastError().text();
        d = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        fail(QStringLiteral("cannot open %1: %2")
                 .arg(url.toDisplayString(QUrl::RemovePassword | QUrl::RemoveQuery), err));
    }
    {
        // Notices ("already exists, skipping") are not for the user's eyes.
        QSqlQuery quiet(d);
        quiet.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    }
    const QString schema = QUrlQuery(url).queryItemValue(QStringLiteral("schema"));
    if (!schema.isEmpty()) {
        // An identifier cannot be bound, so only a plain name is let through.
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
        if (!plain.match(schema).hasMatch()) {
            d.close();
            fail(QStringLiteral("invalid schema name in url: %1").arg(schema));
        }
        QSqlQuery q(d);
        if (!q.exec(QStringLiteral("SET search_path TO %1").arg(schema)))
            fail(QStringLiteral("cannot use schema %1: %2").arg(schema, q.lastError().text()));
    }
    return d;
}

QSqlDatabase openSqlite(const QString& path, const QString& name) {
    if (path != QLatin1String(":memory:")) {
        const QFileInfo fi(path);
        if (!QDir().mkpath(fi.absolutePath()))
            fail(QStringLiteral("cannot create the folder of %1").arg(path));
    }
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    d.setDatabaseName(path);
    // Server threads each hold a connection: a writer must not make readers
    // fail at once.
    d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!d.open()) {
        const QString err = d.lastError().text();
        d = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        fail(QStringLiteral("cannot open %1: %2").arg(path, err));
    }
    QSqlQuery q(d);
    q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    if (path != QLatin1String(":memory:"))
        q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    return d;
}

} // namespace

void setDefaultUrlProvider(std::function<QString()> p) {
    QMutexLocker lock(&providerMutex());
    provider() = std::move(p);
}

QString defaultUrl() {
    {
        QMutexLocker lock(&providerMutex());
        if (provider()) {
            QString url = provider()();
            if (!url.isEmpty())
                return url;
        }
    }
    QString env = qEnvironmentVariable("GERARQPREV_DATABASE");
    if (!env.isEmpty())
        return env;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/gerarqprev/gerarqprev.db");
}

QSqlDatabase open(const QString& url, const QString& connectionName) {
    const QString target = url.isEmpty() ? defaultUrl() : url;
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    if (isPostgresUrl(target))
        return openPostgres(target, connectionName);
    QString path = target;
    if (path.startsWith(QLatin1String("sqlite://")))
        path = path.mid(9);
    return openSqlite(path, connectionName);
}

bool isPostgres(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL");
}

QDate dateOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

std::optional<QString> companyName(QSqlDatabase& db, const QString& code) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT NMEMPRESA FROM EMPRESA WHERE CDEMPRESA = ?")))
        throw std::runtime_error(q.lastError().text().toStdString());
    q.addBindValue(code);
    if (!q.exec())
        throw std::runtime_error(q.lastError().text().toStdString());
    if (!q.next())
        return std::nullopt;
    return q.value(0).toString();
}

QString dbPicture(QSqlDatabase& db, int kind) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT DSPICTURE FROM PICTURE WHERE IDTIPOPICT = ?"));
    q.addBindValue(kind);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0).toString();
}

namespace {
const QString kGeral = QStringLiteral("dtbGeral");
}

QSqlDatabase dtmDBGeral::dtbGeral() {
    if (QSqlDatabase::contains(kGeral)) {
        QSqlDatabase d = QSqlDatabase::database(kGeral);
        if (d.isOpen())
            return d;
    }
    connectTo(QString());
    return QSqlDatabase::database(kGeral);
}

void dtmDBGeral::connectTo(const QString& url) {
    close();
    QSqlDatabase d = open(url, kGeral);
    applyMigrations(d);
}

void dtmDBGeral::close() {
    if (!QSqlDatabase::contains(kGeral))
        return;
    {
        QSqlDatabase d = QSqlDatabase::database(kGeral, false);
        d.close();
    }
    QSqlDatabase::removeDatabase(kGeral);
}

} // namespace db
