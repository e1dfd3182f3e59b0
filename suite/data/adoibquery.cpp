#include "adoibquery.h"
#include "db/dbgeral.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace suite {

namespace {
// Mask characters of both picture styles the suite stores: digits, letters,
// alphanumerics and any character, required or optional.
bool isMaskChar(QChar c) {
    return QStringLiteral("90#LlAaCcNnXxHhBbDd").contains(c);
}
} // namespace

QString FormatWithMask(const QString& mask, const QString& value) {
    // A mask may carry the ";0;_" suffix of its save and blank settings.
    const QString m = mask.section(u';', 0, 0);
    if (m.isEmpty() || value.isEmpty())
        return value;
    QString out;
    qsizetype v = 0;
    for (qsizetype i = 0; i < m.size() && v < value.size(); ++i) {
        const QChar mc = m.at(i);
        if (isMaskChar(mc)) {
            if (!value.at(v).isLetterOrNumber())
                return value; // already formatted, or not a code of this picture
            out += value.at(v++);
        } else {
            if (mc == u'\\' && i + 1 < m.size())
                ++i;
            if (value.at(v) == m.at(i))
                ++v; // the value carries this literal itself
            out += m.at(i);
        }
    }
    return v < value.size() ? value : out;
}

QString TADOIBStringField::AsString() const {
    const QVariant v = ds_->value(*this);
    return v.isNull() ? QString() : v.toString();
}

QString TADOIBStringField::DisplayText() const {
    return EditMask.isEmpty() ? AsString() : FormatWithMask(EditMask, AsString());
}

bool TADOIBStringField::IsNull() const {
    return ds_->value(*this).isNull();
}

TADOIBStringField& TQueryDataSet::AddField(const QString& name, int size,
                                           const QString& displayLabel) {
    fields_.push_back(std::make_unique<TADOIBStringField>(*this, name, size, displayLabel));
    return *fields_.back();
}

TADOIBStringField& TQueryDataSet::FieldByName(const QString& name) const {
    for (const auto& f : fields_)
        if (f->FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return *f;
    throw EQueryError("campo inexistente: " + name.toStdString());
}

void TQueryDataSet::Open() {
    if (!active_ && opener_)
        opener_();
}

void TQueryDataSet::Close() {
    rows_.clear();
    row_ = 0;
    active_ = false;
}

QVariant TQueryDataSet::value(const TADOIBStringField& f) const {
    if (!active_ || row_ >= rows_.size())
        return {};
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].get() == &f)
            return rows_[row_].value(columnOf_.value(qsizetype(i), -1));
    return {};
}

TADOIBQuery::TADOIBQuery() {
    Query.opener_ = [this] { Open(); };
}

TParam& TADOIBQuery::AddParam(const QString& name) {
    params_.push_back(std::make_unique<TParam>(name));
    return *params_.back();
}

TParam& TADOIBQuery::ParamByName(const QString& name) {
    for (const auto& p : params_)
        if (p->Name.compare(name, Qt::CaseInsensitive) == 0)
            return *p;
    throw EQueryError("parâmetro inexistente: " + name.toStdString());
}

QString TADOIBQuery::statementFor(Dialect d) const {
    const QStringList* lines = &SQL;
    if (d == Dialect::Oracle && !SQL_ORACLE.isEmpty())
        lines = &SQL_ORACLE;
    else if (d == Dialect::MsSql && !SQL_MSSQL.isEmpty())
        lines = &SQL_MSSQL;
    else if (d == Dialect::InterBase && !SQL_IB.isEmpty())
        lines = &SQL_IB;
    return lines->join(u'\n');
}

TADOIBQuery::Dialect TADOIBQuery::dialectOf(const QSqlDatabase& db) {
    const QString drv = db.driverName();
    if (drv.startsWith(QLatin1String("QOCI")))
        return Dialect::Oracle;
    if (drv.startsWith(QLatin1String("QODBC")) || drv.startsWith(QLatin1String("QTDS")))
        return Dialect::MsSql;
    if (drv.startsWith(QLatin1String("QIBASE")))
        return Dialect::InterBase;
    return Dialect::Default;
}

void TADOIBQuery::Open() {
    if (Query.active_)
        return;
    QSqlDatabase db = useOwnDb_ ? db_ : db::dtmDBGeral::dtbGeral();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statementFor(dialectOf(db))))
        throw EQueryError(q.lastError().text().toStdString());
    for (const auto& p : params_)
        q.bindValue(u':' + p->Name, p->value().isValid() ? p->value() : QVariant(QString()));
    if (!q.exec())
        throw EQueryError(q.lastError().text().toStdString());

    const QSqlRecord rec = q.record();
    QList<int> columnOf;
    for (const auto& f : Query.fields_) {
        const int c = rec.indexOf(f->FieldName);
        if (c < 0)
            throw EQueryError("campo ausente no resultado: " + f->FieldName.toStdString());
        columnOf.append(c);
    }
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int c = 0; c < rec.count(); ++c) {
            const QVariant v = q.value(c);
            // Fixed-width character columns come back padded on some products.
            row.append(v.isNull() ? v : QVariant(v.toString().trimmed()));
        }
        rows.append(std::move(row));
    }
    Query.columnOf_ = std::move(columnOf);
    Query.rows_ = std::move(rows);
    Query.row_ = 0;
    Query.active_ = true;
}

} // namespace suite
