#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// What an office does with the program: install it into a desk folder and start it from there, register
// its launcher, and install the Debian package. Real cmake, cpack and dpkg-deb runs on this build.
class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void installMakesADeskFolder();
    void launcherStartsTheInstalledProgram();
    void programStartsFromTheDeskFolder();
    void packageHoldsTheFolderLauncherAndDependencies();

private:
    QTemporaryDir m_temp;
    // A folder name that needs every kind of quoting in a launcher.
    QString m_folder = m_temp.filePath(QStringLiteral("信访 desk \"$HOME\" 100%"));
};

namespace {

struct Run {
    int exitCode = -1;
    QString out;
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("%1 did not finish").arg(program)};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// key → value of the [Desktop Entry] group, values unescaped (\\ \s \n \t \r).
QHash<QString, QString> desktopEntry(const QString& path) {
    QHash<QString, QString> entry;
    for (const QString& line : QString::fromUtf8(readBytes(path)).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            continue;
        }
        QString value;
        const QString raw = line.mid(equals + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == QLatin1Char('s')   ? QChar(u' ')
                         : next == QLatin1Char('n') ? QChar(u'\n')
                         : next == QLatin1Char('t') ? QChar(u'\t')
                         : next == QLatin1Char('r') ? QChar(u'\r')
                                                    : next;
            } else {
                value += raw[i];
            }
        }
        entry.insert(line.left(equals), value);
    }
    return entry;
}

// The program an Exec value starts, read as a desktop would: a quoted word with \" \` \$ \\ escapes, or
// a plain one; %% is a percent sign.
QString execProgram(const QString& exec) {
    QString word;
    if (exec.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < exec.size() && exec[i] != QLatin1Char('"'); ++i) {
            word += exec[i] == QLatin1Char('\\') && i + 1 < exec.size() ? exec[++i] : exec[i];
        }
    } else {
        word = exec.section(QLatin1Char(' '), 0, 0);
    }
    return word.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

void verifyLauncher(const QString& path, const QString& program, const QString& icon) {
    const Run validate = run(QStringLiteral("desktop-file-validate"), {path});
    QVERIFY2(validate.exitCode == 0 && validate.out.isEmpty(), qPrintable(validate.out));
    const QHash<QString, QString> entry = desktopEntry(path);
    QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("信访接待登记"));
    QCOMPARE(execProgram(entry.value(QStringLiteral("Exec"))), program);
    QCOMPARE(entry.value(QStringLiteral("Icon")), icon);
}

} // namespace

void TestInstall::installMakesADeskFolder() {
    QVERIFY(m_temp.isValid());
    const QStringList install{QStringLiteral("--install"), QStringLiteral(XINFANG_BUILD_DIR),
                              QStringLiteral("--prefix"), m_folder};
    Run installed = run(QStringLiteral(XINFANG_CMAKE), install);
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.out));
    QStringList files = QDir(m_folder).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, (QStringList{QStringLiteral("xinfang"), QStringLiteral("xinfang-admin"),
                                 QStringLiteral("xinfang.desktop"), QStringLiteral("xinfang.png")}));
    QVERIFY(QFileInfo(m_folder + QStringLiteral("/xinfang")).isExecutable());
    verifyLauncher(m_folder + QStringLiteral("/xinfang.desktop"), m_folder + QStringLiteral("/xinfang"),
                   m_folder + QStringLiteral("/xinfang.png"));

    // The office's files, made by the installed tool beside it, survive an install over them.
    const Run init = run(m_folder + QStringLiteral("/xinfang-admin"), {QStringLiteral("init"), m_folder});
    QVERIFY2(init.exitCode == 0, qPrintable(init.out));
    QVERIFY(run(m_folder + QStringLiteral("/xinfang-admin"), {QStringLiteral("demo"), m_folder, QStringLiteral("7")})
                .exitCode == 0);
    const QByteArray settings = readBytes(m_folder + QStringLiteral("/set.ini"));
    const QByteArray database = readBytes(m_folder + QStringLiteral("/xinfang.mdb"));
    QVERIFY(!settings.isEmpty() && !database.isEmpty());
    installed = run(QStringLiteral(XINFANG_CMAKE), install);
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.out));
    QCOMPARE(readBytes(m_folder + QStringLiteral("/set.ini")), settings);
    QCOMPARE(readBytes(m_folder + QStringLiteral("/xinfang.mdb")), database);
}

