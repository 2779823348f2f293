#pragma once

#include "EntryForm.h"

// "修 改 登 记 信 息": the entry form filled with the registration selected in the record list;
// "修 改 数 据" writes the 21 fields back to that record and closes the window. Nothing is checked first.
//
// The window keeps the 编号 of the record it was filled with and always saves to that record, whatever
// happened to the list meanwhile (a search, a delete, a new selection); a record deleted meanwhile is
// reported and nothing else is changed.
class ModificationWindow : public EntryForm {
    Q_OBJECT

public:
    static EntryFormLook look();

    explicit ModificationWindow(RecordDesk& desk);

    qint32 recordNumber() const { return m_recordNumber; }

    // The click of "修 改 数 据". A failed update leaves the window and the entries as they are.
    void saveModification();

private:
    void initModificationWindow();

    qint32 m_recordNumber = 0;
};

// The main window's "修改选中信息": asks for a selection, remembers it and opens the modification
// window, or brings the open one forward unchanged. Gives the window, or nothing without a selection.
ModificationWindow* openModificationWindow(RecordDesk& desk);
