// The screen and the command line write the same bytes for the same
// parameters against the application server's methods on the demo data.
#include "cli/gerar.h"
#include "db/dbgeral.h"
#include "formdriver.h"
#include "screen/formrunhost.h"
#include "screen/frmgerarqprev.h"
#include "server/demo.h"
#include "server/localserver.h"
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/widgets/scriptedpresenter.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The socket server on a free loopback port, listening from its own thread.
class ServerThread : public QThread {
public:
    explicit ServerThread(QString url) : url_(std::move(url)) {
        start();
        while (!ready_.load())
            QThread::yieldCurrentThread();
    }
    ~ServerThread() override {
        quit();
        wait();
    }
    int port() const { return port_.load(); }

protected:
    void run() override {
        server::SocketServerOptions o;
        o.databaseUrl = url_;
        o.port = 0;
        server::SocketServer srv(o);
        QString why;
        if (srv.start(why))
            port_ = srv.port();
        ready_ = true;
        if (port_.load())
            exec();
    }

private:
    QString url_;
    std::atomic<int> port_{0};
    std::atomic<bool> ready_{false};
};
} // namespace

class TstScreenDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameBytes_data();
    void sameBytes();
    void overTheFormsConnection();

private:
    QTemporaryDir dir_;
    QString dbPath_;
};

void TstScreenDemo::initTestCase() {
    QVERIFY(dir_.isValid());
    useNoAppServer(dir_.path());
    dbPath_ = dir_.filePath("demo.db");
    {
        QSqlDatabase d = db::open(dbPath_, "demo-setup");
        db::applyMigrations(d);
        server::makeDemo(d, 0);
        d.close();
    }
    QSqlDatabase::removeDatabase("demo-setup");
    // The form's company look-up reads the same database.
    db::dtmDBGeral::connectTo(dbPath_);
}

void TstScreenDemo::sameBytes_data() {
    const QStringList common = {"--empresa",       "01",         "--inicio",     "01/01/2025",
                                "--fim",           "31/12/2025", "--apuracao",   "31/12/2025",
                                "--contab-inicio", "01/01/2025", "--contab-fim", "31/12/2025",
                                "--info-inicio",   "01/01/2025", "--info-fim",   "31/12/2025",
                                "--cargo",         "Contador"};
    QTest::addColumn<QStringList>("args");
    QTest::newRow("year, defaults") << common;
    QTest::newRow("one quarter, identifiers, centralising")
        << (QStringList(common) << "--fim"
                                << "31/03/2025"
                                << "--centralizacao"
                                << "1"
                                << "--finalidade"
                                << "61"
                                << "--cpf"
                                << "529.982.247-25"
                                << "--cei"
                                << "123"
                                << "--nit"
                                << "456"
                                << "--suframa"
                                << "789");
}

void TstScreenDemo::sameBytes() {
    QFETCH(QStringList, args);
    // The last of a repeated option counts, as on the command line.
    QTemporaryDir out;
    const QString fromCli = out.filePath("cli.txt");
    const QString fromScreen = out.filePath("tela.txt");

    QString outText, errText;
    QTextStream cout(&outText), cerr(&errText);
    QStringList cliArgs = args;
    cliArgs << "--banco" << dbPath_ << "--saida" << fromCli << "--silencioso";
    QCOMPARE(cli::runGerar(cliArgs, cout, cerr), int(cli::ExitOk));

    server::LocalServer local(dbPath_, "demo-screen");
    TfrmGerArqPrev form;
    setFormRemoteServer(form, &local);
    fillForm(form, args, fromScreen);
    suite::ScriptedPresenter presenter;
    form.sbtConfirma->click();
    QCOMPARE(presenter.texts().value(0), QString("Arquivo gerado com sucesso."));

    const QByteArray a = readAll(fromCli);
    const QByteArray b = readAll(fromScreen);
    QVERIFY(a.size() > 1000);
    QVERIFY(a.endsWith("\r\n"));
    QCOMPARE(b.size(), a.size());
    QVERIFY(a == b);
}

// No stand-in: the form connects at creation to the configured server, here
// the socket server on loopback, and the run calls it through NetGerArqPrev.
void TstScreenDemo::overTheFormsConnection() {
    ServerThread srv(dbPath_);
    QVERIFY(srv.port() > 0);
    const suite::Config saved = suite::config();
    suite::Config c = saved;
    c.unixSocket.clear();
    c.host = "127.0.0.1";
    c.port = srv.port();
    c.token.clear();
    c.timeoutMs = 30000;
    suite::setConfig(c);

    QTemporaryDir out;
    const QStringList args = {"--empresa", "01",         "--inicio",   "01/04/2025",
                              "--fim",     "30/06/2025", "--apuracao", "30/06/2025"};
    QString outText, errText;
    QTextStream cout(&outText), cerr(&errText);
    QCOMPARE(cli::runGerar(args + QStringList{"--banco", dbPath_, "--saida",
                                              out.filePath("cli.txt"), "--silencioso"},
                           cout, cerr),
             int(cli::ExitOk));
    {
        TfrmGerArqPrev form;
        QVERIFY(form.NetGerArqPrev.Connected());
        fillForm(form, args, out.filePath("tela.txt"));
        suite::ScriptedPresenter presenter;
        form.sbtConfirma->click();
        QCOMPARE(presenter.texts().value(0), QString("Arquivo gerado com sucesso."));
    }
    suite::setConfig(saved);
    const QByteArray a = readAll(out.filePath("cli.txt"));
    QVERIFY(a.size() > 1000);
    QVERIFY(a == readAll(out.filePath("tela.txt")));
}

QTEST_MAIN(TstScreenDemo)
#include "tst_screen_demo.moc"
