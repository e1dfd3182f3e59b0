// Journal entries (I200): one remote call per posting for its cost centre.
#include "generator/context.h"

namespace gen {
namespace {
using D = GerArqPrevDatasets;

constexpr FieldSpec kI200[] = {
    stripped(data(&D::cdsLancCont, "DTLANCCONT")),
    data(&D::cdsLancCont, "CDCONTCTBL"),
    data(&D::cdsCcLanc, "CDCENTCUST"),
    empty(),
    stripped(data(&D::cdsLancCont, "VRLANCAMENT")),
    data(&D::cdsLancCont, "IDNATLANC"),
    data(&D::cdsLancCont, "CDDOCUCONT"),
    data(&D::cdsLancCont, "NRLANCCONT"),
    fixed("N"),
    data(&D::cdsLancCont, "DSHISTLANC"),
};
} // namespace

void writeEntries(RunContext& ctx) {
    ctx.status("Import_LCont");
    auto& postings = ctx.ds.cdsLancCont;
    if (postings.IsEmpty()) {
        ctx.out.write(QStringLiteral("I200"),
                      {QString(), QString(), QString(), QString(), QString(), QString(), QString(),
                       QString(), QStringLiteral("N"), QString()});
        ++ctx.i200Count;
    } else {
        Record i200("I200", kI200, ctx.ds);
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
