#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/ShadowLabel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList columnTexts(const RecordList* list, int column) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r) {
        out << list->cellText(r, column);
    }
    return out;
}

QStringList withFirst(const QString& first) {
    QStringList v(columnCount - 1);
    v[0] = first;
    return v;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    void listsEveryRecordWithItsNumber() {
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("2012年12月4日")), 1);
        db.insert(withFirst(QStringLiteral("第二")), 2);
        db.insert(withFirst(QString()), 5);
        db.exec(QStringLiteral("UPDATE 信访数据 SET 备注 = NULL WHERE 编号 = 5"));
        db.writeSettings(QStringLiteral("[bt]\r\nbiaoti =  \"  某市信访局  \"  \r\n[mc]\r\nmingcheng=横幅\r\n"));
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        QAbstractItemModelTester tester(window.recordList()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        RecordList* list = window.recordList();
        QCOMPARE(columnTexts(list, 0), (QStringList{"1", "2", "5"}));
        QCOMPARE(list->rowValue(2), 5);
        QCOMPARE(list->cellText(0, 1), QStringLiteral("2012年12月4日"));
        QCOMPARE(list->cellText(2, 21), QString());
        QCOMPARE(list->cellText(9, 1), QString());
        QCOMPARE(list->rowValue(-1), 0);
        QCOMPARE(list->currentRow(), -1);
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：3条数据"));
        QCOMPARE(window.windowTitle(), QStringLiteral("  某市信访局  "));
        QCOMPARE(window.findChild<ShadowLabel*>(QStringLiteral("透明标签2"))->text(), QStringLiteral("横幅"));
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(list->model()->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("来仿人职业"));
        QCOMPARE(list->columnWidth(21), 888);
    }

    void emptyTableAndMissingFile() {
        {
            TestDatabase db;
            setRunDirectoryForTesting(db.directory());
            MessageBoxLog boxes;
            MainWindow window;
            QCOMPARE(window.recordList()->rowCount(), 0);
            QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：0条数据"));
            QCOMPARE(window.windowTitle(), QString()); // no set.ini
            QVERIFY(boxes.shown.isEmpty());
        }
        QTemporaryDir empty;
        setRunDirectoryForTesting(empty.path());
        MessageBoxLog boxes;
        MainWindow window;
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("打开数据库失败！")});
        QCOMPARE(boxes.shown[0].caption, QStringLiteral("警告"));
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Warning);
        QCOMPARE(window.countLabelText(), QString());
        window.listAllRecords();
        QCOMPARE(window.countLabelText(), QStringLiteral("数据库总量：0条数据"));
        QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("xinfang.mdb"))));
    }

    // A folder copied from a Windows desk: its files are found whatever their letter case, and nothing is
    // made beside them.
    void filesOfAWindowsFolder() {
        TestDatabase db;
        db.insert(withFirst(QStringLiteral("复制来的")), 1);
        db.writeSettings(QStringLiteral("[bt]\r\nbiaoti=复制的文件夹\r\n"));
        QDir folder(db.directory());
        QVERIFY(folder.rename(QStringLiteral("xinfang.mdb"), QStringLiteral("XINFANG.MDB")));
        QVERIFY(folder.rename(QStringLiteral("set.ini"), QStringLiteral("Set.ini")));
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow window;
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(columnTexts(window.recordList(), 1), QStringList{QStringLiteral("复制来的")});
        QCOMPARE(window.windowTitle(), QStringLiteral("复制的文件夹"));
        QCOMPARE(folder.entryList(QDir::Files), (QStringList{"Set.ini", "XINFANG.MDB"}));
    }

    void clockText_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("expected");
        const QString prefix = QStringLiteral("        当前日期： 2012年12月4日    ");
        QTest::newRow("7:40:07") << QTime(7, 40, 7) << prefix + QStringLiteral("7时40分7秒");
        QTest::newRow("7:40:00") << QTime(7, 40, 0) << prefix + QStringLiteral("7时40分");
        QTest::newRow("7:00:00") << QTime(7, 0, 0) << prefix + QStringLiteral("7时");
        QTest::newRow("midnight") << QTime(0, 0, 0) << prefix;
    }
    void clockText() {
        QFETCH(QTime, time);
        QFETCH(QString, expected);
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        auto* part = window.findChild<QLabel*>(QStringLiteral("状态条1部分0"));
        QCOMPARE(part->text(), QString()); // before the first tick
        window.setClockForTesting([time] { return QDateTime(QDate(2012, 12, 4), time); });
        window.tick();
        QCOMPARE(part->text(), expected);
    }

    void searchBoxEmptiesOnEveryClick() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        QCOMPARE(box->text(), QStringLiteral("在此输入关键字：（可模糊查询）"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        box->setText(QStringLiteral("张"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
    }

    void tabOrderWraps() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QStringList order = {"按钮4",     "编辑框1",   "超级列表框", "超级按钮1",
                                   "超级按钮2", "超级按钮3", "超级按钮4"};
        window.findChild<QWidget*>(order[0])->setFocus();
        QCOMPARE(tabWalk(7), order.mid(1) << order[0]);
        QStringList backwards(order.rbegin(), order.rend());
        QCOMPARE(tabWalk(7, false), backwards);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
