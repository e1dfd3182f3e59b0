#pragma once
#include "suite/core/clientdataset.h"

// The client datasets of the parameter form, with their declared fields. One
// instance is owned by whoever drives a generation run (the form or the
// command line); each remote result replaces one dataset's content.
struct GerArqPrevDatasets {
    GerArqPrevDatasets();

    suite::TClientDataSet cdsSaldMens;
    suite::TClientDataSet cdsLancCont;
    suite::TClientDataSet cdsQuantLanc;
    suite::TClientDataSet cdsCcLanc;
    suite::TClientDataSet cdsSaldAntEnc;
    suite::TClientDataSet cdsIdContrib;
    suite::TClientDataSet cdsDadosCont;
    suite::TClientDataSet cdsDadosTecEmpr;
    suite::TClientDataSet cdsPlanContas;
    suite::TClientDataSet cdsCentrCust;
    suite::TClientDataSet cdsCredDeb;

    // All eleven, in declaration order.
    QList<suite::TClientDataSet*> all();
    // The dataset of that name (a method's declared dataset); nullptr if none.
    suite::TClientDataSet* byName(const QString& name);
};
