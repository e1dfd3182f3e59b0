#include "protocol.h"
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QDateTime>
#include <QtEndian>
#include <array>
#include <cstring>
#include <limits>

namespace suite::proto {
namespace {

constexpr quint64 kDateTag = 1004; // RFC 8943 full-date text
constexpr int kSkipDepth = 16;     // unknown values are skipped, but not deep ones
constexpr qsizetype kMaxColumns = 4096;
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
constexpr qsizetype kKeyBytes = 32;

// Well-formed UTF-8 (RFC 3629): no overlong forms, surrogates or code
// points past U+10FFFF; what QCborStreamReader::readString() accepts.
bool validUtf8(const QByteArray& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.constData());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned lo = 0x80, hi = 0xbf; // allowed range of the second byte
        if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            if (c == 0xe0)
                lo = 0xa0;
            else if (c == 0xed)
                hi = 0x9f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            if (c == 0xf0)
                lo = 0x90;
            else if (c == 0xf4)
                hi = 0x8f;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xc0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

// ---- writing -------------------------------------------------------------

void writeText(QCborStreamWriter& w, const QString& s) {
    w.append(s);
}
void writeKey(QCborStreamWriter& w, const char* key) {
    w.append(QLatin1String(key));
}

void writeArg(QCborStreamWriter& w, const RemoteArg& a) {
    switch (a.kind) {
    case RemoteArg::Kind::Text:
        writeText(w, a.value.toString());
        break;
    case RemoteArg::Kind::Date:
        w.append(QCborTag(kDateTag));
        writeText(w, a.value.toDate().toString(kDateFormat));
        break;
    case RemoteArg::Kind::Float:
        w.append(a.value.toDouble());
        break;
    case RemoteArg::Kind::Integer:
        w.append(a.value.toLongLong());
        break;
    case RemoteArg::Kind::Null:
        w.appendNull();
        break;
    }
}

const char* typeName(FieldType t) {
    switch (t) {
    case FieldType::String:
        return "string";
    case FieldType::Float:
        return "float";
    case FieldType::Integer:
        return "integer";
    case FieldType::DateTime:
        return "datetime";
    }
    return "string";
}

void writeCell(QCborStreamWriter& w, FieldType t, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        w.appendNull();
        return;
    }
    switch (t) {
    case FieldType::String:
        writeText(w, v.toString());
        break;
    case FieldType::Float:
        w.append(v.toDouble());
        break;
    case FieldType::Integer:
        w.append(v.toLongLong());
        break;
    case FieldType::DateTime: {
        const QDateTime dt =
            v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime();
        if (dt.isValid())
            writeText(w, dt.toString(kDateTimeFormat));
        else
            w.appendNull();
        break;
    }
    }
}

// Cells whose stored kind is the column's own go out as stored, text as its
// UTF-8 bytes; the rest through writeCell().
void writeRows(QCborStreamWriter& w, const DataPacket& p) {
    w.startArray(static_cast<quint64>(p.rows.size()));
    RowSet::CellViews cells;
    for (qsizetype r = 0; r < p.rows.size(); ++r) {
        p.rows.cells(r, cells);
        w.startArray(static_cast<quint64>(p.fields.size()));
        for (int c = 0; c < p.fields.size(); ++c) {
            const FieldType t = p.fields[c].type;
            if (c >= cells.size() || cells[c].kind == RowSet::CellView::Null)
                w.appendNull();
            else if (cells[c].kind == RowSet::CellView::Text && t == FieldType::String)
                w.appendTextString(cells[c].text, cells[c].size);
            else if (cells[c].kind == RowSet::CellView::Real && t == FieldType::Float)
                w.append(cells[c].real);
            else if (cells[c].kind == RowSet::CellView::Integer && t == FieldType::Integer)
                w.append(cells[c].integer);
            else
                writeCell(w, t, p.rows.value(r, c));
        }
        w.endArray();
    }
    w.endArray();
}

void writeError(QCborStreamWriter& w, RemoteError e, const QString& message) {
    writeKey(w, "error");
    w.startMap(2);
    writeKey(w, "code");
    w.append(static_cast<qint64>(e));
    writeKey(w, "message");
    writeText(w, message);
    w.endMap();
}

// ---- reading -------------------------------------------------------------

// A small cursor over QCborStreamReader that turns every surprise into a
// message instead of undefined state.
class Reader {
public:
    explicit Reader(const QByteArray& data)
        : r_(data), data_(data.constData()), size_(data.size()) {}
    Reader(const char* data, qsizetype size) : r_(data, size), data_(data), size_(size) {}
    QString error;
    const char* data() const { return data_; }

