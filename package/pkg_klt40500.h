#pragma once

class QMdiArea;

// The entries of the screen package Pkg_klt40500 (unit Cli_klt40500), all
// exported by name with C linkage. The unit's data (frmGerArqPrev,
// bostcriado and the record counters) is declared in package/unitstate.h.
extern "C" {

// The table of units the package holds, for the loader.
struct PackageInfoTable {
    int unitCount;
    const char* const* unitNames;
};

// Load and unload: run the units' initialisation parts in order, their
// finalisation parts in reverse order. The shell calls Initialize right after
// loading the library and Finalize before unloading it.
void Initialize();
void Finalize();
const PackageInfoTable* GetPackageInfoTable();

// The shell hands over the MDI area its screens open in. Without one (a
// package driven outside the shell) the screen opens as a top-level window.
void SetShellContext(QMdiArea* area);

// Opens the screen: creates the single form instance when there is none,
// then shows it, brings it to the front and restores it to the normal state.
// Errors pass on to the caller.
void IniProc();
void CriaGerArqPrev();
}
