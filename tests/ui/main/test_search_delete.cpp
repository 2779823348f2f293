#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

using Style = messagebox::Style;

const QString hintText = QStringLiteral("在此输入关键字：（可模糊查询）");

QString notFound(const QString& keyword) {
    return QStringLiteral("对不起！没有在数据库中找到 [") + keyword + QStringLiteral("] 的内容！");
}

// Texts of columns 1 to 21, all empty but the ones given (column number → text).
QStringList record(std::initializer_list<std::pair<int, QString>> cells) {
    QStringList v(columnCount - firstTextColumn);
    for (const auto& [column, text] : cells) {
        v[column - firstTextColumn] = text;
    }
    return v;
}

constexpr int nameColumn = 6;     // 来访人姓名
constexpr int phoneColumn = 11;   // 来访人电话
constexpr int addressColumn = 12; // 来访人单位或住址
constexpr int reasonColumn = 15;  // 信访事由

// Five registrations in which only the digits of 3's telephone number and of the numbers themselves
// contain a 1, and only 2's address holds a blank or an apostrophe.
void fillKeywordTable(const TestDatabase& db) {
    db.insert(record({{nameColumn, QStringLiteral("张三")}, {reasonColumn, QStringLiteral("拆迁补偿")}}), 1);
    db.insert(record({{nameColumn, QStringLiteral("李四")}, {addressColumn, QStringLiteral("O'Neil Street 5号")}}), 2);
    db.insert(record({{nameColumn, QStringLiteral("王五")}, {phoneColumn, QStringLiteral("13800000000")}}), 3);
    db.insert(record({{nameColumn, QStringLiteral("赵六")}, {reasonColumn, QStringLiteral("劳动争议")}}), 10);
    db.insert(record({{nameColumn, QStringLiteral("钱七")}}), 21);
}

// Registrations 1 to 5 named 甲 to 戊.
void fillFiveRecords(const TestDatabase& db) {
    const QStringList names = {"甲", "乙", "丙", "丁", "戊"};
    for (int i = 0; i < names.size(); ++i) {
        db.insert(record({{nameColumn, names[i]}}), i + 1);
    }
}

// Column 0 of every row, checked against the row value the commands work with.
QStringList numbers(const RecordList* list) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r) {
        const QString text = list->cellText(r, 0);
        out << (text == QString::number(list->rowValue(r)) ? text : text + QStringLiteral("≠row value"));
    }
    return out;
}

QLineEdit* searchBox(const QWidget* window) {
    return window->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
}
QAbstractButton* button(const QWidget* window, const char* name) {
    return window->findChild<QAbstractButton*>(QString::fromUtf8(name));
}
void clickSearch(const QWidget* window) {
    button(window, "按钮4")->click();
}

// Runs once the next command that lets events run gets to its first gap.
void inFirstGap(QObject* context, std::function<void()> action) {
    QTimer::singleShot(0, context, std::move(action));
}

} // namespace

class TestSearchDelete : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    void keywordSearch_data() {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("boxes");

