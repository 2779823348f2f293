#pragma once

#include <QString>

// The directory of the running program file, without a trailing separator. Fixed once at start-up by
// initRunDirectory(), which also makes it the process's current directory.
QString runDirectory();
void initRunDirectory();

// For tests: point runDirectory() at another directory (not the current directory).
void setRunDirectoryForTesting(const QString& directory);

// runDirectory() + the platform separator + fileName.
QString runDirectoryFile(const QString& fileName);
