// The command line's gerar: usage errors, exit statuses, values the screen or
// the server would refuse, the overwrite rule and what it prints.
#include "../generator/scriptedserver.h"
#include "cli/gerar.h"
#include "db/dbgeral.h"
#include "server/demo.h"
#include "server/socketserver.h"
#include <QDir>
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
    void initTestCase();
    void cleanupTestCase();
    void exitStatus_data();
    void exitStatus();
    void badInput_data();
    void badInput();
    void existingFileNeedsSubstituir();
    void plainAndSilentOutput();
    void unknownCommand();

private:
    QTemporaryDir dbDir_;
    QString db_;
    std::unique_ptr<server::SocketServer> server_;
    std::unique_ptr<server::SocketServer> guarded_; // wants the token "segredo"
};

void TstCli::initTestCase() {
    QVERIFY(dbDir_.isValid());
    db_ = dbDir_.filePath("demo.db");
    {
        QSqlDatabase db = db::open(db_, "cli-demo");
        db::applyMigrations(db);
        server::makeDemo(db, 300);
        db.close();
    }
    QSqlDatabase::removeDatabase("cli-demo");
    server::SocketServerOptions opt;
    opt.databaseUrl = db_;
    opt.port = 0;
    server_ = std::make_unique<server::SocketServer>(opt);
    QString why;
    QVERIFY2(server_->start(why), qPrintable(why));
    opt.token = "segredo";
    guarded_ = std::make_unique<server::SocketServer>(opt);
    QVERIFY2(guarded_->start(why), qPrintable(why));
    for (const auto& [name, text] : {std::pair{"certo", "segredo\n"}, {"errado", "chute\n"}}) {
        QFile f(dbDir_.filePath(QString("token-") + name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
}

void TstCli::cleanupTestCase() {
    server_.reset();
    guarded_.reset();
}

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

// Each value is refused before anything is asked or written, with the status
// of a failed check, whatever the way to the server.
void TstCli::badInput_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("backend"); // "": scripted, "banco", "servidor", "token"
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("written"); // a piece of the file when it is written
    const auto with = [](const char* option, const QString& value) {
        QStringList a = kBase;
        const qsizetype i = a.indexOf(QString::fromLatin1(option));
        if (i >= 0)
            a[i + 1] = value;
        else
            a << QString::fromLatin1(option) << value;
        return a;
    };
    const int check = cli::ExitCheck;
    QTest::newRow("cpf with letters")
        << with("--cpf", "abc.def.ghi-jk") << "" << check << "CPF Inválido"
        << "";
    QTest::newRow("cpf of 5000 digits")
        << with("--cpf", QString(5000, u'1')) << "" << check << "CPF Inválido"
        << "";
    QTest::newRow("cpf wrong check digits")
        << with("--cpf", "529.982.247-52") << "" << check << "CPF Inválido"
        << "";
    QTest::newRow("cpf in other script's digits")
        << with("--cpf", QString::fromUtf8("٥٢٩٩٨٢٢٤٧٢٥")) << "" << check << "CPF Inválido"
        << "";
    QTest::newRow("cpf valid, written as digits")
        << with("--cpf", "529.982.247-25") << "" << int(cli::ExitOk) << ""
        << "|52998224725|";
    QTest::newRow("service date not a day") << with("--contab-inicio", "31/04/2025") << "" << check
                                            << "Data inválida em --contab-inicio"
                                            << "";
    QTest::newRow("service date text")
        << with("--info-fim", "xyz") << "" << check << "Data inválida em --info-fim"
        << "";
    QTest::newRow("service date without slashes")
        << with("--info-inicio", "01012025") << "" << check << "Data inválida em --info-inicio"
        << "";
    QTest::newRow("service date blank stays empty")
        << with("--contab-fim", " ") << "" << int(cli::ExitOk) << ""
        << "0000|";
    QTest::newRow("period from year 1")
        << with("--inicio", "01/01/0001") << "" << check
        << "Data fora do intervalo aceito em --inicio: 01/01/0001 (aceitas de 01/02/0100 a "
           "31/12/9999)."
        << "";
    QTest::newRow("period of 121 months")
        << with("--inicio", "01/12/2015") << "" << check
        << "Período de 121 meses entre --inicio e --fim; o máximo aceito é 120 meses."
        << "";
    QTest::newRow("period in the first accepted month")
        << with("--inicio", "31/01/0100") << "" << check << "fora do intervalo"
        << "";
    QTest::newRow("service date before the range") << with("--info-inicio", "31/12/0099") << ""
                                                   << check << "aceitas de 01/01/0100 a 31/12/9999"
                                                   << "";
    QTest::newRow("destination not utf-8")
        << with("--saida", QStringLiteral("a\uFFFD.txt")) << "" << check
        << "Arquivo de destino inválido. O nome contém bytes que não formam texto UTF-8."
        << "";
    QTest::newRow("company of three characters")
        << with("--empresa", "011") << "" << check << "Empresa inválida: 011"
        << "";
    QTest::newRow("unknown company, database")
        << with("--empresa", "02") << "banco" << check << "Empresa não cadastrada."
        << "";
    QTest::newRow("unknown company, server")
        << with("--empresa", "02") << "servidor" << check << "Empresa não cadastrada."
        << "";
    QTest::newRow("token from a file")
        << with("--token-arquivo", "token-certo") << "token" << int(cli::ExitOk) << ""
        << "0000|";
    QTest::newRow("wrong token from a file") << with("--token-arquivo", "token-errado") << "token"
                                             << int(cli::ExitServer) << "token inválido"
                                             << "";
    QTest::newRow("missing token file")
        << with("--token-arquivo", "token-nenhum") << "token" << int(cli::ExitUsage)
        << "não foi possível ler o arquivo do token"
        << "";
    QTest::newRow("token twice") << with("--token-arquivo", "token-certo") +
                                        QStringList{"--token", "segredo"}
                                 << "token" << int(cli::ExitUsage) << "não ambos"
                                 << "";
    QTest::newRow("database") << kBase << "banco" << int(cli::ExitOk) << ""
                              << "0000|";
    QTest::newRow("server") << kBase << "servidor" << int(cli::ExitOk) << ""
                            << "0000|";
}

void TstCli::badInput() {
    QFETCH(QStringList, args);
    QFETCH(QString, backend);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, written);
    QTemporaryDir tmp;
    const QString dest = tmp.filePath("a.txt");
    const qsizetype named = args.indexOf("--saida");
    if (named >= 0)
        args[named + 1] = tmp.filePath(args[named + 1]);
    else
        args << "--saida" << dest;
    if (const qsizetype file = args.indexOf("--token-arquivo"); file >= 0)
        args[file + 1] = dbDir_.filePath(args[file + 1]);
    Result r;
    ScriptedServer scripted({});
    if (backend.isEmpty()) {
        r = gerar(args, scripted);
    } else {
        const quint16 port = (backend == "token" ? guarded_ : server_)->port();
        args << (backend == "banco" ? "--banco" : "--servidor")
             << (backend == "banco" ? db_ : QString("127.0.0.1:%1").arg(port));
        QTextStream out(&r.out), err(&r.err);
        r.status = cli::runGerar(args + QStringList{"--silencioso"}, out, err);
        out.flush();
        err.flush();
    }
    QVERIFY2(r.status == status, qPrintable(r.err));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    if (status == cli::ExitOk) {
        QFile f(dest);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll().contains(written.toUtf8()), qPrintable(written));
    } else {
        QVERIFY(QDir(tmp.path()).isEmpty());
        QVERIFY(scripted.trace.isEmpty());
    }
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
