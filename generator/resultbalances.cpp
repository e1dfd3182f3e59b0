// Pre-closing result balances (I250) and the block I closing (I990).
#include "generator/context.h"
#include "generator/text.h"

namespace gen {

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
        writePlaceholder(ctx, records::RI250);
        ++ctx.i250Count;
    } else {
        RecordWriter i250(records::RI250, ctx.ds);
        QString day[1];
        day[records::at::AssessmentMonth] =
            dateText(suite::PriDiaMes(ctx.host.date(Control::DataApu).value_or(QDate())));
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
    // Block I runs from I001 to this line, after block 0's fixed lines.
    const QString blockI[] = {countText(ctx.out.lines() + 1 - records::fixedLinesOf('0'))};
    RecordWriter(records::RI990, ctx.ds).write(ctx, blockI);
    ctx.step();
}

} // namespace gen
