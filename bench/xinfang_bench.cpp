// How close the clerk's commands come to what the disk and SQLite allow, on tables of years of
// registrations. The floor is the sqlite3 shell printing the whole table to /dev/null: no program of ours
// can read the rows faster than SQLite hands them out. Every other figure is a command of the main window
// on a visible (offscreen) window, the median of several runs, set beside that floor.
//
//   build/bin/xinfang-bench [--rows N] [--runs R] [--only FIGURE]
//
// Without --rows it measures 1,000,000 and then 100,000 rows, so the ratios line at the end is the one
// for 100,000. --only measures one figure besides the floor (driver, read, list, keyword, search,
// register, delete, memory), for running under a profiler.
//
// The demo databases come from xinfang-admin (beside this program) and are kept in bench-cache/ beside
// the bin directory (or in $XINFANG_BENCH_CACHE) for the next run; each run works on a copy, since
// registering and deleting change the file.
//
// Each time is wall-clock time; the processor time beside it (this process's, or the shell's for the
// floor) shows how much of a figure was waiting for a machine busy with other work.
#include "core/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "store/RecordStore.h"
#include "store/Statements.h"
#include "ui/entry/ProcessState.h"
#include "ui/entry/RegistrationWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A surname of the demo data that about one registration in a hundred carries, and no other text does.
const QString rareKeyword = QStringLiteral("司马");

const QString databaseFile = QStringLiteral("xinfang.mdb");
const QString settingsFile = QStringLiteral("set.ini");

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "xinfang-bench: %s\n", qPrintable(what));
    std::exit(1);
}

double mib(qint64 bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// A line of /proc/self/status such as "VmRSS:   123456 kB", in bytes; 0 where there is no such file.
qint64 statusBytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return 0;
}

qint64 residentBytes() {
    return statusBytes("VmRSS");
}

struct Timing {
    double wall = 0; // seconds
    double cpu = 0;  // seconds of processor time, this process's and its finished children's
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Processor time used so far by this process and by the children it has waited for.
double processorSeconds() {
    timespec own{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return static_cast<double>(own.tv_sec) + static_cast<double>(own.tv_nsec) / 1e9 + seconds(children.ru_utime) +
           seconds(children.ru_stime);
}

class Stopwatch {
public:
    Stopwatch() : m_cpuAtStart(processorSeconds()) { m_wall.start(); }
    Timing elapsed() const {
        return {static_cast<double>(m_wall.nsecsElapsed()) / 1e9, processorSeconds() - m_cpuAtStart};
    }

private:
    QElapsedTimer m_wall;
    double m_cpuAtStart;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of wall and processor time, each on its own.
Timing median(const std::vector<Timing>& timings) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Timing& t : timings) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    return {median(wall), median(cpu)};
}

Timing medianTiming(int runs, const std::function<void()>& run) {
    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) {
        const Stopwatch watch;
        run();
        timings.push_back(watch.elapsed());
    }
    return median(timings);
}

// Lets the window paint what the last command left, as the event loop would once the command returns.
void paintNow() {
    QCoreApplication::processEvents();
}

void runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        fail(QStringLiteral("%1 %2 failed").arg(program, arguments.join(QLatin1Char(' '))));
    }
}

// The directory holding a demo database of rows registrations, made once and reused. A marker file
// written last tells a finished database from one whose making was cut short.
QString demoDirectory(int rows) {
    QString cache = qEnvironmentVariable("XINFANG_BENCH_CACHE");
    if (cache.isEmpty()) {
        cache = QCoreApplication::applicationDirPath() + QStringLiteral("/../bench-cache");
    }
    const QString dir = QDir::cleanPath(cache + QStringLiteral("/rows-") + QString::number(rows));
    const QString marker = dir + QStringLiteral("/complete");
    if (QFileInfo::exists(marker)) {
        return dir;
    }
    QDir(dir).removeRecursively();
    std::printf("making a demo database of %d rows in %s\n", rows, qPrintable(QDir::toNativeSeparators(dir)));
    std::fflush(stdout);
    const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/xinfang-admin");
    runTool(admin, {QStringLiteral("init"), dir});
    runTool(admin, {QStringLiteral("demo"), dir, QString::number(rows)});
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1").arg(marker));
    }
    return dir;
}

void copyInto(const QString& fromDir, const QString& toDir, const QString& name) {
    if (!QFile::copy(fromDir + QLatin1Char('/') + name, toDir + QLatin1Char('/') + name)) {
        fail(QStringLiteral("cannot copy %1 to %2").arg(name, toDir));
    }
}

// The sqlite3 shell reading the whole table and writing it to /dev/null.
Timing floorTiming(const QString& database, int runs) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        fail(QStringLiteral("the sqlite3 shell is not installed (Debian package sqlite3)"));
    }
    const QString select = QStringLiteral("select * from ") + tableName();
    return medianTiming(runs, [&] { runTool(shell, {database, select}); });
}

