#include "datapacket.h"
#include <QDateTime>
#include <algorithm>
#include <cstring>

namespace suite {
namespace {

// One tag byte per cell, then its payload.
enum Tag : char {
    Null = 0,
    Text = 1,     // varint byte count, UTF-8
    Real = 2,     // 8 bytes, host order (the set never leaves the process)
    Integer = 3,  // zigzag varint
    DateTime = 4, // zigzag varint Julian day, varint milliseconds of the day
    Date = 5,     // zigzag varint Julian day
    NoDateTime = 6,
};

void putVarint(QByteArray& out, quint64 v) {
    while (v >= 0x80) {
        out.append(static_cast<char>((v & 0x7f) | 0x80));
        v >>= 7;
    }
    out.append(static_cast<char>(v));
}

quint64 getVarint(const char*& p) {
    quint64 v = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80))
            return v;
        shift += 7;
    }
}

quint64 zigzag(qint64 v) {
    return (static_cast<quint64>(v) << 1) ^ static_cast<quint64>(v >> 63);
}

qint64 unzigzag(quint64 v) {
    return static_cast<qint64>(v >> 1) ^ -static_cast<qint64>(v & 1);
}

void putUtf8(QByteArray& out, const char* utf8, qsizetype n) {
    out.append(Text);
    putVarint(out, static_cast<quint64>(n));
    out.append(utf8, n);
}

void putText(QByteArray& out, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    putUtf8(out, utf8.constData(), utf8.size());
}

void putReal(QByteArray& out, double d) {
    out.append(Real);
    out.append(reinterpret_cast<const char*>(&d), sizeof d);
}

void putInteger(QByteArray& out, qint64 v) {
    out.append(Integer);
    putVarint(out, zigzag(v));
}

void putCell(QByteArray& out, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        out.append(Null);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::QString:
        putText(out, *static_cast<const QString*>(v.constData()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        putReal(out, v.toDouble());
        return;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        putInteger(out, v.toLongLong());
        return;
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid()) {
            out.append(NoDateTime);
            return;
        }
        out.append(DateTime);
        putVarint(out, zigzag(dt.date().toJulianDay()));
        putVarint(out, static_cast<quint64>(dt.time().msecsSinceStartOfDay()));
        return;
    }
    case QMetaType::QDate:
        out.append(Date);
        putVarint(out, zigzag(v.toDate().toJulianDay()));
        return;
    default:
        putText(out, v.toString());
        return;
    }
}

// Moves p past one cell.
void skipCell(const char*& p) {
    switch (*p++) {
    case Text: {
        const quint64 n = getVarint(p);
        p += n;
        return;
    }
    case Real:
        p += sizeof(double);
        return;
    case Integer:
    case Date:
        getVarint(p);
        return;
    case DateTime:
        getVarint(p);
        getVarint(p);
        return;
    default:
        return;
    }
}

QVariant readCell(const char* p) {
    switch (*p++) {
    case Text: {
        const quint64 n = getVarint(p);
        return QString::fromUtf8(p, static_cast<qsizetype>(n));
    }
    case Real: {
        double d = 0;
        std::memcpy(&d, p, sizeof d);
        return d;
    }
    case Integer:
        return unzigzag(getVarint(p));
    case DateTime: {
        const QDate day = QDate::fromJulianDay(unzigzag(getVarint(p)));
        const auto ms = static_cast<int>(getVarint(p));
        return QDateTime(day, QTime::fromMSecsSinceStartOfDay(ms));
    }
    case Date:
        return QDate::fromJulianDay(unzigzag(getVarint(p)));
    case NoDateTime:
        return QDateTime();
    default:
        return {};
    }
}

} // namespace

RowSet::RowSet(std::initializer_list<QVariantList> rows) {
    reserve(static_cast<qsizetype>(rows.size()));
    for (const QVariantList& r : rows)
        append(r);
}

RowSet::RowSet(const QList<QVariantList>& rows) {
    reserve(rows.size());
    for (const QVariantList& r : rows)
        append(r);
}

void RowSet::clear() {
    data_.clear();
    starts_.clear();
}

