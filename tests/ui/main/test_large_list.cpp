// The main window over a table far longer than its list: the clerk sees the same rows and cells as on a
// small table, while the list reads the cells of only the rows that are shown or asked for.
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {

// Records numbered 3, 6, 9, … (every third number, so that a row's number is not its position), with
// the record's number in 来访人姓名 and 备注 of two lines ending in blanks.
void fillEveryThird(const TestDatabase& db, int count) {
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO 信访数据 (编号, 日期, 来访人姓名, 备注) "
                           "SELECT 3 * i, '2024年1月' || (i % 28 + 1) || '日', '姓名' || (3 * i), "
                           "'第一行' || char(13, 10) || '第二行 ' || i || '  ' FROM n")
                .arg(count));
}

// What the list should show in row r of a table made by fillEveryThird.
QStringList expectedRow(int row) {
    const int i = row + 1;
    QStringList cells(columnCount);
    cells[0] = QString::number(3 * i);
    cells[1] = QStringLiteral("2024年1月%1日").arg(i % 28 + 1);
    cells[6] = QStringLiteral("姓名%1").arg(3 * i);
    cells[21] = QStringLiteral("第一行\r\n第二行 %1  ").arg(i);
    return cells;
}

QStringList shownRow(const RecordList* list, int row) {
    QStringList cells;
    for (int column = 0; column < columnCount; ++column) {
        cells << list->model()->data(list->model()->index(row, column), Qt::DisplayRole).toString();
    }
    return cells;
}

QStringList listedRow(const RecordList* list, int row) {
    QStringList cells;
    for (int column = 0; column < columnCount; ++column) {
        cells << list->cellText(row, column);
    }
    return cells;
}

// Paints the list as the screen would, now; the model reads the cells the painting asks for.
void paintList(RecordList* list) {
    (void)list->viewport()->grab();
}

QAbstractButton* button(const QWidget* window, const char* name) {
    return window->findChild<QAbstractButton*>(QString::fromUtf8(name));
}

} // namespace