// The ODBC driver by itself, as the program connects to it: every row fetched and every column taken as
// text with SQLGetData, nothing decoded or kept. What the driver and SQLite cost beyond the shell, and
// what no code of ours can win back.
Timing driverTiming(const QString& database, int runs) {
    SQLHANDLE env = SQL_NULL_HANDLE;
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)) ||
        !SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
        !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        fail(QStringLiteral("no ODBC environment"));
    }
    QByteArray connection = RecordStore::connectionStringFor(database).toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connection.data()), SQL_NTS, nullptr,
                                        0, nullptr, SQL_DRIVER_NOPROMPT))) {
        fail(QStringLiteral("the driver does not connect to %1").arg(database));
    }
    QByteArray select = (QStringLiteral("select * from ") + tableName()).toUtf8();
    const Timing t = medianTiming(runs, [&] {
        SQLHANDLE stmt = SQL_NULL_HANDLE;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(select.data()), SQL_NTS);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        std::array<char, 512> buffer;
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                SQLLEN indicator = 0;
                while (SQLGetData(stmt, c, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator) ==
                       SQL_SUCCESS_WITH_INFO) {
                }
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    });
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return t;
}

struct Memory {
    qint64 before = 0;      // resident before the main window exists
    qint64 afterList = 0;   // resident once the window shows the whole table
    qint64 afterSecond = 0; // resident after a second full listing
    qint64 peak = 0;        // the process's peak resident size
};

// In a fresh process (this program again, with --memory-probe), so that nothing measured before leaves
// its freed memory behind: resident size before the main window is made and after it lists the table.
Memory probeMemory(const QString& dir) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory-probe"), dir});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        fail(QStringLiteral("the memory probe failed"));
    }
    const QList<QByteArray> words = process.readAllStandardOutput().trimmed().split(' ');
    if (words.size() != 5 || words[0] != "memory") {
        fail(QStringLiteral("the memory probe answered something else"));
    }
    return {words[1].toLongLong(), words[2].toLongLong(), words[3].toLongLong(), words[4].toLongLong()};
}

int memoryProbe(const QString& dir) {
    setRunDirectoryForTesting(dir);
    const qint64 before = residentBytes();
    MainWindow window; // lists every record
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        fail(QStringLiteral("the window was not shown"));
    }
    paintNow();
    const qint64 afterList = residentBytes();
    window.listAllRecords();
    paintNow();
    const qint64 afterSecond = residentBytes();
    std::printf("memory %lld %lld %lld %lld\n", static_cast<long long>(before), static_cast<long long>(afterList),
                static_cast<long long>(afterSecond), static_cast<long long>(statusBytes("VmHWM")));
    return 0;
}

struct Figures {
    int rows = 0;
    qint64 fileSize = 0;
    Timing floor;
    Timing driver;
    Timing readLoop;
    Timing list;
    Timing keyword;
    int keywordRows = 0;
    Timing everyRow;
    Timing registration;
    Timing removal;
    Memory memory;

    double change() const { return std::max(registration.wall, removal.wall); }
    double memoryAdded() const { return static_cast<double>(memory.afterList - memory.before); }
};

// A figure left out by --only has the time 0 and no line.
void printLine(const Figures& f, const QString& what, const Timing& t, const char* target) {
    if (t.wall <= 0) {
        return;
    }
    const QByteArray label = what.leftJustified(36).toUtf8();
    std::printf("%8d rows  %s %8.3f s %6.2fx floor   cpu %7.3f s %6.2fx   rss %7.1f MiB%s%s\n", f.rows,
                label.constData(), t.wall, t.wall / f.floor.wall, t.cpu, t.cpu / f.floor.cpu, mib(residentBytes()),
                *target ? "   target " : "", target);
    std::fflush(stdout);
}

void printMemoryLine(int rows, const char* what, qint64 bytes) {
    std::printf("%8d rows  %-36s %8.1f MiB\n", rows, what, mib(bytes));
}

// Fills the registration window as a clerk would, with a row much like the demo data's.
void fillRegistration(RegistrationWindow& window) {
    const QStringList values = {
        QStringLiteral("2024年12月31日"),
        QStringLiteral("来访"),
        QStringLiteral("信访局"),
        QStringLiteral("张明"),
        QStringLiteral("1"),
        QStringLiteral("王建国"),
        QStringLiteral("男"),
        QStringLiteral("汉族"),
        QStringLiteral("56"),
        QStringLiteral("工人"),
        QStringLiteral("13812345678"),
        QStringLiteral("云澜市东城区解放路12号3栋2单元502室"),
        QStringLiteral("369902196803120415"),
        QStringLiteral("中"),
        QStringLiteral("拖欠工资"),
        QStringLiteral("是"),
        QStringLiteral("反映云澜市第三纺织厂拖欠其工资6个月共计18600元，多次讨要未果，请求帮助追讨。"),
        QStringLiteral("已转人社局办理"),
        QStringLiteral("人社局"),
        QStringLiteral("阅。请按程序办理。"),
        QStringLiteral("需回访"),
    };
    for (int column = firstTextColumn; column < columnCount; ++column) {
        window.setFieldText(column, values[column - firstTextColumn]);
    }
}

