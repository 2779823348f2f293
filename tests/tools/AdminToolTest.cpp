#include "support/AdminToolRun.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

#include <sys/stat.h>

namespace {

const QString table = QStringLiteral("信访数据");

// The table as the program reads and writes it; 来仿人民族 and 来仿人职业 are spelled with 仿.
const QStringList textColumns = {
    QStringLiteral("日期"),         QStringLiteral("来信来访"),   QStringLiteral("接访地点"),
    QStringLiteral("接访人"),       QStringLiteral("来访人数"),   QStringLiteral("来访人姓名"),
    QStringLiteral("来访人性别"),   QStringLiteral("来仿人民族"), QStringLiteral("来访人年龄"),
    QStringLiteral("来仿人职业"),   QStringLiteral("来访人电话"), QStringLiteral("来访人单位或住址"),
    QStringLiteral("来访人身份证"), QStringLiteral("问题性质"),   QStringLiteral("信访事由"),
    QStringLiteral("是否初访"),     QStringLiteral("诉求内容"),   QStringLiteral("处理情况"),
    QStringLiteral("归办单位"),     QStringLiteral("领导批示"),   QStringLiteral("备注")};

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

Database openDatabase(const QString& dir) {
    sqlite3* db = nullptr;
    const QByteArray path = (dir + QStringLiteral("/xinfang.mdb")).toUtf8();
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    return Database(db);
}

// Every row of the query, each as its column texts (NULL as a null QString).
QList<QStringList> select(sqlite3* db, const QString& sql) {
    QList<QStringList> rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(db));
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
            row << (text != nullptr ? QString::fromUtf8(text) : QString());
        }
        rows << row;
    }
    sqlite3_finalize(statement);
    return rows;
}

bool execute(sqlite3* db, const QString& sql) {
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

QList<QStringList> allRows(const QString& dir) {
    Database db = openDatabase(dir);
    return select(db.get(), QStringLiteral("select * from %1 order by 编号").arg(table));
}

// The permission bits of a path, as the kernel has them.
int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// section/key → value, for the plain files the tool writes (no quoting, no comments).
QHash<QString, QString> parseIni(const QString& text) {
    QHash<QString, QString> values;
    QString section;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
        } else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0) {
            values.insert(section + QLatin1Char('/') + line.left(equals), line.mid(equals + 1));
        }
    }
    return values;
}

QStringList receiverNames(const QString& dir) {
    QStringDecoder fromGbk("GBK");
    const QHash<QString, QString> ini = parseIni(fromGbk(readBytes(dir + QStringLiteral("/set.ini"))));
    QStringList names;
    for (int i = 1; i <= 5; ++i) {
        names << ini.value(QStringLiteral("md/mingdan%1").arg(i));
    }
    return names;
}

} // namespace

class AdminToolTest : public QObject {
    Q_OBJECT

private slots:
    void initCreatesTableAndSettings();
    void initLeavesExistingFilesAlone_data();
    void initLeavesExistingFilesAlone();
    void initKeepsFilesToTheOffice_data();
    void initKeepsFilesToTheOffice();
    void demoIsDeterministic();
    void demoRowsLookLikeRegistrations();
    void numbersAreNeverReused();
    void badArgumentsFail_data();
    void badArgumentsFail();
    void checkSaysWhetherTheFileIsSound_data();
    void checkSaysWhetherTheFileIsSound();

private:
    QTemporaryDir m_temp;
};

