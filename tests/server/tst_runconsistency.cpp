// A generation run reads one state of the books while someone else posts
// entries: every file it writes must balance, on either database, in
// process (--banco) and through the socket server.
#include "cli/gerar.h"
#include "db/dbgeral.h"
#include "server/demo.h"
#include "server/localserver.h"
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include "testdb.h"
#include "validator/validar.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>

using suite::RemoteArg;
using Args = QList<RemoteArg>;

namespace {

// Posts balanced two-posting entries across the demo year, one committed
// transaction each, until told to stop.
class Poster {
public:
    explicit Poster(QString url) : url_(std::move(url)) {}
    ~Poster() { stop(); }
    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int posted() const { return posted_; }
    QString error() const { return error_; }

private:
    void run() {
        const QString name = QStringLiteral("poster");
        {
            QSqlDatabase db = db::open(url_, name);
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT CDCONTCTBL FROM CONTCTBL WHERE IDTIPOCONT = 'A'"
                                  " ORDER BY CDCONTCTBL"));
            QStringList accounts;
            while (q.next())
                accounts << q.value(0).toString();
            q.finish();
            // Each poster numbers its entries apart from the ones before.
            static std::atomic<qint64> base{900000000};
            qint64 number = base.fetch_add(10000000);
            for (int i = 0; !stop_ && accounts.size() > 1; ++i) {
                const QDate day = QDate(2025, 1 + i % 12, 1 + i % 28);
                const qint64 cents = 1000 + i;
                const QString debit = accounts[i % accounts.size()];
                const QString credit = accounts[(i * 7 + 1) % accounts.size()];
                if (!db.transaction() || !post(db, ++number, day, debit, credit, cents) ||
                    !db.commit()) {
                    if (error_.isEmpty())
                        error_ = db.lastError().text();
                    db.rollback();
                    break;
                }
                ++posted_;
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        }
        QSqlDatabase::removeDatabase(name);
    }
    bool post(QSqlDatabase& db, qint64 number, const QDate& day, const QString& debit,
              const QString& credit, qint64 cents) {
        QSqlQuery e(db);
        e.prepare(QStringLiteral("INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT,"
                                 " IDENCERR) VALUES ('01', ?, ?, 'N')"));
        e.addBindValue(number);
        e.addBindValue(day);
        if (!e.exec()) {
            error_ = e.lastError().text();
            return false;
        }
        QSqlQuery p(db);
        p.prepare(
            QStringLiteral("INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC,"
                           " DTLANCCONT, CDCONTCTBL, CDDOCUCONT, DSHISTLANC, VRLANCAMENT,"
                           " IDNATLANC) VALUES ('01', ?, ?, ?, ?, 'X', 'concorrente', ?, ?)"));
        int seq = 0;
        for (const auto& [account, side] : {std::pair{debit, "D"}, std::pair{credit, "C"}}) {
            p.addBindValue(number);
            p.addBindValue(++seq);
            p.addBindValue(day);
            p.addBindValue(account);
            p.addBindValue(cents);
            p.addBindValue(QString::fromLatin1(side));
            if (!p.exec()) {
                error_ = p.lastError().text();
                return false;
            }
        }
        return true;
    }

    QString url_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> posted_{0};
    QString error_;
};

QString nameVia(suite::RemoteServer& srv) {
    Args a{RemoteArg::text("01"), RemoteArg::date(QDate(2025, 1, 1)),
           RemoteArg::date(QDate(2025, 12, 31))};
    const suite::RemoteResult r = srv.call(QStringLiteral("GetIdContrib"), a);
    return r.ok() ? r.packet.rows.value(0, 0).toString() : QStringLiteral("falha: ") + r.message;
}

} // namespace

