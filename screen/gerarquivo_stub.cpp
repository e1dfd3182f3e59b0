// Stands in for the generation run until its adapter is built with the
// screen; the real definition replaces this one.
#include "screen/frmgerarqprev.h"

__attribute__((weak)) void TfrmGerArqPrev::GeraArquivo() {}
