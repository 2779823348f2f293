#pragma once

#include <QStringList>

// The commands for a desk in real use, each given the arguments after its name; they print what they
// did and return the tool's exit code (0 done, 1 failed, 2 wrong arguments).
namespace deskcommands {

// backup DIR DEST: a checked copy of DIR/xinfang.mdb, taken while desks may be registering.
int backup(const QStringList& arguments);
// desktop DIR: the desk folder's launcher in the current user's applications menu.
int desktop(const QStringList& arguments);

inline constexpr auto usageText =
    "  xinfang-admin backup DIR DEST\n"
    "                             copy DIR/xinfang.mdb to the new file DEST (or into the\n"
    "                             folder DEST, dated) while desks work, and check the copy\n"
    "  xinfang-admin desktop DIR  add the launcher of the desk folder DIR to this user's\n"
    "                             applications menu\n";

} // namespace deskcommands
