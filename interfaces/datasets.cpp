#include "datasets.h"

namespace {
using suite::FieldDecl;
using suite::FieldType;

FieldDecl str(const char* name, int size, bool readOnly = false) {
    return {QString::fromLatin1(name), FieldType::String, size, readOnly};
}
FieldDecl real(const char* name) {
    return {QString::fromLatin1(name), FieldType::Float, 0, false};
}
FieldDecl stamp(const char* name) {
    return {QString::fromLatin1(name), FieldType::DateTime, 0, false};
}

// The server's width for codes, names and numbers as the books write them.
constexpr int kWide = 255;
} // namespace

GerArqPrevDatasets::GerArqPrevDatasets()
    : cdsSaldMens(QStringLiteral("cdsSaldMens"),
                  {stamp("DTSALDEMPR"), str("MESANOSALDEMPR", 7), str("CDCONTCTBL", kWide),
                   real("VRSALDEMPR"), str("TIPOSALD", 1)}),
      cdsLancCont(QStringLiteral("cdsLancCont"),
                  {str("NRLANCCONT", kWide), str("DTLANCCONT", 8), str("CDCONTCTBL", kWide),
                   str("CDDOCUCONT", kWide), str("DSHISTLANC", 200), str("VRLANCAMENT", 40),
                   str("NRSEQLANC", 5), str("IDNATLANC", 1), str("VRTOTDC", 40)}),
      cdsQuantLanc(QStringLiteral("cdsQuantLanc"),
                   {real("QTCRED"), real("QTDEB"), str("CDCONTCTBL", kWide), str("NRSEQLANC", 5)}),
      cdsCcLanc(QStringLiteral("cdsCcLanc"), {str("CDCENTCUST", kWide)}),
      cdsSaldAntEnc(QStringLiteral("cdsSaldAntEnc"), {str("CDCONTCTBL", kWide), str("VRSALDEMPR", 40),
                                                      str("IDSALDOFIN", 1), str("DTSALDEMPR", 8)}),
      cdsIdContrib(QStringLiteral("cdsIdContrib"),
                   {str("NMRAZSOCEMPR", kWide), str("NRINSJUREMPR", 20), str("SGESTADO", 2),
                    str("NRINSCESTA", 16), str("CDMUNICIPIO", 7), str("NRREGJUNCOM", 20),
                    str("DTINI", 8, true), str("DTFIN", 8, true)}),
      cdsDadosCont(QStringLiteral("cdsDadosCont"),
                   {str("NMCONTADOR", kWide), str("NRINSJURCONT", 14), str("NRCPFRESPONS", 11),
                    str("NRCRCCONT2", kWide), str("NRCEP", 15), str("DSLOGRADOURO", 50),
                    str("DSCOMPLLOGRA", 20), str("DSBAIRRO", 20), str("NRTELCONTATO", kWide),
                    str("NRFAXCONTATO", 25), str("DSENDINTERN", kWide)}),
      cdsDadosTecEmpr(QStringLiteral("cdsDadosTecEmpr"),
                      {str("NMRAZSOCEMPR", 80), str("NRINSJUREMPR", 20), str("NRTELEFOEMPR", 25)}),
      cdsPlanContas(QStringLiteral("cdsPlanContas"),
                    {str("DTATUALIZ", 8, true), str("IND_NAT", 1, true), str("IDTIPOCONT", 1),
                     str("CDNVCONTCTBL", 1), str("CDCONTCTBL", kWide), str("CDCONTANTE", kWide),
                     str("NMCONTCTBL", kWide)}),
      cdsCentrCust(QStringLiteral("cdsCentrCust"),
                   {str("DTATUALIZ", 8, true), str("CDCENTCUST", kWide), str("NMCENTCUST", kWide)}),
      cdsCredDeb(QStringLiteral("cdsCredDeb"),
                 {real("VALOR"), str("CDCONTCTBL", kWide), str("DTSALDO", 5)}) {}

QList<suite::TClientDataSet*> GerArqPrevDatasets::all() {
    return {&cdsSaldMens,   &cdsLancCont,  &cdsQuantLanc, &cdsCcLanc,
            &cdsSaldAntEnc, &cdsIdContrib, &cdsDadosCont, &cdsDadosTecEmpr,
            &cdsPlanContas, &cdsCentrCust, &cdsCredDeb};
}
