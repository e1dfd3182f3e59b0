#include "clientdataset.h"
#include <cmath>
#include <cstdio>

namespace suite {
namespace {

const char* typeName(FieldType t) {
    switch (t) {
    case FieldType::String:
        return "texto";
    case FieldType::Float:
        return "numérico";
    case FieldType::Integer:
        return "inteiro";
    case FieldType::DateTime:
        return "data/hora";
    }
    return "?";
}

// A packet column can feed a declared field when its values read the same way:
// an integer column fills a float field without loss, nothing else converts.
bool compatible(FieldType declared, FieldType delivered) {
    if (declared == delivered)
        return true;
    return declared == FieldType::Float && delivered == FieldType::Integer;
}

// General floating-point text: up to 15 significant digits, decimal comma, no
// trailing zeros, exponent below -5 or from 15 on.
QString generalFloat(double v) {
    if (!std::isfinite(v))
        return {};
    if (v == 0.0)
        return QStringLiteral("0");
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v); // d.dddddddddddddde±XX
    QString out;
    const char* p = buf;
    if (*p == '-') {
        out.append(u'-');
        ++p;
    }
    QString digits;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            digits.append(QChar::fromLatin1(*p));
    const int exp = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    if (exp < -5 || exp >= 15) {
        out.append(digits.front());
        if (digits.size() > 1) {
            out.append(u',');
            out.append(QStringView(digits).mid(1));
        }
        out.append(u'E');
        out.append(QString::number(exp));
        return out;
    }
    if (exp < 0) {
        out.append(QStringLiteral("0,"));
        out.append(QString(-exp - 1, u'0'));
        out.append(digits);
        return out;
    }
    if (digits.size() <= exp + 1) {
        out.append(digits);
        out.append(QString(exp + 1 - digits.size(), u'0'));
        return out;
    }
    out.append(QStringView(digits).left(exp + 1));
    out.append(u',');
    out.append(QStringView(digits).mid(exp + 1));
    return out;
}

} // namespace

// --- TField -----------------------------------------------------------------

const FieldDecl& TField::decl() const {
    return ds_.fields().at(index_);
}

bool TField::IsNull() const {
    return ds_.value(index_).isNull();
}

QString TField::AsString() const {
    const QVariant v = ds_.value(index_);
    if (v.isNull())
        return {};
    switch (decl().type) {
    case FieldType::String:
        return v.toString();
    case FieldType::Float:
        return generalFloat(v.toDouble());
    case FieldType::Integer:
        return QString::number(v.toLongLong());
    case FieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.isValid() ? dt.date().toString(QStringLiteral("dd/MM/yyyy")) : QString();
    }
    }
    return {};
}

double TField::AsFloat() const {
    const QVariant v = ds_.value(index_);
    if (v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        QString s = v.toString().trimmed();
        s.replace(u',', u'.');
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok ? d : 0.0;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0.0;
}

QDateTime TField::AsDateTime() const {
    const QVariant v = ds_.value(index_);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QString) {
        const QDate d = QDate::fromString(v.toString().trimmed(), QStringLiteral("dd/MM/yyyy"));
        return d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
    }
    return v.toDateTime();
}

// --- TClientDataSet ---------------------------------------------------------

TClientDataSet::TClientDataSet(QString name, QList<FieldDecl> fields)
    : name_(std::move(name)), decls_(std::move(fields)) {}

void TClientDataSet::SetData(const DataPacket& packet) {
    QList<int> columns;
    columns.reserve(decls_.size());
    for (const FieldDecl& d : decls_) {
        const int col = packet.indexOf(d.name);
        if (col < 0)
            throw EDataSetError(QStringLiteral("%1: campo %2 não encontrado no pacote de dados.")
                                    .arg(name_, d.name)
                                    .toStdString());
        const FieldType got = packet.fields.at(col).type;
        if (!compatible(d.type, got))
            throw EDataSetError(
                QStringLiteral("%1: campo %2 de tipo incompatível (esperado %3, recebido %4).")
                    .arg(name_, d.name, QString::fromUtf8(typeName(d.type)),
                         QString::fromUtf8(typeName(got)))
                    .toStdString());
        columns.append(col);
    }
    // A short row would make every later read of it go out of range.
    const qsizetype width = packet.fields.size();
    for (qsizetype r = 0; r < packet.rows.size(); ++r)
        if (packet.rows.width(r) != width)
            throw EDataSetError(
                QStringLiteral("%1: linha %2 do pacote com %3 valores para %4 campos.")
                    .arg(name_)
                    .arg(r + 1)
                    .arg(packet.rows.width(r))
                    .arg(width)
                    .toStdString());
    columnOf_ = std::move(columns);
    rows_ = packet.rows; // shared, not copied
    row_ = 0;
    active_ = true;
}

void TClientDataSet::Close() {
    rows_.clear();
    columnOf_.clear();
    row_ = 0;
    active_ = false;
}

void TClientDataSet::First() {
    row_ = 0;
}

void TClientDataSet::Next() {
    if (row_ < rows_.size())
        ++row_;
}

bool TClientDataSet::Eof() const {
    return !active_ || row_ >= rows_.size();
}

bool TClientDataSet::IsEmpty() const {
    return !active_ || rows_.isEmpty();
}

int TClientDataSet::RecordCount() const {
    return active_ ? static_cast<int>(rows_.size()) : 0;
}

TField TClientDataSet::FieldByName(const QString& name) const {
    for (int i = 0; i < decls_.size(); ++i)
        if (decls_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return TField(*this, i);
    throw EDataSetError(
        QStringLiteral("%1: campo %2 não declarado.").arg(name_, name).toStdString());
}

QVariant TClientDataSet::value(int declIndex) const {
    if (!active_ || row_ >= rows_.size() || declIndex < 0 || declIndex >= columnOf_.size())
        return {};
    return rows_.value(row_, columnOf_.at(declIndex));
}

} // namespace suite
