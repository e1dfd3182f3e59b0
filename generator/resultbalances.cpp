// Pre-closing result balances (I250) and the block I closing (I990).
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {
using D = GerArqPrevDatasets;

// Slot 0: the first day of the assessment month.
constexpr FieldSpec kI250[] = {
    slot(0),
    data(&D::cdsSaldAntEnc, "CDCONTCTBL"),
    stripped(data(&D::cdsSaldAntEnc, "VRSALDEMPR")),
    data(&D::cdsSaldAntEnc, "IDSALDOFIN"),
};
} // namespace

void writeResultBalances(RunContext& ctx) {
    ctx.status("Import_SEnc");
    ctx.busy(true);
    QString selection = ctx.host.resultSelection();
    QString again = selection;
    ctx.srv.GetSaldAntEnc(ctx.company(), selection, again, ctx.end());
    ctx.host.setResultSelection(again);
    ctx.busy(false);

    auto& balances = ctx.ds.cdsSaldAntEnc;
    if (balances.IsEmpty()) {
        ctx.out.write(QStringLiteral("I250"), {QString(), QString(), QString(), QString()});
        ++ctx.i250Count;
    } else {
        Record i250("I250", kI250, ctx.ds);
        const QString day[] = {
            dateText(suite::PriDiaMes(ctx.host.date(Control::DataApu).value_or(QDate())))};
        for (balances.First(); !balances.Eof(); balances.Next()) {
            i250.write(ctx, day);
            ++ctx.i250Count;
        }
    }
    ctx.nRegSaldAntEnc = balances.RecordCount();
    if (int* p = ctx.host.unitCounters().saldAntEnc)
        *p = ctx.nRegSaldAntEnc;
    balances.Close();
    ctx.step();

    ctx.status("Enc_BlI");
    // Block I runs from I001 to this line; block 0 is always five lines.
    const int blockI = ctx.out.lines() + 1 - 5;
    ctx.out.write(QStringLiteral("I990"), {countText(blockI)});
    ctx.step();
}

} // namespace gen