Figures measure(int rows, int runs, const QString& only) {
    const auto wanted = [&only](const char* figure) { return only.isEmpty() || only == QLatin1String(figure); };
    Figures f;
    f.rows = rows;
    const QString cached = demoDirectory(rows);
    QTemporaryDir work;
    if (!work.isValid()) {
        fail(QStringLiteral("cannot make a temporary directory"));
    }
    copyInto(cached, work.path(), databaseFile);
    copyInto(cached, work.path(), settingsFile);
    const QString database = work.filePath(databaseFile);
    f.fileSize = QFileInfo(database).size();

    // Every ratio divides by the floor, so it gets twice the runs: cheap, and steadier.
    f.floor = floorTiming(database, 2 * runs);
    printLine(f, QStringLiteral("floor: sqlite3 shell, select *"), f.floor, "");

    if (wanted("driver")) {
        f.driver = driverTiming(database, runs);
        printLine(f, QStringLiteral("ODBC driver alone, fetch + SQLGetData"), f.driver, "");
    }
    if (wanted("open")) {
        // What the check of an SQLite file at open costs: the connection alone, then openDatabase with it.
        const int openRuns = 10 * runs;
        RecordStore probe;
        const QString connection = RecordStore::connectionStringFor(database);
        const Timing connectOnly = medianTiming(openRuns, [&] { probe.openConnectionString(connection); });
        const Timing checked = medianTiming(openRuns, [&] { probe.openDatabase(database); });
        if (!probe.isOpen()) {
            fail(QStringLiteral("the demo database did not open"));
        }
        std::printf("%8d rows  %-36s %8.2f ms   connect alone %.2f ms   check %.2f ms\n", rows, "openDatabase",
                    checked.wall * 1000, connectOnly.wall * 1000, (checked.wall - connectOnly.wall) * 1000);
    }
    if (wanted("memory")) {
        f.memory = probeMemory(work.path());
    }

    setRunDirectoryForTesting(work.path());
    resetProcessState();
    auto window = std::make_unique<MainWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        fail(QStringLiteral("the window was not shown"));
    }
    paintNow();
    RecordStore& store = window->store();
    RecordList* list = window->recordList();
    if (list->rowCount() != rows) {
        fail(QStringLiteral("the list shows %1 rows of %2").arg(list->rowCount()).arg(rows));
    }

    if (wanted("read")) {
        // What the listing reads, without the list: every column of every row, fetched and decoded.
        int read = 0;
        f.readLoop = medianTiming(runs, [&] {
            read = 0;
            const RecordStore::Handle handle = store.query(statements::selectAll());
            store.toFirst(handle);
            while (!store.isPastEnd(handle)) {
                ++read;
                store.toNext(handle);
            }
            store.closeRecordset(handle);
        });
        if (read != rows) {
            fail(QStringLiteral("the read loop saw %1 rows of %2").arg(read).arg(rows));
        }
        printLine(f, QStringLiteral("RecordStore read loop"), f.readLoop, "");
    }

    if (wanted("list") || wanted("register") || wanted("delete")) {
        f.list = medianTiming(runs, [&] {
            window->listAllRecords();
            paintNow();
        });
        if (list->rowCount() != rows) {
            fail(QStringLiteral("the list shows %1 rows of %2").arg(list->rowCount()).arg(rows));
        }
        printLine(f, QStringLiteral("listAllRecords"), f.list, "<= 3x floor");
    }

    auto* searchBox = window->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
    auto* searchButton = window->findChild<QAbstractButton*>(QStringLiteral("按钮4"));
    if (!searchBox || !searchButton) {
        fail(QStringLiteral("the search row is missing"));
    }
    const auto search = [&](const QString& keyword) {
        searchBox->setText(keyword);
        searchButton->click(); // lets events run after every row it lists
        paintNow();
    };
    if (wanted("keyword")) {
        f.keyword = medianTiming(runs, [&] { search(rareKeyword); });
        f.keywordRows = list->rowCount();
        printLine(f,
                  QStringLiteral("search \"%1\" (%2 rows, %3 %)")
                      .arg(rareKeyword)
                      .arg(f.keywordRows)
                      .arg(100.0 * f.keywordRows / rows, 0, 'f', 2),
                  f.keyword, "");
    }
    if (wanted("search")) {
        f.everyRow = medianTiming(runs, [&] { search(QStringLiteral("%")); });
        if (list->rowCount() != rows) {
            fail(QStringLiteral("the search for %% listed %1 rows of %2").arg(list->rowCount()).arg(rows));
        }
        printLine(f, QStringLiteral("search \"%\" (every row)"), f.everyRow, "<= 4x floor");
    }

    if (wanted("register") || wanted("delete")) {
        // Each registration is deleted again at once, so the table keeps its size from run to run.
        std::vector<Timing> registrations;
        std::vector<Timing> removals;
        for (int i = 0; i < runs; ++i) {
            auto* entry = new RegistrationWindow(*window); // deletes itself once closed
            entry->show();
            fillRegistration(*entry);
            Stopwatch watch;
            entry->addRegistration(); // insert, then listAllRecords
            paintNow();
            registrations.push_back(watch.elapsed());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (list->rowCount() != rows + 1) {
                fail(QStringLiteral("the registration did not reach the list"));
            }

            list->setFocus();
            list->selectRow(list->rowCount() - 1); // the new one: 编号 rises, and the list is in table order
            watch = Stopwatch();
            window->deleteSelected(); // question answered Yes, delete, then listAllRecords
            paintNow();
            removals.push_back(watch.elapsed());
            if (list->rowCount() != rows) {
                fail(QStringLiteral("the delete did not reach the list"));
            }
        }
        f.registration = median(registrations);
        f.removal = median(removals);
        printLine(f, QStringLiteral("registration + listAllRecords"), f.registration, "<= 1.2x list");
        printLine(f, QStringLiteral("delete + listAllRecords"), f.removal, "<= 1.2x list");
        std::printf("%8d rows  %-36s %8.2fx list\n", rows, "registration or delete, the slower",
                    f.change() / f.list.wall);
    }
    window.reset();

    if (f.memory.afterList > 0) {
        std::printf("%8d rows  %-36s %8.1f MiB %6.2fx file (%.1f MiB)   target <= 2x file\n", rows,
                    "memory added by a full list", mib(f.memory.afterList - f.memory.before),
                    f.memoryAdded() / static_cast<double>(f.fileSize), mib(f.fileSize));
        printMemoryLine(rows, "resident before the window", f.memory.before);
        printMemoryLine(rows, "resident after a full list", f.memory.afterList);
        printMemoryLine(rows, "resident after a second full list", f.memory.afterSecond);
        printMemoryLine(rows, "peak resident (VmHWM)", f.memory.peak);
    }
    std::fflush(stdout);
    return f;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: xinfang-bench [--rows N] [--runs R] [--only FIGURE]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    // Headless unless told otherwise: the figures are about our code, not about a display server.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    installFontSubstitutions();
    initResources();

    const QStringList args = QApplication::arguments();
    std::vector<int> sizes;
    std::optional<int> runs;
    QString only;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--memory-probe") && i + 1 < args.size()) {
            return memoryProbe(args[i + 1]);
        }
        bool ok = false;
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size()) {
            sizes.push_back(args[++i].toInt(&ok));
            ok = ok && sizes.back() > 0;
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = args[++i].toInt(&ok);
            ok = ok && *runs > 0;
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only = args[++i];
            ok = true;
        }
        if (!ok) {
            usage();
        }
    }
    if (sizes.empty()) {
        sizes = {1000000, 100000};
    }

    // The delete asks first; every other box would only report, and is counted as a surprise.
    QStringList surprises;
    messagebox::setResponderForTesting([&surprises](messagebox::Style style, const QString& text, const QString&) {
        if (style == messagebox::Style::Question) {
            return true;
        }
        surprises << text;
        return false;
    });

    std::vector<Figures> all;
    for (const int rows : sizes) {
        // Five runs give a steady median on 100,000 rows; the larger tables take long enough for three.
        all.push_back(measure(rows, runs.value_or(rows > 200000 ? 3 : 5), only));
    }
    messagebox::setResponderForTesting(nullptr);
    for (const QString& text : surprises) {
        std::printf("unexpected message box: %s\n", qPrintable(text));
    }

    const Figures& last = all.back();
    const auto ratio = [](double part, double whole) { return whole > 0 ? part / whole : 0.0; };
    std::printf("ratios: list=%.2f search=%.2f change=%.2f memory=%.2f\n", ratio(last.list.wall, last.floor.wall),
                ratio(last.everyRow.wall, last.floor.wall), ratio(last.change(), last.list.wall),
                ratio(last.memoryAdded(), static_cast<double>(last.fileSize)));
    return surprises.isEmpty() ? 0 : 1;
}
