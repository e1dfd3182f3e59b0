// Journal entries (I200): one remote call per posting for its cost centre.
#include "generator/context.h"

namespace gen {

void writeEntries(RunContext& ctx) {
    ctx.status("Import_LCont");
    auto& postings = ctx.ds.cdsLancCont;
    if (postings.IsEmpty()) {
        writePlaceholder(ctx, records::RI200);
        ++ctx.i200Count;
    } else {
        RecordWriter i200(records::RI200, ctx.ds);
        const suite::TField entry = postings.FieldByName(QStringLiteral("NRLANCCONT"));
        const suite::TField sequence = postings.FieldByName(QStringLiteral("NRSEQLANC"));
        postings.First();
        ctx.busy(true);
        while (!postings.Eof()) {
            ctx.srv.GetCcLanc(ctx.company(), entry.AsString(), sequence.AsString());
            i200.write(ctx);
            ++ctx.i200Count;
            postings.Next();
            ctx.step();
        }
        ctx.busy(false);
    }
    ctx.nRegLancCont = postings.RecordCount();
    if (int* p = ctx.host.unitCounters().lancCont)
        *p = ctx.nRegLancCont;
    postings.Close();
}

} // namespace gen
