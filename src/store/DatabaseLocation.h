#pragma once

#include <QString>

class RecordStore;

// Where the program's data lives. An office with one desk keeps xinfang.mdb beside the program; an office
// with several desks puts a full ODBC connection string to its shared server into set.ini, under
// [db] connection=…, and every desk then works on the same table.
inline constexpr auto databaseSettingSection = "db";
inline constexpr auto databaseSettingKey = "connection";

// Connects store through connectionString when it is not empty, and to the file at databaseFile
// otherwise. The file is not looked at when a connection string is given, so a desk working on a server
// needs no xinfang.mdb.
bool openConfiguredDatabase(RecordStore& store, const QString& connectionString, const QString& databaseFile);
