#include "generator/context.h"
#include "generator/text.h"

namespace gen {
namespace {

suite::TClientDataSet& datasetOf(records::Source s, GerArqPrevDatasets& ds) {
    using S = records::Source;
    switch (s) {
    case S::IdContrib:
        return ds.cdsIdContrib;
    case S::DadosCont:
        return ds.cdsDadosCont;
    case S::DadosTecEmpr:
        return ds.cdsDadosTecEmpr;
    case S::PlanContas:
        return ds.cdsPlanContas;
    case S::CentrCust:
        return ds.cdsCentrCust;
    case S::SaldMens:
        return ds.cdsSaldMens;
    case S::LancCont:
        return ds.cdsLancCont;
    case S::CcLanc:
        return ds.cdsCcLanc;
    case S::SaldAntEnc:
        return ds.cdsSaldAntEnc;
    }
    throw suite::EDataSetError("unknown record source");
}

} // namespace

RecordWriter::RecordWriter(records::Type type, GerArqPrevDatasets& ds) {
    const records::Record& decl = records::record(type);
    type_ = typeName(decl);
    fields_.reserve(static_cast<qsizetype>(decl.fields.size()));
    for (const records::Field& f : decl.fields) {
        Bound b{f, nullptr, -1, QString::fromLatin1(f.text)};
        if (f.kind == records::Field::Kind::Data) {
            b.ds = &datasetOf(f.source, ds);
            const QString name = b.fixedText;
            const auto& decls = b.ds->fields();
            for (int i = 0; i < decls.size(); ++i)
                if (decls[i].name.compare(name, Qt::CaseInsensitive) == 0)
                    b.index = i;
            if (b.index < 0) // a layout naming an undeclared field is a build mistake
                throw suite::EDataSetError(
                    (type_ + u' ' + b.ds->name() + u'.' + name).toStdString());
        }
        fields_.append(b);
    }
    values_.resize(fields_.size());
}

void RecordWriter::write(RunContext& ctx, const QString* computed) {
    using Kind = records::Field::Kind;
    for (qsizetype i = 0; i < fields_.size(); ++i) {
        const Bound& b = fields_[i];
        QString v;
        switch (b.def.kind) {
        case Kind::Fixed:
            v = b.fixedText;
            break;
        case Kind::Data:
            v = suite::TField(*b.ds, b.index).AsString();
            break;
        case Kind::Control:
            v = ctx.host.text(b.def.control);
            break;
        case Kind::Slot:
            v = computed ? computed[b.def.slot] : QString();
            break;
        }
        values_[i] = b.def.strip ? TiraMask(v) : std::move(v);
    }
    ctx.out.write(type_, values_.constData(), static_cast<int>(values_.size()));
}

void writePlaceholder(RunContext& ctx, records::Type type) {
    const records::Record& decl = records::record(type);
    const int n = decl.placeholderValues();
    QList<QString> values(n);
    for (int i = 0; i < n; ++i) {
        const records::Field& f = decl.fields[static_cast<std::size_t>(i)];
        if (f.kind == records::Field::Kind::Fixed)
            values[i] = QString::fromLatin1(f.text);
    }
    ctx.out.write(typeName(decl), values.constData(), n);
}

void writeRows(RunContext& ctx, suite::TClientDataSet& source, records::Type type,
               int* RunHost::UnitCounters::*shown, EachRow eachRow, Then then) {
    if (source.IsEmpty()) {
        writePlaceholder(ctx, type);
    } else {
        RecordWriter writer(type, ctx.ds);
        eachRow(ctx, writer);
    }
    if (shown)
        if (int* p = ctx.host.unitCounters().*shown)
            *p = source.RecordCount();
    if (then == Then::CloseSource)
        source.Close();
}

} // namespace gen
