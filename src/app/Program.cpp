#include "Program.h"

#include "LoginWindow.h"
#include "core/RunDirectory.h"
#include "ui/entry/ProcessState.h"
#include "ui/main/MainWindow.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/Resources.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

Program::Program() = default;

Program::~Program() = default;

void Program::start() {
    m_login = std::make_unique<LoginWindow>();
    connect(m_login.get(), &LoginWindow::loggedIn, this, &Program::openMainWindow);
    m_login->show();
}

void Program::openMainWindow() {
    m_main = std::make_unique<MainWindow>();
    m_main->show();
}

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    initRunDirectory();
    resetProcessState();

    // Message box buttons read 确定, 是 and 否.
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslation);
    }
    installFontSubstitutions();
    initResources();
    QApplication::setWindowIcon(programIcon());

    int exitCode = 0;
    {
        Program program;
        program.start();
        exitCode = QApplication::exec();
    }
    resetProcessState(); // the end routine: releases the last insert statement
    return exitCode;
}
