#include "EngineDatabase.h"

#include "store/RecordStore.h"
#include "support/ServerDatabase.h"
#include "support/TestDatabase.h"

namespace {

class FileDatabase : public EngineDatabase {
public:
    bool open(RecordStore& store) const override { return store.openDatabase(m_db.path()); }
    void exec(const QString& sql) const override { m_db.exec(sql); }
    qint64 insert(const QStringList& values, qint64 number) const override { return m_db.insert(values, number); }
    QStringList row(qint64 number) const override { return m_db.row(number); }
    qint64 count() const override { return m_db.count(); }
    void recreate(const QString& createTableSql) override { m_db.recreate(createTableSql); }
    QString defaultCreateTable() const override { return TestDatabase::defaultCreateTable(); }

private:
    TestDatabase m_db;
};

class ServerEngineDatabase : public EngineDatabase {
public:
    bool open(RecordStore& store) const override { return store.openConnectionString(m_db.connectionString()); }
    void exec(const QString& sql) const override { m_db.exec(sql); }
    qint64 insert(const QStringList& values, qint64 number) const override { return m_db.insert(values, number); }
    QStringList row(qint64 number) const override { return m_db.row(number); }
    qint64 count() const override { return m_db.count(); }
    void recreate(const QString& createTableSql) override { m_db.recreate(createTableSql); }
    QString defaultCreateTable() const override { return ServerDatabase::defaultCreateTable(); }

private:
    ServerDatabase m_db;
};

} // namespace

const char* engineName(Engine engine) {
    return engine == Engine::File ? "sqlite" : "postgresql";
}

bool engineWanted(Engine engine) {
    const QString wanted = qEnvironmentVariable("XINFANG_TEST_ENGINES");
    return wanted.isEmpty() || wanted.split(QLatin1Char(',')).contains(QLatin1String(engineName(engine)));
}

const char* unavailableReason(Engine engine) {
    if (!engineWanted(engine)) {
        return "XINFANG_TEST_ENGINES leaves this engine out of this run";
    }
    return ServerDatabase::unavailableReason;
}

std::unique_ptr<EngineDatabase> freshDatabase(Engine engine) {
    if (!engineWanted(engine)) {
        return nullptr;
    }
    if (engine == Engine::File) {
        return std::make_unique<FileDatabase>();
    }
    if (!ServerDatabase::available()) {
        return nullptr;
    }
    return std::make_unique<ServerEngineDatabase>();
}
