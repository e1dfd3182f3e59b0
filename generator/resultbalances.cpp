// Pre-closing result balances (I250) and the block I closing (I990).
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {

void writeResultLines(RunContext& ctx, RecordWriter& i250) {
    auto& balances = ctx.ds.cdsSaldAntEnc;
    QString day[1];
    day[records::at::AssessmentMonth] =
        dateText(suite::PriDiaMes(ctx.host.date(Control::DataApu).value_or(QDate())));
    for (balances.First(); !balances.Eof(); balances.Next())
        i250.write(ctx, day);
}

} // namespace

void writeResultBalances(RunContext& ctx) {
    ctx.status("Import_SEnc");
    ctx.busy(true);
    QString selection = ctx.host.resultSelection();
    QString again = selection;
    ctx.srv.GetSaldAntEnc(ctx.company(), selection, again, ctx.end());
    ctx.host.setResultSelection(again);
    ctx.busy(false);

    writeRows(ctx, ctx.ds.cdsSaldAntEnc, records::RI250, &RunHost::UnitCounters::saldAntEnc,
              writeResultLines, Then::CloseSource);
    ctx.step();

    ctx.status("Enc_BlI");
    // Block I runs from I001 to this line, after block 0's fixed lines.
    const QString blockI[] = {countText(ctx.out.lines() + 1 - records::fixedLinesOf('0'))};
    RecordWriter(records::RI990, ctx.ds).write(ctx, blockI);
    ctx.step();
}

} // namespace gen
