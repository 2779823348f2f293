#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh SQLite database file of the program's schema in a temporary directory of its own, written
// directly through SQLite so that tests set up their data without going through the code under test.
class TestDatabase {
public:
    // The table 信访数据 as the provisioning tool makes it. extraSql runs after it (more rows, other tables).
    TestDatabase();

    QString directory() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(QStringLiteral("xinfang.mdb")); }

    // Runs SQL on the file; fails the test process on error.
    void exec(const QString& sql) const;
    // Inserts one row; values are the texts of columns 1 to 21 (missing ones empty). Returns its 编号.
    qint64 insert(const QStringList& values, qint64 number = 0) const;
    // The 21 text columns of the row with this 编号, NULL as "<NULL>"; empty list when no such row.
    QStringList row(qint64 number) const;
    qint64 count() const;

    // Replaces the table with one of the given CREATE TABLE text.
    void recreate(const QString& createTableSql) const;

    static QString defaultCreateTable();

    // Writes set.ini beside the database in GBK.
    void writeSettings(const QString& text) const;

private:
    QTemporaryDir m_dir;
};
