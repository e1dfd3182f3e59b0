// Block 9: the line count of every record type and the file trailer.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {

void writeBlock9(RunContext& ctx) {
    using namespace records;
    ctx.status("Cont_Arq", false);
    ctx.status("Abert_Bl9", false);
    RecordWriter(R9001, ctx.ds).write(ctx);
    ctx.step();

    ctx.status("Import_RegBl", false);
    // Each type written so far declares the lines actually written, so the
    // counts always add up to the trailer's total; block 9's own lines from
    // 9900 on are known.
    RecordWriter r9900(R9900, ctx.ds);
    QString counted[2];
    for (int t = 0; t < TypeCount; ++t) {
        const Record& decl = kRecords[static_cast<std::size_t>(t)];
        counted[at::CountedType] = typeName(decl);
        counted[at::CountedLines] = countText(t < R9900 ? ctx.out.linesOf(counted[at::CountedType])
                                                        : fixedLines(static_cast<Type>(t)));
        r9900.write(ctx, counted);
    }
    ctx.step();

    ctx.status("Enc_Bl9", false);
    const QString block9[] = {countText(fixedLinesOf('9'))};
    RecordWriter(R9990, ctx.ds).write(ctx, block9);
    ctx.step();

    ctx.status("Enc_Arq", false);
    const QString file[] = {countText(ctx.out.lines() + 1)};
    RecordWriter(R9999, ctx.ds).write(ctx, file);
    ctx.step();
}

} // namespace gen
