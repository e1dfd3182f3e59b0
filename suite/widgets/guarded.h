#pragma once
#include <functional>

class QWidget;

namespace suite {

// The boundary every event handler runs behind: a silent abort (EAbort) ends
// the handler quietly, its message was already shown; any other exception is
// shown in an error box over `where` instead of escaping into the event loop.
void guarded(QWidget* where, const std::function<void()>& handler);

// A slot for QObject::connect that runs `handler` behind the boundary.
template <class F> auto handler(QWidget* where, F f) {
    return [where, f = std::move(f)]() { guarded(where, f); };
}

} // namespace suite
