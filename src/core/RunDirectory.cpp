#include "RunDirectory.h"

#include "Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
    return fileIgnoringCase(runDirectory(), fileName);
}

QString fileIgnoringCase(const QString& directoryPath, const QString& fileName) {
    const QString exact = platform::fileInDirectory(directoryPath, fileName);
    if (platform::fileNamesIgnoreCase() || QFileInfo::exists(exact)) {
        return exact;
    }
    QString match;
    const QStringList entries =
        QDir(directoryPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0) {
            if (!match.isEmpty()) {
                return exact;
            }
            match = entry;
        }
    }
    return match.isEmpty() ? exact : platform::fileInDirectory(directoryPath, match);
}
