#include "generator/context.h"
#include "generator/text.h"

namespace gen {

Record::Record(const char* type, std::span<const FieldSpec> fields, GerArqPrevDatasets& ds)
    : type_(QString::fromLatin1(type)) {
    fields_.reserve(static_cast<qsizetype>(fields.size()));
    for (const FieldSpec& f : fields) {
        Bound b{f, nullptr, -1, QString::fromLatin1(f.text)};
        if (f.kind == FieldSpec::Kind::Data) {
            b.ds = &(ds.*(f.dataset));
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

void Record::write(RunContext& ctx, const QString* computed) {
    for (qsizetype i = 0; i < fields_.size(); ++i) {
        const Bound& b = fields_[i];
        QString v;
        switch (b.def.kind) {
        case FieldSpec::Kind::Fixed:
            v = b.fixedText;
            break;
        case FieldSpec::Kind::Data:
            v = suite::TField(*b.ds, b.index).AsString();
            break;
        case FieldSpec::Kind::Control:
            v = ctx.host.text(b.def.control);
            break;
        case FieldSpec::Kind::Slot:
            v = computed ? computed[b.def.slot] : QString();
            break;
        }
        values_[i] = b.def.strip ? TiraMask(v) : std::move(v);
    }
    ctx.out.write(type_, values_.constData(), static_cast<int>(values_.size()));
}

} // namespace gen
