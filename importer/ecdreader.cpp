#include "importer/ecdreader.h"
#include "importer/ecdencoding.h"
#include "importer/ecdfields.h"
#include "importer/ecdlayout.h"
#include "importer/ecdlines.h"
#include <QFile>
#include <QHash>
#include <array>
#include <cstring>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace importer {
namespace {

using layout::Counts;
using layout::Id;
using layout::Record;

// More fields than any record the import uses; further ones are counted only.
constexpr int MaxFields = 64;

bool startsWith(QByteArrayView line, const char* prefix) {
    const auto n = qsizetype(std::strlen(prefix));
    return line.size() >= n && std::memcmp(line.data(), prefix, size_t(n)) == 0;
}

bool isEndLine(QByteArrayView line) {
    return startsWith(line, "|9999|");
}

QString countsText(const Counts& c) {
    if (c.max == 0)
        return QStringLiteral("ao menos %1").arg(c.min);
    if (c.min == c.max)
        return QString::number(c.min);
    return QStringLiteral("de %1 a %2").arg(c.min).arg(c.max);
}

// The major number of a layout version ("9.00" → 9), 0 when unreadable.
int majorVersion(QByteArrayView v) {
    const qsizetype dot = v.indexOf('.');
    const QByteArrayView major = dot < 0 ? v : v.first(dot);
    qint64 n = 0;
    if (major.size() > 2 || !parseEcdInteger(major, &n))
        return 0;
    if (dot >= 0 && !parseEcdInteger(v.sliced(dot + 1), &n))
        return 0;
    return int(major.toByteArray().toInt());
}

void openFile(QFile& file, const QString& path) {
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw std::runtime_error(QStringLiteral("Não foi possível abrir o arquivo %1: %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
}

// Which field of a record fills which member of the struct handed over.
template <class T, class M> struct Bind {
    int field;
    M T::*member;
    int side; // an amount's D/C field, which signs it debit positive; 0: none
};
// Field `field` into `member`, signed by `side` when it is an amount.
template <class T, class M> constexpr Bind<T, M> into(int field, M T::*member, int side = 0) {
    return {field, member, side};
}

namespace f0000 = layout::f0000;
constexpr std::tuple kOpening{into(f0000::DtIni, &Opening::start),
                              into(f0000::DtFin, &Opening::end),
                              into(f0000::Nome, &Opening::name),
                              into(f0000::Cnpj, &Opening::cnpj),
                              into(f0000::Uf, &Opening::uf),
                              into(f0000::Ie, &Opening::ie),
                              into(f0000::CodMun, &Opening::municipality),
                              into(f0000::Im, &Opening::im),
                              into(f0000::IdentMf, &Opening::identMf)};
namespace fI030 = layout::fI030;
constexpr std::tuple kOpeningTerm{into(fI030::NumOrd, &OpeningTerm::order),
                                  into(fI030::Nire, &OpeningTerm::nire),
                                  into(fI030::Cnpj, &OpeningTerm::cnpj)};
namespace fI050 = layout::fI050;
constexpr std::tuple kAccount{
    into(fI050::DtAlt, &Account::changed), into(fI050::CodNat, &Account::nature),
    into(fI050::IndCta, &Account::type),   into(fI050::Nivel, &Account::level),
    into(fI050::CodCta, &Account::code),   into(fI050::CodCtaSup, &Account::superior),
    into(fI050::Cta, &Account::name)};
namespace fI075 = layout::fI075;
constexpr std::tuple kHistory{into(fI075::CodHist, &History::code),
                              into(fI075::DescrHist, &History::text)};
namespace fI100 = layout::fI100;
constexpr std::tuple kCostCentre{into(fI100::DtAlt, &CostCentre::changed),
                                 into(fI100::CodCcus, &CostCentre::code),
                                 into(fI100::Ccus, &CostCentre::name)};
namespace fI150 = layout::fI150;
constexpr std::tuple kBalancePeriod{into(fI150::DtIni, &BalancePeriod::start),
                                    into(fI150::DtFin, &BalancePeriod::end)};
namespace fI155 = layout::fI155;
constexpr std::tuple kBalance{into(fI155::CodCta, &Balance::account),
                              into(fI155::CodCcus, &Balance::costCentre),
                              into(fI155::VlSldIni, &Balance::initial, fI155::IndDcIni),
                              into(fI155::VlDeb, &Balance::debits),
                              into(fI155::VlCred, &Balance::credits),
                              into(fI155::VlSldFin, &Balance::final, fI155::IndDcFin)};
namespace fI200 = layout::fI200;
constexpr std::tuple kEntry{into(fI200::NumLcto, &Entry::number), into(fI200::DtLcto, &Entry::date),
                            into(fI200::VlLcto, &Entry::total), into(fI200::IndLcto, &Entry::kind),
                            into(fI200::DtLctoExt, &Entry::extemporaneous)};
namespace fI250 = layout::fI250;
constexpr std::tuple kPosting{
    into(fI250::CodCta, &Posting::account),  into(fI250::CodCcus, &Posting::costCentre),
    into(fI250::VlDc, &Posting::value),      into(fI250::IndDc, &Posting::side),
    into(fI250::NumArq, &Posting::document), into(fI250::CodHistPad, &Posting::historyCode),
    into(fI250::Hist, &Posting::history)};
constexpr std::tuple kResultDate{into(layout::fI350::DtRes, &ResultDate::date)};
namespace fI355 = layout::fI355;
constexpr std::tuple kResultBalance{into(fI355::CodCta, &ResultBalance::account),
                                    into(fI355::CodCcus, &ResultBalance::costCentre),
                                    into(fI355::VlCta, &ResultBalance::value, fI355::IndDc)};
namespace fJ930 = layout::fJ930;
constexpr std::tuple kSignatory{into(fJ930::IdentNom, &Signatory::name),
                                into(fJ930::IdentCpfCnpj, &Signatory::cpfCnpj),
                                into(fJ930::IdentQualif, &Signatory::qualification),
                                into(fJ930::CodAssin, &Signatory::code),
                                into(fJ930::IndCrc, &Signatory::crc),
                                into(fJ930::Email, &Signatory::email),
                                into(fJ930::Fone, &Signatory::phone),
                                into(fJ930::UfCrc, &Signatory::ufCrc)};

// One read of a file's records: all the state the checks keep between lines.
class Pass {
public:
    Pass(const QString& path, Encoding encoding, EcdHandler& handler)
        : m_handler(handler), m_encoding(encoding) {
        m_place.file = path;
        m_counts.resize(layout::records().size());
        m_firstLine.resize(layout::records().size());
    }

    void line(qint64 number, QByteArrayView text);
    void finish();

    qint64 lines() const { return m_lines; }
    QString versionText() const { return m_versionText; }
    QMap<QString, qint64> counts() const;

private:
    struct Pending { // a line read before the book said its layout version
        const Record* record;
        int fields;
        qint64 line;
    };
    struct Declared { // a 9900 line
        QByteArray type;
        qint64 count;
        qint64 line;
    };

    void report(qint64 line, int field, const QString& text,
                Finding::Severity severity = Finding::Severity::Error);
    bool splitAndCheck(const Record& r, QByteArrayView text);
    void checkHierarchy(const Record& r);
    void dispatch(const Record& r);
    void opening();
    void countDeclared();
    void refuse(int field, const QString& text); // the line is not handed over
    void checkPeriod(QDate start, QDate end, int endField);

    template <class T> using Call = void (EcdHandler::*)(const T&, const Place&);
    template <class T, class... M> void fill(T& out, const std::tuple<Bind<T, M>...>& binds);
    template <class T> void handOver(const T& record, Call<T> call);
    template <class T, class... M>
    void decode(T& out, const std::tuple<Bind<T, M>...>& binds, Call<T> call);
    // Field n into a member, converted by the member's type; side as in Bind.
    void take(int n, int side, QString& out) const;
    void take(int n, int side, QDate& out) const;
    void take(int n, int side, QChar& out) const;
    void take(int n, int side, int& out) const;
    void take(int n, int side, qint64& out);
    void setVersion();
    QString countText(const Record& r, int fields, int version) const;
    qint64 countOf(QByteArrayView type) const;
    qint64 firstLineOf(QByteArrayView type) const;

    const FieldValue& v(int n) const { return n <= m_fieldCount ? m_values[n] : m_none; }
    QByteArrayView raw(int n) const { return v(n).raw; }
    void text(int n, QString& out) const { decodeInto(m_encoding, raw(n), out); }
    QString text(int n) const {
        QString s;
        text(n, s);
        return s;
    }
    qint64 signedAmount(int amount, int side);

    EcdHandler& m_handler;
    Encoding m_encoding;
    Place m_place;
    qint64 m_lines = 0;
    bool m_ended = false;           // the 9999 was read
    bool m_reportedTrailer = false; // records after the 9999 were reported
    qint64 m_declaredLines = -1;
    qint64 m_endLine = 0;
    bool m_seenOpening = false;
    int m_version = 0;
    QString m_versionText;
    std::vector<Pending> m_pending;
    std::vector<Declared> m_declared;
    std::vector<qint64> m_counts, m_firstLine;              // by index of the known records
    QHash<QByteArray, std::pair<qint64, qint64>> m_unknown; // count, first line
    std::vector<const Record*> m_open;                      // the parents a child may belong to now
    const Record* m_last = nullptr; // most lines repeat the type before them
    bool m_lineOk = true;

    std::array<FieldValue, MaxFields + 1> m_values; // 1-based
    int m_fieldCount = 0;
    FieldValue m_none;

    // Reused from line to line so that their texts keep their storage.
    Opening m_opening;
    OpeningTerm m_openingTerm;
    Account m_account;
    History m_history;
    CostCentre m_costCentre;
    BalancePeriod m_balancePeriod;
    Balance m_balance;
    Entry m_entry;
    Posting m_posting;
    ResultDate m_resultDate;
    ResultBalance m_resultBalance;
    Signatory m_signatory;
};

void Pass::report(qint64 line, int field, const QString& text, Finding::Severity severity) {
    Finding f;
    f.severity = severity;
    f.place = Place{m_place.file, line, field};
    f.text = text;
    m_handler.finding(f);
}

void Pass::line(qint64 number, QByteArrayView text) {
    m_place.line = number;
    m_place.field = 0;
    if (m_ended) {
        // A transmitted book may carry its signature after the 9999; more
        // records there would be a second book glued to the first.
        if (!m_reportedTrailer && startsWith(text, "|")) {
            m_reportedTrailer = true;
            report(number, 0,
                   QStringLiteral("há registros depois do 9999, que encerra o arquivo; "
                                  "eles não foram lidos"));
        }
        return;
    }
    m_lines = number;
    if (number == 1 && !startsWith(text, "|0000|"))
        report(number, 0, QStringLiteral("o arquivo deve começar pelo registro 0000"));
    const qsizetype typeEnd = startsWith(text, "|") ? text.indexOf('|', 1) : -1;
    if (typeEnd < 0) {
        report(number, 0,
               text.trimmed().isEmpty()
                   ? QStringLiteral("linha vazia")
                   : QStringLiteral("a linha deve começar e terminar com \"|\""));
        return;
    }
    const QByteArrayView type = text.sliced(1, typeEnd - 1);
    const Record* r =
        m_last && type == QByteArrayView(m_last->type, 4) ? m_last : layout::find(type);
    if (!r) {
        auto& u = m_unknown[type.toByteArray()];
        if (u.first++ == 0)
            u.second = number;
        report(number, 1,
               QStringLiteral("tipo de registro desconhecido \"%1\"")
                   .arg(QString::fromLatin1(type.first(std::min<qsizetype>(type.size(), 20)))));
        return;
    }
    m_last = r;
    const auto index = std::size_t(r - layout::records().data());
    if (m_counts[index]++ == 0)
        m_firstLine[index] = number;
    checkHierarchy(*r);
    if (r->id == Id::R9999) {
        m_ended = true;
        m_endLine = number;
    }
    if (text.back() != '|') {
        report(number, 0, QStringLiteral("a linha deve começar e terminar com \"|\""));
        return;
    }
    if (r->fields.empty())
        return;
    if (splitAndCheck(*r, text))
        dispatch(*r);
}

// A child belongs to the last parent above it with only that parent's
// descendants between them. A child out of place leaves the open parents as
// they were, so that the lines after it are judged on their own.
void Pass::checkHierarchy(const Record& r) {
    if (!r.parent) {
        m_open.clear();
    } else {
        auto it = m_open.end();
        while (it != m_open.begin() && std::strcmp((*(it - 1))->type, r.parent) != 0)
            --it;
        if (it == m_open.begin()) {
            report(m_place.line, 1,
                   QStringLiteral("registro %1 fora de um %2: deve vir depois do %2 a que "
                                  "pertence")
                       .arg(QLatin1String(r.type), QLatin1String(r.parent)));
            return;
        }
        m_open.erase(it, m_open.end());
    }
    if (layout::hasChildren(r))
        m_open.push_back(&r);
}

QString Pass::countText(const Record& r, int fields, int version) const {
    const QString when = version == 0
                             ? QStringLiteral("antes do registro I010")
                             : QStringLiteral("na versão %1 do leiaute").arg(m_versionText);
    return QStringLiteral("o registro %1 tem %2 campos; %3 são %4")
        .arg(QLatin1String(r.type))
        .arg(fields)
        .arg(when, countsText(layout::acceptedCounts(r, version)));
}

bool Pass::splitAndCheck(const Record& r, QByteArrayView text) {
    // Field n lies between the n-th and the (n+1)-th "|".
    int n = 0;
    qsizetype from = 1;
    for (;;) {
        const void* bar = std::memchr(text.data() + from, '|', size_t(text.size() - from));
        if (!bar)
            break;
        const qsizetype at = static_cast<const char*>(bar) - text.data();
        if (++n <= MaxFields)
            m_values[std::size_t(n)] = FieldValue{text.sliced(from, at - from), 0, QDate()};
        from = at + 1;
    }
    m_fieldCount = std::min(n, MaxFields);
    if (!layout::acceptedCounts(r, m_version).accepts(n)) {
        report(m_place.line, 0, countText(r, n, m_version));
        return false;
    }
    if (m_version == 0)
        m_pending.push_back(Pending{&r, n, m_place.line});
    m_lineOk = true;
    const int checked = std::min(m_fieldCount, int(r.fields.size()));
    for (int i = 2; i <= checked; ++i) {
        const QString problem = checkField(r.fields[std::size_t(i - 1)],
                                           m_values[std::size_t(i)].raw, &m_values[std::size_t(i)]);
        if (!problem.isNull()) {
            report(m_place.line, i, problem);
            m_lineOk = false;
        }
    }
    return m_lineOk;
}

// Debit positive. A zero balance may leave its side empty.
qint64 Pass::signedAmount(int amount, int side) {
    const qint64 value = v(amount).number;
    const QByteArrayView s = raw(side);
    if (s.isEmpty() && value != 0)
        refuse(side, QStringLiteral("%1: falta o indicador D ou C de um valor diferente de zero")
                         .arg(QLatin1String(layout::field(*m_last, side)->name)));
    return s == "C" ? -value : value;
}

void Pass::setVersion() {
    m_versionText = text(layout::fI010::CodVerLc);
    m_version = majorVersion(raw(layout::fI010::CodVerLc));
    if (m_version == 0) {
        refuse(layout::fI010::CodVerLc,
               QStringLiteral("COD_VER_LC: versão do leiaute \"%1\" ilegível; as contagens de "
                              "campos não são conferidas")
                   .arg(m_versionText));
        return;
    }
    if (m_version > layout::CurrentVersion)
        report(m_place.line, layout::fI010::CodVerLc,
               QStringLiteral("versão %1 do leiaute, mais nova que a %2.00 conhecida: campos "
                              "além dos conhecidos são ignorados")
                   .arg(m_versionText)
                   .arg(layout::CurrentVersion),
               Finding::Severity::Warning);
    // Lines read before now were accepted with any count some version has.
    for (const Pending& p : m_pending)
        if (!layout::acceptedCounts(*p.record, m_version).accepts(p.fields))
            report(p.line, 0, countText(*p.record, p.fields, m_version));
    m_pending.clear();
}

void Pass::refuse(int field, const QString& text) {
    report(m_place.line, field, text);
    m_lineOk = false;
}

void Pass::checkPeriod(QDate start, QDate end, int endField) {
    if (end < start)
        refuse(endField, QStringLiteral("DT_FIN: o período termina antes de começar"));
}

void Pass::take(int n, int, QString& out) const {
    text(n, out);
}

void Pass::take(int n, int, QDate& out) const {
    out = v(n).date;
}

void Pass::take(int n, int, QChar& out) const {
    const QByteArrayView r = raw(n);
    out = r.isEmpty() ? QChar() : QChar(QLatin1Char(r.front()));
}

void Pass::take(int n, int, int& out) const {
    out = int(v(n).number);
}

void Pass::take(int n, int side, qint64& out) {
    out = side == 0 ? v(n).number : signedAmount(n, side);
}

template <class T, class... M> void Pass::fill(T& out, const std::tuple<Bind<T, M>...>& binds) {
    std::apply([&](const Bind<T, M>&... b) { (take(b.field, b.side, out.*b.member), ...); }, binds);
}

template <class T> void Pass::handOver(const T& record, Call<T> call) {
    if (m_lineOk)
        (m_handler.*call)(record, m_place);
}

template <class T, class... M>
void Pass::decode(T& out, const std::tuple<Bind<T, M>...>& binds, Call<T> call) {
    fill(out, binds);
    handOver(out, call);
}

void Pass::opening() {
    if (m_seenOpening) {
        report(m_place.line, 1, QStringLiteral("registro 0000 repetido: um arquivo é um livro"));
        return;
    }
    m_seenOpening = true;
    Opening& o = m_opening;
    fill(o, kOpening);
    o.hasNire = raw(f0000::IndNire) == "1";
    o.finality = raw(f0000::IndFinEsc) == "1" ? 1 : 0;
    o.tipEcd = raw(f0000::TipEcd).isEmpty() ? 0 : raw(f0000::TipEcd).front() - '0';
    checkPeriod(o.start, o.end, f0000::DtFin);
    handOver(o, &EcdHandler::opening);
}

void Pass::countDeclared() {
    namespace f = layout::f9900;
    const QByteArray type = raw(f::RegBlc).toByteArray();
    for (const Declared& d : m_declared)
        if (d.type == type) {
            report(m_place.line, f::RegBlc,
                   QStringLiteral("REG_BLC: o registro %1 já foi contado na linha %2")
                       .arg(QString::fromLatin1(type))
                       .arg(d.line));
            return;
        }
    m_declared.push_back(Declared{type, v(f::QtdRegBlc).number, m_place.line});
}

void Pass::dispatch(const Record& r) {
    switch (r.id) {
    case Id::R0000:
        return opening();
    case Id::I010:
        setVersion();
        return handOver(BookKind{text(layout::fI010::IndEsc), m_versionText},
                        &EcdHandler::bookKind);
    case Id::I030:
        return decode(m_openingTerm, kOpeningTerm, &EcdHandler::openingTerm);
    case Id::I050:
        fill(m_account, kAccount);
        if (m_account.level < 1)
            refuse(fI050::Nivel, QStringLiteral("NIVEL: o nível começa em 1"));
        return handOver(m_account, &EcdHandler::account);
    case Id::I075:
        return decode(m_history, kHistory, &EcdHandler::history);
    case Id::I100:
        return decode(m_costCentre, kCostCentre, &EcdHandler::costCentre);
    case Id::I150:
        fill(m_balancePeriod, kBalancePeriod);
        checkPeriod(m_balancePeriod.start, m_balancePeriod.end, fI150::DtFin);
        return handOver(m_balancePeriod, &EcdHandler::balancePeriod);
    case Id::I155:
        return decode(m_balance, kBalance, &EcdHandler::balance);
    case Id::I157: // checked; the import does not use it
        signedAmount(layout::fI157::VlSldIni, layout::fI157::IndDcIni);
        return;
    case Id::I200:
        fill(m_entry, kEntry);
        if (m_entry.kind == QLatin1Char('X') && m_entry.extemporaneous.isNull())
            refuse(fI200::DtLctoExt,
                   QStringLiteral("DT_LCTO_EXT: um lançamento extemporâneo (X) pede a data do "
                                  "fato"));
        return handOver(m_entry, &EcdHandler::entry);
    case Id::I250:
        return decode(m_posting, kPosting, &EcdHandler::posting);
    case Id::I350:
        return decode(m_resultDate, kResultDate, &EcdHandler::resultDate);
    case Id::I355:
        return decode(m_resultBalance, kResultBalance, &EcdHandler::resultBalance);
    case Id::J930:
        return decode(m_signatory, kSignatory, &EcdHandler::signatory);
    case Id::R9900:
        return countDeclared();
    case Id::R9999:
        m_declaredLines = v(layout::f9999::QtdLin).number;
        return;
    case Id::J900:
    case Id::Other:
        return;
    }
}

qint64 Pass::countOf(QByteArrayView type) const {
    if (const Record* r = layout::find(type))
        return m_counts[std::size_t(r - layout::records().data())];
    const auto it = m_unknown.constFind(type.toByteArray());
    return it == m_unknown.constEnd() ? 0 : it->first;
}

void Pass::finish() {
    m_place.line = m_lines;
    m_place.field = 0;
    if (m_lines == 0) {
        report(0, 0, QStringLiteral("o arquivo está vazio"));
        m_handler.endOfFile(m_place);
        return;
    }
    if (!m_ended)
        report(m_lines, 0, QStringLiteral("o arquivo termina sem o registro 9999"));
    for (const Declared& d : m_declared) {
        const qint64 read = countOf(d.type);
        if (read != d.count)
            report(d.line, layout::f9900::QtdRegBlc,
                   QStringLiteral("QTD_REG_BLC: o 9900 declara %1 linhas do registro %2, mas "
                                  "o arquivo tem %3")
                       .arg(d.count)
                       .arg(QString::fromLatin1(d.type))
                       .arg(read));
    }
    if (m_declared.empty()) {
        report(m_lines, 0,
               QStringLiteral("o arquivo não tem os registros 9900 com as contagens "
                              "de linhas"));
    } else {
        const auto declared = [this](QByteArrayView type) {
            for (const Declared& d : m_declared)
                if (d.type == type)
                    return true;
            return false;
        };
        const auto undeclared = [&](QByteArrayView type, qint64 count, qint64 first) {
            if (count > 0 && !declared(type))
                report(first, 1,
                       QStringLiteral("o registro %1 (%2 linhas) não tem sua contagem no 9900")
                           .arg(QString::fromLatin1(type))
                           .arg(count));
        };
        const auto known = layout::records();
        for (std::size_t i = 0; i < known.size(); ++i)
            undeclared(QByteArrayView(known[i].type, 4), m_counts[i], m_firstLine[i]);
        for (auto it = m_unknown.constBegin(); it != m_unknown.constEnd(); ++it)
            undeclared(it.key(), it->first, it->second);
    }
    if (m_declaredLines >= 0 && m_declaredLines != m_lines)
        report(m_endLine, layout::f9999::QtdLin,
               QStringLiteral("QTD_LIN: o 9999 declara %1 linhas, mas o arquivo tem %2")
                   .arg(m_declaredLines)
                   .arg(m_lines));
    m_handler.endOfFile(m_place);
}

QMap<QString, qint64> Pass::counts() const {
    QMap<QString, qint64> out;
    const auto known = layout::records();
    for (std::size_t i = 0; i < known.size(); ++i)
        if (m_counts[i] > 0)
            out.insert(QString::fromLatin1(known[i].type), m_counts[i]);
    for (auto it = m_unknown.constBegin(); it != m_unknown.constEnd(); ++it)
        out.insert(QString::fromLatin1(it.key()), it->first);
    return out;
}

} // namespace

EcdReader::EcdReader(QString path) : m_path(std::move(path)) {}

void EcdReader::setProgress(ProgressCallback callback, qint64 everyLines) {
    m_progress = std::move(callback);
    m_progressEvery = std::max<qint64>(1, everyLines);
}

void EcdReader::read(EcdHandler& handler) {
    QFile file(m_path);
    openFile(file, m_path);
    ReadProgress progress;
    progress.file = m_path;
    progress.totalBytes = file.size();
    const auto tell = [&](ReadProgress::Stage stage, qint64 line, const LineSource& src) {
        progress.stage = stage;
        progress.line = line;
        progress.bytesRead = src.bytesRead();
        m_progress(progress);
    };

    // The encoding must be known before the first text is decoded, and a
    // single late byte can decide it: look at the whole book first.
    EncodingScan scan;
    {
        LineSource src(file, m_path);
        QByteArrayView line;
        qint64 n = 0;
        while (src.next(line)) {
            scan.feed(line);
            ++n;
            if (m_progress && n % m_progressEvery == 0)
                tell(ReadProgress::Stage::Encoding, n, src);
            if (isEndLine(line))
                break;
        }
        if (m_progress)
            tell(ReadProgress::Stage::Encoding, n, src);
    }
    const Encoding encoding = scan.result();
    m_encodingName = importer::encodingName(encoding);
    if (!file.seek(0))
        throw std::runtime_error(QStringLiteral("Erro ao ler o arquivo %1: %2")
                                     .arg(m_path, file.errorString())
                                     .toStdString());

    Pass pass(m_path, encoding, handler);
    LineSource src(file, m_path);
    QByteArrayView line;
    qint64 n = 0;
    qint64 countdown = m_progressEvery;
    while (src.next(line)) {
        ++n;
        if (n == 1 && startsWith(line, "\xEF\xBB\xBF")) // a UTF-8 byte-order mark
            line = line.sliced(3);
        pass.line(n, line);
        if (m_progress && --countdown == 0) {
            countdown = m_progressEvery;
            tell(ReadProgress::Stage::Records, n, src);
        }
    }
    if (m_progress)
        tell(ReadProgress::Stage::Records, n, src);
    pass.finish();
    m_version = pass.versionText();
    m_lines = pass.lines();
    m_counts = pass.counts();
}

} // namespace importer
