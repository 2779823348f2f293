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
// With XINFANG_TEST_PG naming a PostgreSQL server, each size is also listed from that server (see
// measureServer). --only also takes server, blocks (编号 through the driver a row or a block of rows per fetch) and
// scroll (the first screen after a listing, and scrolling the list from top to bottom).
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
#include <QScrollBar>
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

// A connection of our own to the driver, as the program makes it, for figures of the driver by itself.
class DriverConnection {
public:
    explicit DriverConnection(const QString& database) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env)) ||
            !SQL_SUCCEEDED(
                SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
            !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
            fail(QStringLiteral("no ODBC environment"));
        }
        QByteArray connection = RecordStore::connectionStringFor(database).toUtf8();
        if (!SQL_SUCCEEDED(SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(connection.data()), SQL_NTS,
                                            nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
            fail(QStringLiteral("the driver does not connect to %1").arg(database));
        }
    }
    ~DriverConnection() {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    DriverConnection(const DriverConnection&) = delete;
    DriverConnection& operator=(const DriverConnection&) = delete;

    SQLHANDLE statement() const {
        SQLHANDLE stmt = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt))) {
            fail(QStringLiteral("no statement handle"));
        }
        return stmt;
    }

private:
    SQLHANDLE m_env = SQL_NULL_HANDLE;
    SQLHANDLE m_dbc = SQL_NULL_HANDLE;
};