        const QStringList all = {"1", "2", "3", "10", "21"};
        QTest::newRow("empty keyword keeps the list")
            << true << QString() << all << QStringList{QStringLiteral("请输入查询条件！")};
        QTest::newRow("one blank is searched, not trimmed away") << true << " " << QStringList{"2"} << QStringList();
        QTest::newRow("blanks only") << true << "  " << QStringList() << QStringList{notFound("  ")};
        QTest::newRow("hint never clicked away")
            << false << hintText << QStringList() << QStringList{notFound(hintText)};
        QTest::newRow("% matches everything") << true << "%" << all << QStringList();
        QTest::newRow("_ matches everything") << true << "_" << all << QStringList();
        QTest::newRow("number digits and other columns")
            << true << "1" << QStringList{"1", "3", "10", "21"} << QStringList();
        QTest::newRow("apostrophe") << true << "'" << QStringList{"2"} << QStringList();
        QTest::newRow("name with apostrophe") << true << "O'Neil" << QStringList{"2"} << QStringList();
        QTest::newRow("Chinese text") << true << QStringLiteral("拆迁") << QStringList{"1"} << QStringList();
        QTest::newRow("no match") << true << QStringLiteral("宅基地") << QStringList()
                                  << QStringList{notFound(QStringLiteral("宅基地"))};
    }
    void keywordSearch() {
        QFETCH(bool, typed);
        QFETCH(QString, keyword);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, boxes);
        TestDatabase db;
        fillKeywordTable(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        MainWindow window;
        // Whatever the label says (here a failure text of an entry window), a search leaves it alone.
        window.setCountLabelText(QStringLiteral("保存失败"));
        if (typed) {
            searchBox(&window)->setText(keyword);
        }
        const auto scrollMode = window.recordList()->verticalScrollMode();

        clickSearch(&window);

        QCOMPARE(numbers(window.recordList()), expected);
        QCOMPARE(log.texts(), boxes);
        for (const MessageBoxLog::Shown& box : log.shown) {
            const bool emptyKeyword = keyword.isEmpty();
            QCOMPARE(box.style, emptyKeyword ? Style::Information : Style::Warning);
            QCOMPARE(box.caption, QStringLiteral("错误"));
        }
        QCOMPARE(window.countLabelText(), QStringLiteral("保存失败"));
        QCOMPARE(window.store().openRecordsetCount(), 0);
        QVERIFY(window.recordList()->updatesEnabled());
        QVERIFY(window.recordList()->viewport()->updatesEnabled());
        QCOMPARE(window.recordList()->verticalScrollMode(), scrollMode);
    }

    void emptyKeywordPutsTheCaretInTheSearchBox() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        searchBox(&window)->clear();
        button(&window, "按钮4")->setFocus();
        // A real box takes the activation away from the window and does not give it back.
        QWidget other;
        log.onNextBox([&other] {
            other.show();
            other.activateWindow();
            (void)QTest::qWaitForWindowActive(&other);
        });

        clickSearch(&window);

        QCOMPARE(log.texts(), QStringList{QStringLiteral("请输入查询条件！")});
        QTRY_VERIFY(window.isActiveWindow());
        QTRY_COMPARE(QApplication::focusWidget(), searchBox(&window));
    }

    void searchKeepsTheFocusWhereItWas() {
        TestDatabase db;
        fillKeywordTable(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QAbstractButton* search = button(&window, "按钮4");
        search->setFocus();
        for (const QString& keyword : {QStringLiteral("1"), QStringLiteral("宅基地")}) {
            searchBox(&window)->setText(keyword);
            QTest::mouseClick(search, Qt::LeftButton);
            QCOMPARE(QApplication::focusWidget(), search);
        }
        QCOMPARE(log.texts(), QStringList{notFound(QStringLiteral("宅基地"))});
    }

    void deleteSelected_data() {
        QTest::addColumn<QString>("keyword"); // searched first; empty: the full list is shown
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("listAfter");
        QTest::addColumn<QStringList>("tableAfter");

        const QStringList all = {"1", "2", "3", "10", "21"};
        const QString question = QStringLiteral("删除无法恢复！\r\n您确定要删除吗？");
        QTest::newRow("nothing selected")
            << QString() << -1 << true << QStringList{QStringLiteral("请选择！")} << all << all;
        QTest::newRow("nothing selected in an empty result")
            << QStringLiteral("宅基地") << -1 << true
            << QStringList{notFound(QStringLiteral("宅基地")), QStringLiteral("请选择！")} << QStringList() << all;
        QTest::newRow("answered No") << QString() << 2 << false << QStringList{question} << all << all;
        QTest::newRow("answered Yes on the full list")
            << QString() << 0 << true << QStringList{question} << QStringList{"2", "3", "10", "21"}
            << QStringList{"2", "3", "10", "21"};
        // Row 2 of the result is registration 10: the number, not the position, picks the record.
        QTest::newRow("answered Yes on a search result")
            << QStringLiteral("1") << 2 << true << QStringList{question} << QStringList{"1", "2", "3", "21"}
            << QStringList{"1", "2", "3", "21"};
    }
    void deleteSelected() {
        QFETCH(QString, keyword);
        QFETCH(int, selectedRow);
        QFETCH(bool, answer);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, listAfter);
        QFETCH(QStringList, tableAfter);
        TestDatabase db;
        fillKeywordTable(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        log.answerNextQuestions({answer});
        MainWindow window;
        RecordList* list = window.recordList();
        if (!keyword.isEmpty()) {
            searchBox(&window)->setText(keyword);
            clickSearch(&window);
        }
        if (selectedRow >= 0) {
            list->selectRow(selectedRow);
        }
        window.setCountLabelText(QString());

        button(&window, "超级按钮4")->click();

        QCOMPARE(log.texts(), boxes);
        const MessageBoxLog::Shown& last = log.shown.last();
        QCOMPARE(last.style, selectedRow < 0 ? Style::Error : Style::Question);
        QCOMPARE(last.caption, selectedRow < 0 ? QStringLiteral("错误操作") : QStringLiteral("提示"));
        QCOMPARE(numbers(list), listAfter);
        QStringList table;
        for (const qint64 n : {1, 2, 3, 10, 21}) {
            if (!db.row(n).isEmpty()) {
                table << QString::number(n);
            }
        }
        QCOMPARE(table, tableAfter);
        const bool deleted = selectedRow >= 0 && answer;
        // A refused delete leaves the clerk exactly where they were, selection and label included.
        QCOMPARE(list->currentRow(), deleted ? -1 : selectedRow);
        QCOMPARE(window.countLabelText(), deleted ? QStringLiteral("数据库总量：4条数据") : QString());
    }

    // Enter is bound to the delete command everywhere but on the side panel, also in the search box.
    void enterInTheSearchBoxDeletesInsteadOfSearching_data() {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QString>("box");
        QTest::newRow("nothing selected") << -1 << QStringLiteral("请选择！");
        QTest::newRow("row selected") << 1 << QStringLiteral("删除无法恢复！\r\n您确定要删除吗？");
    }
    void enterInTheSearchBoxDeletesInsteadOfSearching() {
        QFETCH(int, selectedRow);
        QFETCH(QString, box);
        TestDatabase db;
        fillKeywordTable(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        if (selectedRow >= 0) {
            window.recordList()->selectRow(selectedRow);
        }
        QLineEdit* edit = searchBox(&window);
        edit->setFocus();
        edit->setText(QStringLiteral("拆迁"));

        QTest::keyClick(edit, Qt::Key_Return);

        QCOMPARE(log.texts(), QStringList{box});
        QCOMPARE(numbers(window.recordList()), (QStringList{"1", "2", "3", "10", "21"}));
        QCOMPARE(db.count(), 5);
    }

    // The delete question's default button is No: the Enter that runs the delete from the search box, pressed
    // once more, must not remove a record the clerk may not even see selected.
    void enterOnTheDeleteQuestionAnswersNo() {
        TestDatabase db;
        fillKeywordTable(db);
        setRunDirectoryForTesting(db.directory());
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.recordList()->selectRow(1);
        QLineEdit* edit = searchBox(&window);
        edit->setFocus();
        QString question;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QTimer answer;
        connect(&answer, &QTimer::timeout, &window, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                return;
            }
            answer.stop();
            question = box->text();
            defaultButton = box->standardButton(box->defaultButton());
            QTest::keyClick(box, Qt::Key_Return);
        });
        answer.start(20);

        QTest::keyClick(edit, Qt::Key_Return);

        QCOMPARE(question, QStringLiteral("删除无法恢复！\r\n您确定要删除吗？"));
        QCOMPARE(defaultButton, QMessageBox::No);
        QCOMPARE(db.count(), 5);
        QCOMPARE(numbers(window.recordList()), (QStringList{"1", "2", "3", "10", "21"}));
        QCOMPARE(window.recordList()->currentRow(), 1);
    }

    // A command run between two rows of a search runs to its end; the search then adds its remaining rows
    // to the list as that command left it.
    void commandBetweenTwoRowsOfASearch_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("gap");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("tableAfter");

        const QString question = QStringLiteral("删除无法恢复！\r\n您确定要删除吗？");
        QTest::newRow("show all") << "%"
                                  << "show all" << QStringList{"1", "2", "3", "4", "5", "2", "3", "4", "5"}
                                  << QStringList() << QStringLiteral("数据库总量：5条数据") << 5;
        QTest::newRow("delete of the row just listed")
            << "%"
            << "delete" << QStringList{"2", "3", "4", "5", "2", "3", "4", "5"} << QStringList{question}
            << QStringLiteral("数据库总量：4条数据") << 4;
        QTest::newRow("another search") << "%" << QStringLiteral("丙") << QStringList{"3", "2", "3", "4", "5"}
                                        << QStringList() << QString() << 5;
        // A keyword holding a NUL is refused by the store: the inner search fails, and closes nothing of the
        // outer one.
        const QString refused = QStringLiteral("无") + QChar(0) + QStringLiteral("此人");
        QTest::newRow("another search that fails")
            << "%" << refused << QStringList{"2", "3", "4", "5"} << QStringList{notFound(refused)} << QString() << 5;
        QTest::newRow("another search finding nothing")
            << "%" << QStringLiteral("无此人") << QStringList{"2", "3", "4", "5"}
            << QStringList{notFound(QStringLiteral("无此人"))} << QString() << 5;
        // The outer search ends with an empty list: its warning quotes the box as it is then.
        QTest::newRow("both find nothing in the end")
            << QStringLiteral("甲") << QStringLiteral("无此人") << QStringList()
            << QStringList{notFound(QStringLiteral("无此人")), notFound(QStringLiteral("无此人"))} << QString() << 5;
    }
    void commandBetweenTwoRowsOfASearch() {
        QFETCH(QString, keyword);
        QFETCH(QString, gap);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, boxes);
        QFETCH(QString, label);
        QFETCH(int, tableAfter);
        TestDatabase db;
        fillFiveRecords(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        log.answerNextQuestions({true});
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setCountLabelText(QString());
        RecordList* list = window.recordList();
        QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto scrollMode = list->verticalScrollMode();
        int rowsBeforeGap = -1;
        inFirstGap(&window, [&] {
            rowsBeforeGap = list->rowCount();
            if (gap == QLatin1String("show all")) {
                button(&window, "超级按钮2")->click();
            } else if (gap == QLatin1String("delete")) {
                list->selectRow(0);
                button(&window, "超级按钮4")->click();
            } else {
                searchBox(&window)->setText(gap);
                clickSearch(&window);
            }
        });
        searchBox(&window)->setText(keyword);

        clickSearch(&window);

        QCOMPARE(rowsBeforeGap, 1);
        QCOMPARE(numbers(list), expected);
        QCOMPARE(log.texts(), boxes);
        QCOMPARE(window.countLabelText(), label);
        QCOMPARE(db.count(), tableAfter);
        QCOMPARE(window.store().openRecordsetCount(), 0);
        QVERIFY(list->updatesEnabled());
        QVERIFY(list->viewport()->updatesEnabled());
        QCOMPARE(list->verticalScrollMode(), scrollMode);
    }

    // The main window is closed (hidden) or destroyed between two rows: the search stops there quietly.
    void windowGoneDuringASearch_data() {
        QTest::addColumn<bool>("destroyed");
        QTest::newRow("closed") << false;
        QTest::newRow("destroyed") << true;
    }
    void windowGoneDuringASearch() {
        QFETCH(bool, destroyed);
        const bool quitOnClose = QApplication::quitOnLastWindowClosed();
        QApplication::setQuitOnLastWindowClosed(false);
        TestDatabase db;
        fillFiveRecords(db);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog log;
        auto owned = std::make_unique<MainWindow>();
        QPointer<MainWindow> window = owned.get();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto scrollMode = window->recordList()->verticalScrollMode();
        inFirstGap(window, [&] {
            if (destroyed) {
                owned.release()->deleteLater();
            } else {
                window->close();
            }
        });
        searchBox(window)->setText(QStringLiteral("%"));

        clickSearch(window);

        QApplication::setQuitOnLastWindowClosed(quitOnClose);
        QVERIFY(log.shown.isEmpty());
        if (destroyed) {
            QVERIFY(window.isNull()); // gone before the search came back
            return;
        }
        QVERIFY(!window->isVisible());
        QCOMPARE(numbers(window->recordList()), QStringList{"1"});
        QCOMPARE(window->store().openRecordsetCount(), 0);
        QVERIFY(window->recordList()->updatesEnabled());
        QCOMPARE(window->recordList()->verticalScrollMode(), scrollMode);
    }
};

QTEST_MAIN(TestSearchDelete)
#include "test_search_delete.moc"
