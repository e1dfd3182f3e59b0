#pragma once
#include "suite/net/framechannel.h"
#include <QAbstractSocket>
#include <fcntl.h>

// Hands a connected Qt socket's connection to a frame channel, for tests
// that speak frames by hand: the channel keeps a copy of the descriptor, and
// the socket is no longer used (the channel makes it blocking).
inline bool attachSocket(suite::proto::FrameChannel& ch, const QAbstractSocket& s) {
    const int fd = ::fcntl(static_cast<int>(s.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ch.attach(fd);
    return true;
}

// Reads and drops frames until the peer closes the connection; false when
// it stays open past timeoutMs or sends a bad frame.
inline bool closedByPeer(suite::proto::FrameChannel& ch, int timeoutMs = 5000) {
    QByteArray p;
    suite::proto::IoStatus st;
    do
        st = ch.read(p, timeoutMs);
    while (st == suite::proto::IoStatus::Ok);
    return st == suite::proto::IoStatus::Closed;
}
