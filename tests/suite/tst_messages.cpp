#include "suite/core/config.h"
#include "suite/core/messages.h"
#include "suite/core/utils.h"
#include <QTemporaryDir>
#include <QTest>

using namespace suite;

namespace {
// Records what was shown and answers with a fixed button.
class Recorder final : public Presenter {
public:
    QStringList shown;
    QList<MsgType> types;
    int answer = mrOK;
    int message(const QString& text, MsgType type, int, QWidget*) override {
        shown << text;
        types << type;
        return answer;
    }
    int pickOne(const PickList&, QWidget*) override { return -1; }
    bool pickMany(const PickList&, QList<int>&, QWidget*) override { return false; }
    bool saveFile(const SaveRequest&, QString&, QWidget*) override { return false; }
};
} // namespace

class TestMessages : public QObject {
    Q_OBJECT
    Recorder rec;
private slots:
    void init() {
        rec = Recorder();
        setPresenter(&rec);
    }
    void cleanup() { setPresenter(nullptr); }

    void catalogueLookup() {
        TMessages m({"Emp_Cad|Empresa deve ser informada.", "Texto|com | barra",
                     "Emp_Cad|segunda entrada"});
        QCOMPARE(m.Msg("Emp_Cad"), QString("Empresa deve ser informada."));
        QCOMPARE(m.Msg("Texto"), QString("com | barra")); // only the first bar splits
        QCOMPARE(m.Msg("Nada"), QString("Nada"));
    }

    void showMsgReturnsButton() {
        TMessages m({"Arq_exist|Arquivo já existente. Deseja substituí-lo?"});
        rec.answer = mrNo;
        QCOMPARE(m.ShowMsg("Arq_exist", MsgType::Warning, mbYes | mbNo), int(mrNo));
        QCOMPARE(rec.shown.value(0), QString("Arquivo já existente. Deseja substituí-lo?"));
        QCOMPARE(rec.types.value(0), MsgType::Warning);
    }

    void mensErroNeverReturns() {
        bool after = false;
        try {
            MensErro("CPF Inválido", true);
            after = true;
        } catch (const EAbort& e) {
            QCOMPARE(e.reason(), AbortReason::Check);
        }
        QVERIFY(!after);
        QCOMPARE(rec.shown, QStringList{"CPF Inválido"});
        QCOMPARE(rec.types.value(0), MsgType::Error);
    }

    void checkResultServ() {
        RemoteResult ok;
        ok.packet.fields = {{"A", FieldType::String, 2}};
        QCOMPARE(CheckResultServ(ok, true, 0).fields.size(), 1);
        QVERIFY(rec.shown.isEmpty());
        const auto bad =
            RemoteResult::failure(RemoteError::Transport, "Servidor 127.0.0.1:21150 inacessível.");
        try {
            CheckResultServ(bad, true, 0);
            QFAIL("CheckResultServ returned on a failed result");
        } catch (const EAbort& e) {
            QCOMPARE(e.reason(), AbortReason::Server);
        }
        QCOMPARE(rec.shown, QStringList{"Servidor 127.0.0.1:21150 inacessível."});
    }

    void configFromFileAndEnvironment() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("g.ini");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[servidor]\nhost=10.0.0.9\nporta=4000\n[banco]\nurl=/tmp/x.db\n");
        f.close();
        qputenv("GERARQPREV_CONFIG", ini.toUtf8());
        qputenv("GERARQPREV_PORT", "4100");
        const Config c = Config::load();
        qunsetenv("GERARQPREV_CONFIG");
        qunsetenv("GERARQPREV_PORT");
        QCOMPARE(c.host, QString("10.0.0.9"));
        QCOMPARE(c.port, 4100); // the environment wins over the file
        QCOMPARE(c.database, QString("/tmp/x.db"));
        const Config d = Config::load();
        QCOMPARE(d.port, 21150);
        QCOMPARE(d.host, QString("127.0.0.1"));
    }

    // An entry present but empty (or unreadable) in the file falls back to
    // the default; above all an empty host must not mean every interface.
    void emptyEntriesMeanTheDefault_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("empty host")
            << QByteArray("[servidor]\nhost=\n") << "127.0.0.1" << 21150 << 30000;
        QTest::newRow("blank host")
            << QByteArray("[servidor]\nhost=   \n") << "127.0.0.1" << 21150 << 30000;
        QTest::newRow("empty port and timeout")
            << QByteArray("[servidor]\nporta=\ntimeout_ms=\n") << "127.0.0.1" << 21150 << 30000;
        QTest::newRow("port out of range")
            << QByteArray("[servidor]\nporta=70000\n") << "127.0.0.1" << 21150 << 30000;
        QTest::newRow("values given") << QByteArray("[servidor]\nhost=10.1.2.3\nporta=4000\n"
                                                    "timeout_ms=500\n")
                                      << "10.1.2.3" << 4000 << 500;
    }
    void emptyEntriesMeanTheDefault() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, timeoutMs);
        QTemporaryDir dir;
        QFile f(dir.filePath("g.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        qputenv("GERARQPREV_CONFIG", f.fileName().toUtf8());
        const Config c = Config::load();
        qunsetenv("GERARQPREV_CONFIG");
        QCOMPARE(c.host, host);
        QCOMPARE(c.port, port);
        QCOMPARE(c.timeoutMs, timeoutMs);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
