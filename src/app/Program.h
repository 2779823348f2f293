#pragma once

#include <QObject>

#include <memory>

class LoginWindow;
class MainWindow;

// The frame of the process: the login window first, the main window after a successful login. The
// windows live until the program ends, so an entry window can still save after the clerk has closed the
// main window.
class Program : public QObject {
    Q_OBJECT

public:
    Program();
    ~Program() override;

    LoginWindow* loginWindow() const { return m_login.get(); }
    MainWindow* mainWindow() const { return m_main.get(); }

    void start();

private:
    void openMainWindow();

    std::unique_ptr<LoginWindow> m_login;
    std::unique_ptr<MainWindow> m_main;
};

// Start-up: run directory, process state, translations and fonts, the login window, then the event loop
// until no window is left. Gives the exit code.
int runProgram(int argc, char** argv);
