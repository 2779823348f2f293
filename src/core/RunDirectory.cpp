#include "RunDirectory.h"

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
    const QString path = QCoreApplication::applicationDirPath();
    // Every file is found as runDirectory() + separator + name, so a program in a root directory ("/", "C:/")
    // must not keep the separator that the root itself ends with.
    QString withoutSeparator = path;
    if (withoutSeparator.endsWith(QLatin1Char('/'))) {
        withoutSeparator.chop(1);
    }
    directory() = QDir::toNativeSeparators(withoutSeparator);
    QDir::setCurrent(path);
}

void setRunDirectoryForTesting(const QString& directoryPath) {
    directory() = directoryPath;
}

QString runDirectoryFile(const QString& fileName) {
    return runDirectory() + QDir::separator() + fileName;
}
