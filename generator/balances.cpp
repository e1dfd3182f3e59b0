// Monthly balances (I150): three remote calls per row.
#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {

void writeMonths(RunContext& ctx, RecordWriter& i150) {
    using namespace records::at;
    auto& months = ctx.ds.cdsSaldMens;
    const suite::TField date = months.FieldByName(QStringLiteral("DTSALDEMPR"));
    const suite::TField account = months.FieldByName(QStringLiteral("CDCONTCTBL"));
    const suite::TField balance = months.FieldByName(QStringLiteral("VRSALDEMPR"));
    const auto& before = ctx.ds.cdsSaldAntEnc;
    const suite::TField beforeValue = before.FieldByName(QStringLiteral("VRSALDEMPR"));
    const suite::TField beforeSide = before.FieldByName(QStringLiteral("IDSALDOFIN"));
    const suite::TField total = ctx.ds.cdsCredDeb.FieldByName(QStringLiteral("VALOR"));
    using Movement = GerArqPrevServer::Movement;
    QString computed[I150Count];
    for (months.First(); !months.Eof(); months.Next()) {
        const QDate d = date.AsDateTime().date();
        const QDate first = suite::PriDiaMes(d);
        const QDate last = suite::UltimoDiaMes(d);
        const QString code = account.AsString();
        ctx.srv.GetSaldAntEncConta(ctx.company(), code, suite::DateToDayNumber(first) - 1.0);
        ctx.busy(true);
        ctx.srv.getcreddeb(ctx.company(), first, last, Movement::Debits, code);
        const double debits = total.AsFloat();
        ctx.srv.getcreddeb(ctx.company(), first, last, Movement::Credits, code);
        const double credits = total.AsFloat();

        const QString beforeText = beforeValue.AsString();
        if (suite::EmptyString(beforeText)) {
            computed[Opening] = QStringLiteral("0");
            computed[OpeningSide] = QStringLiteral("C");
        } else {
            computed[Opening] = TiraMask(beforeText);
            computed[OpeningSide] = beforeSide.AsString();
        }
        computed[Debits] = trimmedAmountText(debits);
        computed[Credits] = trimmedAmountText(credits);
        computed[Closing] = balance.IsNull() ? QString() : trimmedAmountText(balance.AsFloat());
        i150.write(ctx, computed);
        ctx.step();
    }
}

} // namespace

void writeBalances(RunContext& ctx) {
    ctx.status("Import_SMens");
    writeRows(ctx, ctx.ds.cdsSaldMens, records::RI150, &RunHost::UnitCounters::saldMens,
              writeMonths);
    ctx.ds.cdsCredDeb.Close();
}

} // namespace gen
