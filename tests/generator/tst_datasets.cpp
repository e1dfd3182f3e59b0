#include "interfaces/datasets.h"
#include <QTest>

using suite::DataPacket;
using suite::FieldDef;
using suite::FieldType;

namespace {
DataPacket packetOf(const QList<FieldDef>& fields, const QList<QVariantList>& rows = {}) {
    DataPacket p;
    p.fields = fields;
    p.rows = rows;
    return p;
}

// The packet the server delivers for cdsSaldMens.
DataPacket saldMens(const QList<QVariantList>& rows) {
    return packetOf({{"DTSALDEMPR", FieldType::DateTime, 0},
                     {"MESANOSALDEMPR", FieldType::String, 7},
                     {"CDCONTCTBL", FieldType::String, 20},
                     {"VRSALDEMPR", FieldType::Float, 0},
                     {"TIPOSALD", FieldType::String, 1}},
                    rows);
}
} // namespace

class TstDatasets : public QObject {
    Q_OBJECT
private slots:
    void declaredFields();
    void refusesBadPacket_data();
    void refusesBadPacket();
    void bindsByNameInAnyOrder();
    void floatText_data();
    void floatText();
    void navigationAndNulls();
};

void TstDatasets::declaredFields() {
    GerArqPrevDatasets ds;
    QCOMPARE(ds.all().size(), 11);
    QCOMPARE(ds.cdsIdContrib.fields().size(), 8);
    QCOMPARE(ds.cdsDadosCont.fields().size(), 11);
    QCOMPARE(ds.cdsLancCont.fields().size(), 9);
    QCOMPARE(ds.cdsLancCont.FieldByName("DSHISTLANC").decl().size, 200);
    QVERIFY(ds.cdsIdContrib.FieldByName("dtini").decl().readOnly);
    QCOMPARE(ds.cdsSaldMens.FieldByName("VRSALDEMPR").decl().type, FieldType::Float);
    QCOMPARE(ds.cdsSaldMens.FieldByName("DTSALDEMPR").decl().type, FieldType::DateTime);
    QCOMPARE(ds.cdsCredDeb.FieldByName("VALOR").decl().type, FieldType::Float);
    QVERIFY_THROWS_EXCEPTION(suite::EDataSetError, ds.cdsCcLanc.FieldByName("NMCENTCUST"));
}

void TstDatasets::refusesBadPacket_data() {
    QTest::addColumn<DataPacket>("packet");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("field missing")
        << packetOf({{"CDCENTCUSTO", FieldType::String, 4}}) << "CDCENTCUST";
    QTest::newRow("number for text")
        << packetOf({{"CDCENTCUST", FieldType::Float, 0}}) << "incompatível";
    QTest::newRow("date for text")
        << packetOf({{"CDCENTCUST", FieldType::DateTime, 0}}) << "incompatível";
    QTest::newRow("short row") << packetOf({{"CDCENTCUST", FieldType::String, 4},
                                            {"EXTRA", FieldType::String, 4}},
                                           {{QString("01")}})
                               << "linha 1";
}

void TstDatasets::refusesBadPacket() {
    QFETCH(DataPacket, packet);
    QFETCH(QString, mentions);
    GerArqPrevDatasets ds;
    try {
        ds.cdsCcLanc.SetData(packet);
        QFAIL("packet accepted");
    } catch (const suite::EDataSetError& e) {
        const QString text = QString::fromUtf8(e.what());
        QVERIFY2(text.contains("cdsCcLanc") && text.contains(mentions), qPrintable(text));
    }
    QVERIFY(!ds.cdsCcLanc.Active());
}

void TstDatasets::bindsByNameInAnyOrder() {
    GerArqPrevDatasets ds;
    ds.cdsCredDeb.SetData(packetOf({{"dtsaldo", FieldType::String, 5},
                                    {"Valor", FieldType::Integer, 0},
                                    {"CDCONTCTBL", FieldType::String, 20}},
                                   {{QString("03/25"), qint64(12), QString("1.1")}}));
    QCOMPARE(ds.cdsCredDeb.FieldByName("VALOR").AsFloat(), 12.0);
    QCOMPARE(ds.cdsCredDeb.FieldByName("CDCONTCTBL").AsString(), QString("1.1"));
    QCOMPARE(ds.cdsCredDeb.RecordCount(), 1);
}

void TstDatasets::floatText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 200.0 << "200";
    QTest::newRow("one decimal") << -150.5 << "-150,5";
    QTest::newRow("below one") << 0.25 << "0,25";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("15 digits") << 123456789012.345 << "123456789012,345";
    QTest::newRow("rounded to 15 digits") << 0.1 + 0.2 << "0,3";
    QTest::newRow("small fixed") << 0.00001 << "0,00001";
    QTest::newRow("small exponent") << 1.5e-7 << "1,5E-7";
    QTest::newRow("large exponent") << 1e15 << "1E15";
    QTest::newRow("largest fixed") << 999999999999999.0 << "999999999999999";
}

void TstDatasets::floatText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    GerArqPrevDatasets ds;
    ds.cdsSaldMens.SetData(saldMens({{QDateTime(QDate(2025, 3, 31), QTime(0, 0)),
                                      QString("03/2025"), QString("1"), value, QString("D")}}));
    QCOMPARE(ds.cdsSaldMens.FieldByName("VRSALDEMPR").AsString(), text);
}

void TstDatasets::navigationAndNulls() {
    GerArqPrevDatasets ds;
    auto& sm = ds.cdsSaldMens;
    QVERIFY(sm.Eof());
    QCOMPARE(sm.RecordCount(), 0);
    sm.SetData(saldMens({{QDateTime(QDate(2025, 3, 31), QTime(0, 0)), QString("03/2025"),
                          QString("1"), QVariant(), QString("D")},
                         {QVariant(), QString("04/2025"), QString("2"), 5.0, QString("C")}}));
    QCOMPARE(sm.FieldByName("DTSALDEMPR").AsString(), QString("31/03/2025"));
    QVERIFY(sm.FieldByName("VRSALDEMPR").IsNull());
    QCOMPARE(sm.FieldByName("VRSALDEMPR").AsString(), QString());
    QCOMPARE(sm.FieldByName("VRSALDEMPR").AsFloat(), 0.0);
    sm.Next();
    QCOMPARE(sm.FieldByName("CDCONTCTBL").AsString(), QString("2"));
    QCOMPARE(sm.FieldByName("DTSALDEMPR").AsString(), QString());
    sm.Next();
    QVERIFY(sm.Eof());
    QCOMPARE(sm.FieldByName("CDCONTCTBL").AsString(), QString());
    sm.Next();
    QCOMPARE(sm.RecNo(), 2);
    sm.First();
    QVERIFY(!sm.Eof());
    sm.Close();
    QVERIFY(sm.IsEmpty());
    QCOMPARE(sm.RecordCount(), 0);
}

QTEST_GUILESS_MAIN(TstDatasets)
#include "tst_datasets.moc"
