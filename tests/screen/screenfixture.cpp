#include "screenfixture.h"
#include "db/dbgeral.h"
#include "suite/core/config.h"
#include "suite/net/protocol.h"
#include "tests/rawchannel.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <stdexcept>
#include <vector>

GreetingServer::GreetingServer() {
    start();
    // The port is known once the thread listens; it sets it before anything else.
    while (!ready_.load())
        QThread::yieldCurrentThread();
}

GreetingServer::~GreetingServer() {
    stop_ = true;
    wait();
}

void GreetingServer::useAsAppServer() const {
    suite::Config c = suite::config();
    c.host = QStringLiteral("127.0.0.1");
    c.port = port();
    c.unixSocket.clear();
    c.token.clear();
    c.timeoutMs = 10000;
    suite::setConfig(c);
}

void GreetingServer::run() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    port_ = server.serverPort();
    ready_ = true;
    std::vector<std::unique_ptr<suite::proto::FrameChannel>> open;
    while (!stop_.load()) {
        if (!server.waitForNewConnection(50))
            continue;
        const std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
        auto ch = std::make_unique<suite::proto::FrameChannel>(suite::proto::kMaxRequestFrame);
        QByteArray hello;
        if (!attachSocket(*ch, *s) || ch->read(hello, 5000) != suite::proto::IoStatus::Ok)
            continue;
        ++greetings_;
        ch->write(suite::proto::encodeWelcome(), 5000);
        open.push_back(std::move(ch));
    }
}

namespace {
void exec(QSqlQuery& q, const QString& sql, const QVariantList& values = {}) {
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw std::runtime_error(q.lastError().text().toStdString());
}
} // namespace

void seedDatabase(const QString& dir) {
    db::dtmDBGeral::connectTo(dir + QStringLiteral("/geral.db"));
    QSqlDatabase d = db::dtmDBGeral::dtbGeral();
    QSqlQuery q(d);
    const QString emp =
        QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR) VALUES (?, ?, ?)");
    exec(q, emp, {QStringLiteral("01"), QStringLiteral("Empresa Um"), QStringLiteral("Um S/A")});
    exec(q, emp,
         {QStringLiteral("02"), QStringLiteral("Empresa Dois"), QStringLiteral("Dois Ltda")});
    const QString pict =
        QStringLiteral("INSERT INTO PICTURE (IDTIPOPICT, DSPICTURE) VALUES (?, ?)");
    exec(q, pict, {0, QStringLiteral("9.9.99.999")});
    exec(q, pict, {2, QStringLiteral("9.9.99.999;0;_")});
    const QString conta = QStringLiteral(
        "INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL, IDTIPOCONT, CDCONTANTE,"
        " IDNATCONT, DTATUALIZ) VALUES (?, ?, ?, ?, ?, ?, '2025-01-01')");
    const QVariant none{QMetaType(QMetaType::QString)};
    exec(q, conta,
         {QStringLiteral("4"), QStringLiteral("Resultado"), 1, QStringLiteral("S"), none,
          QStringLiteral("4")});
    exec(q, conta,
         {QStringLiteral("41"), QStringLiteral("Receitas"), 2, QStringLiteral("S"),
          QStringLiteral("4"), QStringLiteral("4")});
    exec(q, conta,
         {QStringLiteral("4101"), QStringLiteral("Vendas"), 3, QStringLiteral("S"),
          QStringLiteral("41"), QStringLiteral("4")});
    exec(q, conta,
         {QStringLiteral("4101002"), QStringLiteral("Serviços"), 4, QStringLiteral("A"),
          QStringLiteral("4101"), QStringLiteral("4")});
    exec(q, conta,
         {QStringLiteral("4101001"), QStringLiteral("Mercadorias"), 4, QStringLiteral("A"),
          QStringLiteral("4101"), QStringLiteral("4")});
}
