// The parameter form driving the generation run, offscreen: the same golden
// cases as the command line, with the scripted server behind the form and
// every box answered by the scripted presenter, give the same bytes; the
// stops leave the destination as it was.
#include "formdriver.h"
#include "package/unitstate.h"
#include "screen/formrunhost.h"
#include "screen/frmgerarqprev.h"
#include "scriptedserver.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/scriptedpresenter.h"
#include "suite/widgets/showavi.h"
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
QString goldenDir() {
    return qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + "/tests/generator/golden";
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QJsonObject loadCase(const QString& name) {
    return QJsonDocument::fromJson(readAll(goldenDir() + "/" + name + "/case.json")).object();
}

QStringList argsOf(const QJsonObject& c) {
    QStringList s;
    for (const auto& v : c.value("args").toArray())
        s << v.toString();
    return s;
}

QString firstDifference(const QByteArray& got, const QByteArray& want) {
    const QList<QByteArray> g = got.split('\n');
    const QList<QByteArray> w = want.split('\n');
    for (qsizetype i = 0; i < qMax(g.size(), w.size()); ++i) {
        const QByteArray a = i < g.size() ? g[i] : "<fim>";
        const QByteArray b = i < w.size() ? w[i] : "<fim>";
        if (a != b)
            // One pass: the encoded lines hold "%" signs of their own.
            return QString("linha %1:\n  obtido:   %2\n  esperado: %3")
                .arg(QString::number(i + 1),
                     QString::fromLatin1(a.toPercentEncoding(" |,;:/()&@-_.")),
                     QString::fromLatin1(b.toPercentEncoding(" |,;:/()&@-_.")));
    }
    return {};
}

// Notes what the progress panel shows whenever the run calls the server.
class Watching final : public suite::RemoteServer {
public:
    Watching(suite::RemoteServer& inner, TfrmGerArqPrev& form) : inner_(inner), form_(form) {}
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override {
        panelShown.append(form_.panBarra->isVisible());
        statuses.append(form_.lblBarra->text());
        return inner_.call(method, args);
    }
    QList<bool> panelShown;
    QStringList statuses;

private:
    suite::RemoteServer& inner_;
    TfrmGerArqPrev& form_;
};

bool holdsFocus(QWidget* control, QWidget* focused) {
    return focused && (focused == control || control->isAncestorOf(focused));
}
} // namespace

class TstScreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void golden_data();
    void golden();
    void stops_data();
    void stops();
    void relativeDestination();

private:
    QTemporaryDir dir_;
    std::unique_ptr<TfrmGerArqPrev> form_;
};

void TstScreen::initTestCase() {
    QVERIFY(dir_.isValid());
    useNoAppServer(dir_.path());
    seedCompany(dir_.path());
}

void TstScreen::init() {
    // Each run starts where the previous one may have moved the current
    // directory (the destination check changes to the file's folder).
    QDir::setCurrent(dir_.path());
    form_ = std::make_unique<TfrmGerArqPrev>();
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    suite::ResetShowAviCount();
}

void TstScreen::cleanup() {
    form_.reset();
    QDir::setCurrent(dir_.path());
}

void TstScreen::golden_data() {
    QTest::addColumn<QString>("name");
    const QStringList cases =
        QDir(goldenDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& c : cases)
        if (QFile::exists(goldenDir() + "/" + c + "/expected.txt"))
            QTest::newRow(qPrintable(c)) << c;
    QVERIFY(cases.contains("example") && cases.contains("placeholders"));
}

void TstScreen::golden() {
    QFETCH(QString, name);
    const QJsonObject c = loadCase(name);
    QVERIFY(!c.isEmpty());
    const QJsonObject expect = c.value("expect").toObject();

    QTemporaryDir out;
    const QString dest = out.filePath("MANAD.txt");
    ScriptedServer server(c.value("answers").toObject());
    Watching watching(server, *form_);
    setFormRemoteServer(*form_, &watching);
    fillForm(*form_, argsOf(c), dest);
    InNRegSaldMens = InNRegLancCont = InNRegSaldAntEnc = -1;

    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();

    QVERIFY2(!presenter.messages.isEmpty(), "no message shown");
    QCOMPARE(presenter.messages.front().text, QString("Arquivo gerado com sucesso."));
    QCOMPARE(presenter.messages.front().type, suite::MsgType::Information);
    for (const auto& s : expect.value("stdoutContains").toArray())
        QVERIFY2(presenter.texts().join('\n').contains(s.toString()),
                 qPrintable(presenter.texts().join('\n')));
    if (expect.contains("calls"))
        QCOMPARE(server.trace.size(), expect.value("calls").toInt());
    // The panel shows through every fetch and is hidden at the end; the bar
    // made one step per balance and posting besides its 15 fixed ones.
    QVERIFY(!watching.panelShown.isEmpty() && !watching.panelShown.contains(false));
    QCOMPARE(watching.statuses.front(),
             QString("Abertura do arquivo digital e identificação do contribuinte..."));
    QVERIFY(form_->panBarra->isHidden());
    QVERIFY(!suite::ShowAviActive());
    QVERIFY(InNRegSaldMens >= 0 && InNRegLancCont >= 0 && InNRegSaldAntEnc >= 0);
    QCOMPARE(form_->prgBarra->value(), qMin(120, 15 + InNRegSaldMens + InNRegLancCont));

    const QByteArray got = readAll(dest);
    const QByteArray want = readAll(goldenDir() + "/" + name + "/expected.txt");
    QVERIFY2(got == want, qPrintable(firstDifference(got, want)));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"MANAD.txt"});

    if (name == QLatin1String("example")) {
        // 24 balances, 100 postings, 3 result balances, kept for the package.
        QCOMPARE(InNRegSaldMens, 24);
        QCOMPARE(InNRegLancCont, 100);
        QCOMPARE(InNRegSaldAntEnc, 3);
    }
}

