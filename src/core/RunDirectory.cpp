#include "RunDirectory.h"

#include "Platform.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString& directory() {
    static QString value;
    return value;
}

} // namespace

QString runDirectory() {
    return directory();
}

void initRunDirectory() {
    // Every file is found as runDirectory() + separator + name, so a program in a root directory ("/", "C:\")
    // does not keep the separator that the root itself ends with.
    directory() = platform::programDirectory();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
}

void setRunDirectoryForTesting(const QString& directoryPath) {
    directory() = directoryPath;
}

QString runDirectoryFile(const QString& fileName) {
    return platform::fileInDirectory(runDirectory(), fileName);
}
