#include "suite/widgets/btnpesquisa.h"
#include "suite/core/presenter.h"
#include "suite/data/adoibquery.h"
#include "suite/widgets/guarded.h"
#include <QStyle>

namespace suite {

PickList pickListOf(TQueryDataSet& ds, const QString& title); // pesquisalista.cpp

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    setToolTip(QStringLiteral("Pesquisar"));
    connect(this, &QToolButton::clicked, this, [this] {
        if (DataSource)
            guarded(window(), [this] { Pesquisar(); });
    });
}

void TBtnPesquisa::Pesquisar() {
    if (!DataSource || !DataSource->DataSet)
        return;
    bool go = true;
    if (OnBeforePesq)
        OnBeforePesq(this, go);
    if (!go)
        return;
    TQueryDataSet& ds = *DataSource->DataSet;
    ds.Open();
    if (ds.IsEmpty()) {
        presenter().message(EmptyError, MsgType::Warning, mbOK, window());
        return;
    }
    const int row = presenter().pickOne(pickListOf(ds, Title), window());
    if (row < 0)
        return;
    ds.SetRecNo(row);
    if (OnAfterPesq)
        OnAfterPesq(this);
}

} // namespace suite
