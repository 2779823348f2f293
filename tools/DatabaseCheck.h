#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace provisioning {

// What SQLite's full integrity check makes of an office's database file. Slow on a large file (it reads
// every page), so the program itself never runs it; an administrator does, when the program cannot open
// the file or its list looks wrong.
struct CheckResult {
    enum class State {
        Sound,
        Damaged, // the check found problems, or the file cannot be read as a database at all
        Missing, // no such file
    };
    State state;
    QString path;
    QStringList problems;      // the check's own words, at most a few
    std::int64_t problemCount; // all it found
    bool hasTable;             // the file holds the table 信访数据
    std::int64_t readableRows; // registrations that can still be read whole, in 编号 order, up to the first
                               // damaged one
    bool allRowsRead;          // the reading reached the end of the table
};

// Checks xinfang.mdb in dir, found as the program finds it (Windows letter case rules included).
CheckResult checkDatabase(const QString& dir);

} // namespace provisioning
