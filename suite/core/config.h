#pragma once
#include <QString>

namespace suite {

// Settings shared by the screen, the command line and the application server.
// Read once from, in increasing precedence: built-in defaults, the file
// $GERARQPREV_CONFIG or ~/.config/gerarqprev/gerarqprev.ini, then the
// environment (GERARQPREV_HOST, GERARQPREV_PORT, GERARQPREV_DATABASE,
// GERARQPREV_TOKEN, GERARQPREV_SOCKET, GERARQPREV_LOG, GERARQPREV_TIMEOUT_MS,
// GERARQPREV_SPIN_US). See docs/configuration.md.
struct Config {
    QString host = QStringLiteral("127.0.0.1");
    int port = 21150;
    QString database;   // SQLite path or postgresql:// URL; default below
    QString token;      // empty: no authentication
    QString unixSocket; // optional server socket path
    QString logLevel = QStringLiteral("info");
    int timeoutMs = 30000; // a remote call that gets no reply in time fails
    // A read polls this long before it blocks (see FrameChannel::setSpin);
    // 0 turns it off.
    int spinUs = -1; // -1: the machine's default

    static QString defaultDatabase(); // ~/.local/share/gerarqprev/gerarqprev.db
    static Config load();             // defaults, file, environment
};

// The process-wide settings, loaded on first use.
const Config& config();

// How long a read spins by default before it blocks: 0 on a single core,
// where spinning only delays the peer it waits for.
int defaultSpinMicroseconds();
// Replaces them (tests, command-line flags).
void setConfig(const Config& c);

// The application server's host and port.
QString WebURL();
int WebPort();

} // namespace suite
