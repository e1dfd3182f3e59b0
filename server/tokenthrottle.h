#pragma once
#include <QHash>
#include <QMutex>
#include <QString>
#include <functional>

namespace server {

// Slows down guessing the token: each wrong token from an address is
// answered after a delay that doubles with the failures from that address,
// from kFirstMs up to kMaxMs. An address that has not failed for kForgetMs
// starts again from the first delay. Safe to use from every connection's
// thread.
class TokenThrottle {
public:
    static constexpr int kFirstMs = 100;
    static constexpr int kMaxMs = 5000;
    static constexpr qint64 kForgetMs = 10 * 60 * 1000;

    // now: a monotonic clock in milliseconds (tests pass their own).
    explicit TokenThrottle(std::function<qint64()> now = {});

    // Counts a wrong token from address and returns how long to wait before
    // answering it.
    int failed(const QString& address);

private:
    struct Entry {
        int failures = 0;
        qint64 last = 0;
    };
    void forgetOld(qint64 now);

    std::function<qint64()> now_;
    QMutex mutex_;
    QHash<QString, Entry> entries_;
};

} // namespace server
