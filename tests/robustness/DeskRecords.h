#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Registrations that the desk processes of these tests write and the tests check. Each one is known by
// its desk and sequence number, which it carries in 来访人姓名, so every stored row can be traced back to
// the values it must hold, whatever else happened to the file.
namespace deskrecords {

struct Mark {
    int desk = 0;
    qint64 sequence = 0;
    friend bool operator==(const Mark&, const Mark&) = default;
};
size_t qHash(const Mark& mark, size_t seed = 0);

// The 21 values of registration (desk, sequence): awkward texts of the kinds a clerk types (quotes,
// brackets, wildcards, line breaks, characters outside the BMP) and now and then a long 诉求内容 that
// fills several database pages.
QStringList values(const Mark& mark);
std::optional<Mark> markOf(const QStringList& values);

// One row as SQLite holds it, read with SQLite's own API and not through the program's store.
struct StoredRow {
    qint64 number = 0;  // 编号
    QStringList values; // columns 1 to 21; NULL as "<NULL>"
    QList<int> types;   // SQLite's storage class of each of the 21 values
};

// Every row of 信访数据, in 编号 order. Opening the file rolls back whatever a killed writer left half
// done, as the next start of the program would. Empty with ok false when the file cannot be read.
QList<StoredRow> readRows(const QString& path, bool* ok = nullptr);

// The answer of PRAGMA integrity_check: "ok" for a sound file.
QString integrityCheck(const QString& path);

} // namespace deskrecords
