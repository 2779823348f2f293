#pragma once

#include <QString>

// What differs between the desks' Windows and the Linux machines the program is built and tested on, in
// one place: the rest of the program is written once for both. PlatformUnix.cpp is compiled on Linux,
// PlatformWindows.cpp (written from Windows' documented behaviour) only on Windows.
namespace platform {

// The directory that holds the running program file, with the platform's own separators and no trailing
// separator, or the empty text when it cannot be told.
QString programDirectory();

// directory + the platform's separator ("\" on Windows, "/" elsewhere) + fileName.
QString fileInDirectory(const QString& directory, const QString& fileName);

// Whether the file system matches file names without regard to case, as Windows' does (a folder copied
// from a Windows desk may bring Set.ini or XINFANG.MDB). Where it does not, finding such a file takes a
// look at the directory's names.
bool fileNamesIgnoreCase();

} // namespace platform