void AdminToolTest::initCreatesTableAndSettings() {
    // A directory that does not exist yet is made.
    const QString dir = m_temp.filePath(QStringLiteral("new office"));
    const AdminToolRun run = runAdmin({QStringLiteral("init"), dir});
    QCOMPARE(run.exitCode, 0);

    Database db = openDatabase(dir);
    QVERIFY(db);
    QList<QStringList> expected = {{QStringLiteral("编号"), QStringLiteral("INTEGER"), QStringLiteral("1")}};
    for (const QString& column : textColumns) {
        expected.append({column, QStringLiteral("TEXT"), QStringLiteral("0")});
    }
    QCOMPARE(select(db.get(), QStringLiteral("select name, type, pk from pragma_table_info('%1')").arg(table)),
             expected);
    QCOMPARE(select(db.get(), QStringLiteral("select count(*) from %1").arg(table)),
             QList<QStringList>{{QStringLiteral("0")}});

    const QByteArray bytes = readBytes(dir + QStringLiteral("/set.ini"));
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QStringDecoder fromGbk("GBK");
    const QString text = fromGbk(bytes);
    QVERIFY(!fromGbk.hasError());
    // Chinese text in UTF-8 would also pass the GBK decoder now and then; GBK is never valid UTF-8.
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    const QString asUtf8 = fromUtf8(bytes);
    QVERIFY(fromUtf8.hasError());

    const QHash<QString, QString> ini = parseIni(text);
    const QRegularExpression chinese(QStringLiteral("^\\p{Han}{2,}"));
    QVERIFY(chinese.match(ini.value(QStringLiteral("bt/biaoti"))).hasMatch());
    QVERIFY(chinese.match(ini.value(QStringLiteral("mc/mingcheng"))).hasMatch());
    const QStringList names = receiverNames(dir);
    for (const QString& name : names) {
        QVERIFY2(chinese.match(name).hasMatch(), qPrintable(name));
    }
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 5);
}

void AdminToolTest::initLeavesExistingFilesAlone_data() {
    QTest::addColumn<QStringList>("existing");
    QTest::newRow("database exists") << QStringList{QStringLiteral("xinfang.mdb")};
    QTest::newRow("set.ini exists") << QStringList{QStringLiteral("set.ini")};
    QTest::newRow("both exist") << QStringList{QStringLiteral("xinfang.mdb"), QStringLiteral("set.ini")};
    // The program opens these in a folder copied from Windows; files of the exact names would hide them.
    QTest::newRow("both exist, named on Windows")
        << QStringList{QStringLiteral("XINFANG.MDB"), QStringLiteral("Set.ini")};
}

void AdminToolTest::initLeavesExistingFilesAlone() {
    QFETCH(QStringList, existing);
    const QString dir = m_temp.filePath(QLatin1String(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir));
    const QByteArray ownContent = "an office's own file\r\n";
    for (const QString& name : existing) {
        QFile file(dir + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ownContent);
    }

    const AdminToolRun run = runAdmin({QStringLiteral("init"), dir});
    QCOMPARE(run.exitCode, 0);

    for (const QString& name : existing) {
        QCOMPARE(readBytes(dir + QLatin1Char('/') + name), ownContent);
        QVERIFY2(run.out.contains(name), qPrintable(run.out));
    }
    for (const QString& name : {QStringLiteral("xinfang.mdb"), QStringLiteral("set.ini")}) {
        if (existing.contains(name, Qt::CaseInsensitive) && !existing.contains(name)) {
            QVERIFY2(!QFile::exists(dir + QLatin1Char('/') + name), qPrintable(name));
        }
    }
    if (!existing.contains(QStringLiteral("xinfang.mdb"), Qt::CaseInsensitive)) {
        QCOMPARE(allRows(dir).size(), 0);
        Database db = openDatabase(dir);
        QCOMPARE(select(db.get(), QStringLiteral("select count(*) from pragma_table_info('%1')").arg(table)),
                 QList<QStringList>{{QStringLiteral("22")}});
    }
    if (!existing.contains(QStringLiteral("set.ini"), Qt::CaseInsensitive)) {
        QCOMPARE(receiverNames(dir).filter(QRegularExpression(QStringLiteral("^\\p{Han}+$"))).size(), 5);
    }
}

void AdminToolTest::initKeepsFilesToTheOffice_data() {
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("directoryMode");
    // A umask that lets everything through still leaves other accounts out; a stricter one is kept.
    QTest::newRow("umask 000") << 0000 << 0660 << 0770;
    QTest::newRow("umask 022") << 0022 << 0640 << 0750;
    QTest::newRow("umask 077") << 0077 << 0600 << 0700;
}

void AdminToolTest::initKeepsFilesToTheOffice() {
    QFETCH(int, umask);
    QFETCH(int, fileMode);
    QFETCH(int, directoryMode);
    const QString dir = m_temp.filePath(QStringLiteral("desk ") + QLatin1String(QTest::currentDataTag()));
    // The tool inherits the umask, as it would from an administrator's shell.
    const mode_t previous = ::umask(static_cast<mode_t>(umask));
    const AdminToolRun run = runAdmin({QStringLiteral("init"), dir + QStringLiteral("/desk")});
    ::umask(previous);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(modeOf(dir + QStringLiteral("/desk/xinfang.mdb")), fileMode);
    QCOMPARE(modeOf(dir + QStringLiteral("/desk/set.ini")), fileMode);
    QCOMPARE(modeOf(dir + QStringLiteral("/desk")), directoryMode);
    // Writing into the database (a journal comes and goes) leaves its permissions as they were.
    QCOMPARE(runAdmin({QStringLiteral("demo"), dir + QStringLiteral("/desk"), QStringLiteral("3")}).exitCode, 0);
    QCOMPARE(modeOf(dir + QStringLiteral("/desk/xinfang.mdb")), fileMode);
}

