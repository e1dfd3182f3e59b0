#pragma once
#include <QString>

namespace suite {

// Account-code picture of a kind, from the shared database (table PICTURE):
// kind 0 the level picture ("9.9.99.999.9999"), kind 2 the edit mask the
// pickers show codes with. Empty when the kind is not stored.
QString DBPict(int kind);

// An account-code picture: groups of mask characters separated by literals,
// one group per level of the chart of accounts.
class TDBPicture {
public:
    explicit TDBPicture(QString picture);
    const QString& Picture() const { return picture_; }
    // Number of levels (groups); 0 for an empty picture.
    int GetTtNiveis() const { return levels_; }

private:
    QString picture_;
    int levels_ = 0;
};

} // namespace suite
