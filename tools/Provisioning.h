#pragma once

#include <QString>

#include <cstdint>

namespace provisioning {

inline constexpr auto databaseFileName = "xinfang.mdb";
inline constexpr auto settingsFileName = "set.ini";

enum class FileState {
    Created,
    LeftAlone, // the file was there already; an office's data and settings are never replaced
    Failed,
};

struct FileResult {
    FileState state;
    QString path;
    QString error; // why it failed; empty otherwise
};

// The files below are readable and writable by their owner and group only (less if the umask says so),
// since they hold petitioners' personal data or say where it is kept.

// The directory dir, made readable, writable and searchable by its owner and group only when it does not
// exist yet (the folders above it as usual); an existing directory is left as it is.
bool createDirectory(const QString& dir);

// An SQLite database holding the empty table 信访数据. The program reaches it through the SQLite ODBC
// driver whatever the file is called.
FileResult createDatabase(const QString& dir);

// set.ini in GBK with CRLF line ends, as the program's settings reader and Windows Notepad both expect.
FileResult createSettings(const QString& dir);

struct DemoResult {
    bool ok;
    std::int64_t firstNumber; // 编号 of the first and the last row added
    std::int64_t lastNumber;
    QString error;
};

// Adds count made-up registrations to an existing database, all or none.
DemoResult addDemoRecords(const QString& dir, std::int64_t count);

} // namespace provisioning
