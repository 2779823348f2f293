// Provisioning tool: the program never creates its database or its settings file, so an office (or a
// developer) makes them with this tool, and fills a database with made-up registrations to try it out.

#include "DatabaseCheck.h"
#include "DeskCommands.h"
#include "Provisioning.h"
#include "ServerProvisioning.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// Exit codes: 0 done, 1 a file could not be made or filled, 2 the command line was wrong.
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

constexpr auto usageText = "Usage:\n"
                           "  xinfang-admin init DIR     create DIR/xinfang.mdb (the empty table 信访数据) and\n"
                           "                             DIR/set.ini; a file that exists already is left alone\n"
                           "  xinfang-admin demo DIR N   add N made-up registrations to DIR/xinfang.mdb\n"
                           "  xinfang-admin check DIR    run SQLite's full integrity check on DIR/xinfang.mdb and\n"
                           "                             say whether it is sound, and if not, what to do\n"
                           "  xinfang-admin init-server CONNECTION [--desk-role ROLE]\n"
                           "                             create the table 信访数据 on the PostgreSQL database that\n"
                           "                             the ODBC connection string reaches; an existing one is\n"
                           "                             left alone. With --desk-role, the existing role ROLE\n"
                           "                             (the desks' own) may use 信访数据 and nothing else\n"
                           "  xinfang-admin demo-server CONNECTION N\n"
                           "                             add N made-up registrations to that database\n";