    bool fail(const QString& what) {
        if (error.isEmpty())
            error = what;
        return false;
    }
    bool ok() { return error.isEmpty() && r_.lastError() == QCborError::NoError; }
    QCborStreamReader& raw() { return r_; }

    bool text(QString& out, const char* what) {
        if (!r_.isString())
            return fail(QStringLiteral("%1: text expected").arg(QLatin1String(what)));
        out.clear();
        auto chunk = r_.readString();
        while (chunk.status == QCborStreamReader::Ok) {
            out += chunk.data;
            chunk = r_.readString();
        }
        if (chunk.status != QCborStreamReader::EndOfString)
            return fail(QStringLiteral("%1: malformed text").arg(QLatin1String(what)));
        return true;
    }

    // A text item's UTF-8 bytes into out, checked, without a QString.
    bool utf8(QByteArray& out, const char* what) {
        if (!r_.isString())
            return fail(QStringLiteral("%1: text expected").arg(QLatin1String(what)));
        out.resize(0);
        for (;;) {
            const qsizetype chunk = r_.currentStringChunkSize();
            if (chunk < 0 || chunk > size_ - r_.currentOffset())
                return fail(QStringLiteral("%1: malformed text").arg(QLatin1String(what)));
            const qsizetype at = out.size();
            out.resize(at + chunk);
            const auto got = r_.readStringChunk(out.data() + at, chunk);
            if (got.status == QCborStreamReader::Ok) {
                out.resize(at + got.data);
                continue;
            }
            out.resize(at);
            if (got.status == QCborStreamReader::EndOfString && validUtf8(out))
                return true;
            return fail(QStringLiteral("%1: malformed text").arg(QLatin1String(what)));
        }
    }

    // A map key into buf. The protocol's keys are short ASCII names; a
    // longer key comes back empty, so it matches none and its value is
    // skipped.
    bool key(char (&buf)[kKeyBytes], QLatin1String& out, const char* what) {
        if (!utf8(scratch_, what))
            return false;
        const qsizetype n = scratch_.size() <= kKeyBytes ? scratch_.size() : 0;
        std::memcpy(buf, scratch_.constData(), static_cast<size_t>(n));
        out = QLatin1String(buf, n);
        return true;
    }

    bool integer(qint64& out, const char* what) {
        if (r_.isUnsignedInteger()) {
            const quint64 u = r_.toUnsignedInteger();
            if (u > static_cast<quint64>(std::numeric_limits<qint64>::max()))
                return fail(QStringLiteral("%1: integer out of range").arg(QLatin1String(what)));
            out = static_cast<qint64>(u);
        } else if (r_.isNegativeInteger()) {
            // Qt gives the magnitude: n stands for -n, and 0 for -2^64.
            const quint64 n = static_cast<quint64>(r_.toNegativeInteger());
            constexpr quint64 limit = static_cast<quint64>(std::numeric_limits<qint64>::max()) + 1;
            if (n == 0 || n > limit)
                return fail(QStringLiteral("%1: integer out of range").arg(QLatin1String(what)));
            out = n == limit ? std::numeric_limits<qint64>::min() : -static_cast<qint64>(n);
        } else {
            return fail(QStringLiteral("%1: integer expected").arg(QLatin1String(what)));
        }
        return r_.next() || fail(QStringLiteral("%1: truncated").arg(QLatin1String(what)));
    }

