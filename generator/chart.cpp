// Block I opening, chart of accounts and cost centres.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {
// Natures 1 to 5 pass as delivered; anything else, empty included, is "9".
QString nature(const QString& indNat) {
    if (!indNat.isEmpty() && indNat.front() >= u'1' && indNat.front() <= u'5')
        return indNat;
    return QStringLiteral("9");
}

void writeCentres(RunContext& ctx, RecordWriter& i100) {
    auto& centres = ctx.ds.cdsCentrCust;
    for (centres.First(); !centres.Eof(); centres.Next())
        i100.write(ctx);
}

} // namespace

void writeChart(RunContext& ctx) {
    ctx.status("Abert_BlI");
    RecordWriter(records::RI001, ctx.ds).write(ctx);
    ctx.step();
    ctx.status("Import_IdEsc");
    RecordWriter(records::RI005, ctx.ds).write(ctx);
    ctx.step();

    ctx.status("Import_PlCont");
    ctx.srv.GetPlanContas();
    auto& plan = ctx.ds.cdsPlanContas;
    RecordWriter i050(records::RI050, ctx.ds);
    const suite::TField indNat = plan.FieldByName(QStringLiteral("IND_NAT"));
    QString computed[2];
    computed[records::at::FirstDay] = dateText(ctx.start());
    for (plan.First(); !plan.Eof(); plan.Next()) {
        computed[records::at::Nature] = nature(indNat.AsString());
        i050.write(ctx, computed);
    }
    ctx.step();

    ctx.status("Import_CCus");
    ctx.srv.GetCentrCust();
    writeRows(ctx, ctx.ds.cdsCentrCust, records::RI100, nullptr, writeCentres);
    ctx.step();
}

} // namespace gen
