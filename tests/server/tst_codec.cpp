// The wire codec: every value type survives a round trip; malformed input is
// refused with an error, never a crash.
#include "interfaces/remotemethods.h"
#include "suite/net/protocol.h"
#include "suite/net/replyassembler.h"
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QtTest>

using namespace suite;
using namespace suite::proto;
using Args = QList<RemoteArg>;
Q_DECLARE_METATYPE(Args)

namespace {
QByteArray cbor(const QCborValue& v) {
    return v.toCbor();
}
QCborMap request(const QCborArray& args) {
    return QCborMap{{QStringLiteral("id"), 7},
                    {QStringLiteral("method"), QStringLiteral("m")},
                    {QStringLiteral("args"), args}};
}
} // namespace

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void requestRoundTrip_data() {
        QTest::addColumn<Args>("args");
        QTest::newRow("no arguments") << Args{};
        QTest::newRow("text with accents and a bar")
            << Args{RemoteArg::text(QStringLiteral("Venda | à vista – ação"))};
        QTest::newRow("empty text") << Args{RemoteArg::text(QString())};
        QTest::newRow("by-reference texts")
            << Args{RemoteArg::text("01"), RemoteArg::textRef("T"), RemoteArg::textRef("4.1;4.2")};
        QTest::newRow("dates") << Args{RemoteArg::date(QDate(2025, 2, 28)),
                                       RemoteArg::date(QDate(1, 1, 1))};
        QTest::newRow("floats") << Args{RemoteArg::real(45716.0), RemoteArg::real(-150.5),
                                        RemoteArg::real(0.25)};
        QTest::newRow("integers") << Args{RemoteArg::integer(0), RemoteArg::integer(-1),
                                          RemoteArg::integer(std::numeric_limits<qint64>::max()),
                                          RemoteArg::integer(std::numeric_limits<qint64>::min())};
        QTest::newRow("null") << Args{RemoteArg::null()};
    }
    void requestRoundTrip() {
        QFETCH(Args, args);
        Request in{42, QStringLiteral("GetSaldAntEnc"), args};
        Request out;
        QString err;
        QCOMPARE(decodeRequest(encodeRequest(in), out, err), RemoteError::None);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(out, in);
    }

    void replyRoundTrip() {
        RemoteResult r;
        r.packet.fields = {{"S", FieldType::String, 20},
                           {"F", FieldType::Float, 0},
                           {"I", FieldType::Integer, 0},
                           {"D", FieldType::DateTime, 0}};
        r.packet.rows = {{QStringLiteral("1.1.01"), 1500.25, qint64(-3),
                          QDateTime(QDate(2025, 1, 31), QTime(0, 0))},
                         {QVariant(), QVariant(), QVariant(), QVariant()},
                         {QStringLiteral(""), 0.0, qint64(0),
                          QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))}};
        r.byRef = {QStringLiteral("T"), QString()};
        quint64 id = 0;
        RemoteResult back;
        QString err;
        QVERIFY2(decodeReply(encodeReply(9, r), id, back, err), qPrintable(err));
        QCOMPARE(id, quint64(9));
        QVERIFY(back.ok());
        QCOMPARE(back.packet.fields, r.packet.fields);
        QCOMPARE(back.packet.rows.size(), 3);
        QCOMPARE(back.packet.rows[0][0].toString(), QStringLiteral("1.1.01"));
        QCOMPARE(back.packet.rows[0][1].toDouble(), 1500.25);
        QCOMPARE(back.packet.rows[0][2].toLongLong(), qint64(-3));
        QCOMPARE(back.packet.rows[0][3].toDateTime(), QDateTime(QDate(2025, 1, 31), QTime(0, 0)));
        for (const QVariant& v : back.packet.rows[1])
            QVERIFY(v.isNull());
        QCOMPARE(back.packet.rows[2][3].toDateTime(),
                 QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58)));
        QCOMPARE(back.byRef, r.byRef);
    }

    // Text cells arrive in one piece or in chunks, in any script, and come
    // out as sent; cells of another kind than their column are written as
    // the column's kind.
    void cellsComeBackAsSent_data() {
        QTest::addColumn<QByteArray>("cell"); // encoded CBOR of one string cell
        QTest::addColumn<QString>("expected");
        QTest::newRow("ascii") << QByteArray::fromHex("63616263") << QStringLiteral("abc");
        QTest::newRow("accents") << QByteArray::fromHex("6541c3a7c3a3")
                                 << QStringLiteral("Aç") + QChar(0xe3);
        QTest::newRow("four-byte character")
            << QByteArray("\x64\xf0\x9d\x84\x9e", 5) << QString::fromUtf8("\xf0\x9d\x84\x9e");
        QTest::newRow("empty") << QByteArray("\x60", 1) << QString();
        QTest::newRow("in chunks, one split between them") << QByteArray::fromHex("7f624361"
                                                                                  "62c3a7"
                                                                                  "616f"
                                                                                  "ff")
                                                           << QStringLiteral("Caço");
    }
    void cellsComeBackAsSent() {
        QFETCH(QByteArray, cell);
        QFETCH(QString, expected);
        QByteArray payload = cbor(QCborMap{
            {QStringLiteral("id"), 1},
            {QStringLiteral("packet"),
             QCborMap{{QStringLiteral("fields"),
                       QCborArray{QCborArray{QStringLiteral("S"), QStringLiteral("string"), 9}}},
                      {QStringLiteral("rows"), QCborArray{QCborArray{QStringLiteral("@@@@")}}}}}});
        const qsizetype at = payload.indexOf(QByteArray("\x64@@@@"));
        QVERIFY(at > 0);
        payload.replace(at, 5, cell);
        quint64 id = 0;
        RemoteResult r;
        QString err;
        QVERIFY2(decodeReply(payload, id, r, err), qPrintable(err));
        QCOMPARE(r.packet.rows.value(0, 0).toString(), expected);
    }

    void cellsOfAnotherKindTakeTheColumns() {
        RemoteResult r;
        r.packet.fields = {
            {"F", FieldType::Float, 0}, {"S", FieldType::String, 9}, {"I", FieldType::Integer, 0}};
        r.packet.rows = {{qint64(5), 1.5, QStringLiteral("42")}};
        quint64 id = 0;
        RemoteResult back;
        QString err;
        QVERIFY2(decodeReply(encodeReply(1, r), id, back, err), qPrintable(err));
        QCOMPARE(back.packet.rows.value(0, 0), QVariant(5.0));
        QCOMPARE(back.packet.rows.value(0, 1), QVariant(QStringLiteral("1.5")));
        QCOMPARE(back.packet.rows.value(0, 2), QVariant(qint64(42)));
    }

    // Replies with different columns one after another each keep their own,
    // however many lists a reader has seen before.
    void eachReplyKeepsItsColumns() {
        auto reply = [](const QList<FieldDef>& f, const QVariantList& row) {
            RemoteResult r;
            r.packet.fields = f;
            r.packet.rows.append(row);
            return encodeReply(1, r);
        };
        QList<QByteArray> sent;
        QList<QList<FieldDef>> fields;
        for (int i = 0; i < 20; ++i) {
            // Same sizes of encoding, different names: i % 11 lists in turn.
            const QString name = QStringLiteral("C%1").arg(i % 11, 2, 10, QLatin1Char('0'));
            fields.append({{name, FieldType::String, 4}});
            sent.append(reply(fields.last(), {name}));
        }
        for (qsizetype i = 0; i < sent.size(); ++i) {
            quint64 id = 0;
            RemoteResult back;
            QString err;
            QVERIFY2(decodeReply(sent[i], id, back, err), qPrintable(err));
            QCOMPARE(back.packet.fields, fields[i]);
            QCOMPARE(back.packet.rows.value(0, 0).toString(), fields[i][0].name);
        }
    }

    // A key of a later version that is longer than any of ours is skipped
    // like any other unknown key.
    void longUnknownKeysAreSkipped() {
        const QByteArray payload = cbor(QCborMap{
            {QStringLiteral("id"), 3},
            {QString(70, QLatin1Char('k')), QCborArray{1, 2, 3}},
            {QStringLiteral("error"), QCborMap{{QStringLiteral("code"), 2},
                                               {QStringLiteral("message"), QStringLiteral("x")}}}});
        quint64 id = 0;
        RemoteResult r;
        QString err;
        QVERIFY2(decodeReply(payload, id, r, err), qPrintable(err));
        QCOMPARE(id, quint64(3));
        QVERIFY(!r.ok());
    }

    // A long reply goes as parts, then the final reply that counts them.
    void replyInParts() {
        RemoteResult part;
        part.part = true;
        part.packet.fields = {{"S", FieldType::String, 20}, {"F", FieldType::Float, 0}};
        part.packet.rows = {{QStringLiteral("a"), 1.5}, {QStringLiteral("b"), QVariant()}};
        part.byRef = {QStringLiteral("not sent with a part")};
        quint64 id = 0;
        RemoteResult back;
        QString err;
        QVERIFY2(decodeReply(encodeReply(4, part), id, back, err), qPrintable(err));
        QCOMPARE(id, quint64(4));
        QVERIFY(back.part);
        QCOMPARE(back.packet, part.packet);
        QVERIFY(back.byRef.isEmpty());

        RemoteResult last;
        last.packet.fields = part.packet.fields;
        last.packet.rows = {{QStringLiteral("c"), 2.0}};
        last.parts = 3;
        QVERIFY2(decodeReply(encodeReply(4, last), id, back, err), qPrintable(err));
        QVERIFY(!back.part);
        QCOMPARE(back.parts, 3);
        QCOMPARE(back.packet, last.packet);

        // A reply that is both a part and a whole packet cannot be placed.
        const QCborMap packet{{QStringLiteral("fields"), QCborArray{}},
                              {QStringLiteral("rows"), QCborArray{}}};
        QVERIFY(!decodeReply(cbor(QCborMap{{QStringLiteral("id"), 1},
                                           {QStringLiteral("part"), packet},
                                           {QStringLiteral("packet"), packet}}),
                             id, back, err));
        QVERIFY(!decodeReply(cbor(QCborMap{{QStringLiteral("id"), 1},
                                           {QStringLiteral("packet"), packet},
                                           {QStringLiteral("parts"), -1}}),
                             id, back, err));
    }

    // What the client makes of a sequence of messages for request 5.
    void assembler_data() {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<QString>("outcome"); // rows joined, "error N" or "bad"
        const QList<FieldDef> fields{{"S", FieldType::String, 4}};
        auto message = [&](quint64 id, bool part, int parts, const QStringList& cells,
                           const QList<FieldDef>& f) {
            RemoteResult r;
            r.part = part;
            r.parts = parts;
            r.packet.fields = f;
            for (const QString& c : cells)
                r.packet.rows.append({c});
            return encodeReply(id, r);
        };
        const QList<FieldDef> other{{"T", FieldType::String, 4}};
        const QByteArray failure =
            encodeReply(5, RemoteResult::failure(RemoteError::Database, QStringLiteral("x")));
        QTest::newRow("whole reply")
            << QList<QByteArray>{message(5, false, 0, {"a"}, fields)} << "a";
        QTest::newRow("two parts then the last rows")
            << QList<QByteArray>{message(5, true, 0, {"a", "b"}, fields),
                                 message(5, true, 0, {"c"}, fields),
                                 message(5, false, 2, {"d"}, fields)}
            << "a,b,c,d";
        QTest::newRow("parts and an empty final packet")
            << QList<QByteArray>{message(5, true, 0, {"a"}, fields),
                                 message(5, false, 1, {}, fields)}
            << "a";
        QTest::newRow("failure after a part drops it")
            << QList<QByteArray>{message(5, true, 0, {"a"}, fields), failure} << "error 7";
        QTest::newRow("a part went missing")
            << QList<QByteArray>{message(5, true, 0, {"a"}, fields),
                                 message(5, false, 2, {"b"}, fields)}
            << "bad";
        QTest::newRow("parts announced that never came")
            << QList<QByteArray>{message(5, false, 1, {"b"}, fields)} << "bad";
        QTest::newRow("part with other fields")
            << QList<QByteArray>{message(5, true, 0, {"a"}, fields),
                                 message(5, true, 0, {"b"}, other)}
            << "bad";
        QTest::newRow("final packet with other fields")
            << QList<QByteArray>{message(5, true, 0, {"a"}, fields),
                                 message(5, false, 1, {"b"}, other)}
            << "bad";
        QTest::newRow("answer to another request")
            << QList<QByteArray>{message(4, false, 0, {"a"}, fields)} << "bad";
        QTest::newRow("not a reply") << QList<QByteArray>{QByteArray("\xa0", 1)} << "bad";
    }
    void assembler() {
        QFETCH(QList<QByteArray>, messages);
        QFETCH(QString, outcome);
        ReplyAssembler assembler(5);
        RemoteResult out;
        QString err;
        QString got;
        for (qsizetype i = 0; i < messages.size() && got.isEmpty(); ++i) {
            switch (assembler.take(messages[i], out, err)) {
            case ReplyAssembler::Step::More:
                QVERIFY2(i + 1 < messages.size(), "waits for more after the last message");
                break;
            case ReplyAssembler::Step::Bad:
                QVERIFY(!err.isEmpty());
                got = QStringLiteral("bad");
                break;
            case ReplyAssembler::Step::Done:
                if (!out.ok()) {
                    got = QStringLiteral("error %1").arg(static_cast<int>(out.error));
                } else {
                    QStringList cells;
                    for (const QVariantList& r : out.packet.rows)
                        cells.append(r.value(0).toString());
                    got = cells.join(QLatin1Char(','));
                    QCOMPARE(out.parts, 0);
                }
                QCOMPARE(i, messages.size() - 1);
                break;
            }
        }
        QCOMPARE(got, outcome);
    }

    void errorReplyRoundTrip() {
        quint64 id = 0;
        RemoteResult back;
        QString err;
        QVERIFY(decodeReply(encodeReply(3, RemoteResult::failure(RemoteError::NotFound, "empresa")),
                            id, back, err));
        QCOMPARE(back.error, RemoteError::NotFound);
        QCOMPARE(back.message, QStringLiteral("empresa"));
    }

    void greeting() {
        Hello h;
        h.token = QStringLiteral("segredo");
        h.server = QStringLiteral("KLT40500.rdmGerArqPrev");
        Hello back;
        QString err;
        QVERIFY(decodeHello(encodeHello(h), back, err));
        QCOMPARE(back.token, h.token);
        QCOMPARE(back.server, h.server);
        QCOMPARE(back.version, kVersion);
        QVERIFY(!back.parts);
        h.parts = true;
        QVERIFY(decodeHello(encodeHello(h), back, err));
        QVERIFY(back.parts);
        QVERIFY(decodeWelcome(encodeWelcome()).ok());
        QCOMPARE(decodeWelcome(encodeWelcome(RemoteError::Unauthorized, "x")).error,
                 RemoteError::Unauthorized);
        const QByteArray other =
            cbor(QCborMap{{QStringLiteral("proto"), QStringLiteral("gerarqprev")},
                          {QStringLiteral("version"), kVersion + 1}});
        QCOMPARE(decodeWelcome(other).error, RemoteError::VersionMismatch);
        QVERIFY(!decodeHello(cbor(QCborMap{{QStringLiteral("proto"), QStringLiteral("http")},
                                           {QStringLiteral("version"), 1}}),
                             back, err));
    }

    // The worked example of docs/protocol.md, byte for byte.
    void documentedExample() {
        Hello h;
        h.token = QStringLiteral("abc");
        h.server = QStringLiteral("KLT40500.rdmGerArqPrev");
        QCOMPARE(
            frame(encodeHello(h)).toHex(),
            QByteArray("00000043a46570726f746f6a676572617271707265766776657273696f6e0165746f6b656e"
                       "6361626366736572766572764b4c5434303530302e72646d47657241727150726576"));
        QCOMPARE(frame(encodeWelcome()).toHex(),
                 QByteArray("0000001ba26570726f746f6a676572617271707265766776657273696f6e01"));
        const Request r{2,
                        QStringLiteral("GetSaldAntEnc"),
                        {RemoteArg::text("01"), RemoteArg::text("_1.1.01_"), RemoteArg::text(""),
                         RemoteArg::real(45716.0)}};
        QCOMPARE(
            frame(encodeRequest(r)).toHex(),
            QByteArray("00000036a362696402666d6574686f646d47657453616c64416e74456e63646172677384"
                       "623031685f312e312e30315f60fb40e6528000000000"));
        const Request dates{3,
                            QStringLiteral("getsaldmens"),
                            {RemoteArg::text("01"), RemoteArg::date(QDate(2025, 1, 1)),
                             RemoteArg::date(QDate(2025, 1, 31))}};
        QCOMPARE(frame(encodeRequest(dates)).toHex(),
                 QByteArray("0000003da362696403666d6574686f646b67657473616c646d656e7364617267738362"
                            "3031d903ec6a323032352d30312d3031d903ec6a323032352d30312d3331"));
        RemoteResult rep;
        // The fields as the method table declares them.
        rep.packet.fields = remote::packetFields(remote::method("GetSaldAntEnc").fields);
        rep.packet.rows = {{QStringLiteral("1.1.01"), QStringLiteral("1500,00"),
                            QStringLiteral("D"), QStringLiteral("28022025")}};
        QCOMPARE(
            frame(encodeReply(2, rep)).toHex(),
            QByteArray("0000008fa362696402667061636b6574a2666669656c647384836a4344434f4e54435442"
                       "4c66737472696e6718ff836a565253414c44454d505266737472696e671828836a49445341"
                       "4c444f46494e66737472696e6701836a445453414c44454d505266737472696e67086472"
                       "6f7773818466312e312e303167313530302c3030614468323830323230323565627972"
                       "656680"));
        QCOMPARE(frame(encodeReply(4, RemoteResult::failure(RemoteError::NotFound, "x"))).toHex(),
                 QByteArray("0000001ca262696404656572726f72a264636f646506676d6573736167656178"));
    }

    void malformedRequests_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("code");
        const int frameErr = static_cast<int>(RemoteError::BadFrame);
        const int argErr = static_cast<int>(RemoteError::BadArguments);
        const QByteArray good = encodeRequest({1, "GetPlanContas", {RemoteArg::text("x")}});
        QTest::newRow("not CBOR at all") << QByteArray("GET / HTTP/1.1\r\n") << frameErr;
        QTest::newRow("truncated message") << good.left(good.size() - 2) << frameErr;
        QTest::newRow("trailing bytes") << good + QByteArray("\x01", 1) << frameErr;
        QTest::newRow("an array instead of a map") << cbor(QCborArray{1, 2}) << frameErr;
        QTest::newRow("id as text")
            << cbor(QCborMap{{QStringLiteral("id"), QStringLiteral("1")},
                             {QStringLiteral("method"), QStringLiteral("m")},
                             {QStringLiteral("args"), QCborArray{}}})
            << frameErr;
        QTest::newRow("no method")
            << cbor(QCborMap{{QStringLiteral("id"), 1}, {QStringLiteral("args"), QCborArray{}}})
            << frameErr;
        QTest::newRow("args as a map")
            << cbor(QCborMap{{QStringLiteral("id"), 1},
                             {QStringLiteral("method"), QStringLiteral("m")},
                             {QStringLiteral("args"), QCborMap{}}})
            << frameErr;
        QTest::newRow("argument of an unsupported type (bytes)")
            << cbor(request(QCborArray{QByteArray("x")})) << argErr;
        QTest::newRow("argument that is a boolean") << cbor(request(QCborArray{true})) << argErr;
        QTest::newRow("date tag on a number")
            << cbor(request(QCborArray{QCborValue(QCborTag(1004), 5)})) << argErr;
        QTest::newRow("date tag on an invalid date")
            << cbor(request(QCborArray{QCborValue(QCborTag(1004), QStringLiteral("2025-02-30"))}))
            << argErr;
        QTest::newRow("unknown tag")
            << cbor(request(
                   QCborArray{QCborValue(QCborTag(0), QStringLiteral("2025-01-01T00:00:00Z"))}))
            << argErr;
        QCborMap refs = request(QCborArray{1});
        refs.insert(QStringLiteral("byref"), QCborArray{0});
        QTest::newRow("by-reference index on a number") << cbor(refs) << argErr;
        QCborMap far = request(QCborArray{QStringLiteral("a")});
        far.insert(QStringLiteral("byref"), QCborArray{5});
        QTest::newRow("by-reference index out of range") << cbor(far) << argErr;
        // 64 nested arrays under an ignored key.
        QByteArray deep = QByteArray::fromHex("a3626964016666") + QByteArray("method", 6);
        deep = cbor(QCborMap{{QStringLiteral("id"), 1},
                             {QStringLiteral("method"), QStringLiteral("m")},
                             {QStringLiteral("args"), QCborArray{}}});
        deep[0] = static_cast<char>(0xa4); // one more pair follows
        deep +=
            cbor(QStringLiteral("x")) + QByteArray(64, static_cast<char>(0x81)) + QByteArray(1, 0);
        QTest::newRow("value nested too deep") << deep << frameErr;
    }
    void malformedRequests() {
        QFETCH(QByteArray, payload);
        QFETCH(int, code);
        Request out;
        QString err;
        QCOMPARE(static_cast<int>(decodeRequest(payload, out, err)), code);
        QVERIFY(!err.isEmpty());
    }

    void malformedReplies_data() {
        QTest::addColumn<QByteArray>("payload");
        const QCborArray fields{QCborArray{QStringLiteral("A"), QStringLiteral("string"), 5}};
        auto reply = [&](const QCborValue& rows) {
            return cbor(
                QCborMap{{QStringLiteral("id"), 1},
                         {QStringLiteral("packet"), QCborMap{{QStringLiteral("fields"), fields},
                                                             {QStringLiteral("rows"), rows}}}});
        };
        QTest::newRow("row with more cells than fields") << reply(QCborArray{QCborArray{"a", "b"}});
        QTest::newRow("row with fewer cells than fields") << reply(QCborArray{QCborArray{}});
        QTest::newRow("number in a string column") << reply(QCborArray{QCborArray{1}});
        // Text that is not UTF-8 is refused, as the rest of the protocol's.
        const QByteArray placeholder("\x64@@@@", 5);
        const QList<std::pair<const char*, QByteArray>> badText = {
            {"invalid byte in a string cell", QByteArray("\x61\xff", 2)},
            {"surrogate in a string cell", QByteArray("\x63\xed\xa0\x80", 4)},
            {"overlong form in a string cell", QByteArray("\x62\xc0\xaf", 3)},
            {"sequence cut short in a string cell", QByteArray("\x62\xe2\x82", 3)},
            {"code point past U+10FFFF", QByteArray("\x64\xf4\x90\x80\x80", 5)},
        };
        for (const auto& [name, cell] : badText) {
            QByteArray b = reply(QCborArray{QCborArray{QStringLiteral("@@@@")}});
            b.replace(b.indexOf(placeholder), placeholder.size(), cell);
            QTest::newRow(name) << b;
        }
        QTest::newRow("neither packet nor error") << cbor(QCborMap{{QStringLiteral("id"), 1}});
        QTest::newRow("unknown field type") << cbor(QCborMap{
            {QStringLiteral("id"), 1},
            {QStringLiteral("packet"),
             QCborMap{{QStringLiteral("fields"),
                       QCborArray{QCborArray{QStringLiteral("A"), QStringLiteral("blob"), 0}}},
                      {QStringLiteral("rows"), QCborArray{}}}}});
        // An announced row count far beyond the payload must not be reserved.
        QByteArray huge = reply(QCborArray{});
        huge.chop(1);
        huge += QByteArray::fromHex("9b00ffffffffffffff");
        QTest::newRow("announced billions of rows") << huge;
    }
    void malformedReplies() {
        QFETCH(QByteArray, payload);
        quint64 id = 0;
        RemoteResult r;
        QString err;
        QVERIFY(!decodeReply(payload, id, r, err));
        QVERIFY(!err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