    bool isFloat() const { return r_.isFloat16() || r_.isFloat() || r_.isDouble(); }
    bool real(double& out) {
        if (r_.isFloat16())
            out = static_cast<double>(static_cast<float>(r_.toFloat16()));
        else if (r_.isFloat())
            out = static_cast<double>(r_.toFloat());
        else if (r_.isDouble())
            out = r_.toDouble();
        else
            return fail(QStringLiteral("float expected"));
        return r_.next() || fail(QStringLiteral("truncated float"));
    }

    bool null() {
        if (!r_.isNull())
            return fail(QStringLiteral("null expected"));
        return r_.next() || fail(QStringLiteral("truncated"));
    }

    bool enter(QCborStreamReader::Type type, const char* what) {
        if (r_.type() != type)
            return fail(QStringLiteral("%1: %2 expected")
                            .arg(QLatin1String(what), type == QCborStreamReader::Map
                                                          ? QStringLiteral("map")
                                                          : QStringLiteral("array")));
        return r_.enterContainer() ||
               fail(QStringLiteral("%1: malformed").arg(QLatin1String(what)));
    }
    bool more() { return r_.lastError() == QCborError::NoError && r_.hasNext(); }
    bool leave(const char* what) {
        if (r_.lastError() != QCborError::NoError)
            return fail(
                QStringLiteral("%1: %2").arg(QLatin1String(what), r_.lastError().toString()));
        return r_.leaveContainer() ||
               fail(QStringLiteral("%1: malformed").arg(QLatin1String(what)));
    }
    bool skip() {
        return r_.next(kSkipDepth) || fail(QStringLiteral("malformed or too deep value"));
    }
    // The message must be exactly one item.
    bool finish() {
        if (!ok())
            return fail(QStringLiteral("malformed CBOR: %1").arg(r_.lastError().toString()));
        if (r_.currentOffset() != size_)
            return fail(QStringLiteral("trailing bytes after the message"));
        return true;
    }
    // Upper bound for a reserve from an announced count: every item takes at
    // least one byte of what is left.
    qsizetype cap(qsizetype announced) const {
        return std::min<qsizetype>(announced, size_ - r_.currentOffset());
    }

private:
    QCborStreamReader r_;
    const char* data_;
    qsizetype size_;
    QByteArray scratch_; // for keys; keeps its capacity between them
};

// Iterates the text keys of a map, calling f(key) with the reader on the value;
// f must consume the value and return false on error.
template <typename F> bool eachKey(Reader& in, const char* what, F&& f) {
    if (!in.enter(QCborStreamReader::Map, what))
        return false;
    char buf[kKeyBytes];
    while (in.more()) {
        QLatin1String key;
        if (!in.key(buf, key, what))
            return false;
        if (!in.more())
            return in.fail(QStringLiteral("%1: key without value").arg(QLatin1String(what)));
        if (!f(key))
            return false;
    }
    return in.leave(what);
}

bool readArg(Reader& in, RemoteArg& a) {
    QCborStreamReader& r = in.raw();
    if (r.isString()) {
        QString s;
        if (!in.text(s, "argument"))
            return false;
        a = RemoteArg::text(s);
    } else if (r.isTag()) {
        const quint64 tag = static_cast<quint64>(r.toTag());
        if (tag != kDateTag)
            return in.fail(QStringLiteral("argument: unsupported tag %1").arg(tag));
        if (!r.next())
            return in.fail(QStringLiteral("argument: truncated date"));
        QString s;
        if (!in.text(s, "date argument"))
            return false;
        const QDate d = QDate::fromString(s, kDateFormat);
        if (!d.isValid())
            return in.fail(QStringLiteral("argument: invalid date \"%1\"").arg(s.left(40)));
        a = RemoteArg::date(d);
    } else if (in.isFloat()) {
        double v = 0;
        if (!in.real(v))
            return false;
        a = RemoteArg::real(v);
    } else if (r.isInteger()) {
        qint64 v = 0;
        if (!in.integer(v, "argument"))
            return false;
        a = RemoteArg::integer(v);
    } else if (r.isNull()) {
        if (!in.null())
            return false;
        a = RemoteArg::null();
    } else {
        return in.fail(QStringLiteral("argument of an unsupported type"));
    }
    return true;
}

bool readError(Reader& in, RemoteResult& out) {
    qint64 code = -1;
    QString message;
    const bool ok = eachKey(in, "error", [&](QLatin1String key) {
        if (key == QLatin1String("code"))
            return in.integer(code, "error code");
        if (key == QLatin1String("message"))
            return in.text(message, "error message");
        return in.skip();
    });
    if (!ok)
        return false;
    if (code <= 0)
        return in.fail(QStringLiteral("error without a code"));
    out.error = code <= static_cast<qint64>(RemoteError::VersionMismatch)
                    ? static_cast<RemoteError>(code)
                    : RemoteError::Internal;
    out.message = message;
    return true;
}

bool readFieldType(const QString& s, FieldType& t) {
    if (s == QLatin1String("string"))
        t = FieldType::String;
    else if (s == QLatin1String("float"))
        t = FieldType::Float;
    else if (s == QLatin1String("integer"))
        t = FieldType::Integer;
    else if (s == QLatin1String("datetime"))
        t = FieldType::DateTime;
    else
        return false;
    return true;
}

// One cell of a row, straight into the packed rows: text stays UTF-8.
bool readCell(Reader& in, FieldType t, RowSet& rows, QByteArray& text) {
    QCborStreamReader& r = in.raw();
    if (r.isNull()) {
        rows.addNull();
        return in.null();
    }
    switch (t) {
    case FieldType::String:
        if (!in.utf8(text, "string cell"))
            return false;
        rows.addText(text.constData(), text.size());
        return true;
    case FieldType::Float: {
        double d = 0;
        if (r.isInteger()) { // some encoders shorten whole numbers
            qint64 i = 0;
            if (!in.integer(i, "float cell"))
                return false;
            d = static_cast<double>(i);
        } else if (!in.real(d)) {
            return in.fail(QStringLiteral("float cell expected"));
        }
        rows.addReal(d);
        return true;
    }
    case FieldType::Integer: {
        qint64 i = 0;
        if (!in.integer(i, "integer cell"))
            return false;
        rows.addInteger(i);
        return true;
    }
    case FieldType::DateTime: {
        QString s;
        if (!in.text(s, "datetime cell"))
            return false;
        const QDateTime dt = QDateTime::fromString(s, kDateTimeFormat);
        if (!dt.isValid())
            return in.fail(QStringLiteral("invalid datetime cell \"%1\"").arg(s.left(40)));
        rows.addValue(dt);
        return true;
    }
    }
    return false;
}

bool readFields(Reader& in, QList<FieldDef>& fields) {
    if (!in.enter(QCborStreamReader::Array, "fields"))
        return false;
    while (in.more()) {
        if (fields.size() >= kMaxColumns)
            return in.fail(QStringLiteral("too many columns"));
        FieldDef f;
        QString type;
        qint64 size = 0;
        if (!in.enter(QCborStreamReader::Array, "field") || !in.text(f.name, "field name") ||
            !in.text(type, "field type") || !in.integer(size, "field size"))
            return false;
        if (in.more())
            return in.fail(QStringLiteral("field: more than three items"));
        if (!in.leave("field"))
            return false;
        if (!readFieldType(type, f.type))
            return in.fail(QStringLiteral("unknown field type \"%1\"").arg(type.left(20)));
        if (size < 0 || size > 65535)
            return in.fail(QStringLiteral("field size out of range"));
        f.size = static_cast<int>(size);
        fields.append(f);
    }
    return in.leave("fields");
}

// The field lists last read on this thread, by their encoded bytes: a run
// gets the same few lists in reply after reply, and each costs a string per
// name and type to decode.
class FieldCache {
public:
    const QList<FieldDef>* find(QByteArrayView bytes) const {
        for (const Entry& e : entries_)
            if (!e.bytes.isEmpty() && QByteArrayView(e.bytes) == bytes)
                return &e.fields;
        return nullptr;
    }
    void add(QByteArrayView bytes, const QList<FieldDef>& fields) {
        if (bytes.size() > kMaxBytes)
            return;
        Entry& e = entries_[next_];
        next_ = (next_ + 1) % entries_.size();
        e.bytes = bytes.toByteArray();
        e.fields = fields;
    }

private:
    static constexpr qsizetype kMaxBytes = 4096;
    struct Entry {
        QByteArray bytes;
        QList<FieldDef> fields;
    };
    std::array<Entry, 8> entries_;
    size_t next_ = 0;
};

FieldCache& fieldCache() {
    thread_local FieldCache cache;
    return cache;
}

bool readPacket(Reader& in, DataPacket& p) {
    bool haveFields = false;
    return eachKey(in, "packet", [&](QLatin1String key) {
        QCborStreamReader& r = in.raw();
        if (key == QLatin1String("fields")) {
            // Skipped first to learn its bytes; read only when they are new.
            const qint64 start = r.currentOffset();
            if (!in.skip())
                return false;
            const QByteArrayView bytes(in.data() + start, r.currentOffset() - start);
            haveFields = true;
            if (const QList<FieldDef>* known = fieldCache().find(bytes)) {
                p.fields = *known;
                return true;
            }
            Reader sub(bytes.data(), bytes.size());
            if (!readFields(sub, p.fields) || !sub.finish())
                return in.fail(sub.error);
            fieldCache().add(bytes, p.fields);
            return true;
        }
        if (key == QLatin1String("rows")) {
            if (!haveFields)
                return in.fail(QStringLiteral("rows before fields"));
            if (r.isLengthKnown())
                p.rows.reserve(in.cap(static_cast<qsizetype>(r.length())));
            if (!in.enter(QCborStreamReader::Array, "rows"))
                return false;
            const auto width = static_cast<int>(p.fields.size());
            QByteArray text;
            while (in.more()) {
                if (!in.enter(QCborStreamReader::Array, "row"))
                    return false;
                p.rows.beginRow(width);
                int cells = 0;
                while (in.more()) {
                    if (cells >= width)
                        return in.fail(QStringLiteral("row with more cells than fields"));
                    if (!readCell(in, p.fields[cells].type, p.rows, text))
                        return false;
                    ++cells;
                }
                if (!in.leave("row"))
                    return false;
                if (cells != width)
                    return in.fail(QStringLiteral("row with fewer cells than fields"));
                p.rows.endRow();
            }
            return in.leave("rows");
        }
        return in.skip();
    });
}

} // namespace

