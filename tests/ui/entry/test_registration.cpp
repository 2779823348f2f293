#include "core/DateTimeText.h"
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "store/Statements.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

#include <memory>

namespace {

QStringList listRow(const RecordList* list, int row) {
    QStringList out;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        out << list->cellText(row, column);
    }
    return out;
}

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

QList<RegistrationWindow*> registrationWindows() {
    return visibleWindows<RegistrationWindow>();
}

// The main window's "登记信访信息", as the clerk clicks it.
RegistrationWindow* clickRegister(MainWindow& mainWindow) {
    mainWindow.findChild<FlatButton*>(QStringLiteral("超级按钮1"))->click();
    const QList<RegistrationWindow*> open = registrationWindows();
    return open.size() == 1 ? open.first() : nullptr;
}

void clickAdd(RegistrationWindow& window) {
    QTest::mouseClick(window.commandButton(), Qt::LeftButton);
}

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    // Each test is a fresh run of the program.
    void init() { resetProcessState(); }

    void cleanup() {
        for (RegistrationWindow* w : registrationWindows()) {
            w->close();
        }
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void provisionalNumber_data() {
        QTest::addColumn<QList<qint64>>("numbers"); // 编号 of the listed records
        QTest::addColumn<int>("newRow");
        QTest::addColumn<QString>("expected");
        QTest::newRow("12 gives 13") << QList<qint64>{12} << 0 << "13";
        QTest::newRow("99 gives 100") << QList<qint64>{99} << 0 << "100";
        QTest::newRow("empty list") << QList<qint64>{} << 0 << "1";
        QTest::newRow("first opening of a run: row 0, not the last") << QList<qint64>{1, 5, 9} << 0 << "2";
        QTest::newRow("after a registration listed at row 2") << QList<qint64>{1, 5, 9} << 2 << "10";
        QTest::newRow("that row deleted since") << QList<qint64>{1} << 3 << "1";
    }
    void provisionalNumber() {
        QFETCH(QList<qint64>, numbers);
        QFETCH(int, newRow);
        QFETCH(QString, expected);
        TestDatabase db;
        for (qint64 n : numbers) {
            db.insert({}, n);
        }
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        processState().newRow = newRow;
        const QString dayBefore = datePart();
        RegistrationWindow* window = clickRegister(mainWindow);
        const QString dayAfter = datePart();
        QVERIFY(window);
        QCOMPARE(window->fieldText(0), expected);
        QVERIFY(window->fieldText(1) == dayBefore || window->fieldText(1) == dayAfter);
        QCOMPARE(window->fieldText(3), QStringLiteral("信访局"));
        QCOMPARE(window->pos(), QPoint(250, 120));
        QVERIFY(boxes.shown.isEmpty());
    }

    void receivers_data() {
        QTest::addColumn<bool>("withSettings");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("set.ini missing") << false << QString() << QStringList(5, QString());
        QTest::newRow("all five") << true
                                  << "[md]\r\nmingdan1=张一\r\nmingdan2=李二\r\nmingdan3=王三\r\n"
                                     "mingdan4=赵四\r\nmingdan5=钱五\r\n"
                                  << QStringList{"张一", "李二", "王三", "赵四", "钱五"};
        QTest::newRow("mingdan3 missing, mingdan5 empty")
            << true << "[md]\r\nmingdan1=张一\r\nmingdan2=李二\r\nmingdan4=赵四\r\nmingdan5=\r\n"
            << QStringList{"张一", "李二", "", "赵四", ""};
        QTest::newRow("other section only") << true << "[mc]\r\nmingdan1=张一\r\n" << QStringList(5, QString());
    }
    void receivers() {
        QFETCH(bool, withSettings);
        QFETCH(QString, settings);
        QFETCH(QStringList, items);
        TestDatabase db;
        if (withSettings) {
            db.writeSettings(settings);
        }
        setRunDirectoryForTesting(db.directory());
        MainWindow mainWindow;
        RegistrationWindow* window = clickRegister(mainWindow);
        QVERIFY(window);
        QCOMPARE(itemsOf(window->receiverBox()), items);
        // The field still opens empty: no name is proposed.
        QCOMPARE(window->fieldText(4), QString());
        QCOMPARE(window->receiverBox()->currentIndex(), -1);
    }

    // The modification window fills its list the same way, after the record's receiver has been put into
    // the box and above the five empty items of its layout.
    void receiversAboveExistingItemsKeepTheText() {
        TestDatabase db;
        db.writeSettings(QStringLiteral("[md]\r\nmingdan1=张一\r\nmingdan2=李二\r\n"));
        setRunDirectoryForTesting(db.directory());
        EntryForm form({QStringLiteral("修 改 登 记 信 息"), QStringLiteral("修 改 数 据"), QString(), 5, 59});
        form.setFieldText(4, QStringLiteral("已调走的人"));
        fillReceivers(form);
        QCOMPARE(itemsOf(form.receiverBox()), (QStringList{"张一", "李二", "", "", "", "", "", "", "", ""}));
        QCOMPARE(form.fieldText(4), QStringLiteral("已调走的人"));
        QCOMPARE(form.receiverBox()->currentIndex(), -1);
    }

    void requiredFields() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        RegistrationWindow* window = clickRegister(mainWindow);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->setFieldText(1, QString());
        window->setFieldText(3, QString());

        struct Step {
            int fillColumn; // filled before the click; -1 for none
            const char* focusAfter;
        };
        const Step steps[] = {{-1, "编辑框4"}, {5, "编辑框2"}, {1, "编辑框3"}};
        for (const Step& step : steps) {
            if (step.fillColumn >= 0) {
                window->setFieldText(step.fillColumn, QStringLiteral("1"));
            }
            window->findChild<QWidget*>(QStringLiteral("编辑框13"))->setFocus();
            boxes.shown.clear();
            // A real box takes the activation away from the entry window while it is open.
            bool activationTaken = false;
            boxes.onNextBox([&] {
                mainWindow.activateWindow();
                activationTaken = QTest::qWaitFor([&] { return QApplication::activeWindow() == &mainWindow; });
            });
            clickAdd(*window);
            QVERIFY(activationTaken);
            QCOMPARE(boxes.texts(), QStringList{QStringLiteral("   请填写完整资料！")});
            QCOMPARE(boxes.shown[0].caption, QStringLiteral("出错了"));
            QCOMPARE(boxes.shown[0].style, messagebox::Style::Error);
            QTRY_COMPARE(QApplication::activeWindow(), window);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromUtf8(step.focusAfter));
            QVERIFY(window->isVisible());
            QCOMPARE(db.count(), 0);
            QCOMPARE(processState().lastInsertStatement, QString());
        }

        // Blanks are a value.
        window->setFieldText(3, QStringLiteral(" "));
        boxes.shown.clear();
        clickAdd(*window);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(db.count(), 1);
        QCOMPARE(db.row(1).value(2), QStringLiteral(" "));
    }

    void successfulRegistration() {
        TestDatabase db;
        db.insert({QStringLiteral("旧一")}, 1);
        db.insert({QStringLiteral("旧二")}, 2);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QPointer<RegistrationWindow> window = clickRegister(mainWindow);
        QVERIFY(window);
        QCOMPARE(window->fieldText(0), QStringLiteral("2"));
        const QStringList values = sampleEntryValues();
        fillEntryForm(*window, values);
        clickAdd(*window);

        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(db.count(), 3);
        QCOMPARE(db.row(3), values);
        RecordList* list = mainWindow.recordList();
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->cellText(2, 0), QStringLiteral("3")); // as read back, with the database's 编号
        QCOMPARE(list->rowValue(2), 3);
        QCOMPARE(listRow(list, 2), values);
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：3条数据"));
        QCOMPARE(processState().lastInsertStatement, statements::insert(values));
        QCOMPARE(processState().newRow, 2);
        QVERIFY(!window->isVisible());
        QTRY_VERIFY(window.isNull());

        // The next opening is a fresh window proposing the number after the new record.
        RegistrationWindow* next = clickRegister(mainWindow);
        QVERIFY(next);
        QCOMPARE(next->fieldText(0), QStringLiteral("4"));
        QCOMPARE(next->fieldText(5), QString());
        QCOMPARE(next->fieldText(3), QStringLiteral("信访局"));
    }

    void awkwardValuesRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("multiLineOnly");
        QTest::newRow("single quote") << "O'Neil 的 '诉求'" << false;
        QTest::newRow("statement in a value") << "x'); delete from 信访数据; --" << false;
        QTest::newRow("brackets") << "[信访数据] ]x[" << false;
        QTest::newRow("wildcards") << "100% _ *" << false;
        QTest::newRow("outside GBK") << "𠮷野 䶮" << false;
        QTest::newRow("longer than a line edit's default limit") << QString(33000, u'长') + u'尾' << false;
        QTest::newRow("line breaks") << "第一行\r\n\r\n第三行\r\n" << true;
    }
    void awkwardValuesRoundTrip() {
        QFETCH(QString, value);
        QFETCH(bool, multiLineOnly);
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        RegistrationWindow* window = clickRegister(mainWindow);
        QVERIFY(window);
        QStringList values;
        for (int column = firstTextColumn; column < columnCount; ++column) {
            const bool multiLine =
                EntryForm::fields()[static_cast<std::size_t>(column)].kind == EntryField::Kind::MultiLine;
            values << (multiLine || !multiLineOnly ? value : QStringLiteral("1"));
        }
        fillEntryForm(*window, values);
        QCOMPARE(entryFormValues(*window), values);
        clickAdd(*window);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(db.count(), 1);
        QCOMPARE(db.row(1), values);
        QCOMPARE(listRow(mainWindow.recordList(), 0), values);
    }

    void secondClickBringsTheOpenWindowForward() {
        TestDatabase db;
        db.insert({}, 7);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        RegistrationWindow* window = clickRegister(mainWindow);
        QVERIFY(window);
        window->setFieldText(1, QStringLiteral("2012年12月3日"));
        window->setFieldText(6, QStringLiteral("张三"));
        window->setFieldText(15, QStringLiteral("自己写的事由"));
        const QStringList entries = entryFormValues(*window);
        window->setWindowState(Qt::WindowMinimized);
        db.insert({QStringLiteral("别处登记的")});

        QCOMPARE(clickRegister(mainWindow), window);
        QVERIFY(!(window->windowState() & Qt::WindowMinimized));
        QCOMPARE(window->fieldText(0), QStringLiteral("8"));
        QCOMPARE(entryFormValues(*window), entries);
        QCOMPARE(mainWindow.recordList()->rowCount(), 2);
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：2条数据"));
        QCOMPARE(itemsOf(window->receiverBox()).size(), 5); // no second filling
    }

    void closedWindowOpensAfresh_data() {
        QTest::addColumn<bool>("byEsc");
        QTest::newRow("Esc") << true;
        QTest::newRow("close box") << false;
    }
    void closedWindowOpensAfresh() {
        QFETCH(bool, byEsc);
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QPointer<RegistrationWindow> window = clickRegister(mainWindow);
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->setFieldText(6, QStringLiteral("张三"));
        window->focusField(6);
        if (byEsc) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else {
            window->close();
        }
        QVERIFY(!window->isVisible());
        // Opened again before the closed one has been deleted.
        RegistrationWindow* again = clickRegister(mainWindow);
        QVERIFY(again);
        QVERIFY(again != window);
        QCOMPARE(again->fieldText(6), QString());
        QCOMPARE(db.count(), 0);
        QVERIFY(boxes.shown.isEmpty());
    }

    void failedInsertKeepsWindowAndEntries_data() {
        QTest::addColumn<QString>("breakSql");
        QTest::addColumn<QString>("repairSql");
        QTest::newRow("table renamed") << "ALTER TABLE 信访数据 RENAME TO 旧数据"
                                       << "ALTER TABLE 旧数据 RENAME TO 信访数据";
        QTest::newRow("insert refused") << "CREATE TRIGGER refuse BEFORE INSERT ON 信访数据 "
                                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
                                        << "DROP TRIGGER refuse";
    }
    void failedInsertKeepsWindowAndEntries() {
        QFETCH(QString, breakSql);
        QFETCH(QString, repairSql);
        TestDatabase db;
        db.insert({}, 4);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        RegistrationWindow* window = clickRegister(mainWindow);
        QVERIFY(window);
        const QStringList values = sampleEntryValues();
        fillEntryForm(*window, values);
        db.exec(breakSql);
        clickAdd(*window);

        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("添加信息：失 败。"));
        QVERIFY(window->isVisible());
        QCOMPARE(entryFormValues(*window), values);
        QCOMPARE(processState().lastInsertStatement, statements::insert(values));
        QCOMPARE(processState().newRow, 0);
        QCOMPARE(mainWindow.recordList()->rowCount(), 1);

        // Corrected and clicked again: a new statement, and this time it runs.
        db.exec(repairSql);
        window->setFieldText(6, QStringLiteral("李四改"));
        QStringList corrected = values;
        corrected[5] = QStringLiteral("李四改");
        clickAdd(*window);
        QCOMPARE(processState().lastInsertStatement, statements::insert(corrected));
        QCOMPARE(db.row(5), corrected);
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：2条数据"));
        QCOMPARE(processState().newRow, 1);
        QVERIFY(!window->isVisible());
    }

    void withoutAVisibleMainWindow_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("closed by the clerk: still saves") << "closed";
        QTest::newRow("closed, and the insert fails: a box says so") << "closed, failing";
        QTest::newRow("destroyed: refuses and keeps the entries") << "destroyed";
    }
    void withoutAVisibleMainWindow() {
        QFETCH(QString, situation);
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        auto mainWindow = std::make_unique<MainWindow>();
        mainWindow->show();
        RegistrationWindow* window = clickRegister(*mainWindow);
        QVERIFY(window);
        const QStringList values = sampleEntryValues();
        fillEntryForm(*window, values);
        mainWindow->close();
        if (situation == QLatin1String("destroyed")) {
            mainWindow.reset();
        }
        if (situation == QLatin1String("closed, failing")) {
            db.exec(QStringLiteral("ALTER TABLE 信访数据 RENAME TO 旧数据"));
        }
        clickAdd(*window);

        if (situation == QLatin1String("closed")) {
            QVERIFY(boxes.shown.isEmpty());
            QCOMPARE(db.row(1), values);
            QCOMPARE(mainWindow->countLabelText(), QStringLiteral("数据库总量：1条数据"));
            QVERIFY(!window->isVisible());
            return;
        }
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Error);
        QVERIFY(boxes.shown[0].text.contains(situation == QLatin1String("destroyed") ? QStringLiteral("主窗口已关闭")
                                                                                     : QStringLiteral("失 败")));
        QVERIFY(window->isVisible());
        QCOMPARE(entryFormValues(*window), values);
    }
};

QTEST_MAIN(TestRegistration)
#include "test_registration.moc"
