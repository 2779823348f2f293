// How long the keyword search takes to list a large result in a visible main window, next to the full
// listing that reads the same rows without letting events run in between. The search hands control to
// pending events after every row; this shows what that costs.
//
//   QT_QPA_PLATFORM=offscreen xinfang-bench-search [--rows N]
#include "app/RunDirectory.h"
#include "store/PetitionRecord.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RecordList.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Rows whose 信访事由 holds this word: every hundredth one.
const QString rareWord = QStringLiteral("宅基地纠纷");

[[noreturn]] void fail(const char* what, sqlite3* db) {
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : "");
    std::exit(1);
}

void exec(sqlite3* db, const QString& sql) {
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail("exec", db);
    }
}

// The program's table with n registrations of short Chinese texts, written straight through SQLite.
void makeDatabase(const QString& path, int n) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        fail("open", db);
    }
    const QStringList& names = columnNames();
    QString create = QStringLiteral("CREATE TABLE ") + tableName() + QStringLiteral(" (") + names[0] +
                     QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    QString insert = QStringLiteral("INSERT INTO ") + tableName() + QStringLiteral(" VALUES (NULL");
    for (int c = firstTextColumn; c < columnCount; ++c) {
        create += QStringLiteral(", ") + names[c] + QStringLiteral(" TEXT");
        insert += QStringLiteral(",?");
    }
    exec(db, create + QLatin1Char(')'));
    exec(db, QStringLiteral("BEGIN"));
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, (insert + QLatin1Char(')')).toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        fail("prepare", db);
    }
    const QStringList surnames = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄"};
    for (int i = 0; i < n; ++i) {
        QStringList v(columnCount - firstTextColumn);
        v[0] = QStringLiteral("2012年12月4日");
        v[1] = i % 3 == 0 ? QStringLiteral("来信") : QStringLiteral("来访");
        v[2] = QStringLiteral("接待大厅");
        v[3] = QStringLiteral("值班员");
        v[4] = QStringLiteral("一人");
        v[5] = surnames[i % surnames.size()] + QStringLiteral("某某");
        v[6] = i % 2 == 0 ? QStringLiteral("男") : QStringLiteral("女");
        v[7] = QStringLiteral("汉族");
        v[8] = QStringLiteral("四十岁");
        v[9] = QStringLiteral("农民");
        v[11] = QStringLiteral("本市某区某街道某号");
        v[13] = QStringLiteral("一般");
        v[14] = i % 100 == 0 ? rareWord : QStringLiteral("劳动争议");
        v[15] = QStringLiteral("是");
        v[16] = QStringLiteral("要求依法处理并尽快答复");
        v[17] = QStringLiteral("已转办");
        v[18] = QStringLiteral("区人力资源和社会保障局");
        v[19] = QStringLiteral("请相关部门阅处");
        for (int c = 0; c < v.size(); ++c) {
            const QByteArray bytes = v[c].toUtf8();
            sqlite3_bind_text(stmt, c + 1, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            fail("insert", db);
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    exec(db, QStringLiteral("COMMIT"));
    sqlite3_close(db);
}

double seconds(const std::function<void()>& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installFontSubstitutions();
    int rows = 100000;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size()) {
            rows = args[++i].toInt();
        } else {
            std::fprintf(stderr, "usage: %s [--rows N]\n", argv[0]);
            return 2;
        }
    }

    QTemporaryDir dir;
    const double making = seconds([&] { makeDatabase(dir.filePath(QStringLiteral("xinfang.mdb")), rows); });
    std::printf("database of %d rows made in %.2f s\n", rows, making);

    // A search that finds nothing would stop at its warning box; answer every box at once.
    QStringList boxes;
    messagebox::setResponderForTesting([&boxes](messagebox::Style, const QString& text, const QString&) {
        boxes << text;
        return false;
    });
    setRunDirectoryForTesting(dir.path());
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
    auto* search = window.findChild<QAbstractButton*>(QStringLiteral("按钮4"));

    const double all = seconds([&] { window.showAll(); });
    std::printf("%-28s %8.2f s  %7d rows\n", "full listing", all, window.recordList()->rowCount());
    for (const QString& keyword : {QStringLiteral("%"), rareWord}) {
        box->setText(keyword);
        const double t = seconds([&] { search->click(); });
        const QString label = QStringLiteral("search \"") + keyword + QStringLiteral("\"");
        std::printf("%-28s %8.2f s  %7d rows\n", label.toLocal8Bit().constData(), t, window.recordList()->rowCount());
    }
    for (const QString& text : boxes) {
        std::printf("box: %s\n", text.toLocal8Bit().constData());
    }
    messagebox::setResponderForTesting(nullptr);
    return 0;
}
