#include "Launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace provisioning {
namespace {

constexpr auto launcherName = "xinfang.desktop";

// Every value of a desktop entry file takes its backslashes doubled.
QString escapedValue(QString text) {
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
}

} // namespace

QString execValue(const QString& program) {
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
        if (c == QLatin1Char('%')) {
            quoted += c; // a lone % would start a field code such as %f
        }
    }
    return escapedValue(QLatin1Char('"') + quoted + QLatin1Char('"'));
}

LauncherResult registerLauncher(const QString& dir) {
    LauncherResult result{false, {}, {}};
    const QString folder = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    const QString program = folder + QStringLiteral("/xinfang");
    const QString icon = folder + QStringLiteral("/xinfang.png");
    // A line break in a value would end it; the launcher could not name such a folder.
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) {
        result.error = QStringLiteral("a launcher cannot name a folder whose name holds a line break");
        return result;
    }
    if (!QFileInfo(program).isExecutable()) {
        result.error =
            QStringLiteral("%1 has no program xinfang; install it there with: cmake --install build --prefix %1")
                .arg(QDir::toNativeSeparators(folder));
        return result;
    }
    QFile source(folder + QLatin1Char('/') + QLatin1String(launcherName));
    if (!source.open(QIODevice::ReadOnly)) {
        result.error =
            QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(source.fileName()), source.errorString());
        return result;
    }
    QStringList lines = QString::fromUtf8(source.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec="))) {
            line = QStringLiteral("Exec=") + execValue(program);
        } else if (line.startsWith(QLatin1String("Icon="))) {
            line = QStringLiteral("Icon=") + escapedValue(icon);
        }
    }

    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (applications.isEmpty() || !QDir().mkpath(applications)) {
        result.error = QStringLiteral("cannot create the applications folder %1").arg(applications);
        return result;
    }
    result.path = applications + QLatin1Char('/') + QLatin1String(launcherName);
    QSaveFile target(result.path);
    const QByteArray bytes = lines.join(QLatin1Char('\n')).toUtf8();
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() || !target.commit()) {
        result.error = QStringLiteral("cannot write %1: %2").arg(result.path, target.errorString());
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace provisioning
