#pragma once
#include <QtGlobal>

namespace server {

// The demo ledger's small deterministic generator: the same sequence on every
// platform and library, unlike the standard distributions. Benches draw
// their synthetic books with it too.
class DemoRng {
public:
    explicit DemoRng(quint64 seed) : s_(seed) {}
    quint32 next() {
        s_ = s_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<quint32>(s_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint32>(n)); }

private:
    quint64 s_;
};

} // namespace server