void AdminToolTest::demoIsDeterministic() {
    QList<QList<QStringList>> contents;
    for (const QString& name : {QStringLiteral("first"), QStringLiteral("second")}) {
        const QString dir = m_temp.filePath(name);
        QCOMPARE(runAdmin({QStringLiteral("init"), dir}).exitCode, 0);
        const AdminToolRun run = runAdmin({QStringLiteral("demo"), dir, QStringLiteral("300")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("300")), qPrintable(run.out));
        contents << allRows(dir);
    }
    QCOMPARE(contents[0].size(), 300);
    QCOMPARE(contents[0].first().first(), QStringLiteral("1"));
    QCOMPARE(contents[0].last().first(), QStringLiteral("300"));
    QCOMPARE(contents[0], contents[1]);
}

void AdminToolTest::demoRowsLookLikeRegistrations() {
    const QString dir = m_temp.filePath(QStringLiteral("looks"));
    QCOMPARE(runAdmin({QStringLiteral("init"), dir}).exitCode, 0);
    QCOMPARE(runAdmin({QStringLiteral("demo"), dir, QStringLiteral("3000")}).exitCode, 0);
    const QList<QStringList> rows = allRows(dir);
    QCOMPARE(rows.size(), 3000);

    const auto set = [](const QString& items) {
        const QStringList list = items.split(QLatin1Char(' '));
        return QSet<QString>(list.begin(), list.end());
    };
    const QStringList receivers = receiverNames(dir);
    // Column → what a clerk could have picked there: the entry form's lists; "" where a field may stay empty.
    const QHash<int, QSet<QString>> choices = {
        {2, set(QStringLiteral("来信 来访"))},
        {4, QSet<QString>(receivers.begin(), receivers.end())},
        {7, set(QStringLiteral("男 女"))},
        {8, set(QStringLiteral(" 汉族 满族 朝鲜族 回族 藏族 蒙古族 苗族 侗族 瑶族 傣族 佤族 白族"))},
        {14, set(QStringLiteral("重 中 轻"))},
        {15, set(QStringLiteral("拖欠工资 退休 退休待遇 病退 养老保险 医疗保险 分房 贪污 受贿 工伤 工资 档案丢失 "
                                "档案 收取押金 不作为"))},
        {16, set(QStringLiteral("是 否"))},
        {19, set(QStringLiteral(" 人社局 社保局 公安局 检察院 法院 工商局 地税局 国税局 质量技术监督局 烟草专卖局 "
                                "食品药品监督管理局 环保局 物价局 国土资源局 征收局 安全生产监督管理局 "
                                "城市管理行政执法局 司法局 审计局 财政局 交通运管所 交警大队"))},
    };
    // The date as the program writes it, without leading zeros.
    const QRegularExpression dateForm(QStringLiteral("^([1-9]\\d{3})年([1-9]\\d?)月([1-9]\\d?)日$"));
    const QRegularExpression idForm(QStringLiteral("^(\\d{17}[\\dX])?$"));

    QSet<int> years;
    bool someEmpty = false;
    bool someLong = false;
    for (const QStringList& row : rows) {
        QCOMPARE(row.size(), 22);
        const QRegularExpressionMatch date = dateForm.match(row[1]);
        QVERIFY2(date.hasMatch(), qPrintable(row[1]));
        QVERIFY2(QDate(date.captured(1).toInt(), date.captured(2).toInt(), date.captured(3).toInt()).isValid(),
                 qPrintable(row[1]));
        years.insert(date.captured(1).toInt());
        for (auto choice = choices.cbegin(); choice != choices.cend(); ++choice) {
            QVERIFY2(choice.value().contains(row[choice.key()]), qPrintable(row.join(QLatin1Char('|'))));
        }
        QVERIFY2(idForm.match(row[13]).hasMatch(), qPrintable(row[13]));
        for (int column = 1; column < 22; ++column) {
            QVERIFY2(!row[column].isNull(), "the program's inserts never leave NULLs, nor should the demo");
            someEmpty = someEmpty || row[column].isEmpty();
            someLong = someLong || row[column].size() >= 200;
        }
    }
    QVERIFY(years.size() >= 3);
    QVERIFY(someEmpty);
    QVERIFY(someLong);
}

