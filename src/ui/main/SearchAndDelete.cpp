// The keyword search and the delete command of the main window.
#include "MainWindow.h"

void MainWindow::searchByKeyword() {}

void MainWindow::deleteSelected() {}