QByteArray frame(const QByteArray& payload) {
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), out.data());
    out.append(payload);
    return out;
}

QByteArray encodeHello(const Hello& h) {
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap(h.parts ? 5 : 4);
    writeKey(w, "proto");
    w.append(QLatin1String(kProtocolName));
    writeKey(w, "version");
    w.append(static_cast<qint64>(h.version));
    writeKey(w, "token");
    writeText(w, h.token);
    writeKey(w, "server");
    writeText(w, h.server);
    if (h.parts) {
        writeKey(w, "parts");
        w.append(true);
    }
    w.endMap();
    return out;
}

bool decodeHello(const QByteArray& payload, Hello& out, QString& error) {
    Reader in(payload);
    QString proto;
    qint64 version = -1;
    out = Hello();
    const bool ok = eachKey(in, "hello", [&](QLatin1String key) {
        if (key == QLatin1String("proto"))
            return in.text(proto, "proto");
        if (key == QLatin1String("version"))
            return in.integer(version, "version");
        if (key == QLatin1String("token"))
            return in.text(out.token, "token");
        if (key == QLatin1String("server"))
            return in.text(out.server, "server");
        if (key == QLatin1String("parts")) {
            if (!in.raw().isBool())
                return in.fail(QStringLiteral("parts: true or false expected"));
            out.parts = in.raw().toBool();
            return in.raw().next();
        }
        return in.skip();
    });
    if (ok && in.finish()) {
        if (proto != QLatin1String(kProtocolName))
            in.fail(QStringLiteral("not a greeting of this protocol"));
        else if (version < 0 || version > std::numeric_limits<int>::max())
            in.fail(QStringLiteral("greeting without a version"));
        else
            out.version = static_cast<int>(version);
    }
    error = in.error;
    return error.isEmpty();
}

