#pragma once

#include <QString>

namespace provisioning {

struct LauncherResult {
    bool ok;
    QString path;  // the launcher written into the user's applications folder
    QString error; // why it failed; empty otherwise
};

// Registers the launcher of the desk folder DIR (DIR/xinfang.desktop, as cmake --install leaves it) for
// the current user: a copy in the XDG applications folder ($XDG_DATA_HOME/applications, by default
// ~/.local/share/applications) whose Exec and Icon name DIR's program and icon by absolute path, so that
// a folder copied or moved elsewhere is registered where it is now. Registering again replaces it.
LauncherResult registerLauncher(const QString& dir);

// The Exec value that starts program: quoted and escaped as the desktop entry format asks.
QString execValue(const QString& program);

} // namespace provisioning
