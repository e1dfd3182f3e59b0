#pragma once

namespace bench {

// Mean microseconds of a round trip of a `bytes`-byte message over loopback
// TCP with plain blocking send/recv (TCP_NODELAY, an echo thread), after a
// warm-up: the floor any remote call on this machine stands on. -1 when the
// sockets cannot be set up. With spinUs > 0 both ends first poll that long
// without blocking, as the suite's channel does, for comparison.
double rawRoundTripUs(int rounds, int bytes = 64, int spinUs = 0);

// The median of `samples` such measures: one run can land on a busy moment.
double rawRoundTripMedianUs(int samples, int rounds, int bytes = 64, int spinUs = 0);

} // namespace bench
