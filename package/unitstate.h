#pragma once
#include <memory>

class TfrmGerArqPrev;
namespace suite {
class TDBPicture;
}

// The state of the screen's unit, exported by the package under these names.
// All of it starts at zero when the package is loaded.
extern "C" {
// The form instance; set at creation and never cleared, valid only while
// bostcriado is true.
extern TfrmGerArqPrev* frmGerArqPrev;
// The instance exists: true from creation until the form closes.
extern bool bostcriado;
// Record counts of cdsSaldMens, cdsLancCont and cdsSaldAntEnc saved by the
// generation run for block 9.
extern int InNRegSaldMens;
extern int InNRegLancCont;
extern int InNRegSaldAntEnc;
}

// The account picture made at each form creation; the result-account picker
// asks it for the number of levels of the chart of accounts.
extern std::unique_ptr<suite::TDBPicture> PictConta;

// The unit's initialisation, run when the package is loaded.
void InitUnitCli_klt40500();
