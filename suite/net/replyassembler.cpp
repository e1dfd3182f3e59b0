#include "replyassembler.h"
#include "protocol.h"

namespace suite::proto {

ReplyAssembler::Step ReplyAssembler::take(const QByteArray& payload, RemoteResult& out,
                                          QString& error) {
    quint64 id = 0;
    RemoteResult msg;
    if (!decodeReply(payload, id, msg, error))
        return Step::Bad;
    if (id != id_) {
        error = QStringLiteral("resposta %1 recebida para o pedido %2").arg(id).arg(id_);
        return Step::Bad;
    }
    if (msg.part) {
        if (parts_ > 0 && msg.packet.fields != fields_) {
            error = QStringLiteral("parte %1 da resposta com outros campos").arg(parts_ + 1);
            return Step::Bad;
        }
        if (parts_ == 0)
            fields_ = msg.packet.fields;
        rows_.append(msg.packet.rows);
        ++parts_;
        return Step::More;
    }
    if (!msg.ok()) {
        rows_.clear();
        out = std::move(msg);
        return Step::Done;
    }
    if (msg.parts != parts_) {
        error =
            QStringLiteral("resposta anuncia %1 parte(s), chegaram %2").arg(msg.parts).arg(parts_);
        return Step::Bad;
    }
    if (parts_ > 0) {
        if (msg.packet.fields != fields_) {
            error = QStringLiteral("resposta final com outros campos que as partes");
            return Step::Bad;
        }
        rows_.append(msg.packet.rows);
        msg.packet.rows = std::move(rows_);
        rows_ = RowSet();
    }
    msg.parts = 0;
    out = std::move(msg);
    return Step::Done;
}

} // namespace suite::proto
