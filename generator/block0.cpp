// Block 0: taxpayer and file identification, accountant, computing supplier.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {

void writeBlock0(RunContext& ctx) {
    using namespace records;
    RecordWriter r0000(R0000, ctx.ds);
    RecordWriter r0001(R0001, ctx.ds);
    RecordWriter r0050(R0050, ctx.ds);
    RecordWriter r0100(R0100, ctx.ds);
    RecordWriter r0990(R0990, ctx.ds);

    QString derived[2];
    derived[at::Centralisation] = ctx.centralisation;
    derived[at::Purpose] = ctx.purpose;
    r0000.write(ctx, derived);
    ctx.step();

    ctx.status("Abert_Bl0");
    r0001.write(ctx);
    ctx.step();

    ctx.status("Import_Cont");
    ctx.srv.GetDadosCont(ctx.company());
    r0050.write(ctx);
    ctx.step();

    ctx.status("Import_TecEmpr");
    ctx.srv.GetDadosTecEmpr(ctx.company());
    r0100.write(ctx);
    ctx.step();

    ctx.status("Enc_Bl0");
    const QString lines[] = {countText(fixedLinesOf('0'))};
    r0990.write(ctx, lines);
    ctx.step();
}

} // namespace gen
