#pragma once
#include "generator/control.h"
#include <array>
#include <span>
#include <string_view>

// The records of the digital file: their order, their block and their
// fields. The generator writes lines from these tables and the validator
// reads files against them, so a record is changed here only.
namespace records {

using gen::Control;

// The datasets a field's value can come from.
enum class Source {
    IdContrib,
    DadosCont,
    DadosTecEmpr,
    PlanContas,
    CentrCust,
    SaldMens,
    LancCont,
    CcLanc,
    SaldAntEnc,
};

// One field of a record after its type: where its value comes from and
// whether it is stripped of "-", "." and "/".
struct Field {
    enum class Kind { Fixed, Data, Control, Slot };
    Kind kind = Kind::Fixed;
    const char* text = ""; // the fixed text, or the dataset field's name
    Source source = Source::IdContrib;
    Control control = Control::ArqDest;
    int slot = 0; // index into the values the block computes per line
    bool strip = false;
};

constexpr Field fixed(const char* t) {
    return {Field::Kind::Fixed, t};
}
constexpr Field empty() {
    return fixed("");
}
constexpr Field data(Source s, const char* field) {
    return {Field::Kind::Data, field, s};
}
constexpr Field control(Control c) {
    return {Field::Kind::Control, "", {}, c};
}
constexpr Field slot(int i) {
    return {Field::Kind::Slot, "", {}, {}, i};
}
constexpr Field stripped(Field f) {
    f.strip = true;
    return f;
}

// The values a block computes per line, by record.
namespace at {
enum R0000 : int { Centralisation, Purpose };
enum RI050 : int { FirstDay, Nature };
enum RI150 : int { Opening, OpeningSide, Debits, Credits, Closing, I150Count };
enum RI250 : int { AssessmentMonth };
enum R9900 : int { CountedType, CountedLines };
enum Total : int { Lines }; // the closing records' line counts
} // namespace at

// Records whose source may have no rows stand in with one line of empty
// fields (fixed texts kept). The empty I150 line has always been one field
// short, and files already delivered carry it that way.
enum class Placeholder { None, AllFields, OneFieldShort };

struct Record {
    std::string_view type;
    std::span<const Field> fields; // after the type
    bool repeatable = false;       // several lines of the type
    bool freeTextLast = false;     // last field is free text: a "|" in it adds fields
    Placeholder placeholder = Placeholder::None;

