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
    Account m_account;
    History m_history;
    CostCentre m_costCentre;
    Balance m_balance;
    Entry m_entry;
    Posting m_posting;
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
    if (s.isEmpty() && value != 0) {
        report(m_place.line, side,
               QStringLiteral("%1: falta o indicador D ou C de um valor diferente de zero")
                   .arg(QLatin1String(layout::field(*m_last, side)->name)));
        m_lineOk = false;
    }
    return s == "C" ? -value : value;
}

void Pass::setVersion() {
    m_versionText = text(layout::fI010::CodVerLc);
    m_version = majorVersion(raw(layout::fI010::CodVerLc));
    if (m_version == 0) {
        report(m_place.line, layout::fI010::CodVerLc,
               QStringLiteral("COD_VER_LC: versão do leiaute \"%1\" ilegível; as contagens de "
                              "campos não são conferidas")
                   .arg(m_versionText));
        m_lineOk = false;
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

void Pass::dispatch(const Record& r) {
    const Place& at = m_place;
    switch (r.id) {
    case Id::R0000: {
        namespace f = layout::f0000;
        if (m_seenOpening) {
            report(at.line, 1, QStringLiteral("registro 0000 repetido: um arquivo é um livro"));
            return;
        }
        m_seenOpening = true;
        Opening& o = m_opening;
        o.start = v(f::DtIni).date;
        o.end = v(f::DtFin).date;
        text(f::Nome, o.name);
        text(f::Cnpj, o.cnpj);
        text(f::Uf, o.uf);
        text(f::Ie, o.ie);
        text(f::CodMun, o.municipality);
        text(f::Im, o.im);
        o.hasNire = raw(f::IndNire) == "1";
        o.finality = raw(f::IndFinEsc) == "1" ? 1 : 0;
        o.tipEcd = raw(f::TipEcd).isEmpty() ? 0 : raw(f::TipEcd).front() - '0';
        text(f::IdentMf, o.identMf);
        if (o.end < o.start) {
            report(at.line, f::DtFin, QStringLiteral("DT_FIN: o período termina antes de começar"));
            return;
        }
        m_handler.opening(o, at);
        return;
    }
    case Id::I010: {
        namespace f = layout::fI010;
        setVersion();
        if (!m_lineOk)
            return;
        m_handler.bookKind(BookKind{text(f::IndEsc), m_versionText}, at);
        return;
    }
    case Id::I030: {
        namespace f = layout::fI030;
        m_handler.openingTerm(OpeningTerm{text(f::NumOrd), text(f::Nire), text(f::Cnpj)}, at);
        return;
    }
    case Id::I050: {
        namespace f = layout::fI050;
        Account& a = m_account;
        a.changed = v(f::DtAlt).date;
        text(f::CodNat, a.nature);
        a.type = QLatin1Char(raw(f::IndCta).front());
        a.level = int(v(f::Nivel).number);
        text(f::CodCta, a.code);
        text(f::CodCtaSup, a.superior);
        text(f::Cta, a.name);
        if (a.level < 1) {
            report(at.line, f::Nivel, QStringLiteral("NIVEL: o nível começa em 1"));
            return;
        }
        m_handler.account(a, at);
        return;
    }
    case Id::I075: {
        namespace f = layout::fI075;
        text(f::CodHist, m_history.code);
        text(f::DescrHist, m_history.text);
        m_handler.history(m_history, at);
        return;
    }
    case Id::I100: {
        namespace f = layout::fI100;
        m_costCentre.changed = v(f::DtAlt).date;
        text(f::CodCcus, m_costCentre.code);
        text(f::Ccus, m_costCentre.name);
        m_handler.costCentre(m_costCentre, at);
        return;
    }
    case Id::I150: {
        namespace f = layout::fI150;
        const BalancePeriod p{v(f::DtIni).date, v(f::DtFin).date};
        if (p.end < p.start) {
            report(at.line, f::DtFin, QStringLiteral("DT_FIN: o período termina antes de começar"));
            return;
        }
        m_handler.balancePeriod(p, at);
        return;
    }
    case Id::I155: {
        namespace f = layout::fI155;
        Balance& b = m_balance;
        text(f::CodCta, b.account);
        text(f::CodCcus, b.costCentre);
        b.initial = signedAmount(f::VlSldIni, f::IndDcIni);
        b.debits = v(f::VlDeb).number;
        b.credits = v(f::VlCred).number;
        b.final = signedAmount(f::VlSldFin, f::IndDcFin);
        if (m_lineOk)
            m_handler.balance(b, at);
        return;
    }
    case Id::I157: {
        namespace f = layout::fI157;
        signedAmount(f::VlSldIni, f::IndDcIni); // checked; the import does not use it
        return;
    }
    case Id::I200: {
        namespace f = layout::fI200;
        Entry& e = m_entry;
        text(f::NumLcto, e.number);
        e.date = v(f::DtLcto).date;
        e.total = v(f::VlLcto).number;
        e.kind = QLatin1Char(raw(f::IndLcto).front());
        e.extemporaneous = v(f::DtLctoExt).date;
        if (e.kind == QLatin1Char('X') && e.extemporaneous.isNull()) {
            report(at.line, f::DtLctoExt,
                   QStringLiteral("DT_LCTO_EXT: um lançamento extemporâneo (X) pede a data do "
                                  "fato"));
            return;
        }
        m_handler.entry(e, at);
        return;
    }
    case Id::I250: {
        namespace f = layout::fI250;
        Posting& p = m_posting;
        text(f::CodCta, p.account);
        text(f::CodCcus, p.costCentre);
        p.value = v(f::VlDc).number;
        p.side = QLatin1Char(raw(f::IndDc).front());
        text(f::NumArq, p.document);
        text(f::CodHistPad, p.historyCode);
        text(f::Hist, p.history);
        m_handler.posting(p, at);
        return;
    }
    case Id::I350:
        m_handler.resultDate(ResultDate{v(layout::fI350::DtRes).date}, at);
        return;
    case Id::I355: {
        namespace f = layout::fI355;
        ResultBalance& b = m_resultBalance;
        text(f::CodCta, b.account);
        text(f::CodCcus, b.costCentre);
        b.value = signedAmount(f::VlCta, f::IndDc);
        if (m_lineOk)
            m_handler.resultBalance(b, at);
        return;
    }
    case Id::J930: {
        namespace f = layout::fJ930;
        Signatory& s = m_signatory;
        text(f::IdentNom, s.name);
        text(f::IdentCpfCnpj, s.cpfCnpj);
        text(f::IdentQualif, s.qualification);
        text(f::CodAssin, s.code);
        text(f::IndCrc, s.crc);
        text(f::Email, s.email);
        text(f::Fone, s.phone);
        text(f::UfCrc, s.ufCrc);
        m_handler.signatory(s, at);
        return;
    }
    case Id::R9900: {
        namespace f = layout::f9900;
        const QByteArray type = raw(f::RegBlc).toByteArray();
        for (const Declared& d : m_declared)
            if (d.type == type) {
                report(at.line, f::RegBlc,
                       QStringLiteral("REG_BLC: o registro %1 já foi contado na linha %2")
                           .arg(QString::fromLatin1(type))
                           .arg(d.line));
                return;
            }
        m_declared.push_back(Declared{type, v(f::QtdRegBlc).number, at.line});
        return;
    }
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
