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

} // namespace suite
