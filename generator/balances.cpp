// Monthly balances (I150): three remote calls per row.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {
using D = GerArqPrevDatasets;

// Slots: 0 balance before the month, 1 its indicator, 2 and 3 the movement
// totals, 4 the month's balance.
constexpr FieldSpec kI150[] = {
    data(&D::cdsSaldMens, "CDCONTCTBL"),
    stripped(data(&D::cdsSaldMens, "MESANOSALDEMPR")),
    slot(0),
    slot(1),
    slot(2),
    slot(3),
    slot(4),
    data(&D::cdsSaldMens, "TIPOSALD"),
};
} // namespace

void writeBalances(RunContext& ctx) {
    ctx.status("Import_SMens");
    auto& months = ctx.ds.cdsSaldMens;
    if (months.IsEmpty()) {
        ctx.out.write(QStringLiteral("I150"), {QString(), QString(), QString(), QString(),
                                               QString(), QString(), QString()});
    } else {
        Record i150("I150", kI150, ctx.ds);
        const suite::TField date = months.FieldByName(QStringLiteral("DTSALDEMPR"));
        const suite::TField account = months.FieldByName(QStringLiteral("CDCONTCTBL"));
        const suite::TField balance = months.FieldByName(QStringLiteral("VRSALDEMPR"));
        const auto& before = ctx.ds.cdsSaldAntEnc;
        const suite::TField beforeValue = before.FieldByName(QStringLiteral("VRSALDEMPR"));
        const suite::TField beforeSide = before.FieldByName(QStringLiteral("IDSALDOFIN"));
        const suite::TField total = ctx.ds.cdsCredDeb.FieldByName(QStringLiteral("VALOR"));
        using Movement = GerArqPrevServer::Movement;
        QString computed[5];
        for (months.First(); !months.Eof(); months.Next()) {
            const QDate d = date.AsDateTime().date();
            const QDate first = suite::PriDiaMes(d);
            const QDate last = suite::UltimoDiaMes(d);
            const QString code = account.AsString();
            ctx.srv.GetSaldAntEncConta(ctx.company(), code, suite::DateToDayNumber(first) - 1.0);
            ctx.busy(true);
            ctx.srv.getcreddeb(ctx.company(), first, last, Movement::Debits, code);
            const double firstTotal = total.AsFloat();
            ctx.srv.getcreddeb(ctx.company(), first, last, Movement::Credits, code);
            const double secondTotal = total.AsFloat();

            const QString beforeText = beforeValue.AsString();
            if (suite::EmptyString(beforeText)) {
                computed[0] = QStringLiteral("0");
                computed[1] = QStringLiteral("C");
            } else {
                computed[0] = TiraMask(beforeText);
                computed[1] = beforeSide.AsString();
            }
            computed[2] = amountText(firstTotal);
            computed[3] = amountText(secondTotal);
            computed[4] = balance.IsNull() ? QString() : amountText(balance.AsFloat());
            i150.write(ctx, computed);
            ctx.step();
        }
    }
    ctx.nRegSaldMens = months.RecordCount();
    if (int* p = ctx.host.unitCounters().saldMens)
        *p = ctx.nRegSaldMens;
    ctx.ds.cdsCredDeb.Close();
}

} // namespace gen
