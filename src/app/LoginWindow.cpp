#include "LoginWindow.h"

#include "ui/widgets/FlatButton.h"
#include "ui/widgets/KeyboardRules.h"
#include "ui/widgets/MessageBox.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

LoginCheck checkLogin(const QString& account, const QString& password) {
    const QString expected = QString::fromLatin1(loginConstant);
    if (account.isEmpty()) {
        return LoginCheck::AccountEmpty;
    }
    if (password.isEmpty()) {
        return LoginCheck::PasswordEmpty;
    }
    if (account != expected) {
        return LoginCheck::AccountWrong;
    }
    if (password != expected) {
        return LoginCheck::PasswordWrong;
    }
    return LoginCheck::Passed;
}

LoginWindow::LoginWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_background(QStringLiteral(":/login.jpg")) {
    setObjectName(QStringLiteral("LoginWindow"));
    setWindowTitle(QStringLiteral("登陆Quorlan"));
    setFixedSize(522, 278);

    auto entry = [this](const char* name, int top) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromUtf8(name));
        e->setGeometry(215, top, 126, 20);
        e->setFrame(false);
        return e;
    };
    m_account = entry("编辑框1", 130);
    m_password = entry("编辑框2", 169); // deliberately not masked: the clerk sees what was typed

    m_loginButton = new FlatButton(QStringLiteral("登 陆"), this);
    m_loginButton->setObjectName(QStringLiteral("超级按钮1"));
    m_loginButton->setGeometry(349, 130, 75, 60);
    m_loginButton->setFaceColor(QColor(236, 236, 236));
    QPalette pal = m_loginButton->palette();
    pal.setColor(QPalette::ButtonText, Qt::black);
    m_loginButton->setPalette(pal);

    m_closeButton = new QPushButton(this);
    m_closeButton->setObjectName(QStringLiteral("按钮2"));
    m_closeButton->setGeometry(498, 0, 24, 24);
    m_closeButton->setIcon(QIcon(QStringLiteral(":/close.jpg")));
    m_closeButton->setIconSize(QSize(23, 23));
    m_closeButton->setFlat(true);
    m_closeButton->setAutoDefault(false);

    connect(m_loginButton, &FlatButton::clicked, this, &LoginWindow::login);
    // Ends the program at once, whatever else is open.
    connect(m_closeButton, &QPushButton::clicked, this, [] { QCoreApplication::exit(0); });

    KeyboardRules::apply(this, {m_account, m_password, m_closeButton, m_loginButton}, {m_loginButton});
}

void LoginWindow::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void LoginWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_background.isNull()) {
        p.fillRect(rect(), QColor(222, 234, 246));
    } else {
        p.drawPixmap(rect(), m_background);
    }
}

void LoginWindow::login() {
    struct Failure {
        LoginCheck check;
        const char* text;
        QLineEdit* focus;
    };
    const Failure failures[] = {
        {LoginCheck::AccountEmpty, " 请填写帐号！", m_account},
        {LoginCheck::PasswordEmpty, " 请填写密码！", m_password},
        {LoginCheck::AccountWrong, " 帐号出错！", m_account},
        {LoginCheck::PasswordWrong, " 密码错误！", m_password},
    };
    const LoginCheck result = checkLogin(m_account->text(), m_password->text());
    for (const Failure& f : failures) {
        if (f.check == result) {
            messagebox::show(messagebox::Style::Error, QString::fromUtf8(f.text), QStringLiteral("出错了！"));
            activateWindow();
            f.focus->setFocus();
            return;
        }
    }
    emit loggedIn();
    close();
}
