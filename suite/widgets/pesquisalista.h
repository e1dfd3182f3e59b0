#pragma once
#include <QString>

namespace suite {

class TDataSource;

// Multiple-choice picker over a data source's rows.
//   caption   "Title|EmptyText": the picker's title, and the text shown
//             (instead of the picker) when the source has no row;
//   lista     in: the current selection, whose rows come up marked ("T"
//             marks every row); out: the chosen rows' keyField values in the
//             source's order joined by ";" ("4.1.01.001;4.1.01.002"), or
//             empty when none is chosen; a cancelled picker or an empty
//             source leaves it unchanged;
//   allAsT    when true, choosing every row gives "T" (all) instead of the list.
// Returns true when the user confirmed a choice.
bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& caption,
                   bool allAsT, QString& lista);

} // namespace suite
