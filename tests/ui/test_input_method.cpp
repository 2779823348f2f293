// Typing Chinese through a real pinyin input method (ibus or fcitx5), with real X key presses and mouse
// clicks sent by xdotool, so that every key goes through the input method before the program sees it.
// Run by input-method-session.sh, which gives the test its own X server, D-Bus session and daemon.

#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/EntryForm.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/FlatButton.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int waitMs = 10000;

constexpr int nameColumn = 6;        // 来访人姓名, 编辑框5
constexpr int occupationColumn = 10; // 来访人职业, 编辑框7
constexpr int phoneColumn = 11;      // 来访人电话, 编辑框8
constexpr int addressColumn = 12;    // 来访人单位或住址, 编辑框9
constexpr int handlingColumn = 18;   // 处理情况, 编辑框12

// The preedit text the input method shows, as the fields receive it.
class Composition : public QObject {
public:
    Composition() { qApp->installEventFilter(this); }

    QString preedit; // underlined text in the focused field, empty when no composition is open
    int updates = 0; // input-method events that showed preedit text

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::InputMethod) {
            preedit = static_cast<QInputMethodEvent*>(event)->preeditString();
            updates += preedit.isEmpty() ? 0 : 1;
        }
        return false;
    }
};

// Runs xdotool, whose key presses and clicks reach the X server as a keyboard's and a mouse's do; the
// program's event loop runs meanwhile.
bool xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    return process.waitForStarted(waitMs) &&
           QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, waitMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool press(const char* keyName) {
    return xdotool({QStringLiteral("key"), QString::fromLatin1(keyName)});
}

// Types pinyin letter by letter, each time waiting until the input method has shown it.
bool compose(Composition& composition, const QString& letters) {
    for (QChar letter : letters) {
        const int before = composition.updates;
        if (!xdotool({QStringLiteral("key"), QString(letter)}) ||
            !QTest::qWaitFor([&] { return composition.updates > before; }, waitMs)) {
            return false;
        }
    }
    return true;
}

// A left click in the middle of a widget, through the X server.
bool click(QWidget* widget) {
    const QPoint p = widget->mapToGlobal(widget->rect().center());
    return xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

// Clicks a field and waits until it has the keyboard focus.
bool clickInto(QWidget* field) {
    return click(field) && QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, waitMs);
}

bool activate(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitForWindowActive(window, waitMs);
}

// The framework that input-method-session.sh started: "ibus" or "fcitx5".
QByteArray framework() {
    return qgetenv("XINFANG_IM_FRAMEWORK");
}

QLineEdit* lineEdit(const EntryForm& form, int column) {
    return qobject_cast<QLineEdit*>(form.fieldWidget(column));
}

} // namespace