class TestRunConsistency : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-runconsistency");
    QSqlDatabase db;
    QTemporaryDir tmp;

    void rename(const QString& name) {
        QSqlQuery q(db);
        QVERIFY(
            q.prepare(QStringLiteral("UPDATE EMPRESA SET NMRAZSOCEMPR = ? WHERE CDEMPRESA = ?")));
        q.addBindValue(name);
        q.addBindValue(QStringLiteral("01"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

    // Runs gerar with extra arguments and checks the file it wrote.
    void runAndValidate(const QStringList& where, const QString& file) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const QStringList args = QStringList{"--empresa", "01",         "--inicio",    "01/01/2025",
                                             "--fim",     "31/12/2025", "--apuracao",  "31/12/2025",
                                             "--saida",   file,         "--silencioso"} +
                                 where;
        const int status = cli::runGerar(args, out, err);
        err.flush();
        QVERIFY2(status == cli::ExitOk, qPrintable(errText));
        QString vOut, vErr;
        QTextStream vo(&vOut), ve(&vErr);
        const int v = validator::runValidar({file}, vo, ve);
        vo.flush();
        QVERIFY2(v == validator::ExitOk, qPrintable(file + QStringLiteral(": ") + vOut + vErr));
    }

private slots:
    void initTestCase() {
        suite::config();
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        db = srvtest::openFresh(conn);
        server::makeDemo(db, 3000);
    }
    void cleanupTestCase() {
        db = QSqlDatabase();
        srvtest::dropAll(conn);
    }

    void filesBalanceWhileEntriesArePosted_data() {
        QTest::addColumn<bool>("socket");
        QTest::newRow("in process") << false;
        QTest::newRow("socket server") << true;
    }
    void filesBalanceWhileEntriesArePosted() {
        QFETCH(bool, socket);
        server::SocketServerOptions opt;
        opt.databaseUrl = srvtest::urlOf(conn);
        opt.port = 0;
        server::SocketServer srv(opt);
        QStringList where{"--banco", srvtest::urlOf(conn)};
        if (socket) {
            QString error;
            QVERIFY2(srv.start(error), qPrintable(error));
            where = {"--servidor", QStringLiteral("127.0.0.1:%1").arg(srv.port())};
        }
        Poster poster(srvtest::urlOf(conn));
        poster.start();
        for (int i = 0; i < 4; ++i)
            runAndValidate(where, tmp.filePath(QStringLiteral("run-%1-%2.txt").arg(socket).arg(i)));
        poster.stop();
        QVERIFY2(poster.error().isEmpty(), qPrintable(poster.error()));
        QVERIFY(poster.posted() > 0);
    }

    // A run's read is not renewed however long the run lasts, and ends
    // with the run.
    void runReadIsHeldUntilItsEnd() {
        rename(QStringLiteral("Antes"));
        server::LocalServer srv(srvtest::urlOf(conn), QStringLiteral("run-held"));
        QVERIFY(srv.beginReadSnapshot().ok());
        QCOMPARE(nameVia(srv), QStringLiteral("Antes"));
        rename(QStringLiteral("Depois"));
        // Past the age at which a burst's read is renewed.
        QTest::qWait(2200);
        QCOMPARE(nameVia(srv), QStringLiteral("Antes"));
        srv.endReadSnapshot();
        QCOMPARE(nameVia(srv), QStringLiteral("Depois"));
    }

    // A run whose connection went idle has lost its read: its next call
    // fails instead of reading another state; a new run starts afresh.
    void idleRunFailsItsNextCall() {
        server::SocketServerOptions opt;
        opt.databaseUrl = srvtest::urlOf(conn);
        opt.port = 0;
        opt.runIdleMs = 100;
        server::SocketServer srv(opt);
        QString error;
        QVERIFY2(srv.start(error), qPrintable(error));
        suite::TNetConnection net(QStringLiteral("KLT40500.rdmGerArqPrev"));
        net.SetHost(QStringLiteral("127.0.0.1"));
        net.SetPort(srv.port());
        suite::RemoteServer& remote = net.AppServer();
        QVERIFY(remote.beginReadSnapshot().ok());
        QVERIFY(!nameVia(remote).startsWith(QStringLiteral("falha")));
        QTest::qWait(400);
        const QString lost = nameVia(remote);
        QVERIFY2(lost.contains(QStringLiteral("leitura consistente")), qPrintable(lost));
        remote.endReadSnapshot();
        QVERIFY(!nameVia(remote).startsWith(QStringLiteral("falha")));
        QVERIFY(remote.beginReadSnapshot().ok());
        QVERIFY(!nameVia(remote).startsWith(QStringLiteral("falha")));
        remote.endReadSnapshot();
    }
};

QTEST_GUILESS_MAIN(TestRunConsistency)
#include "tst_runconsistency.moc"
