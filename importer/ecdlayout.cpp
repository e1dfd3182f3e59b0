#include "importer/ecdlayout.h"
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace importer::layout {
namespace {

constexpr bool R = true; // required
using K = Kind;

// Each table lists every field of the record in layout version 9, in order.
template <std::size_t N> constexpr bool numbered(const Field (&fs)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (fs[i].number != int(i) + 1)
            return false;
    return true;
}

constexpr Field k0000[] = {
    {f0000::Reg, "REG"},
    {f0000::Lecd, "LECD", K::Choice, R, "LECD"},
    {f0000::DtIni, "DT_INI", K::Date, R},
    {f0000::DtFin, "DT_FIN", K::Date, R},
    {f0000::Nome, "NOME", K::Text, R},
    {f0000::Cnpj, "CNPJ", K::Digits, R, nullptr, 14},
    {f0000::Uf, "UF"},
    {f0000::Ie, "IE"},
    {f0000::CodMun, "COD_MUN", K::Digits, false, nullptr, 7},
    {f0000::Im, "IM"},
    {f0000::IndSitEsp, "IND_SIT_ESP"},
    {f0000::IndSitIniPer, "IND_SIT_INI_PER"},
    {f0000::IndNire, "IND_NIRE", K::Choice, false, "0,1"},
    {f0000::IndFinEsc, "IND_FIN_ESC", K::Choice, R, "0,1"},
    {f0000::CodHashSub, "COD_HASH_SUB"},
    {f0000::IndGrandePorte, "IND_GRANDE_PORTE"},
    {f0000::TipEcd, "TIP_ECD", K::Choice, false, "0,1,2"},
    {f0000::CodScp, "COD_SCP"},
    {f0000::IdentMf, "IDENT_MF", K::Choice, false, "S,N"},
    {f0000::IndEscCons, "IND_ESC_CONS"},
    {f0000::IndCentralizada, "IND_CENTRALIZADA"},
    {f0000::IndMudancPc, "IND_MUDANC_PC"},
    {f0000::CodPlanRef, "COD_PLAN_REF"},
};
static_assert(numbered(k0000));

constexpr Field kI010[] = {
    {fI010::Reg, "REG"},
    {fI010::IndEsc, "IND_ESC", K::Choice, R, "G,R,A,B,Z"},
    {fI010::CodVerLc, "COD_VER_LC", K::Text, R},
};
static_assert(numbered(kI010));

constexpr Field kI030[] = {
    {fI030::Reg, "REG"},          {fI030::DnrcAbert, "DNRC_ABERT"},
    {fI030::NumOrd, "NUM_ORD"},   {fI030::NatLivr, "NAT_LIVR"},
    {fI030::QtdLin, "QTD_LIN"},   {fI030::Nome, "NOME"},
    {fI030::Nire, "NIRE"},        {fI030::Cnpj, "CNPJ", K::Digits, false, nullptr, 14},
    {fI030::DtArq, "DT_ARQ"},     {fI030::DtArqConv, "DT_ARQ_CONV"},
    {fI030::DescMun, "DESC_MUN"}, {fI030::DtExSocial, "DT_EX_SOCIAL"},
};
static_assert(numbered(kI030));

constexpr Field kI050[] = {
    {fI050::Reg, "REG"},
    {fI050::DtAlt, "DT_ALT", K::Date, R},
    {fI050::CodNat, "COD_NAT", K::Choice, R, "01,02,03,04,05,09"},
    {fI050::IndCta, "IND_CTA", K::Choice, R, "S,A"},
    {fI050::Nivel, "NIVEL", K::Integer, R},
    {fI050::CodCta, "COD_CTA", K::Text, R},
    {fI050::CodCtaSup, "COD_CTA_SUP"},
    {fI050::Cta, "CTA", K::Text, R},
};
static_assert(numbered(kI050));

constexpr Field kI075[] = {
    {fI075::Reg, "REG"},
    {fI075::CodHist, "COD_HIST", K::Text, R},
    {fI075::DescrHist, "DESCR_HIST"},
};
static_assert(numbered(kI075));

constexpr Field kI100[] = {
    {fI100::Reg, "REG"},
    {fI100::DtAlt, "DT_ALT", K::Date, R},
    {fI100::CodCcus, "COD_CCUS", K::Text, R},
    {fI100::Ccus, "CCUS"},
};
static_assert(numbered(kI100));

constexpr Field kI150[] = {
    {fI150::Reg, "REG"},
    {fI150::DtIni, "DT_INI", K::Date, R},
    {fI150::DtFin, "DT_FIN", K::Date, R},
};
static_assert(numbered(kI150));

// A zero balance may come without its side; the reader checks that pairing.
constexpr Field kI155[] = {
    {fI155::Reg, "REG"},
    {fI155::CodCta, "COD_CTA", K::Text, R},
    {fI155::CodCcus, "COD_CCUS"},
    {fI155::VlSldIni, "VL_SLD_INI", K::Amount, R},
    {fI155::IndDcIni, "IND_DC_INI", K::Side},
    {fI155::VlDeb, "VL_DEB", K::Amount, R},
    {fI155::VlCred, "VL_CRED", K::Amount, R},
    {fI155::VlSldFin, "VL_SLD_FIN", K::Amount, R},
    {fI155::IndDcFin, "IND_DC_FIN", K::Side},
};
static_assert(numbered(kI155));

constexpr Field kI157[] = {
    {fI157::Reg, "REG"},
    {fI157::CodCta, "COD_CTA", K::Text, R},
    {fI157::CodCcus, "COD_CCUS"},
    {fI157::VlSldIni, "VL_SLD_INI", K::Amount, R},
    {fI157::IndDcIni, "IND_DC_INI", K::Side},
};
static_assert(numbered(kI157));

constexpr Field kI200[] = {
    {fI200::Reg, "REG"},
    {fI200::NumLcto, "NUM_LCTO", K::Text, R},
    {fI200::DtLcto, "DT_LCTO", K::Date, R},
    {fI200::VlLcto, "VL_LCTO", K::Amount, R},
    {fI200::IndLcto, "IND_LCTO", K::Choice, R, "N,E,X"},
    {fI200::DtLctoExt, "DT_LCTO_EXT", K::Date},
};
static_assert(numbered(kI200));

constexpr Field kI250[] = {
    {fI250::Reg, "REG"},
    {fI250::CodCta, "COD_CTA", K::Text, R},
    {fI250::CodCcus, "COD_CCUS"},
    {fI250::VlDc, "VL_DC", K::Amount, R},
    {fI250::IndDc, "IND_DC", K::Side, R},
    {fI250::NumArq, "NUM_ARQ"},
    {fI250::CodHistPad, "COD_HIST_PAD"},
    {fI250::Hist, "HIST"},
    {fI250::CodPart, "COD_PART"},
};
static_assert(numbered(kI250));

constexpr Field kI350[] = {
    {fI350::Reg, "REG"},
    {fI350::DtRes, "DT_RES", K::Date, R},
};
static_assert(numbered(kI350));

constexpr Field kI355[] = {
    {fI355::Reg, "REG"},
    {fI355::CodCta, "COD_CTA", K::Text, R},
    {fI355::CodCcus, "COD_CCUS"},
    {fI355::VlCta, "VL_CTA", K::Amount, R},
    {fI355::IndDc, "IND_DC", K::Side},
};
static_assert(numbered(kI355));

// The closing term's positions are not certain: its fields are taken as text.
constexpr Field kJ900[] = {
    {fJ900::Reg, "REG"},
    {fJ900::DnrcEncer, "DNRC_ENCER"},
    {fJ900::NumOrd, "NUM_ORD"},
    {fJ900::NatLivro, "NAT_LIVRO"},
    {fJ900::Nome, "NOME"},
    {fJ900::QtdLin, "QTD_LIN"},
    {fJ900::DtIniEscr, "DT_INI_ESCR"},
    {fJ900::DtFinEscr, "DT_FIN_ESCR"},
};
static_assert(numbered(kJ900));

// Positions from 7 on are not certain either, and older books end at 6.
constexpr Field kJ930[] = {
    {fJ930::Reg, "REG"},
    {fJ930::IdentNom, "IDENT_NOM", K::Text, R},
    {fJ930::IdentCpfCnpj, "IDENT_CPF_CNPJ"},
    {fJ930::IdentQualif, "IDENT_QUALIF"},
    {fJ930::CodAssin, "COD_ASSIN", K::Text, R},
    {fJ930::IndCrc, "IND_CRC"},
    {fJ930::Email, "EMAIL"},
    {fJ930::Fone, "FONE"},
    {fJ930::UfCrc, "UF_CRC"},
    {fJ930::NumSeqCrc, "NUM_SEQ_CRC"},
    {fJ930::DtCrc, "DT_CRC"},
    {fJ930::IndRespLegal, "IND_RESP_LEGAL"},
};
static_assert(numbered(kJ930));

constexpr Field k9900[] = {
    {f9900::Reg, "REG"},
    {f9900::RegBlc, "REG_BLC", K::Text, R},
    {f9900::QtdRegBlc, "QTD_REG_BLC", K::Integer, R},
};
static_assert(numbered(k9900));

constexpr Field k9999[] = {
    {f9999::Reg, "REG"},
    {f9999::QtdLin, "QTD_LIN", K::Integer, R},
};
static_assert(numbered(k9999));

// A used record whose count is the same in every version.
template <std::size_t N>
constexpr Record fixed(const char* type, Id id, const Field (&fs)[N],
                       const char* parent = nullptr) {
    return Record{type, id, parent, fs, int(N), int(N), int(N)};
}

// A record read past: known, its fields unchecked.
constexpr Record past(const char* type, const char* parent = nullptr) {
    return Record{type, Id::Other, parent, {}, 0, 0, 0};
}

const Record kRecords[] = {
    // Block 0: opening and identification. Version 7 books end 0000 at field 20.
    {"0000", Id::R0000, nullptr, k0000, 23, 23, 20},
    past("0001"),
    past("0007"),
    past("0020"),
    past("0035"),
    past("0150"),
    past("0180"),
    past("0990"),
    // Block C: balances recovered from the previous book.
    past("C001"),
    past("C040"),
    past("C050"),
    past("C051"),
    past("C052"),
    past("C150"),
    past("C155"),
    past("C600"),
    past("C650"),
    past("C990"),
    // Block I: the books.
    past("I001"),
    fixed("I010", Id::I010, kI010),
    past("I012"),
    past("I015"),
    past("I020"),
    // The import needs I030 only up to its CNPJ; what follows varies.
    {"I030", Id::I030, nullptr, kI030, fI030::Cnpj, 0, fI030::Cnpj},
    fixed("I050", Id::I050, kI050),
    past("I051"),
    past("I052"),
    past("I053"),
    fixed("I075", Id::I075, kI075),
    fixed("I100", Id::I100, kI100),
    fixed("I150", Id::I150, kI150),
    past("I151", "I150"), // older books: the hash of the period's balances
    fixed("I155", Id::I155, kI155, "I150"),
    fixed("I157", Id::I157, kI157, "I155"),
    // Books before the extemporaneous entries end I200 at IND_LCTO.
    {"I200", Id::I200, nullptr, kI200, 6, 6, fI200::IndLcto},
    fixed("I250", Id::I250, kI250, "I200"),
    past("I300"),
    past("I310"),
    fixed("I350", Id::I350, kI350),
    fixed("I355", Id::I355, kI355, "I350"),
    past("I500"),
    past("I510"),
    past("I550"),
    past("I555"),
    past("I990"),
    // Block J: statements and signatories.
    past("J001"),
    past("J005"),
    past("J100"),
    past("J150"),
    past("J200"),
    past("J210"),
    past("J215"),
    past("J800"),
    past("J801"),
    {"J900", Id::J900, nullptr, kJ900, fJ900::NumOrd, 0, fJ900::NumOrd},
    {"J930", Id::J930, nullptr, kJ930, fJ930::IndCrc, 0, fJ930::IndCrc},
    past("J932"),
    past("J935"),
    past("J990"),
    // Block K: consolidated statements.
    past("K001"),
    past("K030"),
    past("K100"),
    past("K110"),
    past("K115"),
    past("K200"),
    past("K210"),
    past("K300"),
    past("K310"),
    past("K315"),
    past("K990"),
    // Block 9: control.
    past("9001"),
    fixed("9900", Id::R9900, k9900),
    past("9990"),
    fixed("9999", Id::R9999, k9999),
};

quint32 key(QByteArrayView type) {
    quint32 k = 0;
    std::memcpy(&k, type.data(), 4);
    return k;
}

struct Index {
    std::vector<std::pair<quint32, const Record*>> byKey;
    std::vector<quint32> parents;
    Index() {
        for (const Record& r : kRecords) {
            byKey.emplace_back(key(QByteArrayView(r.type, 4)), &r);
            if (r.parent)
                parents.push_back(key(QByteArrayView(r.parent, 4)));
        }
        std::sort(byKey.begin(), byKey.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    }
};

const Index& lookup() {
    static const Index built;
    return built;
}

} // namespace

const Record* find(QByteArrayView type) {
    if (type.size() != 4)
        return nullptr;
    const Index& index = lookup();
    const quint32 k = key(type);
    const auto it = std::lower_bound(index.byKey.begin(), index.byKey.end(), k,
                                     [](const auto& e, quint32 v) { return e.first < v; });
    return it != index.byKey.end() && it->first == k ? it->second : nullptr;
}

std::span<const Record> records() {
    return kRecords;
}

bool hasChildren(const Record& r) {
    const auto& parents = lookup().parents;
    return std::find(parents.begin(), parents.end(), key(QByteArrayView(r.type, 4))) !=
           parents.end();
}

Counts acceptedCounts(const Record& r, int version) {
    if (version == 0)
        return {std::min(r.oldMinCount, r.minCount), r.maxCount};
    if (version < CurrentVersion)
        return {r.oldMinCount, r.maxCount};
    if (version == CurrentVersion)
        return {r.minCount, r.maxCount};
    // A newer layout may add fields at the end; those are not read.
    return {r.minCount, 0};
}

const Field* field(const Record& r, int number) {
    if (number < 1 || number > int(r.fields.size()))
        return nullptr;
    return &r.fields[std::size_t(number - 1)];
}

} // namespace importer::layout
