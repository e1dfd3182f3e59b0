// Block 0: taxpayer and file identification, accountant, computing supplier.
#include "generator/context.h"

namespace gen {
namespace {
using D = GerArqPrevDatasets;

// Slots: 0 centralisation indicator, 1 file-purpose code.
constexpr FieldSpec k0000[] = {
    data(&D::cdsIdContrib, "NMRAZSOCEMPR"),
    data(&D::cdsIdContrib, "NRINSJUREMPR"),
    control(Control::Cpf),
    control(Control::Cei),
    control(Control::Nit),
    data(&D::cdsIdContrib, "SGESTADO"),
    data(&D::cdsIdContrib, "NRINSCESTA"),
    data(&D::cdsIdContrib, "CDMUNICIPIO"),
    stripped(data(&D::cdsIdContrib, "NRREGJUNCOM")),
    control(Control::Suframa),
    slot(0),
    data(&D::cdsIdContrib, "DTINI"),
    stripped(data(&D::cdsIdContrib, "DTFIN")),
    fixed("003"),
    slot(1),
    fixed("1"),
};

constexpr FieldSpec k0050[] = {
    data(&D::cdsDadosCont, "NMCONTADOR"),
    data(&D::cdsDadosCont, "NRINSJURCONT"),
    data(&D::cdsDadosCont, "NRCPFRESPONS"),
    stripped(data(&D::cdsDadosCont, "NRCRCCONT2")),
    control(Control::IniPerCont),
    control(Control::FinPerCont),
    data(&D::cdsDadosCont, "NRCEP"),
    data(&D::cdsDadosCont, "DSLOGRADOURO"),
    data(&D::cdsDadosCont, "DSCOMPLLOGRA"),
    empty(),
    data(&D::cdsDadosCont, "DSBAIRRO"),
    empty(),
    empty(),
    data(&D::cdsDadosCont, "NRTELCONTATO"),
    data(&D::cdsDadosCont, "NRFAXCONTATO"),
    data(&D::cdsDadosCont, "DSENDINTERN"),
};

// Three fields of the supplier's record come from the accountant's dataset.
constexpr FieldSpec k0100[] = {
    data(&D::cdsDadosTecEmpr, "NMRAZSOCEMPR"),
    control(Control::CargoInfo),
    control(Control::IniPerInfo),
    control(Control::FinPerInfo),
    data(&D::cdsDadosTecEmpr, "NRINSJUREMPR"),
    data(&D::cdsDadosCont, "NRCPFRESPONS"),
    data(&D::cdsDadosTecEmpr, "NRTELEFOEMPR"),
    data(&D::cdsDadosCont, "NRFAXCONTATO"),
    data(&D::cdsDadosCont, "DSENDINTERN"),
};
} // namespace

void writeBlock0(RunContext& ctx) {
    Record r0000("0000", k0000, ctx.ds);
    Record r0050("0050", k0050, ctx.ds);
    Record r0100("0100", k0100, ctx.ds);

    const QString derived[] = {ctx.centralisation, ctx.purpose};
    r0000.write(ctx, derived);
    ctx.step();

    ctx.status("Abert_Bl0");
    ctx.out.write(QStringLiteral("0001"), {QStringLiteral("0")});
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
    ctx.out.write(QStringLiteral("0990"), {QStringLiteral("5")});
    ctx.step();
}

} // namespace gen
