#include "package/unitstate.h"
#include "suite/data/dbpicture.h"

extern "C" {
TfrmGerArqPrev* frmGerArqPrev = nullptr;
bool bostcriado = false;
int InNRegSaldMens = 0;
int InNRegLancCont = 0;
int InNRegSaldAntEnc = 0;
}

std::unique_ptr<suite::TDBPicture> PictConta;

void InitUnitCli_klt40500() {
    bostcriado = false;
}
