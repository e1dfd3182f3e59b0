#pragma once
#include <QToolButton>
#include <functional>

namespace suite {

class TDataSource;
class TQueryDataSet;

// Kinds of code pictures a search button formats its codes with.
enum class TPictType { ptNone, ptContCtbl, ptCentCust };

// A search button beside an edit. With a DataSource, a click runs the search:
// OnBeforePesq (its flag, true on entry, false cancels the search), the
// source reopened when closed, EmptyError shown when it has no row, a modal
// single-row picker over its visible fields; a choice leaves that row current
// and runs OnAfterPesq. Without a DataSource only the click signal fires.
class TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);

    QWidget* Associate = nullptr;
    QString Title;
    TDataSource* DataSource = nullptr;
    QString EmptyError;
    TPictType PictType = TPictType::ptNone;
    std::function<void(QObject* Sender, bool& flag)> OnBeforePesq;
    std::function<void(QObject* Sender)> OnAfterPesq;

    // The search itself; exceptions pass on (the click runs it guarded).
    void Pesquisar();
};

} // namespace suite
