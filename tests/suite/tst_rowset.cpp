#include "suite/core/datapacket.h"
#include <QTest>
#include <limits>

using suite::RowSet;

// The packed rows must hand back exactly what was stored: every value of a
// generated file passes through them.
class TstRowSet : public QObject {
    Q_OBJECT
private slots:
    void cellComesBackAsStored_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("null") << QVariant();
        QTest::newRow("empty text") << QVariant(QString());
        QTest::newRow("accented text") << QVariant(QStringLiteral("Pagamento à vista, ação nº 5"));
        QTest::newRow("long text") << QVariant(QString(300, QLatin1Char('x')));
        QTest::newRow("zero") << QVariant(qint64(0));
        QTest::newRow("negative integer") << QVariant(qint64(-1234567890123));
        QTest::newRow("largest integer") << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("smallest integer") << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("amount") << QVariant(1500.25);
        QTest::newRow("tiny float") << QVariant(5.55e-17);
        QTest::newRow("datetime") << QVariant(QDateTime(QDate(2025, 1, 31), QTime(13, 5, 7, 9)));
        QTest::newRow("invalid datetime") << QVariant(QDateTime());
        QTest::newRow("date") << QVariant(QDate(1899, 12, 30));
    }
    void cellComesBackAsStored() {
        QFETCH(QVariant, value);
        RowSet rows;
        rows.append({QStringLiteral("a"), value, QStringLiteral("z")});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.width(0), 3);
        const QVariant back = rows.value(0, 1);
        QCOMPARE(back.isValid(), value.isValid());
        QCOMPARE(back, value);
        // The neighbours are not disturbed by the cell's size.
        QCOMPARE(rows.value(0, 2).toString(), QStringLiteral("z"));
        QCOMPARE(rows.at(0), (QVariantList{QStringLiteral("a"), value, QStringLiteral("z")}));

        // Built cell by cell, the row is the same.
        RowSet built;
        built.beginRow(3);
        built.addText("a", 1);
        built.addValue(value);
        built.addText("z", 1);
        built.endRow();
        QCOMPARE(built, rows);
        QCOMPARE(built.bytes(), rows.bytes());

        // And encoders see the cell as it is stored.
        RowSet::CellViews cells;
        rows.cells(0, cells);
        QCOMPARE(cells.size(), 3);
        QCOMPARE(QByteArray(cells[2].text, cells[2].size), QByteArray("z"));
        const RowSet::CellView& c = cells[1];
        switch (value.typeId()) {
        case QMetaType::UnknownType:
            QCOMPARE(c.kind, RowSet::CellView::Null);
            break;
        case QMetaType::QString:
            QCOMPARE(c.kind, RowSet::CellView::Text);
            QCOMPARE(QByteArray(c.text, c.size), value.toString().toUtf8());
            break;
        case QMetaType::Double:
            QCOMPARE(c.kind, RowSet::CellView::Real);
            QCOMPARE(c.real, value.toDouble());
            break;
        case QMetaType::LongLong:
            QCOMPARE(c.kind, RowSet::CellView::Integer);
            QCOMPARE(c.integer, value.toLongLong());
            break;
        default:
            QCOMPARE(c.kind, RowSet::CellView::Other);
        }
    }

    void rowsKeepTheirOwnWidth() {
        RowSet rows{{QStringLiteral("1"), QStringLiteral("2")}, {}, {qint64(7)}};
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.width(0), 2);
        QCOMPARE(rows.width(1), 0);
        QCOMPARE(rows.width(2), 1);
        QVERIFY(!rows.value(2, 1).isValid()); // past the row's end
        QVERIFY(!rows.value(3, 0).isValid()); // past the last row
        QCOMPARE(rows.width(-1), 0);
    }

    void copiesAreIndependentAfterAppend() {
        RowSet a{{QStringLiteral("x")}};
        RowSet b = a;
        b.append({QStringLiteral("y")});
        QCOMPARE(a.size(), 1);
        QCOMPARE(b.size(), 2);
        QVERIFY(a != b);
        a.append({QStringLiteral("y")});
        QVERIFY(a == b);
    }

    void partsJoinInOrder() {
        RowSet whole;
        RowSet a{{QStringLiteral("1"), 1.5}, {QStringLiteral("2"), QVariant()}};
        RowSet b{{QStringLiteral("3"), 3.0}};
        whole.append(RowSet());
        whole.append(a);
        whole.append(b);
        QCOMPARE(whole.size(), 3);
        QCOMPARE(whole.at(2), (QVariantList{QStringLiteral("3"), 3.0}));
        QCOMPARE(whole.at(1), (QVariantList{QStringLiteral("2"), QVariant()}));
        QCOMPARE(a.size(), 2); // the first part was shared, not changed
    }

    void sortReordersWholeRows() {
        RowSet rows{{QStringLiteral("2.1"), 2.0},
                    {QStringLiteral("1.1"), 1.0},
                    {QStringLiteral("1.2"), 3.0}};
        rows.sort([](const QVariantList& x, const QVariantList& y) {
            return x[0].toString() < y[0].toString();
        });
        QStringList order;
        for (const QVariantList& r : rows)
            order.append(r[0].toString() + QLatin1Char('=') + r[1].toString());
        QCOMPARE(order, (QStringList{QStringLiteral("1.1=1"), QStringLiteral("1.2=3"),
                                     QStringLiteral("2.1=2")}));
    }

    void postingCostsItsTextPlusTwoBytesACell() {
        // A posting as the journal sends it: nine texts.
        const QVariantList posting{QStringLiteral("15012025"),
                                   QStringLiteral("1234"),
                                   QStringLiteral("2"),
                                   QStringLiteral("1.1.01.001.0001"),
                                   QStringLiteral("NF 4521"),
                                   QStringLiteral("Pagamento de fornecedor conforme nota fiscal"),
                                   QStringLiteral("1520,35"),
                                   QStringLiteral("D"),
                                   QStringLiteral("N")};
        RowSet rows;
        for (int i = 0; i < 1000; ++i)
            rows.append(posting);
        qsizetype chars = 0;
        for (const QVariant& v : posting)
            chars += v.toString().size();
        // One tag and one length byte per cell and the row's count over the text.
        QCOMPARE(rows.bytes(), 1000 * (chars + 2 * posting.size() + 1));
    }
};

QTEST_APPLESS_MAIN(TstRowSet)
#include "tst_rowset.moc"