void TestInstall::launcherStartsTheInstalledProgram() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString data = m_temp.filePath(QStringLiteral("data"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    // From another folder, by a relative path: the launcher still names the folder absolutely.
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(m_temp.path());
    tool.start(m_folder + QStringLiteral("/xinfang-admin"),
               {QStringLiteral("desktop"), QDir(m_temp.path()).relativeFilePath(m_folder)});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    const QString launcher = data + QStringLiteral("/applications/xinfang.desktop");
    verifyLauncher(launcher, m_folder + QStringLiteral("/xinfang"), m_folder + QStringLiteral("/xinfang.png"));

    // A folder without the program is refused, and the registered launcher stays as it was.
    const QByteArray before = readBytes(launcher);
    QVERIFY(run(m_folder + QStringLiteral("/xinfang-admin"), {QStringLiteral("desktop"), m_temp.path()}, environment)
                .exitCode == 1);
    QCOMPARE(readBytes(launcher), before);
}

void TestInstall::programStartsFromTheDeskFolder() {
    // Started from elsewhere on a screen nobody sees (Xvfb), the installed program finds its folder, Qt's
    // Chinese texts and the CJK fonts; a clerk's login (typed with xdotool) opens the main window with
    // the caption of the folder's set.ini and no warning about the database.
    const QString caption = QStringLiteral("安装测试的接待窗口");
    QFile settings(m_folder + QStringLiteral("/set.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write(QByteArray("\xEF\xBB\xBF[bt]\r\nbiaoti=") + caption.toUtf8() + "\r\n");
    settings.close();

    QProcess screen;
    screen.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(screen.waitForStarted());
    const auto stopScreen = qScopeGuard([&] {
        screen.kill();
        screen.waitForFinished();
    });
    QTRY_VERIFY_WITH_TIMEOUT(screen.canReadLine(), 30000);
    const QString display = QLatin1Char(':') + QString::fromLatin1(screen.readLine()).trimmed();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), display);
    const auto xdotool = [&](const QStringList& arguments) {
        return run(QStringLiteral("xdotool"), arguments, environment);
    };
    const auto window = [&](const QString& title) {
        return xdotool(
                   {QStringLiteral("search"), QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
            .out.trimmed();
    };

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QDir::rootPath());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(m_folder + QStringLiteral("/xinfang"), {});
    QVERIFY(program.waitForStarted());
    const auto stopProgram = qScopeGuard([&] {
        program.kill();
        program.waitForFinished();
    });
    QString login;
    QTRY_VERIFY_WITH_TIMEOUT(!(login = window(QStringLiteral("登陆Quorlan"))).isEmpty(), 30000);
    const QString proc = QStringLiteral("/proc/%1/").arg(program.processId());
    QCOMPARE(QFileInfo(proc + QStringLiteral("cwd")).canonicalFilePath(), QFileInfo(m_folder).canonicalFilePath());
    const QString maps = QString::fromUtf8(readBytes(proc + QStringLiteral("maps")));
    QVERIFY2(maps.contains(QLatin1String("qtbase_zh_CN.qm")), "Qt's Chinese texts were not loaded");
    QVERIFY2(maps.contains(QLatin1String("NotoSansCJK")), "the CJK font was not loaded");

    QCOMPARE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), login}).exitCode, 0);
    QCOMPARE(xdotool({QStringLiteral("type"), QStringLiteral("qorvu")}).exitCode, 0);
    QCOMPARE(xdotool({QStringLiteral("key"), QStringLiteral("Tab")}).exitCode, 0);
    QCOMPARE(xdotool({QStringLiteral("type"), QStringLiteral("qorvu")}).exitCode, 0);
    QCOMPARE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}).exitCode, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!window(caption).isEmpty(), 30000);
    QCOMPARE(window(QStringLiteral("警告")), QString()); // "打开数据库失败！" would come in a box of this title
    QCOMPARE(program.state(), QProcess::Running);
}

void TestInstall::packageHoldsTheFolderLauncherAndDependencies() {
    const QString out = m_temp.filePath(QStringLiteral("package"));
    const Run cpack = run(QStringLiteral(XINFANG_CPACK),
                          {QStringLiteral("--config"), QStringLiteral(XINFANG_BUILD_DIR "/CPackConfig.cmake"),
                           QStringLiteral("-B"), out});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out));
    const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^xinfang_[0-9.]+_amd64\\.deb$")).match(debs.first()).hasMatch(),
             qPrintable(debs.first()));
    const QString deb = out + QLatin1Char('/') + debs.first();

    const Run info = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
    QCOMPARE(info.exitCode, 0);
    for (const char* package : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libodbc2", "libsqlite3-0",
                                "libsqliteodbc", "odbcinst", "qt6-translations-l10n", "fonts-noto-cjk"}) {
        QVERIFY2(QRegularExpression(QStringLiteral("(^|, )%1( |,|$)").arg(QLatin1String(package)))
                     .match(info.out.trimmed())
                     .hasMatch(),
                 qPrintable(QStringLiteral("%1 missing from Depends: %2").arg(QLatin1String(package), info.out)));
    }

    const QString root = m_temp.filePath(QStringLiteral("unpacked"));
    QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}).exitCode, 0);
    for (const char* file :
         {"/opt/xinfang/xinfang", "/opt/xinfang/xinfang-admin", "/opt/xinfang/xinfang.png",
          "/usr/share/icons/hicolor/16x16/apps/xinfang.png", "/usr/share/icons/hicolor/128x128/apps/xinfang.png"}) {
        QVERIFY2(QFileInfo(root + QLatin1String(file)).isFile(), file);
    }
    // The office's files are never in the package, so that no upgrade can replace them.
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/opt/xinfang/set.ini")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/opt/xinfang/xinfang.mdb")));
    verifyLauncher(root + QStringLiteral("/usr/share/applications/xinfang.desktop"),
                   QStringLiteral("/opt/xinfang/xinfang"), QStringLiteral("xinfang"));
    verifyLauncher(root + QStringLiteral("/opt/xinfang/xinfang.desktop"), QStringLiteral("/opt/xinfang/xinfang"),
                   QStringLiteral("/opt/xinfang/xinfang.png"));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
