#pragma once

namespace suite {

// The suite is for Brazilian users whatever the machine's locale: the
// toolkit's own texts (file dialogs, standard buttons) in Brazilian
// Portuguese, and the pt_BR locale (month and day names, numbers) for every
// widget made afterwards. Once per application; true when the toolkit's
// translations were found.
bool useBrazilianPortuguese();

} // namespace suite
