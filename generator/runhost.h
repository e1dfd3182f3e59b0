#pragma once
#include "generator/control.h"
#include "suite/core/abort.h"
#include <QDate>
#include <QString>
#include <optional>

namespace gen {

// The progress bar's full position; a longer run keeps it full.
inline constexpr int kProgressMax = 120;

// What the generation run needs from whoever drives it: the parameter form or
// the command line. Parameters are read at the moment the run needs them.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Control text as the control delivers it (date edits: their displayed
    // text; masked edits: without literals when the mask says so).
    virtual QString text(Control c) const = 0;
    // The date of a date edit; nullopt when empty or not a valid date.
    virtual std::optional<QDate> date(Control c) const = 0;
    // Selected index of cbbIndCentr / cbbCodFin; -1 for no selection.
    virtual int centralisationIndex() const = 0;
    virtual int purposeIndex() const = 0;
    // "Todos" selected.
    virtual bool allResultAccounts() const = 0;
    // ListaCtaRes, read and written by the run.
    virtual QString resultSelection() const = 0;
    virtual void setResultSelection(const QString& s) = 0;

    // The screen's checks: Vd_ArquivoDestino and Vd_Empresa(true). They stop
    // the run by throwing suite::EAbort after showing their message.
    virtual void checkDestination() = 0;
    virtual void checkCompany() = 0;

    // Catalogue text of a key.
    virtual QString msg(const QString& key) const = 0;
    // Moves the focus to c, shows text as an error (detail: the technical
    // side, for the user to open) and throws suite::EAbort with reason.
    [[noreturn]] virtual void fail(Control c, const QString& text, suite::AbortReason reason,
                                   const QString& detail = {}) = 0;
    // ShowMsg of a key: returns the button pressed (suite::MsgResult).
    virtual int ask(const QString& key) = 0; // warning, Yes/No
    // Information, OK; detail as for fail.
    virtual void inform(const QString& text, const QString& detail = {}) = 0;

    // Progress panel.
    virtual void showProgress(bool visible) = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual void setProgress(int position) = 0; // 0..kProgressMax
    virtual void repaint() = 0;
    virtual void busy(bool on) = 0; // ActiveShowAvi / DeactiveShowAvi

    // Whether the user asked to stop; asked at every progress step.
    virtual bool cancelRequested() { return false; }
    // Tells the user the run stopped at their request (text: the catalogue's
    // notice) and leaves through suite::EAbort, the way a failure does.
    [[noreturn]] virtual void cancelled(const QString& text) {
        inform(text);
        throw suite::EAbort(suite::AbortReason::Cancelled);
    }

    // The package's exported record counters (InNRegSaldMens, InNRegLancCont,
    // InNRegSaldAntEnc) the run writes; null pointers are skipped, so the
    // generator does not depend on the package.
    struct UnitCounters {
        int* saldMens = nullptr;
        int* lancCont = nullptr;
        int* saldAntEnc = nullptr;
    };
    virtual UnitCounters unitCounters() { return {}; }
};

} // namespace gen
