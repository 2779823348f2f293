#include "DeskCommands.h"

#include "Backup.h"
#include "Launcher.h"

#include <QDir>

#include <cstdio>

namespace deskcommands {
namespace {

void say(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

int fail(const QString& text, int code = 1) {
    std::fputs(qPrintable(QStringLiteral("xinfang-admin: ") + text + QLatin1Char('\n')), stderr);
    if (code == 2) {
        std::fputs(usageText, stderr);
    }
    return code;
}

} // namespace

int backup(const QStringList& arguments) {
    if (arguments.size() != 2 || arguments[0].isEmpty() || arguments[1].isEmpty()) {
        return fail(QStringLiteral("backup takes a desk folder and where to write the copy"), 2);
    }
    const provisioning::BackupResult result = provisioning::backupDatabase(arguments[0], arguments[1]);
    if (!result.ok) {
        return fail(QStringLiteral("backup failed, nothing written: %1").arg(result.error));
    }
    say(QStringLiteral("Wrote %1: %2 registrations; integrity check ok")
            .arg(QDir::toNativeSeparators(result.path))
            .arg(result.rows));
    return 0;
}

int desktop(const QStringList& arguments) {
    if (arguments.size() != 1 || arguments[0].isEmpty()) {
        return fail(QStringLiteral("desktop takes one desk folder"), 2);
    }
    const provisioning::LauncherResult result = provisioning::registerLauncher(arguments[0]);
    if (!result.ok) {
        return fail(result.error);
    }
    say(QStringLiteral("Wrote %1").arg(QDir::toNativeSeparators(result.path)));
    return 0;
}

} // namespace deskcommands
