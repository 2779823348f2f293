#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

class FlatButton;
class QLineEdit;
class QPushButton;

// The one fixed account: this text is both the account name and the password.
inline constexpr char loginConstant[] = "qorvu";

// What the login checks found, in the order they run; the first failure ends the check.
enum class LoginCheck {
    Passed,
    AccountEmpty,
    PasswordEmpty,
    AccountWrong,
    PasswordWrong,
};

// Texts are compared exactly: letter case and blanks count, and only the empty text is empty.
LoginCheck checkLogin(const QString& account, const QString& password);

// The first window: a frameless picture with the account and password entries, the login button and a
// close button that ends the program.
class LoginWindow : public QWidget {
    Q_OBJECT

public:
    explicit LoginWindow(QWidget* parent = nullptr);

    void login();

signals:
    // Both entries were right. The receiver opens the main window before this returns.
    void loggedIn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPixmap m_background;
    QLineEdit* m_account = nullptr;
    QLineEdit* m_password = nullptr;
    FlatButton* m_loginButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};
