#pragma once

#include <QString>
#include <QtGlobal>

// The three process-wide variables. They live from start-up to the end of the process and are touched
// only on the GUI thread.
struct ProcessState {
    qint32 selectedRow = 0;      // RecordList row chosen for modification
    qint32 newRow = 0;           // RecordList row index of the last registration added in this run
    QString lastInsertStatement; // the insert statement of the last registration that passed its checks
};

ProcessState& processState();

// Back to the values at start (start-up, and tests that need a fresh run).
void resetProcessState();
