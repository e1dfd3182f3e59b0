#include "cli/gerar.h"
#include "cli/cadastro.h"
#include "cli/checks.h"
#include "cli/importar.h"
#include "cli/options.h"
#include "db/dbgeral.h"
#include "generator/destination.h"
#include "generator/run.h"
#include "screen/catalogue.h"
#include "server/demo.h"
#include "server/localserver.h"
#include "suite/core/config.h"
#include "suite/core/messages.h"
#include "suite/core/presenter.h"
#include "suite/core/tokenfile.h"
#include "suite/core/utils.h"
#include "suite/net/netconnection.h"
#include "validator/validar.h"
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <csignal>
#include <memory>
#include <optional>
#include <unistd.h>

namespace cli {
namespace {

using gen::Control;

const QStringList kValued = {"--saida",        "--empresa",       "--inicio",     "--fim",
                             "--apuracao",     "--centralizacao", "--finalidade", "--contas",
                             "--cpf",          "--cei",           "--nit",        "--suframa",
                             "--cargo",        "--contab-inicio", "--contab-fim", "--info-inicio",
                             "--info-fim",     "--servidor",      "--token",      "--banco",
                             "--token-arquivo"};
const QStringList kFlags = {"--substituir", "--silencioso"};

// The form's dates go into the file as the date edit's text value: the
// digits ddmmyyyy, or empty.
QString dateValue(const QString& s) {
    const auto d = parseDate(s);
    return d ? d->toString(QStringLiteral("ddMMyyyy")) : QString();
}

// Messages boxes of the run (server failures among them) go to err.
class CliPresenter final : public suite::Presenter {
public:
    explicit CliPresenter(QTextStream& err) : err_(err) { previous_ = suite::setPresenter(this); }
    ~CliPresenter() override { suite::setPresenter(previous_); }
    CliPresenter(const CliPresenter&) = delete;
    CliPresenter& operator=(const CliPresenter&) = delete;
    int message(const QString& text, suite::MsgType type, int buttons, QWidget* parent) override {
        return detailedMessage(text, QString(), type, buttons, parent);
    }
    int detailedMessage(const QString& text, const QString& detail, suite::MsgType, int buttons,
                        QWidget*) override {
        err_ << "erro: " << text << "\n";
        if (!detail.isEmpty())
            err_ << "  detalhe: " << detail << "\n";
        err_.flush();
        return (buttons & suite::mbOK) ? suite::mrOK : suite::mrNo;
    }
    int pickOne(const suite::PickList&, QWidget*) override { return -1; }
    bool pickMany(const suite::PickList&, QList<int>&, QWidget*) override { return false; }
    bool saveFile(const SaveRequest&, QString&, QWidget*) override { return false; }

private:
    QTextStream& err_;
    suite::Presenter* previous_ = nullptr;
};

// Ctrl+C or a SIGTERM during a run: noted by the handler, acted on by the
// run at its next progress step, which then cleans up as after a failure.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void noteStopSignal(int sig) {
    stopSignal = sig;
}

// The stop handlers for one run; the ones before are put back after it.
class StopSignals {
public:
    StopSignals() {
        stopSignal = 0;
        struct sigaction sa {};
        sa.sa_handler = noteStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

class CliRunHost final : public gen::RunHost {
public:
    CliRunHost(const Options& o, QTextStream& out, QTextStream& err, bool terminal)
        : o_(o), out_(out), err_(err), terminal_(terminal),
          silent_(o.flags.contains(QStringLiteral("--silencioso"))),
          messages_(gerArqPrevCatalogue()) {
        company_ = suite::Ajusta(o.value("--empresa"), 2);
        const QString contas = o.value("--contas");
        all_ = contas.isEmpty() || contas == QLatin1String("T");
        selection_ = all_ ? QString() : contas;
    }

    std::function<bool(const QString&)> companyExists; // unset: not checked here
    int saldMens = 0, lancCont = 0, saldAntEnc = 0;
    bool declined = false;

    QString text(Control c) const override {
        switch (c) {
        case Control::ArqDest:
            return o_.value("--saida");
        case Control::CdEmpresa:
            return company_;
        case Control::DataIni:
            return dateValue(o_.value("--inicio"));
        case Control::DataFin:
            return dateValue(o_.value("--fim"));
        case Control::DataApu:
            return dateValue(o_.value("--apuracao"));
        case Control::IniPerInfo:
            return dateValue(o_.value("--info-inicio"));
        case Control::FinPerInfo:
            return dateValue(o_.value("--info-fim"));
        case Control::IniPerCont:
            return dateValue(o_.value("--contab-inicio"));
        case Control::FinPerCont:
            return dateValue(o_.value("--contab-fim"));
        case Control::Cpf:
            return cpfDigits(o_.value("--cpf"));
        case Control::Cei:
            return o_.value("--cei");
        case Control::Nit:
            return o_.value("--nit");
        case Control::Suframa:
            return o_.value("--suframa");
        case Control::CargoInfo:
            return o_.value("--cargo");
        }
        return {};
    }
    std::optional<QDate> date(Control c) const override {
        switch (c) {
        case Control::DataIni:
            return parseDate(o_.value("--inicio"));
        case Control::DataFin:
            return parseDate(o_.value("--fim"));
        case Control::DataApu:
            return parseDate(o_.value("--apuracao"));
        case Control::IniPerInfo:
            return parseDate(o_.value("--info-inicio"));
        case Control::FinPerInfo:
            return parseDate(o_.value("--info-fim"));
        case Control::IniPerCont:
            return parseDate(o_.value("--contab-inicio"));
        case Control::FinPerCont:
            return parseDate(o_.value("--contab-fim"));
        default:
            return std::nullopt;
        }
    }
    int centralisationIndex() const override {
        static const QStringList codes = {"0", "1", "2"};
        return static_cast<int>(codes.indexOf(o_.value("--centralizacao")));
    }
    int purposeIndex() const override {
        static const QStringList codes = {"61", "62", "90"};
        return static_cast<int>(codes.indexOf(o_.value("--finalidade")));
    }
    bool allResultAccounts() const override { return all_; }
    QString resultSelection() const override { return selection_; }
    void setResultSelection(const QString& s) override { selection_ = s; }

    // The destination as the screen checks it, without changing the current
    // directory.
    void checkDestination() override {
        const QString key = gen::destinationRefusal(o_.value("--saida"), gen::EnterFolder::No);
        if (!key.isEmpty())
            fail(Control::ArqDest, msg(key), suite::AbortReason::Check);
    }
    void checkCompany() override {
        if (suite::EmptyString(company_))
            fail(Control::CdEmpresa, msg("Emp_Cad"), suite::AbortReason::Check);
        if (companyExists && !companyExists(company_))
            fail(Control::CdEmpresa, msg("Emp_NCad"), suite::AbortReason::Check);
    }

    QString msg(const QString& key) const override { return messages_.Msg(key); }
    QString msg(const char* key) const { return messages_.Msg(QString::fromLatin1(key)); }
    [[noreturn]] void fail(Control, const QString& text, suite::AbortReason reason,
                           const QString& detail = {}) override {
        endBar();
        err_ << "erro: " << text << "\n";
        if (!detail.isEmpty())
            err_ << "  detalhe: " << detail << "\n";
        err_.flush();
        throw suite::EAbort(reason);
    }
    int ask(const QString& key) override {
        if (o_.flags.contains(QStringLiteral("--substituir")))
            return suite::mrYes;
        endBar();
        err_ << "erro: " << msg(key) << " (use --substituir)\n";
        declined = true;
        return suite::mrNo;
    }
    // The summary printed after the run gives the path and the lines.
    void inform(const QString& text, const QString& = {}) override {
        endBar();
        if (!silent_)
            out_ << text << "\n";
    }
    void showProgress(bool visible) override {
        if (!visible)
            endBar();
    }
    void setStatus(const QString& text) override {
        status_ = text;
        if (silent_)
            return;
        if (!terminal_)
            out_ << text << "\n";
    }
    void setProgress(int position) override {
        position_ = position;
        drawBar();
    }
    void repaint() override { drawBar(); }
    void busy(bool) override {}
    bool cancelRequested() override { return stopSignal != 0; }
    [[noreturn]] void cancelled(const QString& text) override {
        endBar();
        err_ << "gerarqprev: " << text << "\n";
        err_.flush();
        throw suite::EAbort(suite::AbortReason::Cancelled);
    }
    UnitCounters unitCounters() override { return {&saldMens, &lancCont, &saldAntEnc}; }

private:
    void drawBar() {
        if (silent_ || !terminal_)
            return;
        const int width = 30;
        const int filled = position_ * width / gen::kProgressMax;
        err_ << "\r[" << QString(filled, u'#') << QString(width - filled, u' ') << "] "
             << QString::number(position_).rightJustified(3) << '/' << gen::kProgressMax << ' '
             << status_.left(60) << "\x1b[K";
        err_.flush();
        barShown_ = true;
    }
    void endBar() {
        if (barShown_) {
            err_ << "\n";
            err_.flush();
            barShown_ = false;
        }
    }

    const Options& o_;
    QTextStream& out_;
    QTextStream& err_;
    bool terminal_;
    bool silent_;
    suite::TMessages messages_;
    QString company_;
    bool all_ = true;
    QString selection_;
    QString status_;
    int position_ = 0;
    bool barShown_ = false;
};

int exitFor(suite::AbortReason r) {
    switch (r) {
    case suite::AbortReason::Check:
        return ExitCheck;
    case suite::AbortReason::Cancelled:
        return ExitCancelled;
    case suite::AbortReason::Server:
        return ExitServer;
    case suite::AbortReason::File:
        return ExitFile;
    }
    return ExitCheck;
}

void printSummary(const gen::RunOutcome& r, QTextStream& out) {
    out << r.path << "\n";
    out << "linhas: " << r.lines << "\n";
    for (const auto& [type, n] : r.linesPerType)
        out << "  " << type << " " << n << "\n";
}

// The connection for --servidor HOST:PORTA (or the configured server).
std::unique_ptr<suite::TNetConnection> connectTo(const Options& o, QTextStream& err) {
    auto net = std::make_unique<suite::TNetConnection>(QStringLiteral("KLT40500.rdmGerArqPrev"));
    const suite::Config& cfg = suite::config();
    QString host = cfg.host;
    int port = cfg.port;
    if (o.has("--servidor")) {
        const QString hp = o.value("--servidor");
        const qsizetype colon = hp.lastIndexOf(u':');
        bool ok = colon > 0;
        if (ok) {
            host = hp.left(colon);
            port = hp.mid(colon + 1).toInt(&ok);
        }
        if (!ok || port <= 0 || port > 65535) {
            err << "gerarqprev: --servidor espera HOST:PORTA\n";
            return nullptr;
        }
    }
    net->SetHost(host);
    net->SetPort(port);
    QString token = o.has("--token") ? o.value("--token") : cfg.token;
    if (o.has("--token-arquivo")) {
        QString why;
        if (!suite::readTokenFile(o.value("--token-arquivo"), token, why)) {
            err << "gerarqprev: " << why << "\n";
            return nullptr;
        }
    }
    net->SetToken(token);
    net->SetTimeoutMs(cfg.timeoutMs);
    net->ThrowException = true;
    return net;
}

} // namespace

int runGerar(const QStringList& args, QTextStream& out, QTextStream& err,
             const Injected& injected) {
    Options o;
    if (!parse(args, kValued, kFlags, o, err))
        return ExitUsage;
    for (const char* required : {"--saida", "--empresa", "--inicio", "--fim", "--apuracao"})
        if (!o.has(required)) {
            err << "gerarqprev: falta " << required << "\n" << kUsage;
            return ExitUsage;
        }
    if (o.has("--centralizacao") &&
        !QStringList{"0", "1", "2"}.contains(o.value("--centralizacao"))) {
        err << "gerarqprev: --centralizacao deve ser 0, 1 ou 2\n";
        return ExitUsage;
    }
    if (o.has("--finalidade") && !QStringList{"61", "62", "90"}.contains(o.value("--finalidade"))) {
        err << "gerarqprev: --finalidade deve ser 61, 62 ou 90\n";
        return ExitUsage;
    }
    if (o.has("--token") && o.has("--token-arquivo")) {
        err << "gerarqprev: use --token-arquivo ou --token, não ambos\n";
        return ExitUsage;
    }
    if (o.has("--banco") && o.has("--servidor")) {
        err << "gerarqprev: use --banco ou --servidor, não ambos\n";
        return ExitUsage;
    }
    if (const QString why = refusedValue(o.values, suite::TMessages(gerArqPrevCatalogue()));
        !why.isEmpty()) {
        err << "erro: " << why << "\n";
        return ExitCheck;
    }
    // Without a choice the command line asks for everything to be written.
    if (!o.has("--centralizacao"))
        o.values.insert(QStringLiteral("--centralizacao"), QStringLiteral("2"));
    if (!o.has("--finalidade"))
        o.values.insert(QStringLiteral("--finalidade"), QStringLiteral("90"));

    CliPresenter presenter(err);
    const bool terminal = injected.terminal || (!injected.server && isatty(2) == 1);
    CliRunHost host(o, out, err, terminal);
    GerArqPrevDatasets datasets;

    // Declared before whatever holds a copy of the connection, so it is
    // removed only after the last copy is gone.
    const QString dbConnection = QStringLiteral("gerarqprev-cli");
    struct DbGuard {
        QString name;
        bool open = false;
        ~DbGuard() {
            if (open)
                QSqlDatabase::removeDatabase(name);
        }
    } dbGuard{dbConnection};
    QSqlDatabase db;
    suite::RemoteServer* server = injected.server;
    std::unique_ptr<suite::TNetConnection> net;
    std::unique_ptr<server::LocalServer> local;

    try {
        if (injected.companyExists) {
            host.companyExists = injected.companyExists;
        } else if (!server && o.has("--banco")) {
            db = db::open(o.value("--banco"), dbConnection);
            dbGuard.open = true;
            host.companyExists = [&db](const QString& code) {
                return db::companyName(db, code).has_value();
            };
        }
        if (!server && o.has("--banco")) {
            local = std::make_unique<server::LocalServer>(db);
            // Only reads go through db: the run may read one snapshot.
            local->setSnapshots(true);
            server = local.get();
        }
        if (!server) {
            net = connectTo(o, err);
            if (!net)
                return ExitUsage;
            net->SetConnected(true);
            server = &net->AppServer();
        }
        if (!host.companyExists && !injected.server)
            host.companyExists = [server](const QString& code) {
                // The server answers "not found" for an unknown company: a
                // failed check like the local look-up's, not a server failure.
                QList<suite::RemoteArg> look{suite::RemoteArg::text(code)};
                const suite::RemoteResult r = server->call(QStringLiteral("GetDadosTecEmpr"), look);
                if (r.error == suite::RemoteError::NotFound)
                    return false;
                if (!r.ok())
                    throw std::runtime_error(r.message.toStdString());
                return true;
            };
    } catch (const std::exception& e) {
        err << "erro: " << QString::fromUtf8(e.what()) << "\n";
        if (net && !net->Connected()) {
            err << "  detalhe: " << net->LastError() << "\n";
            // Nobody asked for a server: the one in this process may do.
            if (!o.has("--servidor"))
                err << "Sem servidor de aplicação, --banco CAMINHO gera o arquivo direto do "
                       "banco de dados.\n";
        }
        return ExitServer;
    }

    try {
        const StopSignals stopSignals;
        gen::GerArqPrevRun run(host, datasets, *server);
        const gen::RunOutcome r = run.execute();
        if (!r.written)
            return ExitCheck;
        if (!o.flags.contains(QStringLiteral("--silencioso")))
            printSummary(r, out);
        return ExitOk;
    } catch (const suite::EAbort& e) {
        return exitFor(e.reason());
    } catch (const std::exception& e) {
        err << "erro: " << QString::fromUtf8(e.what()) << "\n";
        return ExitServer;
    }
}

int runDemo(const QStringList& args, QTextStream& out, QTextStream& err) {
    Options o;
    if (!parse(args, {QStringLiteral("--banco")}, {QStringLiteral("--silencioso")}, o, err))
        return ExitUsage;
    const QString path = o.has("--banco") ? o.value("--banco") : suite::Config::defaultDatabase();
    try {
        if (!path.startsWith(QStringLiteral("postgresql:")) && !QFileInfo::exists(path)) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QSqlDatabase db = db::open(path, QStringLiteral("gerarqprev-demo"));
            db::applyMigrations(db);
            server::makeDemo(db, 0);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("gerarqprev-demo"));
    } catch (const std::exception& e) {
        QSqlDatabase::removeDatabase(QStringLiteral("gerarqprev-demo"));
        err << "erro: " << QString::fromUtf8(e.what()) << "\n";
        return ExitServer;
    }
    const QStringList gerar = {"--banco",         path,         "--saida",      "MANAD_01_2025.txt",
                               "--empresa",       "01",         "--inicio",     "01/01/2025",
                               "--fim",           "31/12/2025", "--apuracao",   "31/12/2025",
                               "--contab-inicio", "01/01/2025", "--contab-fim", "31/12/2025",
                               "--info-inicio",   "01/01/2025", "--info-fim",   "31/12/2025",
                               "--cargo",         "Contador",   "--substituir"};
    return runGerar(o.flags.contains(QStringLiteral("--silencioso"))
                        ? gerar + QStringList{QStringLiteral("--silencioso")}
                        : gerar,
                    out, err);
}

int runMain(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.isEmpty() || args.front() == QLatin1String("--help") ||
        args.front() == QLatin1String("-h")) {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? ExitUsage : ExitOk;
    }
    const QString& command = args.front();
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("gerar"))
        return runGerar(rest, out, err);
    if (command == QLatin1String("demo"))
        return runDemo(rest, out, err);
    if (command == QLatin1String("validar")) {
        return validator::runValidar(rest, out, err);
    }
    if (command == QLatin1String("importar"))
        return runImportar(rest, out, err, isatty(2) == 1);
    if (command == QLatin1String("cadastro"))
        return runCadastro(rest, out, err);
    err << "gerarqprev: comando desconhecido: " << command << "\n" << kUsage;
    return ExitUsage;
}

} // namespace cli