void AdminToolTest::numbersAreNeverReused() {
    const QString dir = m_temp.filePath(QStringLiteral("numbers"));
    QCOMPARE(runAdmin({QStringLiteral("init"), dir}).exitCode, 0);
    QCOMPARE(runAdmin({QStringLiteral("demo"), dir, QStringLiteral("5")}).exitCode, 0);
    {
        Database db = openDatabase(dir);
        QVERIFY(execute(db.get(), QStringLiteral("delete from %1 where 编号=5").arg(table)));
        QVERIFY(execute(db.get(), QStringLiteral("delete from %1 where 编号=3").arg(table)));
        // The program's own insert: bracketed names, 编号 left to the database, empty texts accepted.
        QString insert = QStringLiteral("insert into %1 ([%2]) values ('2012年12月4日','来访','信访局'")
                             .arg(table, textColumns.join(QStringLiteral("],[")));
        insert += QString(QStringLiteral(",''")).repeated(18) + QLatin1Char(')');
        QVERIFY(execute(db.get(), insert));
    }
    QCOMPARE(runAdmin({QStringLiteral("demo"), dir, QStringLiteral("1")}).exitCode, 0);

    QStringList numbers;
    for (const QStringList& row : allRows(dir)) {
        numbers << row.first();
    }
    QCOMPARE(numbers, QStringList({"1", "2", "4", "6", "7"}));
}

void AdminToolTest::badArgumentsFail_data() {
    // DIR stands for a fresh directory; with plainTextDatabase its xinfang.mdb is a text file.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("plainTextDatabase");
    QTest::addColumn<bool>("usageShown");
    QTest::newRow("nothing") << QStringList{} << false << true;
    QTest::newRow("unknown command") << QStringList{"create", "DIR"} << false << true;
    QTest::newRow("init without directory") << QStringList{"init"} << false << true;
    QTest::newRow("init with two directories") << QStringList{"init", "DIR", "DIR"} << false << true;
    QTest::newRow("demo without count") << QStringList{"demo", "DIR"} << false << true;
    QTest::newRow("count zero") << QStringList{"demo", "DIR", "0"} << false << true;
    QTest::newRow("count negative") << QStringList{"demo", "DIR", "-5"} << false << true;
    QTest::newRow("count in words") << QStringList{"demo", "DIR", "ten"} << false << true;
    QTest::newRow("count with trailing text") << QStringList{"demo", "DIR", "12x"} << false << true;
    QTest::newRow("count beyond 32 bits") << QStringList{"demo", "DIR", "4294967296"} << false << true;
    QTest::newRow("demo without database") << QStringList{"demo", "DIR", "5"} << false << false;
    QTest::newRow("demo into a text file") << QStringList{"demo", "DIR", "5"} << true << false;
    QTest::newRow("init below a regular file") << QStringList{"init", "DIR/xinfang.mdb/office"} << true << false;
}

void AdminToolTest::badArgumentsFail() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, plainTextDatabase);
    QFETCH(bool, usageShown);
    const QString dir = m_temp.filePath(QLatin1String(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir));
    const QString database = dir + QStringLiteral("/xinfang.mdb");
    const QByteArray text = "not a database, just some text that happens to have this name\n";
    if (plainTextDatabase) {
        QFile file(database);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    for (QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("DIR"))) {
            argument = dir + argument.mid(3);
        }
    }

    const AdminToolRun run = runAdmin(arguments);
    QVERIFY2(run.exitCode != 0, qPrintable(run.out));
    QVERIFY(!run.err.isEmpty());
    QCOMPARE(run.err.contains(QStringLiteral("Usage")), usageShown);
    // Whatever went wrong, nothing was made or changed.
    QCOMPARE(QFile::exists(database), plainTextDatabase);
    if (plainTextDatabase) {
        QCOMPARE(readBytes(database), text);
    }
    QVERIFY(!QFile::exists(dir + QStringLiteral("/set.ini")));
}

