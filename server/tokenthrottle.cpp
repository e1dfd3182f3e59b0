#include "server/tokenthrottle.h"
#include <QElapsedTimer>
#include <algorithm>

namespace server {
namespace {
// Beyond this many addresses the old ones are dropped first, so a flood of
// addresses cannot grow the table without end.
constexpr qsizetype kMaxAddresses = 4096;
} // namespace

TokenThrottle::TokenThrottle(std::function<qint64()> now) : now_(std::move(now)) {
    if (!now_) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        now_ = [clock] { return clock->elapsed(); };
    }
}

void TokenThrottle::forgetOld(qint64 now) {
    for (auto it = entries_.begin(); it != entries_.end();)
        it = now - it->last >= kForgetMs ? entries_.erase(it) : std::next(it);
}

int TokenThrottle::failed(const QString& address) {
    const qint64 now = now_();
    QMutexLocker lock(&mutex_);
    if (entries_.size() >= kMaxAddresses)
        forgetOld(now);
    if (entries_.size() >= kMaxAddresses && !entries_.contains(address))
        entries_.clear();
    Entry& e = entries_[address];
    if (e.failures > 0 && now - e.last >= kForgetMs)
        e.failures = 0;
    e.failures = std::min(e.failures + 1, 32);
    e.last = now;
    qint64 delay = kFirstMs;
    for (int i = 1; i < e.failures && delay < kMaxMs; ++i)
        delay *= 2;
    return static_cast<int>(std::min<qint64>(delay, kMaxMs));
}

} // namespace server