// The ODBC driver by itself, as the program connects to it: every row fetched and every column taken as
// text with SQLGetData, nothing decoded or kept. What the driver and SQLite cost beyond the shell, and
// what no code of ours can win back.
Timing driverTiming(const QString& database, int runs) {
    const DriverConnection connection(database);
    QByteArray select = statements::selectAll().toUtf8();
    return medianTiming(runs, [&] {
        SQLHANDLE stmt = connection.statement();
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
}

// What a listing reads, through the driver alone: 编号 of every row into a vector, one row per SQLFetch
// with SQLGetData (block 1), or block rows per SQLFetch into a bound array (SQL_ATTR_ROW_ARRAY_SIZE, a
// block cursor). Gives a time of 0 when the driver refuses the block size.
Timing numbersThroughDriver(const QString& database, int runs, SQLULEN block, std::size_t& read) {
    const DriverConnection connection(database);
    QByteArray select = statements::selectNumbers().toUtf8();
    bool refused = false;
    const Timing t = medianTiming(runs, [&] {
        std::vector<qint32> numbers;
        SQLHANDLE stmt = connection.statement();
        std::vector<SQLINTEGER> values(block);
        std::vector<SQLLEN> indicators(block);
        SQLULEN fetched = 0;
        if (block > 1 &&
            (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0)) ||
             !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
             !SQL_SUCCEEDED(SQLBindCol(stmt, 1, SQL_C_SLONG, values.data(), sizeof(SQLINTEGER), indicators.data())))) {
            refused = true;
        }
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(select.data()), SQL_NTS);
        if (block > 1) {
            while (!refused && SQL_SUCCEEDED(SQLFetch(stmt))) {
                numbers.insert(numbers.end(), values.begin(), values.begin() + static_cast<std::ptrdiff_t>(fetched));
            }
        } else {
            while (SQL_SUCCEEDED(SQLFetch(stmt))) {
                SQLINTEGER n = 0;
                SQLLEN indicator = 0;
                SQLGetData(stmt, 1, SQL_C_SLONG, &n, sizeof n, &indicator);
                numbers.push_back(n);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        read = numbers.size();
    });
    return refused ? Timing{} : t;
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
    Timing numbersByRow;
    Timing numbersByBlock;
    Timing list;
    double firstScreen = 0;  // seconds from the end of a listing to its first screen of cells drawn
    double longestStall = 0; // the longest step of scrolling from the top of the list to its bottom
    double medianStall = 0;
    int scrollSteps = 0;
    Timing keyword;
    int keywordRows = 0;
    Timing everyRow;
    Timing registration;
    Timing removal;
    Memory memory;
    Memory emptyTable; // the same window on a table without rows: what the window costs by itself

    double change() const { return std::max(registration.wall, removal.wall); }
    // What the rows add: the window over this table beside the same window over an empty one.
    double memoryAdded() const { return static_cast<double>(memory.afterList - emptyTable.afterList); }
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
        QTemporaryDir empty;
        runTool(QCoreApplication::applicationDirPath() + QStringLiteral("/xinfang-admin"),
                {QStringLiteral("init"), empty.path()});
        f.emptyTable = probeMemory(empty.path());
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
        // What the listing reads, without the list: 编号 of every row, fetched and decoded.
        int read = 0;
        f.readLoop = medianTiming(runs, [&] {
            read = 0;
            const RecordStore::Handle handle = store.query(statements::selectNumbers());
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
        printLine(f, QStringLiteral("RecordStore read loop, 编号 only"), f.readLoop, "");
        // What the search for "%" reads, without letting events run after each row.
        const Timing searchLoop = medianTiming(runs, [&] {
            read = 0;
            const RecordStore::Handle handle = store.query(statements::searchNumbers(QStringLiteral("%")));
            store.toFirst(handle);
            while (!store.isPastEnd(handle)) {
                ++read;
                store.toNext(handle);
            }
            store.closeRecordset(handle);
        });
        printLine(f, QStringLiteral("RecordStore read loop, search \"%\""), searchLoop, "");
    }
    if (wanted("blocks")) {
        // Whether reading many rows per fetch would pay (see numbersThroughDriver).
        constexpr SQLULEN block = 1024;
        std::size_t byRow = 0;
        std::size_t byBlock = 0;
        f.numbersByRow = numbersThroughDriver(database, runs, 1, byRow);
        f.numbersByBlock = numbersThroughDriver(database, runs, block, byBlock);
        printLine(f, QStringLiteral("driver: 编号, a row per SQLFetch"), f.numbersByRow, "");
        if (f.numbersByBlock.wall > 0 && byBlock == byRow) {
            printLine(f, QStringLiteral("driver: 编号, 1024 rows per SQLFetch"), f.numbersByBlock, "");
        } else {
            std::printf("%8d rows  the driver reads no blocks of 1024 rows (%zu of %zu rows)\n", rows, byBlock, byRow);
        }
    }

    if (wanted("list") || wanted("register") || wanted("delete")) {
        f.list = medianTiming(runs, [&] {
            window->listAllRecords();
            paintNow();
        });
        if (list->rowCount() != rows) {
            fail(QStringLiteral("the list shows %1 rows of %2").arg(list->rowCount()).arg(rows));
        }
        printLine(f, QStringLiteral("listAllRecords"), f.list, "<= 0.5x floor");
    }

    if (wanted("scroll")) {
        // The listing ends; the event loop then paints the list's first screen, reading its cells.
        window->listAllRecords();
        Stopwatch watch;
        list->viewport()->repaint();
        f.firstScreen = watch.elapsed().wall;
        // The clerk drags the scroll bar from the top to the bottom (every step a screen of rows never
        // seen), then pages down through the first screens one at a time. Each step is handled and painted
        // before the next, as the event loop would: its time is how long the window stands still.
        QScrollBar* bar = list->verticalScrollBar();
        std::vector<double> stalls;
        std::vector<double> stallsCpu;
        const auto step = [&](int value) {
            Stopwatch stall;
            bar->setValue(value);
            list->viewport()->repaint();
            QCoreApplication::processEvents();
            const Timing t = stall.elapsed();
            stalls.push_back(t.wall);
            stallsCpu.push_back(t.cpu);
        };
        constexpr int dragSteps = 2000;
        for (int i = 0; i <= dragSteps; ++i) {
            step(static_cast<int>(static_cast<qint64>(bar->maximum()) * i / dragSteps));
        }
        bar->setValue(0);
        for (int i = 0; i < 500; ++i) {
            step(bar->value() + bar->pageStep());
        }
        f.scrollSteps = static_cast<int>(stalls.size());
        const auto longest = std::max_element(stalls.begin(), stalls.end());
        f.longestStall = *longest;
        f.medianStall = median(stalls);
        const double longestCpu = stallsCpu[static_cast<std::size_t>(longest - stalls.begin())];
        const double mostCpu = *std::max_element(stallsCpu.begin(), stallsCpu.end());
        if (qEnvironmentVariableIsSet("XINFANG_BENCH_STEPS")) {
            for (std::size_t i = 0; i < stalls.size(); ++i) {
                if (stalls[i] > 0.05 || stallsCpu[i] > 0.02) {
                    std::printf("step %zu: %.1f ms, cpu %.1f ms\n", i, 1000 * stalls[i], 1000 * stallsCpu[i]);
                }
            }
        }
        // The same screens' cells read without painting them: the part of each step that is the list's.
        window->listAllRecords();
        const int screen = list->rowAt(list->viewport()->height() - 1) - list->rowAt(0) + 1;
        std::vector<double> reads;
        std::vector<double> readsCpu;
        for (int i = 0; i <= dragSteps; ++i) {
            const int top = static_cast<int>(static_cast<qint64>(list->rowCount() - screen) * i / dragSteps);
            Stopwatch read;
            for (int row = top; row < top + screen; ++row) {
                for (int column = 0; column < columnCount; ++column) {
                    (void)list->cellText(row, column);
                }
            }
            reads.push_back(read.elapsed().wall);
            readsCpu.push_back(read.elapsed().cpu);
        }
        std::printf("%8d rows  %-36s %8.1f ms   target < 100 ms\n", rows, "first screen drawn after a listing",
                    1000 * f.firstScreen);
        std::printf("%8d rows  %-36s %8.1f ms   (cpu %.1f ms; most cpu of a step %.1f ms) median %.2f ms of %d "
                    "steps   target < 100 ms\n",
                    rows, "scrolling top to bottom, longest stall", 1000 * f.longestStall, 1000 * longestCpu,
                    1000 * mostCpu, 1000 * f.medianStall, f.scrollSteps);
        std::printf("%8d rows  %-36s %8.1f ms   (most cpu %.1f ms) median %.2f ms of %zu screens of %d rows\n", rows,
                    "reading a new screen's cells, longest", 1000 * *std::max_element(reads.begin(), reads.end()),
                    1000 * *std::max_element(readsCpu.begin(), readsCpu.end()), 1000 * median(reads), reads.size(),
                    screen);
        std::fflush(stdout);
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
        printLine(f, QStringLiteral("search \"%\" (every row)"), f.everyRow, "<= 2x floor");
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
        std::printf("%8d rows  %-36s %8.1f MiB %6.2fx file (%.1f MiB)   target <= 0.15x file\n", rows,
                    "memory added by a full list", mib(static_cast<qint64>(f.memoryAdded())),
                    f.memoryAdded() / static_cast<double>(f.fileSize), mib(f.fileSize));
        printMemoryLine(rows, "resident before the window", f.memory.before);
        printMemoryLine(rows, "resident, the window on an empty table", f.emptyTable.afterList);
        printMemoryLine(rows, "resident after a full list", f.memory.afterList);
        printMemoryLine(rows, "resident after a second full list", f.memory.afterSecond);
        printMemoryLine(rows, "peak resident (VmHWM)", f.memory.peak);
    }
    std::fflush(stdout);
    return f;
}

// On the PostgreSQL server that XINFANG_TEST_PG names (scripts/test-server.sh starts one): a full listing
// of rows registrations, and what it adds to the desk's memory, where the driver keeps the whole result
// of a statement in the desk's memory. The table is filled by the provisioning tool's demo rows, copied
// on the server itself until it holds rows of them.
void measureServer(int rows, int runs) {
    const QString connection = qEnvironmentVariable("XINFANG_TEST_PG");
    if (connection.isEmpty()) {
        return;
    }
    const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/xinfang-admin");
    runTool(admin, {QStringLiteral("init-server"), connection});
    RecordStore filler;
    if (!filler.openConnectionString(connection)) {
        fail(QStringLiteral("the server does not connect"));
    }
    filler.execute(QStringLiteral("delete from ") + tableName());
    constexpr int seedRows = 1000;
    runTool(admin, {QStringLiteral("demo-server"), connection, QString::number(seedRows)});
    QString columns;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        columns += (column > firstTextColumn ? QStringLiteral(",") : QString()) + columnNames()[column];
    }
    if (rows > seedRows &&
        filler.execute(QStringLiteral("insert into %1 (%2) select %2 from %1 cross join generate_series(1, %3)")
                           .arg(tableName(), columns)
                           .arg(rows / seedRows - 1)) == 0) {
        fail(QStringLiteral("cannot fill the server's table"));
    }
    QTemporaryDir work;
    QFile settings(work.filePath(settingsFile));
    if (!settings.open(QIODevice::WriteOnly) ||
        settings.write(QStringLiteral("[db]\r\nconnection=%1\r\n").arg(connection).toUtf8()) < 0) {
        fail(QStringLiteral("cannot write %1").arg(settings.fileName()));
    }
    settings.close();

    const Memory memory = probeMemory(work.path());
    setRunDirectoryForTesting(work.path());
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        fail(QStringLiteral("the window was not shown"));
    }
    const int listed = window.recordList()->rowCount();
    const Timing list = medianTiming(runs, [&] {
        window.listAllRecords();
        paintNow();
    });
    std::printf("%8d rows  %-36s %8.3f s    cpu %7.3f s   (%d rows listed)\n", rows, "server: listAllRecords",
                list.wall, list.cpu, listed);
    std::printf("%8d rows  %-36s %8.1f MiB   target <= 100 MiB\n", rows, "server: memory added by a full list",
                mib(memory.afterList - memory.before));
    printMemoryLine(rows, "server: peak resident (VmHWM)", memory.peak);
    std::fflush(stdout);
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
        if (only.isEmpty() || only == QLatin1String("server")) {
            measureServer(rows, 3);
        }
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
