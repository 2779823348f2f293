#pragma once

#include <sqlite3.h>

#include <memory>

// Owners for the SQLite handles that the provisioning tool opens: each closes its handle exactly once.
namespace provisioning {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

} // namespace provisioning
