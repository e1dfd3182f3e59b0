#include "remotemethods.h"
#include "suite/core/remote.h"
#include <array>

namespace remote {
namespace {

using suite::FieldType;

// The declared width of codes, names and numbers as the books write them;
// texts travel whole whatever their width.
constexpr int kWide = 255;

constexpr ResultField text(const char* name, int size, const char* note = nullptr) {
    return {name, FieldType::String, size, false, note};
}
constexpr ResultField fixed(const char* name, int size, const char* note = nullptr) {
    return {name, FieldType::String, size, true, note};
}
constexpr ResultField real(const char* name, const char* note = nullptr) {
    return {name, FieldType::Float, 0, false, note};
}
constexpr ResultField stamp(const char* name, const char* note = nullptr) {
    return {name, FieldType::DateTime, 0, false, note};
}

constexpr ArgDecl kCompany{"company", ArgKind::Text};
constexpr std::array kPeriodArgs{kCompany, ArgDecl{"start date", ArgKind::Date},
                                 ArgDecl{"end date", ArgKind::Date}};
constexpr std::array kCompanyArg{kCompany};
constexpr std::span<const ArgDecl> kNoArgs;
constexpr std::array kSaldAntEncArgs{kCompany, ArgDecl{"selection", ArgKind::TextByRef},
                                     ArgDecl{"second selection", ArgKind::TextByRef},
                                     ArgDecl{"day", ArgKind::Date}};
constexpr std::array kCredDebArgs{kCompany,
                                  ArgDecl{"first date", ArgKind::Date},
                                  ArgDecl{"last date", ArgKind::Date},
                                  ArgDecl{"credits flag", ArgKind::Text},
                                  ArgDecl{"debits flag", ArgKind::Text},
                                  ArgDecl{"account", ArgKind::Text}};
constexpr std::array kCcLancArgs{kCompany, ArgDecl{"entry number", ArgKind::TextOrInteger},
                                 ArgDecl{"sequence", ArgKind::TextOrInteger}};

constexpr std::array kSaldMens{
    stamp("DTSALDEMPR", "last day of the month, 00:00"), text("MESANOSALDEMPR", 7, "`\"mm/yyyy\"`"),
    text("CDCONTCTBL", kWide), real("VRSALDEMPR", "month's final balance, unsigned"),
    text("TIPOSALD", 1, "`D`/`C`")};
constexpr std::array kLancCont{text("NRLANCCONT", kWide),
                               text("DTLANCCONT", 8, "day text"),
                               text("CDCONTCTBL", kWide),
                               text("CDDOCUCONT", kWide),
                               text("DSHISTLANC", 200),
                               text("VRLANCAMENT", 40, "amount text"),
                               text("NRSEQLANC", 5),
                               text("IDNATLANC", 1),
                               text("VRTOTDC", 40, "the entry's debit total")};
constexpr std::array kIdContrib{text("NMRAZSOCEMPR", kWide),
                                text("NRINSJUREMPR", 20),
                                text("SGESTADO", 2),
                                text("NRINSCESTA", 16),
                                text("CDMUNICIPIO", 7),
                                text("NRREGJUNCOM", 20),
                                fixed("DTINI", 8, "start as day text"),
                                fixed("DTFIN", 8, "end as day text")};
constexpr std::array kDadosCont{
    text("NMCONTADOR", kWide), text("NRINSJURCONT", 14),  text("NRCPFRESPONS", 11),
    text("NRCRCCONT2", kWide), text("NRCEP", 15),         text("DSLOGRADOURO", 50),
    text("DSCOMPLLOGRA", 20),  text("DSBAIRRO", 20),      text("NRTELCONTATO", kWide),
    text("NRFAXCONTATO", 25),  text("DSENDINTERN", kWide)};
constexpr std::array kDadosTecEmpr{text("NMRAZSOCEMPR", 80), text("NRINSJUREMPR", 20),
                                   text("NRTELEFOEMPR", 25)};
constexpr std::array kPlanContas{fixed("DTATUALIZ", 8),
                                 fixed("IND_NAT", 1, "nature 1, 2, 3, 4, 5 or 9"),
                                 text("IDTIPOCONT", 1, "`S` synthetic, `A` analytic"),
                                 text("CDNVCONTCTBL", 1, "level"),
                                 text("CDCONTCTBL", kWide),
                                 text("CDCONTANTE", kWide, "superior, empty at level 1"),
                                 text("NMCONTCTBL", kWide)};
constexpr std::array kCentrCust{fixed("DTATUALIZ", 8), text("CDCENTCUST", kWide),
                                text("NMCENTCUST", kWide)};
constexpr std::array kSaldAntEnc{text("CDCONTCTBL", kWide), text("VRSALDEMPR", 40, "amount text"),
                                 text("IDSALDOFIN", 1), text("DTSALDEMPR", 8, "the day")};
constexpr std::array kCredDeb{real("VALOR"), text("CDCONTCTBL", kWide),
                              text("DTSALDO", 5, "`\"mm/yy\"` of the first date")};
constexpr std::array kCcLanc{text("CDCENTCUST", kWide)};
constexpr std::array kQuantLanc{real("QTCRED"), real("QTDEB"), text("CDCONTCTBL", kWide),
                                text("NRSEQLANC", 5)};

constexpr std::array kMethods{
    MethodDecl{"getsaldmens", "cdsSaldMens", kPeriodArgs, kSaldMens,
               "One row per analytic account and month with a non-zero balance or a movement; "
               "by month, then account code."},
    MethodDecl{"GetLancCont", "cdsLancCont", kPeriodArgs, kLancCont,
               "Every posting of the period, closing entries included; by date, entry number, "
               "sequence."},
    MethodDecl{"GetIdContrib", "cdsIdContrib", kPeriodArgs, kIdContrib, "One row."},
    MethodDecl{"GetDadosCont", "cdsDadosCont", kCompanyArg, kDadosCont, "Zero or one row."},
    MethodDecl{"GetDadosTecEmpr", "cdsDadosTecEmpr", kCompanyArg, kDadosTecEmpr,
               "Zero or one row."},
    MethodDecl{"GetPlanContas", "cdsPlanContas", kNoArgs, kPlanContas, "Every account by code."},
    MethodDecl{"GetCentrCust", "cdsCentrCust", kNoArgs, kCentrCust, "By code."},
    MethodDecl{"GetSaldAntEnc", "cdsSaldAntEnc", kSaldAntEncArgs, kSaldAntEnc, "See below."},
    MethodDecl{"getcreddeb", "cdsCredDeb", kCredDebArgs, kCredDeb,
               "One row: the account's total of debits between the dates when the debits flag "
               "is `\"T\"`, of credits when the credits flag is; 0 when nothing moved. Exactly "
               "one flag must be `\"T\"` (code 5 otherwise)."},
    MethodDecl{"GetCcLanc", "cdsCcLanc", kCcLancArgs, kCcLanc,
               "The posting's cost centres, largest share first (ties by code)."},
    MethodDecl{suite::kBeginReadSnapshot, nullptr, kNoArgs, {}, "None.", Session::BeginRead},
    MethodDecl{suite::kEndReadSnapshot, nullptr, kNoArgs, {}, "None.", Session::EndRead},
};

constexpr std::array kUnloaded{DatasetDecl{"cdsQuantLanc", kQuantLanc}};

QString typeText(FieldType t) {
    switch (t) {
    case FieldType::String:
        return QStringLiteral("string");
    case FieldType::Float:
        return QStringLiteral("float");
    case FieldType::Integer:
        return QStringLiteral("integer");
    case FieldType::DateTime:
        return QStringLiteral("datetime");
    }
    return {};
}

QString argText(const ArgDecl& a) {
    QString role = QString::fromLatin1(a.role);
    switch (a.kind) {
    case ArgKind::Text:
        return role;
    case ArgKind::TextByRef:
        return role + QStringLiteral(" (text, may be by reference)");
    case ArgKind::Date:
        return role.endsWith(QLatin1String("date")) ? role : role + QStringLiteral(" (date)");
    case ArgKind::TextOrInteger:
        return role + QStringLiteral(" (text or integer)");
    }
    return role;
}

} // namespace

std::span<const MethodDecl> methods() {
    return kMethods;
}

const MethodDecl* find(const QString& name) {
    for (const MethodDecl& m : kMethods)
        if (name == QLatin1String(m.name))
            return &m;
    for (const MethodDecl& m : kMethods)
        if (name.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

const MethodDecl& method(const char* name) {
    const MethodDecl* m = find(QString::fromLatin1(name));
    Q_ASSERT(m);
    return *m;
}

QList<suite::FieldDef> packetFields(std::span<const ResultField> fields) {
    QList<suite::FieldDef> out;
    for (const ResultField& f : fields)
        out.append({QString::fromLatin1(f.name), f.type, f.size});
    return out;
}

QList<suite::FieldDecl> datasetFields(std::span<const ResultField> fields) {
    QList<suite::FieldDecl> out;
    for (const ResultField& f : fields)
        out.append({QString::fromLatin1(f.name), f.type, f.size, f.readOnly});
    return out;
}

std::span<const DatasetDecl> unloadedDatasets() {
    return kUnloaded;
}

QString markdownTable() {
    QString out = QStringLiteral("| method | arguments | columns (type, size) and rows |\n"
                                 "|---|---|---|\n");
    for (const MethodDecl& m : kMethods) {
        if (m.session != Session::None)
            continue;
        QStringList args;
        for (const ArgDecl& a : m.args)
            args.append(argText(a));
        QStringList cols;
        for (const ResultField& f : m.fields) {
            QString c = QStringLiteral("`%1` %2").arg(QLatin1String(f.name), typeText(f.type));
            if (f.type == FieldType::String)
                c += QLatin1Char(' ') + QString::number(f.size);
            if (f.note)
                c += QStringLiteral(" (%1)").arg(QString::fromUtf8(f.note));
            cols.append(c);
        }
        out += QStringLiteral("| `%1` | %2 | %3. %4 |\n")
                   .arg(QLatin1String(m.name),
                        args.isEmpty() ? QStringLiteral("none") : args.join(QStringLiteral(", ")),
                        cols.join(QStringLiteral(", ")), QString::fromUtf8(m.rows));
    }
    return out;
}

} // namespace remote
