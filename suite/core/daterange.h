#pragma once
#include <QDate>

namespace suite {

// The dates the application server takes as arguments, whether they travel
// as a date or as a day number. Clients refuse others before they call, so a
// run never fails half way on a date the server refuses.
inline const QDate kFirstAcceptedDate{100, 1, 1};
inline const QDate kLastAcceptedDate{9999, 12, 31};

inline bool acceptedDate(const QDate& d) {
    return d.isValid() && d >= kFirstAcceptedDate && d <= kLastAcceptedDate;
}

// The longest period a call may ask for, from the start's month to the
// end's, both counted: one request must not make the server read and build
// results without bound.
inline constexpr int kMaxPeriodMonths = 120;

inline int periodMonths(const QDate& start, const QDate& end) {
    return (end.year() - start.year()) * 12 + end.month() - start.month() + 1;
}

} // namespace suite
