#pragma once

namespace gen {

// The controls the run reads or puts the focus on.
enum class Control {
    ArqDest,    // edtArqDest: destination file
    CdEmpresa,  // edtCdEmpresa: company code
    DataIni,    // depDataIni: period start
    DataFin,    // depDataFin: period end
    DataApu,    // depDataApu: assessment date
    IniPerInfo, // depIniPerInfo: computing service from
    FinPerInfo, // depFinPerInfo
    IniPerCont, // depIniPerCont: accounting service from
    FinPerCont, // depFinPerCont
    Cpf,        // medCPF (value without mask literals)
    Cei,        // medCEI
    Nit,        // medNIT
    Suframa,    // medSuframa
    CargoInfo,  // medCargoInfo
};

} // namespace gen
