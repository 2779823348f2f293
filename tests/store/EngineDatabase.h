#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <memory>

class RecordStore;

// The engines the store runs on: an SQLite file beside the program, and a PostgreSQL server shared by
// several desks.
enum class Engine { File, Server };
Q_DECLARE_METATYPE(Engine)

inline constexpr Engine allEngines[] = {Engine::File, Engine::Server};
const char* engineName(Engine engine);

// A fresh database of the program's schema on one engine, written and read past the code under test
// (TestDatabase through SQLite, ServerDatabase through libpq), so that one suite checks the store on both.
class EngineDatabase {
public:
    virtual ~EngineDatabase() = default;

    // Connects the store the way the program does for this engine.
    virtual bool open(RecordStore& store) const = 0;
    virtual void exec(const QString& sql) const = 0;
    virtual qint64 insert(const QStringList& values, qint64 number = 0) const = 0;
    virtual QStringList row(qint64 number) const = 0;
    virtual qint64 count() const = 0;
    virtual void recreate(const QString& createTableSql) = 0;
    // CREATE TABLE for a plain table 信访数据 of the program's columns, in this engine's dialect.
    virtual QString defaultCreateTable() const = 0;
};

// Null when the engine cannot be reached here (no PostgreSQL server named) or is not wanted in this run:
// the test then skips, saying why.
std::unique_ptr<EngineDatabase> freshDatabase(Engine engine);
const char* unavailableReason(Engine engine);

// Whether this run tests the engine. The environment variable XINFANG_TEST_ENGINES=postgresql limits a run to
// the server, as the run of the wide text build does: its other driver is the PostgreSQL one, and the
// SQLite3 driver has no wide functions of its own.
bool engineWanted(Engine engine);
