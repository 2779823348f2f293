#pragma once

#include "EntryForm.h"

// "信 访 接 待 登 记": the entry form for one new letter or visit. Created hidden, with a provisional
// number, today's date and the receiver names already filled in; "添 加 数 据" has the desk store the record
// and closes the window.
class RegistrationWindow : public EntryForm {
    Q_OBJECT

public:
    static EntryFormLook look();

    explicit RegistrationWindow(RecordDesk& desk);

    // The click of "添 加 数 据": checks the three required fields, inserts the record, updates the list
    // and closes the window. A failed insert leaves the window and the entries as they are.
    void addRegistration();

private:
    void initRegistrationWindow();
};

// The main window's "登记信访信息": opens the registration window, or brings the open one forward with the
// clerk's entries untouched, then refreshes the record list. Gives the window.
RegistrationWindow* openRegistrationWindow(RecordDesk& desk);
