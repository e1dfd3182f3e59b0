// Journal entries (I200): one remote call per posting for its cost centre.
#include "generator/context.h"

namespace gen {
namespace {

void writePostings(RunContext& ctx, RecordWriter& i200) {
    auto& postings = ctx.ds.cdsLancCont;
    const suite::TField entry = postings.FieldByName(QStringLiteral("NRLANCCONT"));
    const suite::TField sequence = postings.FieldByName(QStringLiteral("NRSEQLANC"));
    postings.First();
    ctx.busy(true);
    while (!postings.Eof()) {
        ctx.srv.GetCcLanc(ctx.company(), entry.AsString(), sequence.AsString());
        i200.write(ctx);
        postings.Next();
        ctx.step();
    }
    ctx.busy(false);
}

} // namespace

void writeEntries(RunContext& ctx) {
    ctx.status("Import_LCont");
    writeRows(ctx, ctx.ds.cdsLancCont, records::RI200, &RunHost::UnitCounters::lancCont,
              writePostings, Then::CloseSource);
}

} // namespace gen
