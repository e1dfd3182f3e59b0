#include "rawrtt.h"
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {
namespace {

bool exact(int fd, char* buf, int n, bool sending) {
    int done = 0;
    while (done < n) {
        const ssize_t k = sending ? ::send(fd, buf + done, size_t(n - done), MSG_NOSIGNAL)
                                  : ::recv(fd, buf + done, size_t(n - done), 0);
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

double rawRoundTripUs(int rounds, int bytes) {
    const int lsn = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (lsn < 0 || ::bind(lsn, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(lsn, 1) != 0 || ::getsockname(lsn, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    const int warm = 200;
    std::thread echo([lsn, rounds, bytes] {
        const int fd = ::accept(lsn, nullptr, nullptr);
        if (fd < 0)
            return;
        noDelay(fd);
        std::vector<char> buf(static_cast<size_t>(bytes));
        for (int i = 0; i < rounds + warm; ++i)
            if (!exact(fd, buf.data(), bytes, false) || !exact(fd, buf.data(), bytes, true))
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
            ok = exact(fd, buf.data(), bytes, true) && exact(fd, buf.data(), bytes, false);
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

} // namespace bench