void RowSet::append(const QVariantList& row) {
    if (starts_.isEmpty())
        starts_.append(0);
    // The cell count leads the row so that a short row stays visible.
    putVarint(data_, static_cast<quint64>(row.size()));
    for (const QVariant& v : row)
        putCell(data_, v);
    starts_.append(data_.size());
}

void RowSet::append(const RowSet& more) {
    if (more.isEmpty())
        return;
    if (isEmpty()) {
        *this = more;
        return;
    }
    const qint64 base = data_.size();
    data_.append(more.data_);
    starts_.reserve(starts_.size() + more.size());
    for (qsizetype r = 1; r < more.starts_.size(); ++r)
        starts_.append(base + more.starts_[r]);
}

void RowSet::beginRow(int cells) {
    if (starts_.isEmpty())
        starts_.append(0);
    putVarint(data_, static_cast<quint64>(cells));
}

void RowSet::addNull() {
    data_.append(Null);
}

void RowSet::addText(const char* utf8, qsizetype size) {
    putUtf8(data_, utf8, size);
}

void RowSet::addReal(double d) {
    putReal(data_, d);
}

void RowSet::addInteger(qint64 v) {
    putInteger(data_, v);
}

void RowSet::addValue(const QVariant& v) {
    putCell(data_, v);
}

void RowSet::endRow() {
    starts_.append(data_.size());
}

void RowSet::cells(qsizetype row, CellViews& out) const {
    out.clear();
    if (row < 0 || row >= size())
        return;
    const char* p = data_.constData() + starts_[row];
    const auto n = static_cast<int>(getVarint(p));
    out.resize(n);
    for (int c = 0; c < n; ++c) {
        CellView& v = out[c];
        const char* at = p;
        switch (*at++) {
        case Null:
            v.kind = CellView::Null;
            break;
        case Text:
            v.kind = CellView::Text;
            v.size = static_cast<qsizetype>(getVarint(at));
            v.text = at;
            break;
        case Real:
            v.kind = CellView::Real;
            std::memcpy(&v.real, at, sizeof v.real);
            break;
        case Integer:
            v.kind = CellView::Integer;
            v.integer = unzigzag(getVarint(at));
            break;
        default:
            v.kind = CellView::Other;
            break;
        }
        skipCell(p);
    }
}

int RowSet::width(qsizetype row) const {
    if (row < 0 || row >= size())
        return 0;
    const char* p = data_.constData() + starts_[row];
    return static_cast<int>(getVarint(p));
}

const char* RowSet::cell(qsizetype row, int column) const {
    if (row < 0 || row >= size() || column < 0)
        return nullptr;
    const char* p = data_.constData() + starts_[row];
    const auto n = static_cast<int>(getVarint(p));
    if (column >= n)
        return nullptr;
    for (int c = 0; c < column; ++c)
        skipCell(p);
    return p;
}

QVariant RowSet::value(qsizetype row, int column) const {
    const char* p = cell(row, column);
    return p ? readCell(p) : QVariant();
}

QVariantList RowSet::at(qsizetype row) const {
    QVariantList out;
    if (row < 0 || row >= size())
        return out;
    const char* p = data_.constData() + starts_[row];
    const auto n = static_cast<int>(getVarint(p));
    out.reserve(n);
    for (int c = 0; c < n; ++c) {
        out.append(readCell(p));
        skipCell(p);
    }
    return out;
}

void RowSet::sort(const std::function<bool(const QVariantList&, const QVariantList&)>& less) {
    QList<QVariantList> all;
    all.reserve(size());
    for (qsizetype r = 0; r < size(); ++r)
        all.append(at(r));
    std::stable_sort(all.begin(), all.end(), less);
    clear();
    reserve(all.size());
    for (const QVariantList& r : all)
        append(r);
}

bool RowSet::operator==(const RowSet& other) const {
    if (size() != other.size())
        return false;
    for (qsizetype r = 0; r < size(); ++r)
        if (at(r) != other.at(r))
            return false;
    return true;
}

} // namespace suite
