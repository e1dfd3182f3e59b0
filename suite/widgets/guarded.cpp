#include "suite/widgets/guarded.h"
#include "suite/core/abort.h"
#include "suite/core/presenter.h"
#include <QString>
#include <exception>

namespace suite {

void guarded(QWidget* where, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const EAbort&) {
        // Already reported by MensErro.
    } catch (const std::exception& e) {
        presenter().message(QString::fromUtf8(e.what()), MsgType::Error, mbOK, where);
    } catch (...) {
        presenter().message(QStringLiteral("Erro inesperado."), MsgType::Error, mbOK, where);
    }
}

} // namespace suite