class TestLargeList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }

    void scrollingFarDownShowsTheRightCells() {
        TestDatabase db;
        constexpr int rows = 100000;
        fillEveryThird(db, rows);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        RecordList* list = window.recordList();
        QCOMPARE(list->rowCount(), rows);
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：100000条数据"));
        paintList(list);

        // At the end of the list the view leaves a blank band below the last row, so that its top row stays
        // whole.
        const auto lastShownRow = [&] {
            const int row = list->rowAt(list->viewport()->height() - 1);
            return row >= 0 ? row : list->rowCount() - 1;
        };
        const auto checkShownRows = [&](int expectedTop) {
            paintList(list);
            const int top = list->rowAt(0);
            const int bottom = lastShownRow();
            QCOMPARE(top, expectedTop);
            QVERIFY(bottom > top + 10);
            for (int row = top; row <= bottom; ++row) {
                QCOMPARE(shownRow(list, row), expectedRow(row));
            }
        };
        checkShownRows(0);
        list->scrollTo(list->model()->index(54321, 0), QAbstractItemView::PositionAtTop);
        checkShownRows(54321);
        list->scrollToBottom();
        QVERIFY(list->viewport()->rect().contains(list->visualRect(list->model()->index(rows - 1, 0))));
        checkShownRows(list->rowAt(0));
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() - 3);
        checkShownRows(list->rowAt(0));
        // Only the neighbourhoods of those screens were read, not the table.
        QVERIFY(list->model()->recordsRead() <= 6 * RecordListModel::batchRows);
    }

    // Another desk deletes two records after this desk listed them: one whose cells were already shown, one
    // never shown. Nothing fails; the clerk sees the number, and what this desk had read of it.
    void recordDeletedByAnotherDeskAfterTheListing() {
        TestDatabase db;
        fillEveryThird(db, 300);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        boxes.answerNextQuestions({true});
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        RecordList* list = window.recordList();
        paintList(list);
        db.exec(QStringLiteral("DELETE FROM 信访数据 WHERE 编号 IN (6, 750)")); // rows 1 and 249

        QCOMPARE(listedRow(list, 1), expectedRow(1));
        QStringList gone(columnCount);
        gone[0] = QStringLiteral("750");
        QCOMPARE(listedRow(list, 249), gone);
        list->scrollTo(list->model()->index(249, 0), QAbstractItemView::PositionAtCenter);
        paintList(list);
        QCOMPARE(shownRow(list, 249), gone);
        QCOMPARE(shownRow(list, 250), expectedRow(250));

        // Correcting it says it is gone and keeps the clerk's entries; deleting it deletes nothing else.
        list->selectRow(249);
        button(&window, "超级按钮3")->click();
        const QList<ModificationWindow*> open = visibleWindows<ModificationWindow>();
        QCOMPARE(open.size(), 1);
        QCOMPARE(open.first()->fieldText(0), QStringLiteral("750"));
        QCOMPARE(open.first()->fieldText(6), QString());
        open.first()->setFieldText(6, QStringLiteral("补上的姓名"));
        QTest::mouseClick(open.first()->commandButton(), Qt::LeftButton);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(boxes.shown.first().text.contains(QStringLiteral("已经从数据库中删除")));
        open.first()->close();
        QCOMPARE(db.count(), 298);

        list->selectRow(249);
        button(&window, "超级按钮4")->click();
        QCOMPARE(boxes.shown.size(), 2);
        QCOMPARE(db.count(), 298);
        QCOMPARE(list->rowCount(), 298);
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：298条数据"));
        QCOMPARE(listedRow(list, 248), expectedRow(250)); // record 753, the one after the gone one
        QCOMPARE(listedRow(list, 1), expectedRow(2));
    }

    // The clerk deletes the row a search has just listed, before the search goes on; the window was never
    // shown, so no cell of either list was ever drawn. The rows are those of a small table's search, with
    // the same cells; a record another desk deleted after the search shows its number only.
    void searchInterruptedByADeleteOnAListNeverDrawn() {
        TestDatabase db;
        fillEveryThird(db, 5);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        boxes.answerNextQuestions({true});
        MainWindow window;
        RecordList* list = window.recordList();
        int rowsBeforeGap = -1;
        QTimer::singleShot(0, &window, [&] {
            rowsBeforeGap = list->rowCount();
            list->selectRow(0);
            button(&window, "超级按钮4")->click();
        });
        window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("姓名"));

        button(&window, "按钮4")->click();

        QCOMPARE(rowsBeforeGap, 1);
        QCOMPARE(db.count(), 4);
        QCOMPARE(list->model()->recordsRead(), 0);
        QCOMPARE(list->rowCount(), 8);
        for (int row = 0; row < 8; ++row) {
            QCOMPARE(listedRow(list, row), expectedRow(row % 4 + 1));
        }

        window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("%"));
        button(&window, "按钮4")->click();
        db.exec(QStringLiteral("DELETE FROM 信访数据 WHERE 编号 = 9"));
        QCOMPARE(list->rowCount(), 4);
        QStringList gone(columnCount);
        gone[0] = QStringLiteral("9");
        QCOMPARE(listedRow(list, 1), gone);
        QCOMPARE(listedRow(list, 2), expectedRow(3));
        QCOMPARE(boxes.texts().size(), 1); // the delete's question, and no other box
    }

    // The modification window copies the cells of a row that was never on the screen, exactly.
    void modificationOfARowNeverInView() {
        TestDatabase db;
        fillEveryThird(db, 5000);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        RecordList* list = window.recordList();
        paintList(list);
        list->selectionModel()->select(list->model()->index(4321, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(list->currentRow(), 4321);
        QVERIFY(list->rowAt(0) + 100 < 4321);

        button(&window, "超级按钮3")->click();

        const QList<ModificationWindow*> open = visibleWindows<ModificationWindow>();
        QCOMPARE(open.size(), 1);
        QStringList fields;
        for (int column = 0; column < columnCount; ++column) {
            fields << open.first()->fieldText(column);
        }
        const QStringList expected = expectedRow(4321);
        for (int column = 0; column < columnCount; ++column) {
            if (column != 4) { // 接访人 is a list of the office's receivers, which this table's empty text is not in
                QCOMPARE(fields[column], expected[column]);
            }
        }
        open.first()->close();
        QVERIFY(boxes.shown.isEmpty());
    }
};

QTEST_MAIN(TestLargeList)
#include "test_large_list.moc"
