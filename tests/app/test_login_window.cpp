#include "app/LoginWindow.h"
#include "app/Program.h"
#include "core/RunDirectory.h"
#include "support/TestDatabase.h"
#include "support/UiTestSupport.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

class TestLoginWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareGuiTestApplication(); }

    // The first failing check decides the message and where the focus goes.
    void checks_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("both empty") << ""
                                    << ""
                                    << " 请填写帐号！"
                                    << "编辑框1";
        QTest::newRow("password empty") << "qorvu"
                                        << ""
                                        << " 请填写密码！"
                                        << "编辑框2";
        QTest::newRow("both wrong") << "admin"
                                    << "secret"
                                    << " 帐号出错！"
                                    << "编辑框1";
        QTest::newRow("capitals") << "QORVU"
                                  << "qorvu"
                                  << " 帐号出错！"
                                  << "编辑框1";
        QTest::newRow("leading blank") << " qorvu"
                                       << "qorvu"
                                       << " 帐号出错！"
                                       << "编辑框1";
        QTest::newRow("trailing blank") << "qorvu "
                                        << "qorvu"
                                        << " 帐号出错！"
                                        << "编辑框1";
        QTest::newRow("blanks only") << "   "
                                     << "   "
                                     << " 帐号出错！"
                                     << "编辑框1";
        QTest::newRow("password wrong") << "qorvu"
                                        << "qorvU"
                                        << " 密码错误！"
                                        << "编辑框2";
    }
    void checks() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        MessageBoxLog boxes;
        LoginWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* accountBox = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        auto* passwordBox = window.findChild<QLineEdit*>(QStringLiteral("编辑框2"));
        accountBox->setText(account);
        passwordBox->setText(password);
        bool loggedIn = false;
        connect(&window, &LoginWindow::loggedIn, this, [&] { loggedIn = true; });
        QTest::mouseClick(window.findChild<QAbstractButton*>(QStringLiteral("超级按钮1")), Qt::LeftButton);
        QCOMPARE(boxes.texts(), QStringList{message});
        QCOMPARE(boxes.shown[0].caption, QStringLiteral("出错了！"));
        QCOMPARE(boxes.shown[0].style, messagebox::Style::Error);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(!loggedIn);
        QVERIFY(window.isVisible());
        QCOMPARE(passwordBox->text(), password); // kept, and readable: the entry does not mask
        QCOMPARE(passwordBox->echoMode(), QLineEdit::Normal);
    }

    // Enter in the password entry logs in; the main window opens over the database beside the program
    // and the login window goes.
    void enterLogsIn() {
        TestDatabase db;
        db.insert({QStringLiteral("2012年12月4日")});
        setRunDirectoryForTesting(db.directory());
        MessageBoxLog boxes;
        Program program;
        program.start();
        LoginWindow* login = program.loginWindow();
        QVERIFY(QTest::qWaitForWindowActive(login));
        login->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("qorvu"));
        auto* password = login->findChild<QLineEdit*>(QStringLiteral("编辑框2"));
        password->setFocus();
        QTest::keyClicks(password, QStringLiteral("qorvu"));
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(boxes.shown.isEmpty());
        QVERIFY(program.mainWindow());
        QVERIFY(program.mainWindow()->isVisible());
        QCOMPARE(program.mainWindow()->recordList()->rowCount(), 1);
        QVERIFY(!login->isVisible());

        // The focus starts on the first control of the main window's Tab order, 查询; Enter there runs
        // delete (nothing is selected) and does not open the registration window unseen.
        QVERIFY(QTest::qWaitForWindowActive(program.mainWindow()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("按钮4"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择！")});
        QVERIFY(visibleWindows<RegistrationWindow>().isEmpty());
    }

    // The database cannot be opened: the warning comes while the login window is still on screen.
    void warningWhileLoginStillShown() {
        QTemporaryDir empty;
        setRunDirectoryForTesting(empty.path());
        MessageBoxLog boxes;
        Program program;
        program.start();
        bool loginVisibleDuringWarning = false;
        boxes.onNextBox([&] { loginVisibleDuringWarning = program.loginWindow()->isVisible(); });
        program.loginWindow()->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("qorvu"));
        program.loginWindow()->findChild<QLineEdit*>(QStringLiteral("编辑框2"))->setText(QStringLiteral("qorvu"));
        program.loginWindow()->login();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("打开数据库失败！")});
        QVERIFY(loginVisibleDuringWarning);
        QVERIFY(program.mainWindow()->isVisible());
    }

    // The close button and Esc both end the program normally.
    void endingTheProgram_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close button") << false;
        QTest::newRow("Esc") << true;
    }
    void endingTheProgram() {
        QFETCH(bool, escape);
        Program program;
        program.start();
        LoginWindow* login = program.loginWindow();
        QVERIFY(QTest::qWaitForWindowActive(login));
        QTimer::singleShot(0, login, [&] {
            if (escape) {
                QTest::keyClick(login->findChild<QLineEdit*>(QStringLiteral("编辑框1")), Qt::Key_Escape);
            } else {
                login->findChild<QAbstractButton*>(QStringLiteral("按钮2"))->click();
            }
        });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); }); // a program that never ended
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!login->isVisible() || !escape);
    }

    void tabOrder() {
        LoginWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QStringList order = {"编辑框1", "编辑框2", "按钮2", "超级按钮1"};
        window.findChild<QWidget*>(order[0])->setFocus();
        QCOMPARE(tabWalk(4), (QStringList{"编辑框2", "按钮2", "超级按钮1", "编辑框1"}));
        QCOMPARE(tabWalk(4, false), (QStringList{"超级按钮1", "按钮2", "编辑框2", "编辑框1"}));
    }
};

QTEST_MAIN(TestLoginWindow)
#include "test_login_window.moc"
