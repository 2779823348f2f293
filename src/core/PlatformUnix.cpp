#include "Platform.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

QString programDirectory() {
    // Qt reads the program's path from /proc/self/exe. A program in "/" keeps no separator of the root's.
    QString path = QCoreApplication::applicationDirPath();
    if (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

QString fileInDirectory(const QString& directory, const QString& fileName) {
    return directory + QLatin1Char('/') + fileName;
}

bool fileNamesIgnoreCase() {
    return false;
}

} // namespace platform
