#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QWidget;

// What the entry windows ask of the window that keeps the records, in their own words. The main window
// offers these operations and keeps its connection, its statements and its list to itself; the entry
// windows know nothing else of it.
class RecordDesk {
public:
    enum class UpdateResult {
        Updated, // the record was written
        Gone,    // no record has that 编号 any more (another desk deleted it): nothing was written
        Failed,  // the database refused the statement
    };

    virtual ~RecordDesk() = default;

    // The window behind these operations. The entry windows watch it: it may be destroyed while they are
    // open, and after that none of the operations may be called.
    virtual QWidget* deskWindow() = 0;

    // Stores a new record with the values of columns 1 to 21; false when the database refused it.
    virtual bool registerRecord(const QStringList& values) = 0;
    // Writes the values of columns 1 to 21 to the record with this 编号.
    virtual UpdateResult updateRecord(qint32 number, const QStringList& values) = 0;

    // The list as the clerk sees it: its rows, the row chosen (-1 for none), the 22 texts of a row (编号
    // first; empty texts for a row that does not exist) and the 编号 that a row stands for.
    virtual int listedRowCount() const = 0;
    virtual int currentListRow() const = 0;
    virtual QStringList rowTexts(int row) const = 0;
    virtual qint32 rowNumber(int row) const = 0;

    // Lists every record again.
    virtual void refreshList() = 0;
    // A statement failed: tells the clerk where the main window tells such things.
    virtual void reportFailure(const QString& text) = 0;
};
