// The frame channel on real sockets: frames cut anywhere by the stream come
// out whole and in order, bad lengths are refused, every way a wait ends is
// told apart, and what it writes another channel reads.
#include "suite/net/framechannel.h"
#include <QtTest>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace suite::proto;
using Cuts = QList<int>;
Q_DECLARE_METATYPE(Cuts)
Q_DECLARE_METATYPE(suite::proto::IoStatus)

namespace {

// A connected Unix stream pair: `mine` goes to the channel, `peer` is
// driven by hand.
struct Pair {
    int mine = -1, peer = -1;
    Pair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            mine = fds[0];
            peer = fds[1];
        }
    }
    ~Pair() { closePeer(); }
    void closePeer() {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    // Sends all of bytes in pieces of the given sizes (the rest in one).
    bool send(const QByteArray& bytes, const Cuts& cuts = {}) const {
        qsizetype at = 0;
        for (qsizetype i = 0; at < bytes.size(); ++i) {
            const qsizetype n =
                i < cuts.size() ? qMin<qsizetype>(cuts[i], bytes.size() - at) : bytes.size() - at;
            if (!sendAll(bytes.constData() + at, n))
                return false;
            at += n;
            if (i < cuts.size())
                QThread::msleep(2); // so the pieces arrive apart
        }
        return true;
    }
    bool sendAll(const char* p, qsizetype n) const {
        while (n > 0) {
            const ssize_t w = ::send(peer, p, static_cast<size_t>(n), MSG_NOSIGNAL);
            if (w <= 0)
                return false;
            p += w;
            n -= w;
        }
        return true;
    }
};

QByteArray pattern(qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = static_cast<char>('a' + i % 23);
    return b;
}

} // namespace

