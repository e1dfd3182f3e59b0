#pragma once
#include "suite/core/remote.h"
#include <QByteArray>
#include <QString>

namespace suite::proto {

// Reads the messages that answer one request: any parts, then the final
// reply (docs/protocol.md, "Replies in parts"). The parts' rows are joined in
// order in front of the final rows; a failure drops them.
class ReplyAssembler {
public:
    explicit ReplyAssembler(quint64 id) : id_(id) {}

    enum class Step {
        More, // a part was taken: read the next message
        Done, // out holds the result (success or the server's failure)
        Bad,  // the exchange cannot be trusted; error says why
    };
    Step take(const QByteArray& payload, RemoteResult& out, QString& error);

    int partsTaken() const { return parts_; }

private:
    quint64 id_;
    int parts_ = 0;
    QList<FieldDef> fields_;
    RowSet rows_;
};

} // namespace suite::proto
