#pragma once
#include <QByteArrayView>
#include <QtGlobal>
#include <span>

// The record layouts of an ECD book as data: which record types exist, how
// many fields each one the import uses may have in each layout version, what
// each field holds, and which record a child belongs to.
namespace importer::layout {

// The newest layout version whose field counts are known here.
constexpr int CurrentVersion = 9;

// How a field's content is checked and converted.
enum class Kind : quint8 {
    Text,    // any text, taken whole
    Date,    // ddmmaaaa, a date that exists
    Amount,  // digits, optionally a comma and up to 2 decimals; no sign
    Side,    // D or C
    Integer, // digits only
    Choice,  // one of a short list of codes
    Digits,  // exactly a given number of digits (CNPJ, municipality code)
};

struct Field {
    int number;       // 1-based; the record type is field 1
    const char* name; // as the layout names it
    Kind kind = Kind::Text;
    bool required = false;
    const char* choices = nullptr; // Choice: the codes, separated by ','
    int digits = 0;                // Digits: the exact length
};

// The records the reader hands over; every other known type is read past.
enum class Id : quint8 {
    Other,
    R0000,
    I010,
    I030,
    I050,
    I075,
    I100,
    I150,
    I155,
    I157,
    I200,
    I250,
    I350,
    I355,
    J900,
    J930,
    R9900,
    R9999,
};

struct Record {
    const char* type;
    Id id = Id::Other;
    const char* parent = nullptr;  // the record a child belongs to, or none
    std::span<const Field> fields; // every field of version 9; empty when read past
    int minCount = 0;              // fewest fields accepted in version 9 and later
    int maxCount = 0;              // most fields accepted in version 9; 0: any number
    int oldMinCount = 0;           // fewest fields accepted in the older versions
};

// The accepted field counts of a record; max 0 means no upper limit.
struct Counts {
    int min = 0;
    int max = 0;
    bool accepts(int n) const { return n >= min && (max == 0 || n <= max); }
};

// The record of a type, or nullptr when the type is unknown.
const Record* find(QByteArrayView type);

// Every known record, in layout order.
std::span<const Record> records();

// The counts a record may have in a layout version (its major number);
// version 0 when the book has not said its version yet.
Counts acceptedCounts(const Record& r, int version);

// Whether some record belongs to this one in the hierarchy.
bool hasChildren(const Record& r);

// The field of a record with its 1-based number, or nullptr.
const Field* field(const Record& r, int number);

// Field numbers of the records the reader converts, as the layout numbers them.
namespace f0000 {
enum : int {
    Reg = 1,
    Lecd,
    DtIni,
    DtFin,
    Nome,
    Cnpj,
    Uf,
    Ie,
    CodMun,
    Im,
    IndSitEsp,
    IndSitIniPer,
    IndNire,
    IndFinEsc,
    CodHashSub,
    IndGrandePorte,
    TipEcd,
    CodScp,
    IdentMf,
    IndEscCons,
    IndCentralizada,
    IndMudancPc,
    CodPlanRef
};
}
namespace fI010 {
enum : int { Reg = 1, IndEsc, CodVerLc };
}
namespace fI030 {
enum : int {
    Reg = 1,
    DnrcAbert,
    NumOrd,
    NatLivr,
    QtdLin,
    Nome,
    Nire,
    Cnpj,
    DtArq,
    DtArqConv,
    DescMun,
    DtExSocial
};
}
namespace fI050 {
enum : int { Reg = 1, DtAlt, CodNat, IndCta, Nivel, CodCta, CodCtaSup, Cta };
}
namespace fI075 {
enum : int { Reg = 1, CodHist, DescrHist };
}
namespace fI100 {
enum : int { Reg = 1, DtAlt, CodCcus, Ccus };
}
namespace fI150 {
enum : int { Reg = 1, DtIni, DtFin };
}
namespace fI155 {
enum : int { Reg = 1, CodCta, CodCcus, VlSldIni, IndDcIni, VlDeb, VlCred, VlSldFin, IndDcFin };
}
namespace fI157 {
enum : int { Reg = 1, CodCta, CodCcus, VlSldIni, IndDcIni };
}
namespace fI200 {
enum : int { Reg = 1, NumLcto, DtLcto, VlLcto, IndLcto, DtLctoExt };
}
namespace fI250 {
enum : int { Reg = 1, CodCta, CodCcus, VlDc, IndDc, NumArq, CodHistPad, Hist, CodPart };
}
namespace fI350 {
enum : int { Reg = 1, DtRes };
}
namespace fI355 {
enum : int { Reg = 1, CodCta, CodCcus, VlCta, IndDc };
}
namespace fJ900 {
enum : int { Reg = 1, DnrcEncer, NumOrd, NatLivro, Nome, QtdLin, DtIniEscr, DtFinEscr };
}
namespace fJ930 {
enum : int {
    Reg = 1,
    IdentNom,
    IdentCpfCnpj,
    IdentQualif,
    CodAssin,
    IndCrc,
    Email,
    Fone,
    UfCrc,
    NumSeqCrc,
    DtCrc,
    IndRespLegal
};
}
namespace f9900 {
enum : int { Reg = 1, RegBlc, QtdRegBlc };
}
namespace f9999 {
enum : int { Reg = 1, QtdLin };
}

} // namespace importer::layout
