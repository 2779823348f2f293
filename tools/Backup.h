#pragma once

#include <QString>

#include <cstdint>

namespace provisioning {

struct BackupResult {
    bool ok;
    QString path;      // the copy written (a dated name when the destination is a directory)
    std::int64_t rows; // registrations in the copy
    QString error;     // why it failed; empty otherwise
};

// Copies DIR/xinfang.mdb to destination with SQLite's online backup, so that the copy is the file as it
// stood at one moment even while desks are registering, then reads the copy back with an integrity
// check. A destination that is a directory gets a dated name inside it. An existing file is never
// replaced; the copy is written as DEST.partial and renamed once checked, and removed if it fails.
BackupResult backupDatabase(const QString& dir, const QString& destination);

// Creates a new, empty file that only its owner and group may read and write, whatever the umask. The
// copy holds every registration: people's names, addresses and identity numbers.
bool createPrivateFile(const QString& path, QString& error);

} // namespace provisioning
