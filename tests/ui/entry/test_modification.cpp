#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

QStringList record(const QString& name, const QString& office = QStringLiteral("人社局")) {
    QStringList v = sampleEntryValues();
    v[5] = name;
    v[18] = office;
    return v;
}

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

// The main window's "修改选中信息" for a row, as the clerk clicks it.
ModificationWindow* clickModify(MainWindow& mainWindow, int row) {
    if (row >= 0) {
        mainWindow.recordList()->selectRow(row);
    } else {
        mainWindow.recordList()->clearSelection();
    }
    mainWindow.findChild<FlatButton*>(QStringLiteral("超级按钮3"))->click();
    const QList<ModificationWindow*> open = visibleWindows<ModificationWindow>();
    return open.size() == 1 ? open.first() : nullptr;
}

void clickSave(ModificationWindow& window) {
    QTest::mouseClick(window.commandButton(), Qt::LeftButton);
}

} // namespace

class TestModification : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }
    void cleanup() {
        for (ModificationWindow* w : visibleWindows<ModificationWindow>()) {
            w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void noSelection() {
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")));
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        processState().selectedRow = 7;
        QVERIFY(!clickModify(mainWindow, -1));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择！")});
        QCOMPARE(boxes.shown[0].caption, QStringLiteral("错误操作"));
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Error);
        QCOMPARE(processState().selectedRow, 7);
    }

    // The fields show the row exactly as the list does, 编号 included, and a combo box shows a text its
    // list does not hold.
    void fieldsShowTheSelectedRow() {
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")), 3);
        db.insert(record(QStringLiteral("乙"), QStringLiteral("自定义单位")), 8);
        db.writeSettings(QStringLiteral("[md]\r\nmingdan1=张一\r\nmingdan2=王二\r\n"));
        setRunDirectoryForTesting(db.directory());
        MainWindow mainWindow;
        ModificationWindow* window = clickModify(mainWindow, 1);
        QVERIFY(window);
        QCOMPARE(processState().selectedRow, 1);
        QCOMPARE(window->windowTitle(), QStringLiteral("修 改 登 记 信 息"));
        for (int column = 0; column < columnCount; ++column) {
            QCOMPARE(window->fieldText(column), mainWindow.recordList()->cellText(1, column));
        }
        QCOMPARE(window->fieldText(0), QStringLiteral("8"));
        QCOMPARE(window->fieldText(19), QStringLiteral("自定义单位"));
        auto* office = qobject_cast<QComboBox*>(window->fieldWidget(19));
        QCOMPARE(office->currentIndex(), -1);
        QComboBox* receivers = window->receiverBox();
        QCOMPARE(receivers->currentText(), QStringLiteral("张科员"));
        QCOMPARE(itemsOf(receivers), (QStringList{"张一", "王二", "", "", "", "", "", "", "", ""}));
        QCOMPARE(window->recordNumber(), 8);
    }

    // Nothing is checked: emptied required fields are stored as empty texts.
    void saveWritesTheRecordBack() {
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")), 1);
        db.insert(record(QStringLiteral("乙")), 2);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        ModificationWindow* window = clickModify(mainWindow, 1);
        QVERIFY(window);
        QStringList changed = record(QStringLiteral("乙改 O'Neil [x] 100%"));
        changed[0] = QString(); // 日期
        changed[2] = QString(); // 接访地点
        changed[4] = QString(); // 来访人数
        changed[16] = QStringLiteral("第一行\r\n第二行𠮷");
        fillEntryForm(*window, changed);
        clickSave(*window);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(db.row(2), changed);
        QCOMPARE(db.row(1), record(QStringLiteral("甲")));
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：2条数据"));
        QCOMPARE(mainWindow.recordList()->cellText(1, 6), changed[5]);
        QVERIFY(!window->isVisible());
    }

    void failedUpdateKeepsTheEdits() {
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")), 1);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        ModificationWindow* window = clickModify(mainWindow, 0);
        QVERIFY(window);
        const QStringList edited = record(QStringLiteral("甲改"));
        fillEntryForm(*window, edited);
        db.exec(QStringLiteral("ALTER TABLE 信访数据 RENAME TO 旧数据"));
        clickSave(*window);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("修改信息：失 败。"));
        QVERIFY(window->isVisible());
        QCOMPARE(entryFormValues(*window), edited);

        db.exec(QStringLiteral("ALTER TABLE 旧数据 RENAME TO 信访数据"));
        clickSave(*window);
        QCOMPARE(db.row(1), edited);
        QVERIFY(!window->isVisible());
    }

    // While the window is open the list can be rebuilt under it; the save still reaches the record the
    // window shows, or tells the clerk that record is gone, and no other record changes.
    void listRebuiltWhileOpen_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("search") << "search";
        QTest::newRow("another row deleted") << "delete other";
        QTest::newRow("another row selected") << "select other";
        QTest::newRow("this row deleted") << "delete this";
    }
    void listRebuiltWhileOpen() {
        QFETCH(QString, meanwhile);
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")), 1);
        db.insert(record(QStringLiteral("乙")), 2);
        db.insert(record(QStringLiteral("丙")), 3);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        ModificationWindow* window = clickModify(mainWindow, 1); // 乙, 编号 2
        QVERIFY(window);
        const QStringList edited = record(QStringLiteral("乙改"));
        fillEntryForm(*window, edited);

        if (meanwhile == QLatin1String("search")) {
            mainWindow.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("丙"));
            mainWindow.findChild<QPushButton*>(QStringLiteral("按钮4"))->click();
            QCOMPARE(mainWindow.recordList()->rowCount(), 1);
        } else if (meanwhile == QLatin1String("select other")) {
            QCOMPARE(clickModify(mainWindow, 2), window); // brought forward, still showing 乙
            QCOMPARE(processState().selectedRow, 2);
            QCOMPARE(entryFormValues(*window), edited);
        } else {
            mainWindow.recordList()->selectRow(meanwhile == QLatin1String("delete this") ? 1 : 0);
            boxes.answerNextQuestions({true});
            mainWindow.deleteSelected();
            QCOMPARE(db.count(), 2);
        }
        boxes.shown.clear();
        clickSave(*window);

        if (meanwhile == QLatin1String("delete this")) {
            QCOMPARE(boxes.shown.size(), 1);
            QVERIFY(boxes.shown[0].text.contains(QStringLiteral("已经从数据库中删除")));
            QVERIFY(window->isVisible());
            QCOMPARE(entryFormValues(*window), edited);
            QCOMPARE(db.row(1), record(QStringLiteral("甲")));
            QCOMPARE(db.row(3), record(QStringLiteral("丙")));
            return;
        }
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(db.row(2), edited);
        if (meanwhile != QLatin1String("delete other")) {
            QCOMPARE(db.row(1), record(QStringLiteral("甲")));
        }
        QCOMPARE(db.row(3), record(QStringLiteral("丙")));
        QVERIFY(!window->isVisible());
    }

    void mainWindowDestroyed() {
        TestDatabase db;
        db.insert(record(QStringLiteral("甲")), 1);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        auto mainWindow = std::make_unique<MainWindow>();
        ModificationWindow* window = clickModify(*mainWindow, 0);
        QVERIFY(window);
        const QStringList edited = record(QStringLiteral("甲改"));
        fillEntryForm(*window, edited);
        mainWindow.reset();
        clickSave(*window);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(boxes.shown[0].text.contains(QStringLiteral("主窗口已关闭")));
        QVERIFY(window->isVisible());
        QCOMPARE(entryFormValues(*window), edited);
        QCOMPARE(db.row(1), record(QStringLiteral("甲")));
    }
};

QTEST_MAIN(TestModification)
#include "test_modification.moc"