QByteArray encodeWelcome(RemoteError error, const QString& message) {
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap(error == RemoteError::None ? 2 : 3);
    writeKey(w, "proto");
    w.append(QLatin1String(kProtocolName));
    writeKey(w, "version");
    w.append(static_cast<qint64>(kVersion));
    if (error != RemoteError::None)
        writeError(w, error, message);
    w.endMap();
    return out;
}

RemoteResult decodeWelcome(const QByteArray& payload) {
    Reader in(payload);
    RemoteResult result;
    QString proto;
    qint64 version = -1;
    const bool ok = eachKey(in, "welcome", [&](QLatin1String key) {
        if (key == QLatin1String("proto"))
            return in.text(proto, "proto");
        if (key == QLatin1String("version"))
            return in.integer(version, "version");
        if (key == QLatin1String("error"))
            return readError(in, result);
        return in.skip();
    });
    if (!ok || !in.finish())
        return RemoteResult::failure(RemoteError::BadFrame, in.error);
    if (proto != QLatin1String(kProtocolName))
        return RemoteResult::failure(RemoteError::BadFrame,
                                     QStringLiteral("not a server of this protocol"));
    if (result.ok() && version != kVersion)
        return RemoteResult::failure(RemoteError::VersionMismatch,
                                     QStringLiteral("server speaks protocol version %1, client %2")
                                         .arg(version)
                                         .arg(kVersion));
    return result;
}

