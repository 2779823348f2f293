#pragma once

#include <QString>

// The directory of the running program file, without a trailing separator. Fixed once at start-up by
// initRunDirectory(), which also makes it the process's current directory.
QString runDirectory();
void initRunDirectory();

// For tests: point runDirectory() at another directory (not the current directory).
void setRunDirectoryForTesting(const QString& directory);

// The file of that name in runDirectory(), found as Windows finds it (see fileIgnoringCase).
QString runDirectoryFile(const QString& fileName);

// directory + the platform separator + fileName, where the name is matched the way Windows matches it, so
// that a folder copied from a Windows desk with Set.ini or XINFANG.MDB in it still works: the exact name
// when such an entry exists; otherwise the one entry whose name differs only in letter case; and when
// several differ only in letter case, none of them (the exact path, which does not exist), since picking
// one would be a guess.
QString fileIgnoringCase(const QString& directory, const QString& fileName);
