#include "framechannel.h"
#include "suite/core/config.h"
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

namespace suite::proto {
namespace {

// Holds every request and most replies whole; larger frames bypass it.
constexpr qsizetype kBufferSize = 64 * 1024;
constexpr int kStopSliceMs = 200;

QDeadlineTimer deadlineFor(int timeoutMs) {
    return timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
}

// What is left, in whole milliseconds rounded up (a fresh deadline of N ms
// gives N, so back-to-back calls ask for the same receive timeout), capped
// by the stop-flag slice; -1 for no limit.
int sliceMs(const QDeadlineTimer& deadline, bool stoppable) {
    int slice = stoppable ? kStopSliceMs : -1;
    const qint64 ns = deadline.remainingTimeNSecs();
    if (ns >= 0) {
        const qint64 ms = (ns + 999999) / 1000000;
        if (slice < 0 || ms < slice)
            slice = static_cast<int>(ms);
    }
    return slice;
}

bool wouldBlock(int e) {
    return e == EAGAIN || e == EWOULDBLOCK;
}

} // namespace

bool SpinGate::enter() {
    int n = free_.load(std::memory_order_relaxed);
    while (n > 0)
        if (free_.compare_exchange_weak(n, n - 1, std::memory_order_acquire))
            return true;
    return false;
}

void FrameChannel::setSpin(int microseconds, SpinGate* gate) {
    spinUs_ = microseconds < 0 ? suite::defaultSpinMicroseconds() : microseconds;
    gate_ = gate;
}

qint64 FrameChannel::spin(char* at, qsizetype room) {
    if (spinUs_ <= 0 || noSpinLeft_ > 0 || (gate_ && !gate_->enter())) {
        if (noSpinLeft_ > 0)
            --noSpinLeft_;
        errno = EAGAIN;
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(spinUs_);
    qint64 n = -1;
    for (;;) {
        n = ::recv(fd_, at, static_cast<size_t>(room), MSG_DONTWAIT);
        if (n >= 0 || (errno != EINTR && !wouldBlock(errno)) || Clock::now() >= until)
            break;
    }
    const int saved = errno;
    if (gate_)
        gate_->leave();
    if (n >= 0) {
        misses_ = 0;
    } else if (wouldBlock(saved) && ++misses_ >= kMissesToStop) {
        misses_ = 0;
        noSpinLeft_ = kReadsWithoutSpin;
    }
    errno = saved;
    return n;
}

FrameChannel::FrameChannel(quint32 maxFrame) : max_(maxFrame) {}

FrameChannel::~FrameChannel() {
    close();
}

void FrameChannel::attach(int fd) {
    close();
    if (fd < 0)
        return;
    fd_ = fd;
    // Blocking, so that a read waits in recv(); sends ask for no waiting
    // one by one and wait in poll(), to keep to their timeout.
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0 && (fl & O_NONBLOCK) != 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    const int fdfl = ::fcntl(fd, F_GETFD);
    if (fdfl >= 0 && (fdfl & FD_CLOEXEC) == 0)
        ::fcntl(fd, F_SETFD, fdfl | FD_CLOEXEC);
    timeval none{};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
    recvTimeoutMs_ = -1;
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0 &&
        (addr.ss_family == AF_INET || addr.ss_family == AF_INET6)) {
        // Calls are small and strictly request-reply: no batching delay.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    if (!buf_)
        buf_ = std::make_unique<char[]>(kBufferSize);
}

void FrameChannel::close() {
    if (fd_ >= 0)
        ::close(fd_); // not retried on EINTR: Linux has released it anyway
    fd_ = -1;
    head_ = tail_ = 0;
    big_ = QByteArray();
    bigGot_ = 0;
}

bool FrameChannel::idleBroken() {
    if (fd_ < 0)
        return true;
    if (tail_ > head_ || bigGot_ > 0)
        return true;
    char probe = 0;
    const ssize_t got = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got >= 0)
        return true; // 0: closed by the peer; more: bytes nobody asked for
    return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

qint64 FrameChannel::receive(char* at, qsizetype room, int ms) {
    if (ms == 0)
        return ::recv(fd_, at, static_cast<size_t>(room), MSG_DONTWAIT);
    // The option costs a system call, so it is changed only when it must:
    // at once to lengthen it, and to shorten it only once keeping it would
    // overshoot the deadline by more than a sixteenth.
    const qint64 want = ms < 0 ? INT_MAX : ms;
    const qint64 now = recvTimeoutMs_ < 0 ? INT_MAX : recvTimeoutMs_;
    if (want > now || now - want > now / 16) {
        timeval tv{};
        if (ms > 0) {
            tv.tv_sec = ms / 1000;
            tv.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
        }
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0)
            recvTimeoutMs_ = ms;
    }
    return ::recv(fd_, at, static_cast<size_t>(room), 0);
}

IoStatus FrameChannel::read(QByteArray& payload, int timeoutMs, const std::function<bool()>& stop) {
    if (fd_ < 0)
        return IoStatus::Closed;
    QDeadlineTimer deadline = deadlineFor(timeoutMs);
    bool transit = false; // the frame deadline is running
    bool spun = false;    // once a read: a frame's later bytes follow its first
    for (;;) {
        if (frameMs_ > 0 && !transit && midFrame()) {
            transit = true;
            const QDeadlineTimer rest(frameMs_);
            if (rest < deadline)
                deadline = rest;
        }
        char* at = nullptr;
        qsizetype room = 0;
        if (!big_.isEmpty()) {
            if (bigGot_ == big_.size()) {
                payload = std::move(big_);
                big_ = QByteArray();
                bigGot_ = 0;
                return IoStatus::Ok;
            }
            at = big_.data() + bigGot_;
            room = big_.size() - bigGot_;
        } else {
            const qsizetype have = tail_ - head_;
            if (have >= 4) {
                const quint32 len = qFromBigEndian<quint32>(buf_.get() + head_);
                if (len == 0 || len > max_)
                    return IoStatus::BadFrame;
                const qsizetype whole = 4 + static_cast<qsizetype>(len);
                if (have >= whole) {
                    payload = QByteArray(buf_.get() + head_ + 4, static_cast<qsizetype>(len));
                    head_ += whole;
                    if (head_ == tail_)
                        head_ = tail_ = 0;
                    return IoStatus::Ok;
                }
                if (whole > kBufferSize) {
                    // Allocated only now that the length is known to be in bounds;
                    // the rest is received straight into it.
                    big_ = QByteArray(static_cast<qsizetype>(len), Qt::Uninitialized);
                    bigGot_ = have - 4;
                    std::memcpy(big_.data(), buf_.get() + head_ + 4, static_cast<size_t>(bigGot_));
                    head_ = tail_ = 0;
                    continue;
                }
            }
            if (head_ > 0) {
                std::memmove(buf_.get(), buf_.get() + head_, static_cast<size_t>(have));
                head_ = 0;
                tail_ = have;
            }
            at = buf_.get() + tail_;
            room = kBufferSize - tail_;
        }
        if (stop && stop())
            return IoStatus::Stopped;
        if (deadline.hasExpired())
            return IoStatus::Timeout;
        // Only the first receive of a read spins; the others, and a spin
        // that saw nothing, wait in recv().
        const bool first = !spun;
        spun = true;
        qint64 n = first ? spin(at, room) : -1;
        if (!first || (n < 0 && wouldBlock(errno)))
            n = receive(at, room, sliceMs(deadline, bool(stop)));
        if (n > 0) {
            if (!big_.isEmpty())
                bigGot_ += n;
            else
                tail_ += n;
        } else if (n == 0) {
            return IoStatus::Closed;
        } else if (errno != EINTR && !wouldBlock(errno)) {
            return IoStatus::Closed;
        }
        // EAGAIN: the receive timeout ran out; the loop looks at the flag
        // and the deadline again.
    }
}

bool FrameChannel::waitWritable(const QDeadlineTimer& deadline) {
    pollfd p{fd_, POLLOUT, 0};
    for (;;) {
        if (deadline.hasExpired())
            return false;
        const int r = ::poll(&p, 1, sliceMs(deadline, false));
        // Writable, hung up or failed alike: the send that follows tells.
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

bool FrameChannel::write(const QByteArray& payload, int timeoutMs) {
    if (fd_ < 0)
        return false;
    char header[4];
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), header);
    iovec iov[2] = {{header, 4},
                    {const_cast<char*>(payload.constData()), static_cast<size_t>(payload.size())}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = 2;
    QDeadlineTimer deadline;
    bool timed = false; // the clock starts only if the socket buffer fills up
    for (;;) {
        const ssize_t n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            auto sent = static_cast<size_t>(n);
            while (msg.msg_iovlen > 0 && sent >= msg.msg_iov->iov_len) {
                sent -= msg.msg_iov->iov_len;
                ++msg.msg_iov;
                --msg.msg_iovlen;
            }
            if (msg.msg_iovlen == 0)
                return true;
            msg.msg_iov->iov_base = static_cast<char*>(msg.msg_iov->iov_base) + sent;
            msg.msg_iov->iov_len -= sent;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (!wouldBlock(errno))
            return false;
        if (!timed) {
            deadline = deadlineFor(timeoutMs);
            timed = true;
        }
        if (!waitWritable(deadline))
            return false;
    }
}

} // namespace suite::proto