QByteArray encodeRequest(const Request& req) {
    QList<qint64> refs;
    for (int i = 0; i < req.args.size(); ++i)
        if (req.args[i].byRef && req.args[i].kind == RemoteArg::Kind::Text)
            refs.append(i);
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap(refs.isEmpty() ? 3 : 4);
    writeKey(w, "id");
    w.append(static_cast<quint64>(req.id));
    writeKey(w, "method");
    writeText(w, req.method);
    writeKey(w, "args");
    w.startArray(static_cast<quint64>(req.args.size()));
    for (const RemoteArg& a : req.args)
        writeArg(w, a);
    w.endArray();
    if (!refs.isEmpty()) {
        writeKey(w, "byref");
        w.startArray(static_cast<quint64>(refs.size()));
        for (qint64 i : refs)
            w.append(i);
        w.endArray();
    }
    w.endMap();
    return out;
}

RemoteError decodeRequest(const QByteArray& payload, Request& out, QString& error) {
    Reader in(payload);
    out = Request();
    bool haveId = false, haveMethod = false, haveArgs = false;
    QList<qint64> refs;
    RemoteError kind = RemoteError::BadFrame;
    const bool ok = eachKey(in, "request", [&](QLatin1String key) {
        if (key == QLatin1String("id")) {
            qint64 id = 0;
            if (!in.integer(id, "id"))
                return false;
            if (id < 0)
                return in.fail(QStringLiteral("negative id"));
            out.id = static_cast<quint64>(id);
            haveId = true;
            return true;
        }
        if (key == QLatin1String("method")) {
            haveMethod = true;
            return in.text(out.method, "method");
        }
        if (key == QLatin1String("args")) {
            haveArgs = true;
            if (!in.enter(QCborStreamReader::Array, "args"))
                return false;
            while (in.more()) {
                RemoteArg a;
                if (!readArg(in, a)) {
                    // The frame was sound up to a value the protocol lacks.
                    if (in.ok() || in.raw().lastError() == QCborError::NoError)
                        kind = RemoteError::BadArguments;
                    return false;
                }
                out.args.append(a);
            }
            return in.leave("args");
        }
        if (key == QLatin1String("byref")) {
            if (!in.enter(QCborStreamReader::Array, "byref"))
                return false;
            while (in.more()) {
                qint64 i = 0;
                if (!in.integer(i, "byref index"))
                    return false;
                refs.append(i);
            }
            return in.leave("byref");
        }
        return in.skip();
    });
    if (ok && in.finish()) {
        if (!haveId || !haveMethod || !haveArgs)
            in.fail(QStringLiteral("request without id, method or args"));
        for (qint64 i : refs) {
            if (i < 0 || i >= out.args.size() || out.args[i].kind != RemoteArg::Kind::Text) {
                kind = RemoteError::BadArguments;
                in.fail(QStringLiteral("by-reference index %1 is not a text argument").arg(i));
                break;
            }
            out.args[i].byRef = true;
        }
    }
    error = in.error;
    return error.isEmpty() ? RemoteError::None : kind;
}

