// The whole program at a desk of an office with a shared server: set.ini names the server, and the main
// window lists, registers, corrects, searches and deletes on it as it does on the file beside it.

#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/ServerDatabase.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/ModificationWindow.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int nameColumn = 6; // 来访人姓名

QStringList record(const QString& name) {
    QStringList v = sampleEntryValues();
    v[nameColumn - 1] = name;
    return v;
}

QStringList listedNames(const RecordList* list) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r) {
        out << list->cellText(r, nameColumn);
    }
    return out;
}

QStringList listedNumbers(const RecordList* list) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r) {
        out << list->cellText(r, 0);
    }
    return out;
}

void writeSettings(const QString& directory, const QString& text) {
    QFile file(directory + QStringLiteral("/set.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QStringEncoder gbk("GBK");
    file.write(gbk.encode(text));
}

QAbstractButton* button(const QWidget* window, const char* name) {
    return window->findChild<QAbstractButton*>(QString::fromUtf8(name));
}

} // namespace

class TestServerMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }
    void init() { resetProcessState(); }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<RegistrationWindow*>(w) || qobject_cast<ModificationWindow*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Only a non-empty [db] connection= replaces the file beside the program, and a connection string
    // that fails is reported as the file's failure is: a desk never falls back to a file of its own while
    // the other desks work on the server.
    void connectionKeyChoosesTheDatabase_data() {
        QTest::addColumn<QString>("settings"); // %OTHER%: the connection string of another database
        QTest::addColumn<QStringList>("listed");
        const QStringList beside = {QStringLiteral("文件里的")};
        const QStringList other = {QStringLiteral("另一个库里的")};
        QTest::newRow("no set.ini") << QString() << beside;
        QTest::newRow("other sections only") << "[bt]\r\nbiaoti=信访\r\n[md]\r\nmingdan1=张一\r\n" << beside;
        QTest::newRow("empty key") << "[db]\r\nconnection=\r\n" << beside;
        QTest::newRow("blank key") << "[db]\r\nconnection=   \r\n" << beside;
        QTest::newRow("key in another section") << "[bt]\r\nconnection=%OTHER%\r\n" << beside;
        QTest::newRow("connection string") << "[db]\r\nconnection=%OTHER%\r\n" << other;
        QTest::newRow("quoted, in other letter case") << "[DB]\r\n Connection = \"%OTHER%\" \r\n" << other;
        QTest::newRow("unreachable") << "[db]\r\nconnection=Driver={SQLite3};Database=/nonexistent/x.mdb;NoCreat=1;\r\n"
                                     << QStringList();
        QTest::newRow("no such driver") << "[db]\r\nconnection=Driver={No Such Driver};Server=x;\r\n" << QStringList();
    }
    void connectionKeyChoosesTheDatabase() {
        QFETCH(QString, settings);
        QFETCH(QStringList, listed);
        TestDatabase beside;
        beside.insert(record(QStringLiteral("文件里的")));
        TestDatabase other;
        other.insert(record(QStringLiteral("另一个库里的")));
        if (!settings.isNull()) {
            settings.replace(QStringLiteral("%OTHER%"), RecordStore::connectionStringFor(other.path()));
            beside.writeSettings(settings);
        }
        setRunDirectoryForTesting(beside.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QCOMPARE(listedNames(mainWindow.recordList()), listed);
        QCOMPARE(boxes.texts(), listed.isEmpty() ? QStringList{QStringLiteral("打开数据库失败！")} : QStringList());
        QCOMPARE(beside.count(), 1);
        QCOMPARE(other.count(), 1);
    }

    void wholeProgramOnTheServer() {
        if (!ServerDatabase::available()) {
            QSKIP(ServerDatabase::unavailableReason);
        }
        ServerDatabase server;
        server.insert(record(QStringLiteral("甲")));
        server.insert(record(QStringLiteral("乙")));
        // A desk of a server office has no xinfang.mdb at all.
        QTemporaryDir dir;
        writeSettings(dir.path(), QStringLiteral("[bt]\r\nbiaoti=信访接待\r\n[db]\r\nconnection=") +
                                      server.connectionString() + QStringLiteral("\r\n[md]\r\nmingdan1=张一\r\n"));
        setRunDirectoryForTesting(dir.path());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        RecordList* list = mainWindow.recordList();
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(mainWindow.windowTitle(), QStringLiteral("信访接待"));
        QCOMPARE(listedNames(list), (QStringList{"甲", "乙"}));
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：2条数据"));

        // Register.
        button(&mainWindow, "超级按钮1")->click();
        const QList<RegistrationWindow*> registration = visibleWindows<RegistrationWindow>();
        QCOMPARE(registration.size(), 1);
        QCOMPARE(registration[0]->fieldText(0), QStringLiteral("2")); // proposed from row 0, as on a file
        const QStringList registered = record(QStringLiteral("O'Neil 𠮷"));
        fillEntryForm(*registration[0], registered);
        QTest::mouseClick(registration[0]->commandButton(), Qt::LeftButton);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(server.count(), 3);
        QCOMPARE(server.row(3), registered);
        QCOMPARE(listedNumbers(list), (QStringList{"1", "2", "3"}));
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：3条数据"));

        // Correct the first record; it keeps its place in the list.
        list->selectRow(0);
        button(&mainWindow, "超级按钮3")->click();
        const QList<ModificationWindow*> modification = visibleWindows<ModificationWindow>();
        QCOMPARE(modification.size(), 1);
        QCOMPARE(modification[0]->fieldText(nameColumn), QStringLiteral("甲"));
        QStringList corrected = record(QStringLiteral("甲改 [x] 100%"));
        corrected[16] = QStringLiteral("第一行\r\n第二行");
        fillEntryForm(*modification[0], corrected);
        QTest::mouseClick(modification[0]->commandButton(), Qt::LeftButton);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(server.row(1), corrected);
        QCOMPARE(server.row(2), record(QStringLiteral("乙")));
        QCOMPARE(listedNumbers(list), (QStringList{"1", "2", "3"}));
        QCOMPARE(listedNames(list), (QStringList{"甲改 [x] 100%", "乙", "O'Neil 𠮷"}));

        // Search: ASCII letters without regard to case, the apostrophe as itself.
        auto* searchBox = mainWindow.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        searchBox->setText(QStringLiteral("o'NEIL"));
        button(&mainWindow, "按钮4")->click();
        QCOMPARE(listedNumbers(list), QStringList{"3"});
        searchBox->setText(QStringLiteral("100%"));
        button(&mainWindow, "按钮4")->click();
        QCOMPARE(listedNumbers(list), QStringList{"1"});
        button(&mainWindow, "超级按钮2")->click(); // show all
        QCOMPARE(listedNumbers(list), (QStringList{"1", "2", "3"}));

        // Delete after the confirmation.
        list->selectRow(1);
        boxes.answerNextQuestions({true});
        button(&mainWindow, "超级按钮4")->click();
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Question);
        QCOMPARE(server.count(), 2);
        QVERIFY(server.row(2).isEmpty());
        QCOMPARE(listedNumbers(list), (QStringList{"1", "3"}));
        QCOMPARE(mainWindow.countLabelText(), QStringLiteral("数据库总量：2条数据"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("xinfang.mdb"))));
    }
};

QTEST_MAIN(TestServerMainWindow)
#include "test_server_main_window.moc"