class TestInputMethod : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("XINFANG_IM_SKIP")) {
            QSKIP(qPrintable(QStringLiteral("input method: ") + qEnvironmentVariable("XINFANG_IM_SKIP")));
        }
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        prepareGuiTestApplication();
        qInfo("input method: %s", framework().constData());
    }

    void init() { resetProcessState(); }

    void cleanup() {
        for (RegistrationWindow* w : visibleWindows<RegistrationWindow>()) {
            w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Every kind of key that ends or interrupts a composition in the registration window, and then a save:
    // the record holds exactly what the fields showed.
    void registrationWindow() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QPointer<RegistrationWindow> window = openRegistrationWindow(mainWindow);
        QVERIFY(window && activate(window));
        window->setFieldText(entrycolumn::visitors, QStringLiteral("1"));
        Composition composition;

        // Enter while composing gives the letters and stores nothing.
        QVERIFY(clickInto(lineEdit(*window, occupationColumn)));
        QVERIFY(compose(composition, QStringLiteral("zhang")));
        QVERIFY(press("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(window->fieldText(occupationColumn), QStringLiteral("zhang"), waitMs);
        QVERIFY(composition.preedit.isEmpty());

        // Esc while composing cancels the composition and leaves the window open; a click elsewhere then
        // adds nothing to the field.
        QVERIFY(clickInto(lineEdit(*window, addressColumn)));
        QVERIFY(compose(composition, QStringLiteral("nihao")));
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
        QVERIFY(clickInto(lineEdit(*window, handlingColumn)));
        // Space commits the first candidate. Composing here also lets anything the input method still had
        // for the field left arrive first.
        QVERIFY(compose(composition, QStringLiteral("nihao")));
        QVERIFY(press("space"));
        QTRY_COMPARE_WITH_TIMEOUT(window->fieldText(handlingColumn), QStringLiteral("你好"), waitMs);
        QCOMPARE(window->fieldText(addressColumn), QString());
        QVERIFY(window->isVisible());

        // Tab while composing stays with the input method: the focus stays in the field.
        QLineEdit* phone = lineEdit(*window, phoneColumn);
        QVERIFY(clickInto(phone));
        QVERIFY(compose(composition, QStringLiteral("nihao")));
        QVERIFY(press("Tab"));
        if (framework() == "ibus") {
            // libpinyin turns the candidates' page and hides the composition (no panel shows it), which is
            // then dropped: the field shows nothing and gets nothing.
            QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
            QVERIFY(compose(composition, QStringLiteral("zhang")));
        } else {
            // fcitx5 keeps the composition open; the next letter joins it.
            QVERIFY(compose(composition, QStringLiteral("a")));
            QCOMPARE(QString(composition.preedit).remove(QLatin1Char(' ')), QStringLiteral("nihaoa"));
        }
        QCOMPARE(QApplication::focusWidget(), phone);
        QCOMPARE(phone->text(), QString());

        // A click elsewhere while composing: the framework commits the composition or drops it, and the
        // field keeps what it showed or nothing.
        const QString shownAtClick = composition.preedit;
        QLineEdit* name = lineEdit(*window, nameColumn);
        QVERIFY(clickInto(name));
        QVERIFY(compose(composition, QStringLiteral("nihao"))); // lets a late commit for the phone arrive
        QVERIFY2(phone->text().isEmpty() || phone->text() == shownAtClick, qPrintable(phone->text()));
        qInfo("a click while '%s' was composed left '%s'", qPrintable(shownAtClick), qPrintable(phone->text()));

        // A composition cancelled with Esc, then "添 加 数 据" clicked.
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
        QCOMPARE(window->fieldText(nameColumn), QString());
        QCOMPARE(db.count(), 0);

        const QStringList shown = entryFormValues(*window);
        QVERIFY(click(window->commandButton()));
        QTRY_VERIFY_WITH_TIMEOUT(!window || !window->isVisible(), waitMs);
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(db.count(), 1);
        QCOMPARE(db.row(mainWindow.recordList()->rowValue(processState().newRow)), shown);
    }

    // Esc closes the registration window only when no composition is open.
    void escapeClosesRegistrationWindow() {
        TestDatabase db;
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        QPointer<RegistrationWindow> window = openRegistrationWindow(mainWindow);
        QVERIFY(window && activate(window));
        Composition composition;
        QVERIFY(clickInto(lineEdit(*window, nameColumn)));
        QVERIFY(compose(composition, QStringLiteral("zhang")));
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
        QVERIFY(window->isVisible());
        QCOMPARE(window->fieldText(nameColumn), QString());
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(!window || !window->isVisible(), waitMs);
        QCOMPARE(boxes.texts(), QStringList());
    }

    // The search box: Enter while composing neither deletes nor searches, Enter afterwards runs the delete
    // command; a cancelled composition is not searched for; a committed one is.
    void searchBox() {
        TestDatabase db;
        db.insert({QString(), QString(), QString(), QString(), QString(), QStringLiteral("张三")}, 1);
        db.insert({QString(), QString(), QString(), QString(), QString(), QStringLiteral("你好")}, 2);
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        MainWindow mainWindow;
        mainWindow.show();
        QVERIFY(activate(&mainWindow));
        auto* box = mainWindow.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        auto* searchButton = mainWindow.findChild<QPushButton*>(QStringLiteral("按钮4"));
        RecordList* list = mainWindow.recordList();
        QCOMPARE(list->rowCount(), 2);
        list->selectRow(0);
        Composition composition;

        QVERIFY(clickInto(box)); // the click empties the box of its hint
        QVERIFY(compose(composition, QStringLiteral("zhang")));
        QVERIFY(press("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), QStringLiteral("zhang"), waitMs);
        // Without a composition Enter runs the delete command (answered No).
        QVERIFY(press("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.shown.size(), 1, waitMs);
        QCOMPARE(boxes.shown.first().style, messagebox::Style::Question);
        // Esc while composing keeps the main window open; the keys in between let a late Enter show.
        QVERIFY(compose(composition, QStringLiteral("nihao")));
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
        QVERIFY(mainWindow.isVisible());
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(box->text(), QStringLiteral("zhang"));
        QCOMPARE(db.count(), 2);

        // A cancelled composition in the empty box, then "查询": nothing to search for.
        QVERIFY(clickInto(box));
        QVERIFY(compose(composition, QStringLiteral("zhang")));
        QVERIFY(press("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(composition.preedit.isEmpty(), waitMs);
        QVERIFY(click(searchButton));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.shown.size(), 2, waitMs);
        QCOMPARE(boxes.shown.last().text, QStringLiteral("请输入查询条件！"));
        QCOMPARE(box->text(), QString());

        // Space commits; "查询" finds the record.
        QVERIFY(clickInto(box));
        QVERIFY(compose(composition, QStringLiteral("nihao")));
        QVERIFY(press("space"));
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), QStringLiteral("你好"), waitMs);
        QVERIFY(click(searchButton));
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 1, waitMs);
        QCOMPARE(list->cellText(0, nameColumn), QStringLiteral("你好"));
        QCOMPARE(boxes.shown.size(), 2);
    }
};

QTEST_MAIN(TestInputMethod)
#include "test_input_method.moc"