class TestFrameChannel : public QObject {
    Q_OBJECT
private slots:
    void framesComeOutWholeHoweverTheyArrive_data() {
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<Cuts>("cuts");
        QTest::addColumn<int>("spinUs");
        const QList<QByteArray> two{"abc", "de"};
        // Spinning, the pieces 2 ms apart come both while it polls and after
        // it has given up and blocked.
        for (const int spin : {0, 1000}) {
            const char* how = spin ? "spinning, " : "";
            auto row = [&](const char* name) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1%2").arg(how, name)));
            };
            *row("one piece, two frames") << two << Cuts{} << spin;
            *row("byte by byte") << two << Cuts(9, 1) << spin;
            *row("header split, then the rest") << two << Cuts{2, 3} << spin;
            *row("second header split across pieces") << two << Cuts{8, 1} << spin;
            *row("larger than the buffer, after a small one")
                << QList<QByteArray>{"x", pattern(300 * 1024), "y"} << Cuts{3, 1000, 70000} << spin;
            *row("larger than the buffer, whole")
                << QList<QByteArray>{pattern(1 << 20)} << Cuts{} << spin;
        }
    }
    void framesComeOutWholeHoweverTheyArrive() {
        QFETCH(QList<QByteArray>, payloads);
        QFETCH(Cuts, cuts);
        QFETCH(int, spinUs);
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setSpin(spinUs);
        QByteArray bytes;
        for (const QByteArray& f : payloads)
            bytes += frame(f);
        std::thread writer([&] { p.send(bytes, cuts); });
        QList<QByteArray> got;
        QByteArray one;
        for (;;) {
            errno = ENOENT; // a stale error from elsewhere must not end a read
            if (got.size() == payloads.size() || ch.read(one, 5000) != IoStatus::Ok)
                break;
            got << one;
        }
        writer.join();
        QCOMPARE(got.size(), payloads.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(got[i] == payloads[i], qPrintable(QStringLiteral("frame %1").arg(i)));
    }

    void badLengthsAreRefused_data() {
        QTest::addColumn<quint32>("bound");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty frame") << 16u << QByteArray::fromHex("00000000");
        QTest::newRow("one past the bound") << 16u << QByteArray::fromHex("00000011");
        QTest::newRow("4 GiB announced, default bound")
            << kMaxFrame << QByteArray::fromHex("ffffffff") + QByteArray(64, 'x');
    }
    void badLengthsAreRefused() {
        QFETCH(quint32, bound);
        QFETCH(QByteArray, bytes);
        Pair p;
        FrameChannel ch(bound);
        ch.attach(p.mine);
        QVERIFY(p.send(bytes));
        QByteArray payload;
        QCOMPARE(ch.read(payload, 5000), IoStatus::BadFrame);
        QCOMPARE(ch.maxFrame(), bound);
    }

    void waitsEndAsTold_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<bool>("stopLater");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<IoStatus>("expected");
        QTest::addColumn<int>("spinUs");
        const QByteArray half = frame("abcdef").left(6);
        for (const int spin : {0, 1000}) {
            const char* how = spin ? "spinning, " : "";
            auto row = [&](const char* name) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1%2").arg(how, name)));
            };
            *row("nothing within the time")
                << QByteArray() << false << false << 50 << IoStatus::Timeout << spin;
            *row("half a frame within the time")
                << half << false << false << 50 << IoStatus::Timeout << spin;
            *row("peer gone while idle")
                << QByteArray() << true << false << 5000 << IoStatus::Closed << spin;
            *row("peer gone mid-frame")
                << half << true << false << 5000 << IoStatus::Closed << spin;
            *row("stop flag, no time limit")
                << QByteArray() << false << true << -1 << IoStatus::Stopped << spin;
        }
    }
    void waitsEndAsTold() {
        QFETCH(QByteArray, sent);
        QFETCH(bool, hangUp);
        QFETCH(bool, stopLater);
        QFETCH(int, timeoutMs);
        QFETCH(IoStatus, expected);
        QFETCH(int, spinUs);
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setSpin(spinUs);
        QVERIFY(p.send(sent));
        if (hangUp)
            p.closePeer();
        std::atomic<bool> stop{false};
        std::thread stopper([&] {
            if (stopLater) {
                QThread::msleep(50);
                stop = true;
            }
        });
        QByteArray payload;
        const IoStatus st = ch.read(payload, timeoutMs,
                                    stopLater ? std::function<bool()>([&] { return stop.load(); })
                                              : std::function<bool()>());
        stopper.join();
        QCOMPARE(st, expected);
    }

    // Spinning finds the frame's first half already there; the read must
    // then wait for the rest, whatever errno held before.
    void aFrameStartedBeforeTheReadIsWaitedFor() {
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setSpin(1000);
        const QByteArray bytes = frame("a frame in two halves");
        QVERIFY(p.send(bytes.left(7)));
        std::thread writer([&] {
            QThread::msleep(5);
            p.send(bytes.mid(7));
        });
        QByteArray payload;
        errno = ENOENT;
        const IoStatus st = ch.read(payload, 5000);
        writer.join();
        QCOMPARE(st, IoStatus::Ok);
        QCOMPARE(payload, QByteArray("a frame in two halves"));
    }

    // A frame begun must be finished within the frame deadline, however
    // long the read itself may wait; one that arrives in time is whole.
    void frameDeadlineCutsATrickle_data() {
        QTest::addColumn<int>("stopAfter"); // bytes sent before the peer stalls; -1: all
        QTest::addColumn<bool>("cut");
        QTest::newRow("half a header") << 2 << true;
        QTest::newRow("header, half the payload") << 7 << true;
        QTest::newRow("whole frame in pieces") << -1 << false;
    }
    void frameDeadlineCutsATrickle() {
        QFETCH(int, stopAfter);
        QFETCH(bool, cut);
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setFrameDeadline(150);
        const QByteArray f = frame("trickled frame");
        QVERIFY(p.send(stopAfter < 0 ? f : f.left(stopAfter), {2, 3, 4}));
        QByteArray payload;
        const IoStatus st = ch.read(payload, -1);
        QCOMPARE(st, cut ? IoStatus::Timeout : IoStatus::Ok);
        QCOMPARE(ch.midFrame(), cut);
        if (!cut)
            QCOMPARE(payload, QByteArray("trickled frame"));
    }

    // Polls that keep finding nothing (a busy machine, a peer that cannot
    // answer in time) stop the polling for a while; it comes back after.
    void pollingStopsAfterMissesAndComesBack() {
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setSpin(100);
        QVERIFY(ch.polling());
        QByteArray payload;
        for (int i = 0; i < FrameChannel::kMissesToStop; ++i) {
            std::thread writer([&] {
                QThread::msleep(3);
                p.send(frame("slow"));
            });
            QCOMPARE(ch.read(payload, 5000), IoStatus::Ok);
            writer.join();
        }
        QVERIFY(!ch.polling());
        for (int i = 0; i < FrameChannel::kReadsWithoutSpin; ++i) {
            p.send(frame("ready"));
            QCOMPARE(ch.read(payload, 5000), IoStatus::Ok);
        }
        QVERIFY(ch.polling());
        // A poll that finds its frame keeps the count of misses at zero.
        p.send(frame("ready"));
        QCOMPARE(ch.read(payload, 5000), IoStatus::Ok);
        QVERIFY(ch.polling());
    }

    // Only as many threads spin as the gate has slots; the others block at
    // once and still get their frames.
    void theGateLimitsSpinners() {
        SpinGate gate(1);
        QVERIFY(gate.enter());
        QVERIFY(!gate.enter());
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        ch.setSpin(1000, &gate); // no slot left: reads block at once
        std::thread writer([&] {
            QThread::msleep(5);
            p.send(frame("late"));
        });
        QByteArray payload;
        QCOMPARE(ch.read(payload, 5000), IoStatus::Ok);
        writer.join();
        QCOMPARE(payload, QByteArray("late"));
        gate.leave();
        std::thread writer2([&] {
            QThread::msleep(5);
            p.send(frame("again"));
        });
        QCOMPARE(ch.read(payload, 5000), IoStatus::Ok); // spun in the free slot
        writer2.join();
        QCOMPARE(payload, QByteArray("again"));
        QVERIFY(gate.enter()); // and gave it back
        QVERIFY(!gate.enter());
    }

    void writesWhatAChannelReads() {
        Pair p;
        FrameChannel ch, peer;
        ch.attach(p.mine);
        peer.attach(p.peer);
        p.peer = -1; // the peer channel owns it now
        const QList<QByteArray> payloads{"hello", pattern(2 << 20), "bye"};
        std::thread writer([&] {
            for (const QByteArray& f : payloads)
                ch.write(f, 5000);
        });
        QList<QByteArray> got;
        QByteArray one;
        while (got.size() < payloads.size() && peer.read(one, 5000) == IoStatus::Ok)
            got << one;
        writer.join();
        QCOMPARE(got.size(), payloads.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY(got[i] == payloads[i]);
    }

    void writesFailWithoutAReader_data() {
        QTest::addColumn<bool>("hangUp");
        QTest::newRow("peer gone (no SIGPIPE)") << true;
        QTest::newRow("peer never reads: time runs out") << false;
    }
    void writesFailWithoutAReader() {
        QFETCH(bool, hangUp);
        Pair p;
        FrameChannel ch;
        ch.attach(p.mine);
        if (hangUp)
            p.closePeer();
        QElapsedTimer t;
        t.start();
        QVERIFY(!ch.write(pattern(16 << 20), 100));
        QVERIFY(t.elapsed() < 5000);
    }

    void takesOverTheDescriptor() {
        const int lst = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(lst >= 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        QVERIFY(::bind(lst, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(lst, 1) == 0);
        QVERIFY(::getsockname(lst, reinterpret_cast<sockaddr*>(&a), &len) == 0);
        const int c = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(::connect(c, reinterpret_cast<sockaddr*>(&a), len) == 0);
        const int s = ::accept(lst, nullptr, nullptr);
        ::close(lst);
        FrameChannel ch;
        ch.attach(c);
        int on = 0;
        socklen_t olen = sizeof on;
        QVERIFY(::getsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, &olen) == 0);
        QCOMPARE(on, 1);
        QVERIFY(::fcntl(c, F_GETFD) & FD_CLOEXEC);
        ch.close();
        QVERIFY(!ch.isOpen());
        char byte;
        QCOMPARE(::recv(s, &byte, 1, 0), ssize_t(0)); // closed: the peer sees the end
        QByteArray payload;
        QCOMPARE(ch.read(payload, 10), IoStatus::Closed);
        QVERIFY(!ch.write("x", 10));
        ::close(s);
    }
};

QTEST_GUILESS_MAIN(TestFrameChannel)
#include "tst_framechannel.moc"
