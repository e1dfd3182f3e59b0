// Block I opening, chart of accounts and cost centres.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {
using D = GerArqPrevDatasets;

// Slots: 0 date of the period's first day, 1 nature.
constexpr FieldSpec kI050[] = {
    slot(0),
    slot(1),
    data(&D::cdsPlanContas, "IDTIPOCONT"),
    data(&D::cdsPlanContas, "CDNVCONTCTBL"),
    data(&D::cdsPlanContas, "CDCONTCTBL"),
    data(&D::cdsPlanContas, "CDCONTANTE"),
    data(&D::cdsPlanContas, "NMCONTCTBL"),
};

constexpr FieldSpec kI100[] = {
    stripped(data(&D::cdsCentrCust, "DTATUALIZ")),
    data(&D::cdsCentrCust, "CDCENTCUST"),
    data(&D::cdsCentrCust, "NMCENTCUST"),
};

// Natures 1 to 5 pass as delivered; anything else, empty included, is "9".
QString nature(const QString& indNat) {
    if (!indNat.isEmpty() && indNat.front() >= u'1' && indNat.front() <= u'5')
        return indNat;
    return QStringLiteral("9");
}
} // namespace

void writeChart(RunContext& ctx) {
    ctx.status("Abert_BlI");
    ctx.out.write(QStringLiteral("I001"), {QStringLiteral("0")});
    ctx.step();
    ctx.status("Import_IdEsc");
    ctx.out.write(QStringLiteral("I005"), {QStringLiteral("G")});
    ctx.step();

    ctx.status("Import_PlCont");
    ctx.srv.GetPlanContas();
    auto& plan = ctx.ds.cdsPlanContas;
    Record i050("I050", kI050, ctx.ds);
    const suite::TField indNat = plan.FieldByName(QStringLiteral("IND_NAT"));
    QString computed[2] = {dateText(ctx.start()), QString()};
    for (plan.First(); !plan.Eof(); plan.Next()) {
        computed[1] = nature(indNat.AsString());
        i050.write(ctx, computed);
    }
    ctx.step();

    ctx.status("Import_CCus");
    ctx.srv.GetCentrCust();
    auto& centres = ctx.ds.cdsCentrCust;
    if (centres.IsEmpty()) {
        ctx.out.write(QStringLiteral("I100"), {QString(), QString(), QString()});
    } else {
        Record i100("I100", kI100, ctx.ds);
        for (centres.First(); !centres.Eof(); centres.Next())
            i100.write(ctx);
    }
    ctx.step();
}

} // namespace gen
