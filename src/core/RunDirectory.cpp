#include "RunDirectory.h"

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
    return fileIgnoringCase(runDirectory(), fileName);
}

QString fileIgnoringCase(const QString& directoryPath, const QString& fileName) {
    const QString exact = directoryPath + QDir::separator() + fileName;
    if (QFileInfo::exists(exact)) {
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
    return match.isEmpty() ? exact : directoryPath + QDir::separator() + match;
}
