// The command line's gerar: usage errors, exit statuses, the overwrite rule
// and what it prints.
#include "../generator/scriptedserver.h"
#include "cli/gerar.h"
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QStringList kBase = {"--empresa", "01",         "--inicio",   "01/01/2025",
                           "--fim",     "31/12/2025", "--apuracao", "31/12/2025"};

struct Result {
    int status;
    QString out, err;
};

Result gerar(const QStringList& args, ScriptedServer& server) {
    Result r;
    QTextStream out(&r.out), err(&r.err);
    cli::Injected inj;
    inj.server = &server;
    inj.companyExists = [](const QString& c) { return c == "01"; };
    r.status = cli::runGerar(args, out, err, inj);
    out.flush();
    err.flush();
    return r;
}
} // namespace

class TstCli : public QObject {
    Q_OBJECT
private slots:
    void exitStatus_data();
    void exitStatus();
    void existingFileNeedsSubstituir();
    void plainAndSilentOutput();
    void unknownCommand();
};

void TstCli::exitStatus_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("ok") << kBase << int(cli::ExitOk) << "";
    QTest::newRow("unknown option")
        << kBase + QStringList{"--cor", "azul"} << int(cli::ExitUsage) << "opção desconhecida";
    QTest::newRow("missing value")
        << kBase + QStringList{"--cpf"} << int(cli::ExitUsage) << "falta o valor";
    QTest::newRow("bad purpose") << kBase + QStringList{"--finalidade", "63"} << int(cli::ExitUsage)
                                 << "--finalidade";
    QTest::newRow("one digit company padded")
        << QStringList(kBase).replaceInStrings(QRegularExpression("^01$"), "1") << int(cli::ExitOk)
        << "";
    QTest::newRow("unknown company")
        << QStringList(kBase).replaceInStrings(QRegularExpression("^01$"), "02")
        << int(cli::ExitCheck) << "Empresa não cadastrada.";
    QTest::newRow("bad date") << QStringList(kBase).replaceInStrings("31/12/2025", "31/02/2025")
                              << int(cli::ExitCheck) << "Data final deve ser informada";
    QTest::newRow("period reversed")
        << QStringList{"--empresa", "01",         "--inicio",   "01/06/2025",
                       "--fim",     "01/01/2025", "--apuracao", "31/12/2025"}
        << int(cli::ExitCheck) << "Data inicial deve ser menor ou igual a data final.";
}

void TstCli::exitStatus() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    ScriptedServer server({});
    const Result r = gerar(args + QStringList{"--saida", tmp.filePath("a.txt")}, server);
    QVERIFY2(r.status == status, qPrintable(r.err));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(QFile::exists(tmp.filePath("a.txt")), status == cli::ExitOk);
}

void TstCli::existingFileNeedsSubstituir() {
    QTemporaryDir tmp;
    const QString dest = tmp.filePath("a.txt");
    QFile f(dest);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("antigo");
    f.close();
    ScriptedServer server({});
    Result r = gerar(kBase + QStringList{"--saida", dest}, server);
    QCOMPARE(r.status, int(cli::ExitCheck));
    QVERIFY(r.err.contains("Arquivo já existente. Deseja substituí-lo?"));
    QVERIFY(server.trace.isEmpty());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("antigo"));
    f.close();

    r = gerar(kBase + QStringList{"--saida", dest, "--substituir"}, server);
    QCOMPARE(r.status, int(cli::ExitOk));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith("0000|"));
}

void TstCli::plainAndSilentOutput() {
    QTemporaryDir tmp;
    ScriptedServer server({});
    Result r = gerar(kBase + QStringList{"--saida", tmp.filePath("a.txt")}, server);
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.contains("Abertura do bloco 0...\n"));
    QVERIFY(r.out.contains("Arquivo gerado com sucesso.\n"));
    QVERIFY(r.out.contains("linhas: 32\n"));
    QVERIFY(r.out.contains("  I250 1\n"));
    QVERIFY(r.err.isEmpty());

    r = gerar(kBase + QStringList{"--saida", tmp.filePath("b.txt"), "--silencioso"}, server);
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.isEmpty());

    ScriptedServer failing(QJsonObject{
        {"GetDadosCont", QJsonArray{QJsonObject{{"error", QJsonObject{{"code", 1}}}}}}});
    r = gerar(kBase + QStringList{"--saida", tmp.filePath("c.txt"), "--silencioso"}, failing);
    QCOMPARE(r.status, int(cli::ExitServer));
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains("erro: "));
    QVERIFY(!QFile::exists(tmp.filePath("c.txt")));
}

void TstCli::unknownCommand() {
    QString o, e;
    QTextStream out(&o), err(&e);
    QCOMPARE(cli::runMain({"imprimir"}, out, err), int(cli::ExitUsage));
    QCOMPARE(cli::runMain({}, out, err), int(cli::ExitUsage));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
