#include "suite/widgets/pesquisalista.h"
#include "suite/core/presenter.h"
#include "suite/data/adoibquery.h"
#include <QSet>

namespace suite {

// The rows of a dataset as a picker shows them: visible fields, display
// labels as headers, values through their edit masks. Keeps the current row.
PickList pickListOf(TQueryDataSet& ds, const QString& title) {
    PickList list;
    list.title = title;
    QList<const TADOIBStringField*> shown;
    for (const auto& f : ds.Fields())
        if (f->Visible) {
            shown.append(f.get());
            list.headers.append(f->DisplayLabel.isEmpty() ? f->FieldName : f->DisplayLabel);
        }
    const int keep = ds.RecNo();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        QStringList row;
        for (const TADOIBStringField* f : shown)
            row.append(f->DisplayText());
        list.rows.append(row);
    }
    ds.SetRecNo(keep);
    return list;
}

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& caption,
                   bool allAsT, QString& lista) {
    if (!source || !source->DataSet)
        return false;
    TQueryDataSet& ds = *source->DataSet;
    const QString title = caption.section(u'|', 0, 0);
    const QString emptyText = caption.section(u'|', 1);
    ds.Open();
    if (ds.IsEmpty()) {
        presenter().message(emptyText, MsgType::Warning, mbOK, nullptr);
        return false;
    }
    const TADOIBStringField& key = ds.FieldByName(keyField);
    QStringList keys;
    for (ds.First(); !ds.Eof(); ds.Next())
        keys.append(key.AsString());
    ds.First();

    QSet<QString> current;
    for (const QString& k : lista.split(u';', Qt::SkipEmptyParts))
        current.insert(k.trimmed());
    const bool all = lista.trimmed() == QLatin1String("T");
    QList<int> chosen;
    for (int i = 0; i < keys.size(); ++i)
        if (all || current.contains(keys[i]))
            chosen.append(i);

    if (!presenter().pickMany(pickListOf(ds, title), chosen, nullptr))
        return false;

    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    QStringList picked;
    for (int i : chosen)
        if (i >= 0 && i < keys.size())
            picked.append(keys[i]);
    lista = allAsT && !keys.isEmpty() && picked.size() == keys.size() ? QStringLiteral("T")
                                                                      : picked.join(u';');
    return true;
}

} // namespace suite
