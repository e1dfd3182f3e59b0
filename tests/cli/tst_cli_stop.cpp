// The command line stopped by a signal in the middle of a run, and what it
// says when it cannot reach a server.
#include "../generator/scriptedserver.h"
#include "cli/gerar.h"
#include "suite/core/config.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {
const QStringList kBase = {"--empresa", "01",         "--inicio",   "01/01/2025",
                           "--fim",     "31/12/2025", "--apuracao", "31/12/2025"};

// Raises a signal from inside the n-th remote call, as a Ctrl+C would land.
class Signalling final : public suite::RemoteServer {
public:
    Signalling(suite::RemoteServer& inner, int atCall, int sig)
        : inner_(inner), atCall_(atCall), sig_(sig) {}
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override {
        if (++calls == atCall_)
            std::raise(sig_);
        return inner_.call(method, args);
    }
    suite::RemoteResult beginReadSnapshot() override { return inner_.beginReadSnapshot(); }
    void endReadSnapshot() noexcept override { inner_.endReadSnapshot(); }
    int calls = 0;

private:
    suite::RemoteServer& inner_;
    int atCall_;
    int sig_;
};
} // namespace

class TstCliStop : public QObject {
    Q_OBJECT
private slots:
    void stopSignal_data();
    void stopSignal();
    void noServerAtTheDefaultAddress();
};

void TstCliStop::stopSignal_data() {
    QTest::addColumn<int>("sig");
    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TstCliStop::stopSignal() {
    QFETCH(int, sig);
    QTemporaryDir dir;
    const QString dest = dir.filePath("MANAD.txt");
    {
        QFile f(dest);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("anterior\r\n");
    }
    // A journal long enough to be in the middle of it when the signal comes.
    QJsonArray entries;
    for (int i = 1; i <= 50; ++i)
        entries.append(QJsonObject{{"NRLANCCONT", QString::number(i)},
                                   {"DTLANCCONT", "15012025"},
                                   {"CDCONTCTBL", "1.1.01"},
                                   {"VRLANCAMENT", "10,00"},
                                   {"NRSEQLANC", "1"},
                                   {"IDNATLANC", "D"}});
    ScriptedServer scripted(
        QJsonObject{{"GetLancCont", QJsonArray{QJsonObject{{"rows", entries}}}}});
    Signalling server(scripted, 20, sig);

    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    cli::Injected inj;
    inj.server = &server;
    inj.companyExists = [](const QString&) { return true; };
    const int status =
        cli::runGerar(kBase + QStringList{"--saida", dest, "--substituir"}, out, err, inj);
    err.flush();
    QCOMPARE(status, int(cli::ExitCancelled));
    QVERIFY2(errText.contains("Geração cancelada. O arquivo de destino não foi alterado."),
             qPrintable(errText));
    QVERIFY(server.calls < 30);
    QCOMPARE(scripted.readsBegun, scripted.readsEnded);
    QFile f(dest);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("anterior\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"MANAD.txt"});
    // The handler before the run is in place again.
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    QVERIFY(now.sa_handler == before.sa_handler);
}

void TstCliStop::noServerAtTheDefaultAddress() {
    QTemporaryDir dir;
    const suite::Config saved = suite::config();
    suite::Config c = saved;
    c.unixSocket.clear();
    c.host = "127.0.0.1";
    c.port = 1; // nobody listens there
    c.timeoutMs = 2000;
    suite::setConfig(c);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int status =
        cli::runGerar(kBase + QStringList{"--saida", dir.filePath("MANAD.txt")}, out, err);
    err.flush();
    suite::setConfig(saved);
    QCOMPARE(status, int(cli::ExitServer));
    const QStringList lines = errText.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QString("erro: O servidor de aplicação em 127.0.0.1:1 não está "
                                     "respondendo. Verifique se o serviço gerarqprev-server está "
                                     "ativo."));
    QVERIFY2(lines.value(1).startsWith("  detalhe: "), qPrintable(errText));
    QVERIFY2(lines.value(2).contains("--banco"), qPrintable(errText));
    QVERIFY(!QFile::exists(dir.filePath("MANAD.txt")));
}

QTEST_MAIN(TstCliStop)
#include "tst_cli_stop.moc"
