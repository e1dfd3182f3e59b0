#pragma once
#include "generator/linewriter.h"
#include "generator/records.h"
#include "generator/runhost.h"
#include "interfaces/datasets.h"
#include "interfaces/server.h"
#include "suite/core/utils.h"

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
    int steps = 0;          // progress steps made
    int position = 0;       // bar position, at most kProgressMax
    bool busyOn = false;

    QString msg(const char* key) const { return host.msg(QString::fromLatin1(key)); }
    void status(const char* key, bool repaint = true) {
        host.setStatus(msg(key));
        if (repaint)
            host.repaint();
    }
    void step() {
        ++steps;
        if (position < kProgressMax)
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

// A record layout bound to the datasets: dataset fields are resolved once, so
// writing a line per row only reads values.
class RecordWriter {
public:
    RecordWriter(records::Type type, GerArqPrevDatasets& ds);
    // Builds the line from the current rows and writes it; computed are the
    // values the block computed for this line.
    void write(RunContext& ctx, const QString* computed = nullptr);

private:
    struct Bound {
        records::Field def;
        const suite::TClientDataSet* ds = nullptr;
        int index = -1;
        QString fixedText;
    };
    QString type_;
    QList<Bound> fields_;
    QList<QString> values_;
};

inline QString typeName(const records::Record& r) {
    return QString::fromLatin1(r.type.data(), static_cast<qsizetype>(r.type.size()));
}

// The line of empty fields standing in for a source without rows.
void writePlaceholder(RunContext& ctx, records::Type type);

// A record written from the rows of its source by eachRow, which walks them,
// or its placeholder line when the source has none; then the source's row
// count goes to the host's counter shown (none when null), and the source is
// closed when then says so.
using EachRow = void (*)(RunContext& ctx, RecordWriter& out);
enum class Then { KeepSource, CloseSource };
void writeRows(RunContext& ctx, suite::TClientDataSet& source, records::Type type,
               int* RunHost::UnitCounters::*shown, EachRow eachRow, Then then = Then::KeepSource);

// The blocks of the file, in the order the run writes them.
void writeBlock0(RunContext& ctx);
void writeChart(RunContext& ctx);          // I001, I005, I050, I100
void writeBalances(RunContext& ctx);       // I150
void writeEntries(RunContext& ctx);        // I200
void writeResultBalances(RunContext& ctx); // I250, I990
void writeBlock9(RunContext& ctx);

} // namespace gen