void AdminToolTest::checkSaysWhetherTheFileIsSound_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // the first line begins with the file's name and this
    QTest::addColumn<int>("readable"); // registrations it can still read; -1: some, not all
    QTest::newRow("sound") << "none" << 0 << " is sound: SQLite's full check found nothing wrong." << 3000;
    QTest::newRow("sound, copied from Windows") << "capitals" << 0 << " is sound" << 3000;
    QTest::newRow("sound, without the table") << "no table" << 0 << " is sound, but it has no table" << 0;
    QTest::newRow("pages overwritten in the middle") << "overwritten" << 1 << " is DAMAGED" << -1;
    QTest::newRow("cut short") << "cut short" << 1 << " is DAMAGED" << -1;
    QTest::newRow("schema page wiped") << "schema wiped" << 1 << " is DAMAGED" << 0;
    QTest::newRow("a text file") << "text" << 1 << " is DAMAGED" << 0;
    QTest::newRow("missing") << "missing" << 1 << QString() << 0;
}

// The full check reads every page; it changes nothing, and tells the office in plain words what to do.
void AdminToolTest::checkSaysWhetherTheFileIsSound() {
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(int, readable);
    const QString dir = m_temp.filePath(QStringLiteral("check ") + QLatin1String(QTest::currentDataTag()));
    QCOMPARE(runAdmin({QStringLiteral("init"), dir}).exitCode, 0);
    QCOMPARE(runAdmin({QStringLiteral("demo"), dir, QStringLiteral("3000")}).exitCode, 0);
    QString name = QStringLiteral("xinfang.mdb");
    QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    QByteArray bytes = readBytes(path);
    const qsizetype page = 4096;
    if (damage == QLatin1String("capitals")) {
        name = QStringLiteral("XINFANG.MDB");
        QVERIFY(QFile::rename(path, dir + QLatin1Char('/') + name));
        path = dir + QLatin1Char('/') + name;
    } else if (damage == QLatin1String("no table")) {
        Database db = openDatabase(dir);
        QVERIFY(execute(db.get(), QStringLiteral("ALTER TABLE 信访数据 RENAME TO 旧数据")));
    } else if (damage == QLatin1String("overwritten")) {
        bytes.replace(bytes.size() / 2 / page * page, 3 * page, QByteArray(3 * page, '\xAB'));
    } else if (damage == QLatin1String("cut short")) {
        bytes.truncate(bytes.size() / 2 / page * page);
    } else if (damage == QLatin1String("schema wiped")) {
        bytes.replace(100, page - 100, QByteArray(page - 100, '\0'));
    } else if (damage == QLatin1String("text")) {
        bytes = "not a database, just some text that happens to have this name\n";
    } else if (damage == QLatin1String("missing")) {
        QVERIFY(file.remove());
    }
    if (damage != QLatin1String("none") && damage != QLatin1String("capitals") && damage != QLatin1String("no table") &&
        damage != QLatin1String("missing")) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    }
    const QByteArray before = readBytes(path);

    const AdminToolRun run = runAdmin({QStringLiteral("check"), dir});

    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(readBytes(path), before);
    if (damage == QLatin1String("missing")) {
        QVERIFY(run.err.contains(QStringLiteral("there is no")));
        QVERIFY(!QFile::exists(path));
        return;
    }
    QVERIFY2(run.out.startsWith(QDir::toNativeSeparators(path) + said), qPrintable(run.out));
    if (exitCode == 0) {
        if (readable > 0) {
            QVERIFY2(run.out.contains(QStringLiteral("It holds %1 registrations.").arg(readable)), qPrintable(run.out));
        }
        return;
    }
    QVERIFY2(run.out.contains(QStringLiteral("put the last backup copy of xinfang.mdb in its place")),
             qPrintable(run.out));
    const QRegularExpressionMatch count =
        QRegularExpression(QStringLiteral("(\\d+) registrations can still be read")).match(run.out);
    if (readable == 0) {
        QVERIFY2(!count.hasMatch() && run.out.contains(QStringLiteral("No registration can be read")),
                 qPrintable(run.out));
    } else {
        QVERIFY2(count.hasMatch(), qPrintable(run.out));
        const int rows = count.captured(1).toInt();
        QVERIFY2(rows > 0 && rows < 3000, qPrintable(run.out));
    }
}

QTEST_GUILESS_MAIN(AdminToolTest)
#include "AdminToolTest.moc"