QByteArray encodeReply(quint64 id, const RemoteResult& result) {
    QByteArray out;
    QCborStreamWriter w(&out);
    if (!result.ok()) {
        w.startMap(2);
        writeKey(w, "id");
        w.append(id);
        writeError(w, result.error, result.message);
        w.endMap();
        return out;
    }
    const DataPacket& p = result.packet;
    if (result.part) {
        // A part carries its own fields so it can be read on its own.
        w.startMap(2);
        writeKey(w, "id");
        w.append(id);
    } else if (result.parts > 0) {
        w.startMap(4);
        writeKey(w, "id");
        w.append(id);
        writeKey(w, "parts");
        w.append(static_cast<qint64>(result.parts));
    } else {
        w.startMap(3);
        writeKey(w, "id");
        w.append(id);
    }
    writeKey(w, result.part ? "part" : "packet");
    w.startMap(2);
    writeKey(w, "fields");
    w.startArray(static_cast<quint64>(p.fields.size()));
    for (const FieldDef& f : p.fields) {
        w.startArray(3);
        writeText(w, f.name);
        w.append(QLatin1String(typeName(f.type)));
        w.append(static_cast<qint64>(f.size));
        w.endArray();
    }
    w.endArray();
    writeKey(w, "rows");
    writeRows(w, p);
    w.endMap();
    if (result.part) {
        w.endMap();
        return out;
    }
    writeKey(w, "byref");
    w.startArray(static_cast<quint64>(result.byRef.size()));
    for (const QString& s : result.byRef)
        writeText(w, s);
    w.endArray();
    w.endMap();
    return out;
}

bool decodeReply(const QByteArray& payload, quint64& id, RemoteResult& out, QString& error) {
    Reader in(payload);
    out = RemoteResult();
    bool haveId = false, havePacket = false, haveError = false;
    const bool ok = eachKey(in, "reply", [&](QLatin1String key) {
        if (key == QLatin1String("id")) {
            qint64 v = 0;
            if (!in.integer(v, "id"))
                return false;
            id = static_cast<quint64>(v);
            haveId = true;
            return true;
        }
        if (key == QLatin1String("packet") || key == QLatin1String("part")) {
            if (havePacket)
                return in.fail(QStringLiteral("reply with two packets"));
            havePacket = true;
            out.part = key == QLatin1String("part");
            return readPacket(in, out.packet);
        }
        if (key == QLatin1String("parts")) {
            qint64 n = 0;
            if (!in.integer(n, "parts"))
                return false;
            if (n < 0 || n > std::numeric_limits<int>::max())
                return in.fail(QStringLiteral("parts out of range"));
            out.parts = static_cast<int>(n);
            return true;
        }
        if (key == QLatin1String("error")) {
            haveError = true;
            return readError(in, out);
        }
        if (key == QLatin1String("byref")) {
            if (!in.enter(QCborStreamReader::Array, "byref"))
                return false;
            while (in.more()) {
                QString s;
                if (!in.text(s, "byref"))
                    return false;
                out.byRef.append(s);
            }
            return in.leave("byref");
        }
        return in.skip();
    });
    if (ok && in.finish() && (!haveId || havePacket == haveError))
        in.fail(QStringLiteral("reply needs an id and either a packet or an error"));
    error = in.error;
    return error.isEmpty();
}

} // namespace suite::proto
