#pragma once

namespace bench {

// Mean microseconds of a round trip of a `bytes`-byte message over loopback
// TCP with plain blocking send/recv (TCP_NODELAY, an echo thread), after a
// warm-up: the floor any remote call on this machine stands on. -1 when the
// sockets cannot be set up.
double rawRoundTripUs(int rounds, int bytes = 64);

} // namespace bench
