#include "ecdtextfeed.h"
#include <QBuffer>
#include <QFile>
#include <QHash>
#include <map>

using namespace importer;

namespace testfeed {
namespace {

// Fields of each record of layout 9, the record type included.
const QHash<QByteArray, int>& fieldCounts() {
    static const QHash<QByteArray, int> counts = {
        {"0000", 23}, {"0001", 2}, {"0990", 2}, {"I001", 2}, {"I010", 3}, {"I030", 12},
        {"I050", 8},  {"I075", 3}, {"I100", 4}, {"I150", 3}, {"I155", 9}, {"I200", 6},
        {"I250", 9},  {"I350", 2}, {"I355", 5}, {"I990", 2}, {"J001", 2}, {"J930", 12},
        {"J990", 2},  {"9001", 2}, {"9900", 3}, {"9990", 2}, {"9999", 2}};
    return counts;
}

QDate date(const QString& s) {
    return QDate::fromString(s, QStringLiteral("ddMMyyyy"));
}

qint64 cents(const QString& s) {
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    if (comma < 0)
        return s.toLongLong() * 100;
    QString frac = s.mid(comma + 1);
    frac = (frac + QStringLiteral("00")).left(2);
    return s.left(comma).toLongLong() * 100 + frac.toLongLong();
}

QChar first(const QString& s) {
    return s.isEmpty() ? QChar() : s.front();
}

qint64 signedCents(const QString& value, const QString& side) {
    return side == QLatin1String("C") ? -cents(value) : cents(value);
}

} // namespace

void feed(QIODevice& in, const QString& file, EcdHandler& h) {
    auto problem = [&](qint64 line, int field, const QString& what) {
        h.finding({Finding::Severity::Error, Place{file, line, field}, what});
    };
    std::map<QString, qint64> perType, declared;
    std::map<char, qint64> blockLines; // by the type's first character
    qint64 line = 0, declared9999 = -1, declared9990 = -1;
    QByteArray raw;
    while (!in.atEnd()) {
        raw = in.readLine();
        ++line;
        if (!raw.endsWith("\r\n")) {
            problem(line, 0, QStringLiteral("linha sem CR LF"));
            break;
        }
        raw.chop(2);
        if (!raw.startsWith('|') || !raw.endsWith('|')) {
            problem(line, 0, QStringLiteral("linha fora do formato"));
            continue;
        }
        const QList<QByteArray> parts = raw.mid(1, raw.size() - 2).split('|');
        QStringList f{QString()};
        for (const QByteArray& p : parts)
            f.append(QString::fromLatin1(p));
        const QByteArray type = parts.value(0);
        const QString t = QString::fromLatin1(type);
        ++perType[t];
        ++blockLines[type.at(0)];
        const int want = fieldCounts().value(type, -1);
        if (want < 0) {
            problem(line, 1, QStringLiteral("registro desconhecido %1").arg(t));
            continue;
        }
        if (parts.size() != want) {
            problem(line, 0, QStringLiteral("%1 com %2 campos").arg(t).arg(parts.size()));
            continue;
        }
        const Place at{file, line, 0};
        if (type == "0000") {
            Opening o;
            o.start = date(f[3]);
            o.end = date(f[4]);
            o.name = f[5];
            o.cnpj = f[6];
            o.uf = f[7];
            o.ie = f[8];
            o.municipality = f[9];
            o.im = f[10];
            o.hasNire = f[13] == QLatin1String("1");
            o.finality = f[14].toInt();
            o.tipEcd = f[17].toInt();
            o.identMf = f[19];
            h.opening(o, at);
        } else if (type == "I010") {
            h.bookKind({f[2], f[3]}, at);
        } else if (type == "I030") {
            h.openingTerm({f[3], f[7], f[8]}, at);
        } else if (type == "I050") {
            h.account({date(f[2]), f[3], first(f[4]), f[5].toInt(), f[6], f[7], f[8]}, at);
        } else if (type == "I075") {
            h.history({f[2], f[3]}, at);
        } else if (type == "I100") {
            h.costCentre({date(f[2]), f[3], f[4]}, at);
        } else if (type == "I150") {
            h.balancePeriod({date(f[2]), date(f[3])}, at);
        } else if (type == "I155") {
            h.balance({f[2], f[3], signedCents(f[4], f[5]), cents(f[6]), cents(f[7]),
                       signedCents(f[8], f[9])},
                      at);
        } else if (type == "I200") {
            h.entry({f[2], date(f[3]), cents(f[4]), first(f[5]), date(f[6])}, at);
        } else if (type == "I250") {
            h.posting({f[2], f[3], cents(f[4]), first(f[5]), f[6], f[7], f[8]}, at);
        } else if (type == "I350") {
            h.resultDate({date(f[2])}, at);
        } else if (type == "I355") {
            h.resultBalance({f[2], f[3], signedCents(f[4], f[5])}, at);
        } else if (type == "J930") {
            h.signatory({f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]}, at);
        } else if (type == "9999") {
            declared9999 = f[2].toLongLong();
        } else if (type == "9990") {
            declared9990 = f[2].toLongLong(); // the 9999 line counts too
        } else if (type.endsWith("990")) {
            if (f[2].toLongLong() != blockLines[type.at(0)])
                problem(line, 2,
                        QStringLiteral("%1 conta %2 linhas, o bloco tem %3")
                            .arg(t, f[2])
                            .arg(blockLines[type.at(0)]));
        } else if (type == "9900") {
            declared[f[2]] = f[3].toLongLong();
        }
    }
    if (declared9990 != blockLines['9'])
        problem(line, 2,
                QStringLiteral("9990 conta %1 linhas, o bloco 9 tem %2")
                    .arg(declared9990)
                    .arg(blockLines['9']));
    if (declared9999 != line)
        problem(
            line, 2,
            QStringLiteral("9999 conta %1 linhas, o arquivo tem %2").arg(declared9999).arg(line));
    if (declared != perType)
        problem(line, 0, QStringLiteral("os 9900 não conferem com as linhas de cada registro"));
    h.endOfFile(Place{file, line, 0});
}

void feed(const QByteArray& text, const QString& file, EcdHandler& handler) {
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    feed(b, file, handler);
}

bool feedFile(const QString& path, EcdHandler& handler) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    feed(f, path, handler);
    return true;
}

} // namespace testfeed