void say(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void complain(const QString& text) {
    std::fputs(qPrintable(QStringLiteral("xinfang-admin: ") + text + '\n'), stderr);
}

int usage(const QString& problem) {
    complain(problem);
    std::fputs(usageText, stderr);
    std::fputs(deskcommands::usageText, stderr);
    return exitUsage;
}

// Digits only: "+5", " 5" or "5e3" are more likely slips than meant, and the program holds 编号 in a
// 32-bit integer, so more rows than that could never be shown.
bool parseCount(const QString& text, std::int64_t& count) {
    if (text.isEmpty() || text.size() > 10) {
        return false;
    }
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < 1 || value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    count = value;
    return true;
}

bool report(const provisioning::FileResult& result) {
    switch (result.state) {
    case provisioning::FileState::Created:
        say(QStringLiteral("Created %1").arg(QDir::toNativeSeparators(result.path)));
        return true;
    case provisioning::FileState::LeftAlone:
        say(QStringLiteral("%1 exists already; left unchanged").arg(QDir::toNativeSeparators(result.path)));
        return true;
    case provisioning::FileState::Failed:
        complain(QStringLiteral("cannot create %1: %2").arg(QDir::toNativeSeparators(result.path), result.error));
        return false;
    }
    return false;
}

int init(const QString& dir) {
    if (!provisioning::createDirectory(dir)) {
        complain(QStringLiteral("cannot create the directory %1").arg(QDir::toNativeSeparators(dir)));
        return exitFailure;
    }
    // Both are attempted whatever became of the other: a missing set.ini is made even next to an
    // existing database.
    const bool databaseOk = report(provisioning::createDatabase(dir));
    const bool settingsOk = report(provisioning::createSettings(dir));
    return databaseOk && settingsOk ? 0 : exitFailure;
}

int demo(const QString& dir, std::int64_t count) {
    const provisioning::DemoResult result = provisioning::addDemoRecords(dir, count);
    if (!result.ok) {
        complain(result.error);
        return exitFailure;
    }
    say(QStringLiteral("Added %1 registrations (编号 %2 to %3) to %4")
            .arg(count)
            .arg(result.firstNumber)
            .arg(result.lastNumber)
            .arg(QDir::toNativeSeparators(dir + QLatin1Char('/') + QLatin1String(provisioning::databaseFileName))));
    return 0;
}

// Exit code 0 only for a sound file.
int check(const QString& dir) {
    using State = provisioning::CheckResult::State;
    const provisioning::CheckResult r = provisioning::checkDatabase(dir);
    const QString file = QDir::toNativeSeparators(r.path);
    if (r.state == State::Missing) {
        complain(QStringLiteral("there is no %1").arg(file));
        return exitFailure;
    }
    if (r.state == State::Sound) {
        say(r.hasTable ? QStringLiteral("%1 is sound: SQLite's full check found nothing wrong. It holds %2 "
                                        "registrations.")
                             .arg(file)
                             .arg(r.readableRows)
                       : QStringLiteral("%1 is sound, but it has no table 信访数据: the program lists nothing "
                                        "from it.")
                             .arg(file));
        return 0;
    }
    say(QStringLiteral("%1 is DAMAGED: SQLite's full check found %2 problem(s), first: %3")
            .arg(file)
            .arg(r.problemCount)
            .arg(r.problems.value(0)));
    say(QStringLiteral("What to do: close the program at every desk, keep this file aside under another name, "
                       "and put the last backup copy of xinfang.mdb in its place."));
    say(!r.hasTable || r.readableRows == 0
            ? QStringLiteral("No registration can be read from it any more.")
            : QStringLiteral("%1 registrations can still be read from it (%2); re-enter those that the "
                             "backup copy lacks.")
                  .arg(r.readableRows)
                  .arg(r.allRowsRead ? QStringLiteral("all it lists") : QStringLiteral("up to the damaged part")));
    return exitFailure;
}

int initServer(const QString& connectionString, const QString& deskRole) {
    const provisioning::ServerResult result = provisioning::createServerSchema(connectionString, deskRole);
    switch (result.state) {
    case provisioning::FileState::Created:
        say(QStringLiteral("Created the table 信访数据 on the server"));
        break;
    case provisioning::FileState::LeftAlone:
        say(QStringLiteral("The server has the table 信访数据 already; left unchanged"));
        break;
    case provisioning::FileState::Failed:
        complain(result.error);
        return exitFailure;
    }
    if (deskRole.isEmpty()) {
        // The connecting role owns the table and could drop it; a desk should not be able to.
        say(QStringLiteral("Desks should not log in as this role: make them one of their own (sudo -u postgres "
                           "createuser --pwprompt xinfang_desk) and run init-server again with --desk-role "
                           "xinfang_desk"));
    } else {
        say(QStringLiteral("The role %1 may select, insert, update and delete registrations through 信访数据, "
                           "and nothing more")
                .arg(deskRole));
    }
    return 0;
}

int demoServer(const QString& connectionString, std::int64_t count) {
    const provisioning::DemoResult result = provisioning::addDemoRecordsToServer(connectionString, count);
    if (!result.ok) {
        complain(result.error);
        return exitFailure;
    }
    say(QStringLiteral("Added %1 registrations (编号 %2 to %3) to the server")
            .arg(count)
            .arg(result.firstNumber)
            .arg(result.lastNumber));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return usage(QStringLiteral("no command given"));
    }
    const QString& command = args.first();
    if (command == QLatin1String("init")) {
        if (args.size() != 2 || args[1].isEmpty()) {
            return usage(QStringLiteral("init takes one directory"));
        }
        return init(args[1]);
    }
    if (command == QLatin1String("demo")) {
        if (args.size() != 3 || args[1].isEmpty()) {
            return usage(QStringLiteral("demo takes a directory and a number of rows"));
        }
        std::int64_t count = 0;
        if (!parseCount(args[2], count)) {
            return usage(QStringLiteral("the number of rows must be a whole number from 1 to %1, not \"%2\"")
                             .arg(std::numeric_limits<std::int32_t>::max())
                             .arg(args[2]));
        }
        return demo(args[1], count);
    }
    if (command == QLatin1String("check")) {
        if (args.size() != 2 || args[1].isEmpty()) {
            return usage(QStringLiteral("check takes one directory"));
        }
        return check(args[1]);
    }
    if (command == QLatin1String("init-server")) {
        QStringList rest = args.mid(1);
        QString deskRole;
        const qsizetype option = rest.indexOf(QLatin1String("--desk-role"));
        if (option >= 0) {
            if (option + 1 >= rest.size() || rest[option + 1].isEmpty()) {
                return usage(QStringLiteral("--desk-role takes the name of a role"));
            }
            deskRole = rest[option + 1];
            rest.remove(option, 2);
        }
        if (rest.size() != 1 || rest[0].isEmpty()) {
            return usage(QStringLiteral("init-server takes one ODBC connection string"));
        }
        return initServer(rest[0], deskRole);
    }
    if (command == QLatin1String("demo-server")) {
        if (args.size() != 3 || args[1].isEmpty()) {
            return usage(QStringLiteral("demo-server takes an ODBC connection string and a number of rows"));
        }
        std::int64_t count = 0;
        if (!parseCount(args[2], count)) {
            return usage(QStringLiteral("the number of rows must be a whole number from 1 to %1, not \"%2\"")
                             .arg(std::numeric_limits<std::int32_t>::max())
                             .arg(args[2]));
        }
        return demoServer(args[1], count);
    }
    if (command == QLatin1String("backup")) {
        return deskcommands::backup(args.mid(1));
    }
    if (command == QLatin1String("desktop")) {
        return deskcommands::desktop(args.mid(1));
    }
    if (command == QLatin1String("-h") || command == QLatin1String("--help") || command == QLatin1String("help")) {
        std::fputs(usageText, stdout);
        std::fputs(deskcommands::usageText, stdout);
        return 0;
    }
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}
