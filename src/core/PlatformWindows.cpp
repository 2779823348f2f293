#include "Platform.h"

#include <windows.h>

#include <vector>

namespace platform {

QString programDirectory() {
    // GetModuleFileNameW(nullptr, …) gives the full path of the program file; it cuts a path longer than
    // the buffer and then returns the buffer's size, so the buffer grows until the path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return QString();
        }
        if (length < buffer.size()) {
            const QString path = QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
            // The directory up to the last backslash; in a drive's root ("C:\xinfang.exe") the root without
            // its backslash ("C:"), so that every file is found as directory + "\" + name.
            return path.left(path.lastIndexOf(QLatin1Char('\\')));
        }
        buffer.resize(buffer.size() * 2);
    }
}

QString fileInDirectory(const QString& directory, const QString& fileName) {
    // One backslash. In Unicode text a backslash is always a backslash, so the GBK rule (a 0x5C that is the
    // second byte of a double-byte character is none) never comes up here.
    return directory + QLatin1Char('\\') + fileName;
}

bool fileNamesIgnoreCase() {
    // NTFS and FAT keep a name's case but match names without regard to it.
    return true;
}

} // namespace platform
