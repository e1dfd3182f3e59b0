#include "datasets.h"
#include "remotemethods.h"

namespace {
// The dataset a method loads, with the fields of its result.
suite::TClientDataSet loadedBy(const char* method) {
    const remote::MethodDecl& m = remote::method(method);
    return {QString::fromLatin1(m.dataset), remote::datasetFields(m.fields)};
}

suite::TClientDataSet unloaded(const char* name) {
    for (const remote::DatasetDecl& d : remote::unloadedDatasets())
        if (qstrcmp(d.name, name) == 0)
            return {QString::fromLatin1(name), remote::datasetFields(d.fields)};
    Q_UNREACHABLE();
}
} // namespace

GerArqPrevDatasets::GerArqPrevDatasets()
    : cdsSaldMens(loadedBy("getsaldmens")), cdsLancCont(loadedBy("GetLancCont")),
      cdsQuantLanc(unloaded("cdsQuantLanc")), cdsCcLanc(loadedBy("GetCcLanc")),
      cdsSaldAntEnc(loadedBy("GetSaldAntEnc")), cdsIdContrib(loadedBy("GetIdContrib")),
      cdsDadosCont(loadedBy("GetDadosCont")), cdsDadosTecEmpr(loadedBy("GetDadosTecEmpr")),
      cdsPlanContas(loadedBy("GetPlanContas")), cdsCentrCust(loadedBy("GetCentrCust")),
      cdsCredDeb(loadedBy("getcreddeb")) {}

QList<suite::TClientDataSet*> GerArqPrevDatasets::all() {
    return {&cdsSaldMens,   &cdsLancCont,  &cdsQuantLanc, &cdsCcLanc,
            &cdsSaldAntEnc, &cdsIdContrib, &cdsDadosCont, &cdsDadosTecEmpr,
            &cdsPlanContas, &cdsCentrCust, &cdsCredDeb};
}

suite::TClientDataSet* GerArqPrevDatasets::byName(const QString& name) {
    for (suite::TClientDataSet* d : all())
        if (d->name() == name)
            return d;
    return nullptr;
}
