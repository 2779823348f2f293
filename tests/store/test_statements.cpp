#include "store/Statements.h"

#include <QTest>

// The exact texts matter: they are what every engine behind ODBC has to accept.
class TestStatements : public QObject {
    Q_OBJECT

    static QStringList values() {
        QStringList v;
        for (int i = 1; i <= 21; ++i) {
            v << QString::number(i);
        }
        return v;
    }

private slots:
    void texts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all") << statements::selectAll() << QStringLiteral("select * from 信访数据");
        QTest::newRow("search") << statements::search(QStringLiteral("k"))
                                << QStringLiteral(
                                       "select * from 信访数据 where 编号 like '%k%' or 日期 like '%k%' or 来信来访 "
                                       "like '%k%' or 接访地点 like '%k%' or 接访人 like '%k%' or 来访人数 like '%k%' "
                                       "or 来访人姓名 like '%k%' or 来访人性别 like '%k%' or 来仿人民族 like '%k%' or "
                                       "来访人年龄 like '%k%' or 来仿人职业 like '%k%' or 来访人电话 like '%k%' or "
                                       "来访人单位或住址 like '%k%' or 来访人身份证 like '%k%' or 问题性质 like '%k%' "
                                       "or 信访事由 like '%k%' or 是否初访 like '%k%' or 诉求内容 like '%k%' or "
                                       "处理情况 like '%k%' or 归办单位 like '%k%' or 领导批示 like '%k%' or 备注 like "
                                       "'%k%'");
        QTest::newRow("numbers")
            << statements::selectNumbers()
            << QStringLiteral(
                   "select 编号 from 信访数据 where coalesce(日期,来信来访,接访地点,接访人,来访人数,来访人姓名,"
                   "来访人性别,来仿人民族,来访人年龄,来仿人职业,来访人电话,来访人单位或住址,来访人身份证,"
                   "问题性质,信访事由,是否初访,诉求内容,处理情况,归办单位,领导批示,备注,'') is not null");
        QTest::newRow("numbers searched")
            << statements::searchNumbers(QStringLiteral("O'N"))
            << QStringLiteral("select 编号 from 信访数据") +
                   statements::search(QStringLiteral("O'N")).mid(QStringLiteral("select * from 信访数据").size());
        const std::vector<qint32> numbers = {7, -2, 2147483647};
        QTest::newRow("rows by number") << statements::selectByNumbers(numbers)
                                        << QStringLiteral("select * from 信访数据 where 编号 in (7,-2,2147483647)");
        QTest::newRow("insert")
            << statements::insert(values())
            << QStringLiteral("insert into 信访数据 ([日期],[来信来访],[接访地点],[接访人],[来访人数],[来访人姓名]"
                              ",[来访人性别],[来仿人民族],[来访人年龄],[来仿人职业],[来访人电话],[来访人单位或住址]"
                              ",[来访人身份证],[问题性质],[信访事由],[是否初访],[诉求内容],[处理情况],[归办单位],"
                              "[领导批示],[备注]) values ('1','2','3','4','5','6','7','8','9','10','11','12','"
                              "13','14','15','16','17','18','19','20','21')");
        QTest::newRow("update")
            << statements::update(values(), QStringLiteral("12"))
            << QStringLiteral("update 信访数据 set 日期='1',来信来访='2',接访地点='3',接访人='4',来访人数='5',"
                              "来访人姓名='6',来访人性别='7',来仿人民族='8',来访人年龄='9',来仿人职业='10',"
                              "来访人电话='11',来访人单位或住址='12',来访人身份证='13',问题性质='14',信访事由='15'"
                              ",是否初访='16',诉求内容='17',处理情况='18',归办单位='19',领导批示='20',备注='21' "
                              "where 编号=12");
        QTest::newRow("delete") << statements::remove(QStringLiteral("-5"))
                                << QStringLiteral("delete from 信访数据 where 编号=-5");
        QTest::newRow("quote in keyword")
            << statements::search(QStringLiteral("O'Neil")).section(QLatin1Char(' '), 0, 8)
            << QStringLiteral("select * from 信访数据 where 编号 like '%O''Neil%' or");
    }
    void texts() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void brackets_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("names") << "insert into t ([a],[b]) values ('x')"
                               << "insert into t (\"a\",\"b\") values ('x')";
        QTest::newRow("inside literal kept") << "x [a] '[b]' [c]"
                                             << "x \"a\" '[b]' \"c\"";
        QTest::newRow("doubled quote stays inside") << "[a] 'it''s [x]' [b]"
                                                    << "\"a\" 'it''s [x]' \"b\"";
        QTest::newRow("none") << "select 1"
                              << "select 1";
    }
    void brackets() {
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(statements::replaceBrackets(statement, QStringLiteral("\"")), expected);
    }
};

QTEST_APPLESS_MAIN(TestStatements)
#include "test_statements.moc"