// Each stop: which case, what is changed on the form, the answer to the
// overwrite question, the message expected last, where the focus goes and
// how many remote calls were made before it.
void TstScreen::stops_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("company");
    QTest::addColumn<bool>("clearStart");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("lastText");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("calls");

    QTest::newRow("no to overwrite")
        << "example"
        << "01" << false << int(suite::mrNo) << "Arquivo já existente. Deseja substituí-lo?"
        << QString() << 0;
    QTest::newRow("company check after yes")
        << "example"
        << "02" << false << int(suite::mrYes) << "Empresa não cadastrada."
        << "edtCdEmpresa" << 0;
    QTest::newRow("empty start date") << "example"
                                      << "01" << true << int(suite::mrYes)
                                      << "Data inicial deve ser informada com uma data válida."
                                      << "depDataIni" << 0;
    QTest::newRow("server failure midway")
        << "server_failure"
        << "01" << false << int(suite::mrYes) << "Falha no banco de dados." << QString() << 9;
}

void TstScreen::stops() {
    QFETCH(QString, name);
    QFETCH(QString, company);
    QFETCH(bool, clearStart);
    QFETCH(int, answer);
    QFETCH(QString, lastText);
    QFETCH(QString, focus);
    QFETCH(int, calls);

    const QJsonObject c = loadCase(name);
    QTemporaryDir out;
    const QString dest = out.filePath("MANAD.txt");
    const QByteArray before = "conteúdo anterior\r\nsegunda linha\r\n";
    writeAll(dest, before);

    ScriptedServer server(c.value("answers").toObject());
    setFormRemoteServer(*form_, &server);
    fillForm(*form_, argsOf(c), dest);
    form_->edtCdEmpresa->setText(company);
    if (clearStart)
        form_->depDataIni->clear();

    suite::ScriptedPresenter presenter;
    presenter.answerMessage(answer);
    form_->sbtConfirma->click();

    QVERIFY(!presenter.messages.isEmpty());
    QCOMPARE(presenter.messages.front().text,
             QString("Arquivo já existente. Deseja substituí-lo?"));
    if (!lastText.isEmpty())
        QVERIFY2(presenter.lastText().contains(lastText), qPrintable(presenter.lastText()));
    QVERIFY2(!presenter.texts().contains("Arquivo gerado com sucesso."),
             qPrintable(presenter.texts().join('\n')));
    if (answer == suite::mrNo)
        QCOMPARE(presenter.messages.size(), 1);
    else
        QCOMPARE(presenter.messages.back().type, suite::MsgType::Error);
    if (!focus.isEmpty())
        QVERIFY2(holdsFocus(form_->control(focus), form_->focusWidget()),
                 qPrintable(form_->focusWidget() ? form_->focusWidget()->objectName()
                                                 : QString("none")));
    QCOMPARE(server.trace.size(), calls);

    // The destination byte for byte, no temporary file beside it, the panel
    // hidden and the busy animation off.
    QCOMPARE(readAll(dest), before);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"MANAD.txt"});
    QVERIFY(form_->panBarra->isHidden());
    QVERIFY(!suite::ShowAviActive());
}

// The destination check moves into the file's folder; a name typed relative
// to where the run started still means the file there.
void TstScreen::relativeDestination() {
    QTemporaryDir base;
    QVERIFY(QDir(base.path()).mkdir("saida"));
    QVERIFY(QDir::setCurrent(base.path()));
    const QJsonObject c = loadCase("placeholders");
    ScriptedServer server(c.value("answers").toObject());
    setFormRemoteServer(*form_, &server);
    fillForm(*form_, argsOf(c), "saida/MANAD.txt");

    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();
    QCOMPARE(presenter.texts().value(0), QString("Arquivo gerado com sucesso."));
    QCOMPARE(readAll(base.filePath("saida/MANAD.txt")),
             readAll(goldenDir() + "/placeholders/expected.txt"));
    QVERIFY(!QFile::exists(base.filePath("saida/saida")));
}

QTEST_MAIN(TstScreen)
#include "tst_screen.moc"
