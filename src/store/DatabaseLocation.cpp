#include "DatabaseLocation.h"

#include "RecordStore.h"

bool openConfiguredDatabase(RecordStore& store, const QString& connectionString, const QString& databaseFile) {
    if (!connectionString.isEmpty()) {
        return store.openConnectionString(connectionString);
    }
    return store.openDatabase(databaseFile);
}
