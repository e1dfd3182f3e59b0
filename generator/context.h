#pragma once
#include "generator/linewriter.h"
#include "generator/runhost.h"
#include "interfaces/datasets.h"
#include "interfaces/server.h"
#include "suite/core/utils.h"
#include <span>

namespace gen {

// What one generation run carries from block to block.
struct RunContext {
    RunContext(RunHost& h, GerArqPrevDatasets& d, GerArqPrevServer& s, LineWriter& w)
        : host(h), ds(d), srv(s), out(w) {}
    RunHost& host;
    GerArqPrevDatasets& ds;
    GerArqPrevServer& srv;
    LineWriter& out;

    QString centralisation; // "0", "1" or "2"
    QString purpose;        // "61", "62" or "90"
    int i200Count = 0;
    int i250Count = 0;
    int nRegSaldMens = 0;
    int nRegLancCont = 0;
    int nRegSaldAntEnc = 0;
    int steps = 0;    // progress steps made
    int position = 0; // bar position, at most kBarMax
    bool busyOn = false;

    static constexpr int kBarMax = 120;

    QString msg(const char* key) const { return host.msg(QString::fromLatin1(key)); }
    void status(const char* key, bool repaint = true) {
        host.setStatus(msg(key));
        if (repaint)
            host.repaint();
    }
    void step() {
        ++steps;
        if (position < kBarMax)
            ++position;
        host.setProgress(position);
        host.repaint();
        if (host.cancelRequested())
            host.cancelled(msg("Ger_Canc"));
    }
    void busy(bool on) {
        busyOn = on;
        host.busy(on);
    }
    // Read at every call, as the form's edit is.
    QString company() const { return host.text(Control::CdEmpresa); }
    QDate start() const { return suite::PriDiaMes(host.date(Control::DataIni).value_or(QDate())); }
    QDate end() const { return suite::UltimoDiaMes(host.date(Control::DataFin).value_or(QDate())); }
};

// One field of a record after its type: where its value comes from and
// whether it is stripped.
struct FieldSpec {
    enum class Kind { Fixed, Data, Control, Slot };
    Kind kind = Kind::Fixed;
    const char* text = ""; // the fixed text, or the dataset field's name
    suite::TClientDataSet GerArqPrevDatasets::*dataset = nullptr;
    Control control = Control::ArqDest;
    int slot = 0; // index into the values the block computes per line
    bool strip = false;
};

constexpr FieldSpec fixed(const char* t) {
    return {FieldSpec::Kind::Fixed, t};
}
constexpr FieldSpec empty() {
    return fixed("");
}
constexpr FieldSpec data(suite::TClientDataSet GerArqPrevDatasets::*ds, const char* field) {
    return {FieldSpec::Kind::Data, field, ds};
}
constexpr FieldSpec control(Control c) {
    return {FieldSpec::Kind::Control, "", nullptr, c};
}
constexpr FieldSpec slot(int i) {
    return {FieldSpec::Kind::Slot, "", nullptr, {}, i};
}
constexpr FieldSpec stripped(FieldSpec f) {
    f.strip = true;
    return f;
}

// A record layout bound to the datasets: dataset fields are resolved once, so
// writing a line per row only reads values.
class Record {
public:
    Record(const char* type, std::span<const FieldSpec> fields, GerArqPrevDatasets& ds);
    // Builds the line from the current rows and writes it; computed are the
    // values the block computed for this line.
    void write(RunContext& ctx, const QString* computed = nullptr);
    int fieldCount() const { return static_cast<int>(fields_.size()) + 1; }

private:
    struct Bound {
        FieldSpec def;
        const suite::TClientDataSet* ds = nullptr;
        int index = -1;
        QString fixedText;
    };
    QString type_;
    QList<Bound> fields_;
    QList<QString> values_;
};

// The blocks of the file, in the order the run writes them.
void writeBlock0(RunContext& ctx);
void writeChart(RunContext& ctx);          // I001, I005, I050, I100
void writeBalances(RunContext& ctx);       // I150
void writeEntries(RunContext& ctx);        // I200
void writeResultBalances(RunContext& ctx); // I250, I990
void writeBlock9(RunContext& ctx);

} // namespace gen
