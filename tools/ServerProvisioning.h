#pragma once

#include "Provisioning.h"

#include <QString>

#include <cstdint>

// The provisioning tool's commands for a shared PostgreSQL server, reached through ODBC with the same
// connection string the desks put into set.ini.
namespace provisioning {

struct ServerResult {
    FileState state; // Created, LeftAlone (信访数据 is there already) or Failed
    QString error;   // why it failed; empty otherwise
};

// Makes the table 信访数据 and what the program's statements need on the database the connection string
// reaches. A database that has 信访数据 already is left alone.
//
// With a desk role (an existing role, see serverschema::isPlainRoleName), that role is also given the
// use of 信访数据 and nothing more, on a new database or on one that has the table already; then the
// role's rights are read back, and anything it could still create, alter, drop or read beyond 信访数据
// fails the whole command, which then changes nothing.
ServerResult createServerSchema(const QString& connectionString, const QString& deskRole = {});

// Adds count made-up registrations to the server's 信访数据, all or none.
DemoResult addDemoRecordsToServer(const QString& connectionString, std::int64_t count);

} // namespace provisioning
