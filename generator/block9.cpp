// Block 9: the line count of every record type and the file trailer.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {

void writeBlock9(RunContext& ctx) {
    ctx.status("Cont_Arq", false);
    ctx.status("Abert_Bl9", false);
    ctx.out.write(QStringLiteral("9001"), {QStringLiteral("0")});
    ctx.step();

    ctx.status("Import_RegBl", false);
    // Each type declares the lines actually written, so the seventeen counts
    // always add up to the trailer's total; block 9's own lines are known.
    static const char* const written[] = {"0000", "0001", "0050", "0100", "0990", "I001", "I005",
                                          "I050", "I100", "I150", "I200", "I250", "I990", "9001"};
    const QString type9900 = QStringLiteral("9900");
    for (const char* t : written) {
        const QString type = QString::fromLatin1(t);
        ctx.out.write(type9900, {type, countText(ctx.out.linesOf(type))});
    }
    ctx.out.write(type9900, {QStringLiteral("9900"), countText(17)});
    ctx.out.write(type9900, {QStringLiteral("9990"), countText(1)});
    ctx.out.write(type9900, {QStringLiteral("9999"), countText(1)});
    ctx.step();

    ctx.status("Enc_Bl9", false);
    ctx.out.write(QStringLiteral("9990"), {QStringLiteral("20")});
    ctx.step();

    ctx.status("Enc_Arq", false);
    ctx.out.write(QStringLiteral("9999"), {countText(ctx.out.lines() + 1)});
    ctx.step();
}

} // namespace gen