    constexpr char block() const { return type[0]; }
    // Fields of a full line, the type included.
    constexpr int fieldCount() const { return static_cast<int>(fields.size()) + 1; }
    // Values after the type on the placeholder line.
    constexpr int placeholderValues() const {
        return placeholder == Placeholder::AllFields       ? static_cast<int>(fields.size())
               : placeholder == Placeholder::OneFieldShort ? static_cast<int>(fields.size()) - 1
                                                           : 0;
    }
};

using S = Source;

inline constexpr Field k0000[] = {
    data(S::IdContrib, "NMRAZSOCEMPR"),
    data(S::IdContrib, "NRINSJUREMPR"),
    control(Control::Cpf),
    control(Control::Cei),
    control(Control::Nit),
    data(S::IdContrib, "SGESTADO"),
    data(S::IdContrib, "NRINSCESTA"),
    data(S::IdContrib, "CDMUNICIPIO"),
    stripped(data(S::IdContrib, "NRREGJUNCOM")),
    control(Control::Suframa),
    slot(at::Centralisation),
    data(S::IdContrib, "DTINI"),
    stripped(data(S::IdContrib, "DTFIN")),
    fixed("003"),
    slot(at::Purpose),
    fixed("1"),
};

inline constexpr Field kOpening[] = {fixed("0")};
inline constexpr Field kTotal[] = {slot(at::Lines)};

inline constexpr Field k0050[] = {
    data(S::DadosCont, "NMCONTADOR"),
    data(S::DadosCont, "NRINSJURCONT"),
    data(S::DadosCont, "NRCPFRESPONS"),
    stripped(data(S::DadosCont, "NRCRCCONT2")),
    control(Control::IniPerCont),
    control(Control::FinPerCont),
    data(S::DadosCont, "NRCEP"),
    data(S::DadosCont, "DSLOGRADOURO"),
    data(S::DadosCont, "DSCOMPLLOGRA"),
    empty(),
    data(S::DadosCont, "DSBAIRRO"),
    empty(),
    empty(),
    data(S::DadosCont, "NRTELCONTATO"),
    data(S::DadosCont, "NRFAXCONTATO"),
    data(S::DadosCont, "DSENDINTERN"),
};

// Three fields of the supplier's record come from the accountant's dataset.
inline constexpr Field k0100[] = {
    data(S::DadosTecEmpr, "NMRAZSOCEMPR"), control(Control::CargoInfo),
    control(Control::IniPerInfo),          control(Control::FinPerInfo),
    data(S::DadosTecEmpr, "NRINSJUREMPR"), data(S::DadosCont, "NRCPFRESPONS"),
    data(S::DadosTecEmpr, "NRTELEFOEMPR"), data(S::DadosCont, "NRFAXCONTATO"),
    data(S::DadosCont, "DSENDINTERN"),
};

inline constexpr Field kI005[] = {fixed("G")};

inline constexpr Field kI050[] = {
    slot(at::FirstDay),
    slot(at::Nature),
    data(S::PlanContas, "IDTIPOCONT"),
    data(S::PlanContas, "CDNVCONTCTBL"),
    data(S::PlanContas, "CDCONTCTBL"),
    data(S::PlanContas, "CDCONTANTE"),
    data(S::PlanContas, "NMCONTCTBL"),
};

inline constexpr Field kI100[] = {
    stripped(data(S::CentrCust, "DTATUALIZ")),
    data(S::CentrCust, "CDCENTCUST"),
    data(S::CentrCust, "NMCENTCUST"),
};

inline constexpr Field kI150[] = {
    data(S::SaldMens, "CDCONTCTBL"),
    stripped(data(S::SaldMens, "MESANOSALDEMPR")),
    slot(at::Opening),
    slot(at::OpeningSide),
    slot(at::Debits),
    slot(at::Credits),
    slot(at::Closing),
    data(S::SaldMens, "TIPOSALD"),
};

inline constexpr Field kI200[] = {
    stripped(data(S::LancCont, "DTLANCCONT")),
    data(S::LancCont, "CDCONTCTBL"),
    data(S::CcLanc, "CDCENTCUST"),
    empty(),
    stripped(data(S::LancCont, "VRLANCAMENT")),
    data(S::LancCont, "IDNATLANC"),
    data(S::LancCont, "CDDOCUCONT"),
    data(S::LancCont, "NRLANCCONT"),
    fixed("N"),
    data(S::LancCont, "DSHISTLANC"),
};

inline constexpr Field kI250[] = {
    slot(at::AssessmentMonth),
    data(S::SaldAntEnc, "CDCONTCTBL"),
    stripped(data(S::SaldAntEnc, "VRSALDEMPR")),
    data(S::SaldAntEnc, "IDSALDOFIN"),
};

inline constexpr Field k9900[] = {slot(at::CountedType), slot(at::CountedLines)};

// The record types in file order; block 9 declares them in this order too.
enum Type : int {
    R0000,
    R0001,
    R0050,
    R0100,
    R0990,
    RI001,
    RI005,
    RI050,
    RI100,
    RI150,
    RI200,
    RI250,
    RI990,
    R9001,
    R9900,
    R9990,
    R9999,
    TypeCount
};

inline constexpr std::array<Record, TypeCount> kRecords = {{
    {"0000", k0000},
    {"0001", kOpening},
    {"0050", k0050, false, true},
    {"0100", k0100, false, true},
    {"0990", kTotal},
    {"I001", kOpening},
    {"I005", kI005},
    {"I050", kI050, true, true},
    {"I100", kI100, true, true, Placeholder::AllFields},
    {"I150", kI150, true, false, Placeholder::OneFieldShort},
    {"I200", kI200, true, true, Placeholder::AllFields},
    {"I250", kI250, true, false, Placeholder::AllFields},
    {"I990", kTotal},
    {"9001", kOpening},
    {"9900", k9900, true},
    {"9990", kTotal},
    {"9999", kTotal},
}};

constexpr const Record& record(Type t) {
    return kRecords[static_cast<std::size_t>(t)];
}

// The lines of a record that is written once, or of 9900, which block 9
// writes once per record type.
constexpr int fixedLines(Type t) {
    return t == R9900 ? TypeCount : 1;
}

// Lines of a block whose records are all of fixed count.
constexpr int fixedLinesOf(char block) {
    int n = 0;
    for (int t = 0; t < TypeCount; ++t)
        if (kRecords[static_cast<std::size_t>(t)].block() == block)
            n += fixedLines(static_cast<Type>(t));
    return n;
}

constexpr bool singleLinesOnly(char block) {
    for (const Record& r : kRecords)
        if (r.block() == block && r.repeatable)
            return false;
    return true;
}
static_assert(singleLinesOnly('0'), "block 0's line count is fixed");

} // namespace records
