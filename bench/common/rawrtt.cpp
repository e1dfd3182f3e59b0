#include "rawrtt.h"
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {
namespace {

ssize_t receive(int fd, char* buf, size_t n, int spinUs) {
    if (spinUs > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(spinUs);
        do {
            const ssize_t k = ::recv(fd, buf, n, MSG_DONTWAIT);
            if (k >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                return k;
        } while (std::chrono::steady_clock::now() < until);
    }
    return ::recv(fd, buf, n, 0);
}

bool exact(int fd, char* buf, int n, bool sending, int spinUs) {
    int done = 0;
    while (done < n) {
        const ssize_t k = sending ? ::send(fd, buf + done, size_t(n - done), MSG_NOSIGNAL)
                                  : receive(fd, buf + done, size_t(n - done), spinUs);
        if (k <= 0)
            return false;
        done += int(k);
    }
    return true;
}

void noDelay(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace

double rawRoundTripUs(int rounds, int bytes, int spinUs) {
    const int lsn = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (lsn < 0 || ::bind(lsn, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(lsn, 1) != 0 || ::getsockname(lsn, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    const int warm = 200;
    std::thread echo([lsn, rounds, bytes, spinUs] {
        const int fd = ::accept(lsn, nullptr, nullptr);
        if (fd < 0)
            return;
        noDelay(fd);
        std::vector<char> buf(static_cast<size_t>(bytes));
        for (int i = 0; i < rounds + warm; ++i)
            if (!exact(fd, buf.data(), bytes, false, spinUs) ||
                !exact(fd, buf.data(), bytes, true, spinUs))
                break;
        ::close(fd);
    });
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    double us = -1;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        noDelay(fd);
        std::vector<char> buf(size_t(bytes), 'x');
        auto start = std::chrono::steady_clock::now();
        bool ok = true;
        for (int i = 0; ok && i < rounds + warm; ++i) {
            if (i == warm)
                start = std::chrono::steady_clock::now();
            ok = exact(fd, buf.data(), bytes, true, spinUs) &&
                 exact(fd, buf.data(), bytes, false, spinUs);
        }
        if (ok)
            us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                     .count() /
                 rounds;
    }
    if (fd >= 0)
        ::close(fd);
    echo.join();
    ::close(lsn);
    return us;
}

double rawRoundTripMedianUs(int samples, int rounds, int bytes, int spinUs) {
    std::vector<double> v;
    for (int i = 0; i < samples; ++i) {
        const double us = rawRoundTripUs(rounds, bytes, spinUs);
        if (us > 0)
            v.push_back(us);
    }
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace bench
