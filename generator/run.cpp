#include "generator/run.h"
#include "generator/context.h"
#include "generator/destination.h"
#include "generator/syncfolder.h"
#include "suite/core/presenter.h"
#include "suite/core/syserror.h"
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace gen {
namespace {

// Whatever way the run ends after the panel is shown: an unfinished file is
// discarded (the destination keeps its old content), the busy indicator is
// switched off and the panel is hidden. Declared after the run's context,
// which it reads, so that it goes first.
class Cleanup {
public:
    Cleanup(RunHost& host, QSaveFile& file, const RunContext& ctx)
        : host_(host), file_(file), ctx_(ctx) {}
    ~Cleanup() {
        if (!committed && file_.isOpen())
            file_.cancelWriting();
        if (!committed && ctx_.busyOn)
            host_.busy(false);
        host_.showProgress(false);
    }
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;
    bool committed = false;

private:
    RunHost& host_;
    QSaveFile& file_;
    const RunContext& ctx_;
};

// The run's one consistent read of the books: from before the first fetch
// to after the last, ended early if the run stops.
class ReadScope {
public:
    explicit ReadScope(GerArqPrevServer& srv) : srv_(srv) {}
    ~ReadScope() { end(); }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
    void begin() {
        srv_.beginReadSnapshot();
        on_ = true;
    }
    void end() noexcept {
        if (on_)
            srv_.endReadSnapshot();
        on_ = false;
    }

private:
    GerArqPrevServer& srv_;
    bool on_ = false;
};

} // namespace

QString describePlaces(const QList<Place>& places) {
    QStringList parts;
    for (const Place& p : places)
        parts << QStringLiteral("%1 linha %2 campo %3").arg(p.type).arg(p.line).arg(p.field);
    return parts.join(QStringLiteral("; "));
}

RunOutcome GerArqPrevRun::execute() {
    RunOutcome outcome;
    // The destination check may change the current directory to the file's
    // folder; a relative name is taken from where the run started.
    const QString typed = host_.text(Control::ArqDest);
    QString path = QFileInfo(typed).absoluteFilePath();

    // 1. Destination.
    host_.checkDestination();
    // The file is replaced by renaming a new one over it: through a link the
    // link's target is the file meant, and a device or pipe must never be
    // swapped for a plain file.
    if (const QFileInfo fi(path); fi.isSymLink() && fi.exists())
        path = fi.canonicalFilePath();
    if (const QFileInfo fi(path); fi.exists() && !fi.isFile())
        host_.fail(Control::ArqDest, host_.msg(QStringLiteral("Arq_Inv")),
                   suite::AbortReason::Check);
    outcome.path = path;

    // 3. Overwrite question.
    if (QFileInfo(path).isFile() && host_.ask(QStringLiteral("Arq_exist")) == suite::mrNo)
        return outcome;

    // 4. Folder.
    const QString folder = folderOf(typed);
    if (!folder.isEmpty() && !QFileInfo(folderOf(path)).isDir())
        host_.fail(Control::ArqDest, host_.msg(QStringLiteral("Dir_NEx")),
                   suite::AbortReason::Check);

    // 5. Company.
    host_.checkCompany();

    // 6. Period: each date must be a real date before they are compared.
    const auto ini = host_.date(Control::DataIni);
    if (!ini)
        host_.fail(Control::DataIni, host_.msg(QStringLiteral("DtIni_Inv")),
                   suite::AbortReason::Check);
    const auto fin = host_.date(Control::DataFin);
    if (!fin)
        host_.fail(Control::DataFin, host_.msg(QStringLiteral("DtFin_Inv")),
                   suite::AbortReason::Check);
    if (*ini > *fin)
        host_.fail(Control::DataIni, host_.msg(QStringLiteral("Dt_Inv")),
                   suite::AbortReason::Check);
    if (!host_.date(Control::DataApu))
        host_.fail(Control::DataApu, host_.msg(QStringLiteral("DtApu_Inv")),
                   suite::AbortReason::Check);

    // 8. Derived values.
    static const char* const centralisation[] = {"0", "1"};
    static const char* const purpose[] = {"61", "62"};
    const int ci = host_.centralisationIndex();
    const int pi = host_.purposeIndex();
    const QString centr = QString::fromLatin1(ci == 0 || ci == 1 ? centralisation[ci] : "2");
    const QString purp = QString::fromLatin1(pi == 0 || pi == 1 ? purpose[pi] : "90");
    if (host_.allResultAccounts())
        host_.setResultSelection(QStringLiteral("T"));

    // 9. Progress panel.
    host_.setStatus(host_.msg(QStringLiteral("Abert_Arquivo")));
    host_.setProgress(0);
    host_.showProgress(true);
    host_.repaint();

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    LineWriter out(file);
    GerArqPrevServer srv(server_, ds_);
    RunContext ctx{host_, ds_, srv, out};
    ctx.centralisation = centr;
    ctx.purpose = purp;
    Cleanup cleanup(host_, file, ctx);
    ReadScope reads(srv);

    // The cause in the user's words; the system's own text and the path go
    // in the detail.
    auto fileError = [&](int err, const QString& technical) {
        const QString detail = QStringLiteral("%1\n%2 (errno %3)").arg(path, technical).arg(err);
        if (err == EACCES || err == EPERM)
            host_.fail(Control::ArqDest, host_.msg(QStringLiteral("N_Aces")),
                       suite::AbortReason::File, detail);
        host_.fail(Control::ArqDest,
                   host_.msg(QStringLiteral("Erro_Grav")).arg(suite::systemErrorText(err)),
                   suite::AbortReason::File, detail);
    };

    // 10. Open (a temporary file beside the destination).
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int err = errno;
        fileError(err ? err : EACCES, file.errorString());
    }

    try {
        // 11. First fetches, all from one state of the books: entries
        // posted meanwhile would break the file's balances.
        reads.begin();
        srv.getsaldmens(ctx.company(), ctx.start(), ctx.end());
        ctx.busy(true);
        srv.GetLancCont(ctx.company(), ctx.start(), ctx.end());
        host_.repaint();
        srv.GetIdContrib(ctx.company(), ctx.start(), ctx.end());

        writeBlock0(ctx);
        writeChart(ctx);
        writeBalances(ctx);
        writeEntries(ctx);
        writeResultBalances(ctx);
        writeBlock9(ctx);
        reads.end();
    } catch (const WriteError& e) {
        fileError(e.err(), QString::fromStdString(e.what()));
    }

    // Flushed, synced and renamed over the destination before success is told.
    errno = 0;
    if (!file.commit()) {
        const int err = errno;
        fileError(err, file.errorString());
    }
    cleanup.committed = true;
    // The rename lasts through a power cut only once the folder is on disk.
    // The file is in place by now: the message must not say it was kept.
    if (QString why; !syncFolder(folderOf(path), why))
        host_.fail(Control::ArqDest,
                   QStringLiteral("O arquivo de destino foi gravado, mas não foi possível "
                                  "confirmar sua gravação em disco."),
                   suite::AbortReason::File, QStringLiteral("%1\n%2").arg(path, why));

    outcome.written = true;
    outcome.lines = out.lines();
    for (const records::Record& r : records::kRecords) {
        const QString type = typeName(r);
        outcome.linesPerType.append({type, out.linesOf(type)});
    }
    outcome.separatorsReplaced = out.separatorsReplaced();
    outcome.separatorPlaces = out.separatorPlaces();
    outcome.unmappableReplaced = out.unmappableReplaced();
    outcome.unmappablePlaces = out.unmappablePlaces();
    outcome.remoteCalls = srv.calls();
    outcome.progressSteps = ctx.steps;

    // 21. Success, then what had to be changed to fit the file.
    // Each box says which file it is about.
    const QString written = host_.msg(QStringLiteral("Det_Arq"))
                                .arg(QDir::toNativeSeparators(outcome.path))
                                .arg(outcome.lines);
    host_.inform(host_.msg(QStringLiteral("Ger_Ok")), written);
    if (outcome.separatorsReplaced > 0)
        host_.inform(host_.msg(QStringLiteral("Subst_Sep"))
                         .arg(outcome.separatorsReplaced)
                         .arg(describePlaces(outcome.separatorPlaces)),
                     written);
    if (outcome.unmappableReplaced > 0)
        host_.inform(host_.msg(QStringLiteral("Subst_Carac"))
                         .arg(outcome.unmappableReplaced)
                         .arg(describePlaces(outcome.unmappablePlaces)),
                     written);
    return outcome;
}

} // namespace gen
