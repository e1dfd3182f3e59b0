#include "config.h"
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <optional>
#include <thread>

namespace suite {
namespace {
std::optional<Config>& stored() {
    static std::optional<Config> c;
    return c;
}

QString env(const char* name) {
    return qEnvironmentVariable(name);
}
} // namespace

QString Config::defaultDatabase() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/gerarqprev/gerarqprev.db");
}

Config Config::load() {
    Config c;
    c.database = defaultDatabase();
    QString file = env("GERARQPREV_CONFIG");
    if (file.isEmpty()) {
        QString base = env("XDG_CONFIG_HOME");
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.config");
        file = base + QStringLiteral("/gerarqprev/gerarqprev.ini");
    }
    if (QFile::exists(file)) {
        QSettings s(file, QSettings::IniFormat);
        // An entry left empty means the default, as an empty variable does.
        const auto text = [&s](const char* key, const QString& fallback) {
            const QString v = s.value(QString::fromLatin1(key)).toString().trimmed();
            return v.isEmpty() ? fallback : v;
        };
        const auto number = [&](const char* key, int fallback) {
            bool ok = false;
            const int v = text(key, QString()).toInt(&ok);
            return ok ? v : fallback;
        };
        c.host = text("servidor/host", c.host);
        c.port = number("servidor/porta", c.port);
        if (c.port < 1 || c.port > 65535)
            c.port = Config{}.port;
        c.token = text("servidor/token", c.token);
        c.unixSocket = text("servidor/socket", c.unixSocket);
        c.timeoutMs = number("servidor/timeout_ms", c.timeoutMs);
        c.database = text("banco/url", c.database);
        c.logLevel = text("log/nivel", c.logLevel);
        c.spinUs = number("servidor/espera_ativa_us", c.spinUs);
    }
    if (!env("GERARQPREV_HOST").isEmpty())
        c.host = env("GERARQPREV_HOST");
    if (!env("GERARQPREV_PORT").isEmpty()) {
        bool ok = false;
        const int p = env("GERARQPREV_PORT").toInt(&ok);
        if (ok && p > 0 && p < 65536)
            c.port = p;
    }
    if (!env("GERARQPREV_DATABASE").isEmpty())
        c.database = env("GERARQPREV_DATABASE");
    if (qEnvironmentVariableIsSet("GERARQPREV_TOKEN"))
        c.token = env("GERARQPREV_TOKEN");
    if (!env("GERARQPREV_SOCKET").isEmpty())
        c.unixSocket = env("GERARQPREV_SOCKET");
    if (!env("GERARQPREV_LOG").isEmpty())
        c.logLevel = env("GERARQPREV_LOG");
    if (!env("GERARQPREV_TIMEOUT_MS").isEmpty())
        c.timeoutMs = env("GERARQPREV_TIMEOUT_MS").toInt();
    if (c.timeoutMs <= 0)
        c.timeoutMs = 30000;
    if (!env("GERARQPREV_SPIN_US").isEmpty()) {
        bool ok = false;
        const int us = env("GERARQPREV_SPIN_US").toInt(&ok);
        if (ok)
            c.spinUs = us;
    }
    // More than a millisecond of spinning is never cheaper than sleeping.
    c.spinUs = c.spinUs < 0 ? defaultSpinMicroseconds() : std::min(c.spinUs, 1000);
    return c;
}

int defaultSpinMicroseconds() {
    return std::thread::hardware_concurrency() > 1 ? 200 : 0;
}

const Config& config() {
    if (!stored())
        stored() = Config::load();
    return *stored();
}

void setConfig(const Config& c) {
    stored() = c;
}

QString WebURL() {
    return config().host;
}
int WebPort() {
    return config().port;
}

} // namespace suite
