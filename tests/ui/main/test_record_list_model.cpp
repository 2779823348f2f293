// The record list's model on its own, without a main window: its rows, how it tells views of them, and
// how listed rows read their cells from a real database.
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "support/TestDatabase.h"
#include "ui/main/RecordList.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList cellsOf(const RecordListModel& model, int row) {
    QStringList cells;
    for (int column = 0; column < columnCount; ++column) {
        cells << model.cellText(row, column);
    }
    return cells;
}

// 22 cell texts: the number, then "name<number>" in column 6 and the rest empty.
QStringList namedRow(int number) {
    QStringList cells(columnCount);
    cells[0] = QString::number(number);
    cells[6] = QStringLiteral("姓名") + QString::number(number);
    return cells;
}

// Records 1 to count, each with its number in 来访人姓名 (column 6).
void fillNamed(const TestDatabase& db, int count) {
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO 信访数据 (编号, 来访人姓名) SELECT i, '姓名' || i FROM n")
                .arg(count));
}

} // namespace

class TestRecordListModel : public QObject {
    Q_OBJECT

private slots:
    void rowsWithTheirOwnTexts() {
        RecordListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList full;
        for (int column = 0; column < columnCount; ++column) {
            full << QStringLiteral("格%1").arg(column);
        }
        const QString longText(70000, QChar(0x4E2D)); // longer than any row the old packed storage indexed
        QCOMPARE(model.addRow(7, full), 0);
        QCOMPARE(model.addRow(-3), 1);
        QCOMPARE(model.addRow(0, QStringList{QStringLiteral("9"), longText}), 2);
        model.setCellText(1, 21, longText);
        model.setCellText(1, 22, QStringLiteral("no such column"));
        model.setCellText(3, 0, QStringLiteral("no such row"));

        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.storedRowCount(), 3);
        QCOMPARE(cellsOf(model, 0), full);
        QCOMPARE(model.cellText(1, 21), longText);
        QCOMPARE(model.cellText(1, 20), QString());
        QCOMPARE(model.cellText(2, 1), longText);
        QCOMPARE(model.cellText(2, 2), QString());
        QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QStringLiteral("格5"));
        QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isNull());
        QVERIFY(model.data(model.index(0, 1), Qt::DecorationRole).isNull());
        QCOMPARE(model.rowValue(0), 7);
        QCOMPARE(model.rowValue(1), -3);
        for (const auto& [row, column] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 22}}) {
            QCOMPARE(model.cellText(row, column), QString());
        }
        QCOMPARE(model.rowValue(3), 0);
        QCOMPARE(model.rowValue(-1), 0);
    }

    // Rows added while deferring reach the views many at a time; a batch shows as one reset.
    void announcingAndReset() {
        RecordListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        model.addRow(1);
        QCOMPARE(inserted.size(), 1);
        model.beginDeferring();
        model.beginDeferring(); // a search started between two rows of another
        for (int i = 2; i <= 4; ++i) {
            model.addRow(i, namedRow(i));
        }
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.storedRowCount(), 4);
        QCOMPARE(model.cellText(3, 6), QStringLiteral("姓名4")); // known before the views learn of it
        model.showPendingRows();
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.last().value(1).toInt(), 1);
        QCOMPARE(inserted.last().value(2).toInt(), 3);
        model.showPendingRows(); // nothing new
        model.addRow(5);
        model.endDeferring();
        QCOMPARE(inserted.size(), 3);
        QCOMPARE(model.rowCount(), 5);
        model.addRow(6);
        QCOMPARE(model.rowCount(), 5); // still deferred by the outer one
        model.endDeferring();
        model.endDeferring(); // one too many does no harm
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(reset.size(), 0);

        inserted.clear();
        model.beginBatch();
        model.clearRows();
        model.addRow(10, namedRow(10));
        model.addListedRow(11, QStringLiteral("11"));
        QCOMPARE(model.storedRowCount(), 2);
        model.endBatch();
        QCOMPARE(reset.size(), 1);
        QCOMPARE(inserted.size(), 0);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.cellText(0, 6), QStringLiteral("姓名10"));
        QCOMPARE(model.cellText(1, 0), QStringLiteral("11"));

        model.clearRows();
        QCOMPARE(reset.size(), 2);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.cellText(0, 0), QString());
    }

    // Listed rows read their cells by number, a batch of neighbours at a time, into a bounded cache.
    void listedRowsReadWhatIsAsked() {
        TestDatabase db;
        fillNamed(db, 6000);
        db.exec(QStringLiteral("UPDATE 信访数据 SET 备注 = 'a' || char(13, 10) || 'b  ' WHERE 编号 = 5000"));
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));
        RecordListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setStore(&store);
        model.beginBatch();
        for (int number = 6000; number >= 1; --number) { // any order: the rows keep the order they came in
            model.addListedRow(number, QString::number(number));
        }
        model.endBatch();
        QCOMPARE(model.recordsRead(), 0);

        QCOMPARE(model.cellText(1000, 0), QStringLiteral("5000"));
        QCOMPARE(model.recordsRead(), 0); // the number is known without reading
        QCOMPARE(model.cellText(1000, 6), QStringLiteral("姓名5000"));
        QCOMPARE(model.cellText(1000, 21), QStringLiteral("a\r\nb  "));
        QCOMPARE(model.recordsRead(), RecordListModel::batchRows);
        QCOMPARE(cellsOf(model, 1001), namedRow(4999));
        QCOMPARE(model.recordsRead(), RecordListModel::batchRows);
        QCOMPARE(store.openRecordsetCount(), 0);

        for (int row = 0; row < model.storedRowCount(); ++row) {
            QCOMPARE(model.cellText(row, 6), QStringLiteral("姓名") + QString::number(6000 - row));
            QVERIFY(model.cachedRecordCount() <= RecordListModel::cachedRecords);
        }
        QVERIFY(model.recordsRead() < 7000);
    }

    // What a listed row shows of a record that is not (or no longer) there, or cannot be read.
    void recordsThatAreGone() {
        TestDatabase db;
        fillNamed(db, 200);
        RecordStore store;
        QVERIFY(store.openDatabase(db.path()));
        RecordListModel model;
        model.setStore(&store);
        for (int number = 1; number <= 200; ++number) {
            model.addListedRow(number, QString::number(number));
        }
        model.addListedRow(7, QStringLiteral("007"));            // 编号 read as another text of the same number
        model.addListedRow(9999, QStringLiteral("9999"));        // never was there
        QCOMPARE(model.cellText(0, 6), QStringLiteral("姓名1")); // rows 0 to 63 read
        db.exec(QStringLiteral("DELETE FROM 信访数据 WHERE 编号 IN (2, 150)"));

        QCOMPARE(cellsOf(model, 1), namedRow(2)); // read before it went: the texts last read stay
        QStringList gone(columnCount);
        gone[0] = QStringLiteral("150");
        QCOMPARE(cellsOf(model, 149), gone);
        QCOMPARE(model.rowValue(149), 150);
        QCOMPARE(model.cellText(200, 0), QStringLiteral("007"));
        QCOMPARE(model.cellText(200, 6), QStringLiteral("姓名7"));
        QCOMPARE(model.rowValue(200), 7);
        gone[0] = QStringLiteral("9999");
        QCOMPARE(cellsOf(model, 201), gone);
        const qint64 read = model.recordsRead();
        QCOMPARE(cellsOf(model, 201), gone); // asked for once, not at every repaint
        QCOMPARE(model.recordsRead(), read);

        // Written to, a listed row keeps the texts written and reads nothing more.
        model.setCellText(149, 6, QStringLiteral("改过"));
        QCOMPARE(model.cellText(149, 6), QStringLiteral("改过"));
        QCOMPARE(model.cellText(149, 0), QStringLiteral("150"));

        // Without a store, and with a store whose file is unreadable, the cells are empty and nothing fails.
        RecordListModel alone;
        alone.addListedRow(3, QStringLiteral("3"));
        QCOMPARE(alone.cellText(0, 0), QStringLiteral("3"));
        QCOMPARE(alone.cellText(0, 6), QString());
        RecordStore closed;
        alone.setStore(&closed);
        QCOMPARE(alone.cellText(0, 6), QString());
    }
};

QTEST_MAIN(TestRecordListModel)
#include "test_record_list_model.moc"
