#pragma once
#include "protocol.h"
#include <QByteArray>
#include <QDeadlineTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace suite::proto {

// Blocking frame I/O straight on a connected stream socket (TCP or Unix),
// for the per-call path of both ends. A run makes about a hundred thousand
// small calls, so each frame goes out in one send of header and payload and
// comes in through reads of whatever has arrived into a buffer kept between
// frames; no Qt socket layer in between. A read waits inside recv() itself,
// bounded by the socket's receive timeout: a poll() before each recv costs
// a system call per frame and measurably lengthens every round trip. poll()
// is left to writes held up by a full socket buffer.
// Frames and bounds are those of docs/protocol.md.
//
// Limits how many threads spin at once, so that waiting threads never take
// the cores that the working ones need.
class SpinGate {
public:
    explicit SpinGate(int count) : free_(count) {}
    bool enter();
    void leave() { free_.fetch_add(1, std::memory_order_release); }

private:
    std::atomic<int> free_;
};

class FrameChannel {
public:
    explicit FrameChannel(quint32 maxFrame = kMaxFrame);
    ~FrameChannel(); // closes the descriptor
    FrameChannel(const FrameChannel&) = delete;
    FrameChannel& operator=(const FrameChannel&) = delete;

    // Takes over a connected socket, closing any previous one: made
    // blocking and close-on-exec, with TCP_NODELAY when it is TCP.
    void attach(int fd);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    // Between calls: whether the peer has closed the connection (or sent
    // something unasked, which no call awaits), seen without waiting.
    bool idleBroken();
    quint32 maxFrame() const { return max_; }

    // Waits for one whole frame. timeoutMs < 0 waits without limit; stop,
    // when given, is polled about every 200 ms and ends the wait with
    // Stopped. An empty or oversize frame is BadFrame, refused before
    // anything is allocated for it; the stream cannot be trusted after that.
    IoStatus read(QByteArray& payload, int timeoutMs, const std::function<bool()>& stop = {});
    // Sends one frame whole; false when the peer is gone or the time is up.
    bool write(const QByteArray& payload, int timeoutMs);

    // A read first polls for up to this many microseconds before it blocks
    // (0, as until set: it blocks at once; negative: the machine's default). Waking a thread
    // blocked in recv() costs about as much as a loopback round trip, and the reply to a small call
    // comes back within that time. With a gate, only a thread that gets one of its slots spins.
    void setSpin(int microseconds, SpinGate* gate = nullptr);

    // Once a frame's first byte has come, the rest must follow within ms
    // (0, as until set: no such limit), whatever the read's own timeout: a
    // peer that trickles a frame must not hold a thread and its buffer.
    // A read cut by it returns Timeout with midFrame() true; the stream
    // cannot be resumed after that.
    void setFrameDeadline(int ms) { frameMs_ = ms; }
    bool midFrame() const { return head_ != tail_ || !big_.isEmpty(); }

    // Misses in a row that stop polling, and the reads that then block at once.
    static constexpr int kMissesToStop = 3;
    static constexpr int kReadsWithoutSpin = 256;
    // Whether the next read polls first.
    bool polling() const { return spinUs_ > 0 && noSpinLeft_ == 0; }

private:
    // recv() waiting at most ms (0: not at all, -1: without limit).
    qint64 receive(char* at, qsizetype room, int ms);
    // Polls without blocking until data comes or the spin time is over;
    // -1 with EAGAIN when none came.
    qint64 spin(char* at, qsizetype room);
    bool waitWritable(const QDeadlineTimer& deadline);

    int fd_ = -1;
    quint32 max_;
    int recvTimeoutMs_ = -1; // as now set on the socket; -1: none
    int spinUs_ = 0;
    SpinGate* gate_ = nullptr;
    // Polls that found nothing, in a row; reads left to block at once. On
    // a busy machine the peer cannot answer within the poll, and polling
    // only takes the core it needs: after a few such misses the channel
    // blocks straight away for a while, then tries polling again.
    int misses_ = 0;
    int noSpinLeft_ = 0;
    int frameMs_ = 0;
    // Bytes received and not yet handed out: buf_[head_, tail_).
    std::unique_ptr<char[]> buf_;
    qsizetype head_ = 0, tail_ = 0;
    // A frame larger than buf_ is received in place; bigGot_ bytes so far.
    QByteArray big_;
    qsizetype bigGot_ = 0;
};

} // namespace suite::proto
