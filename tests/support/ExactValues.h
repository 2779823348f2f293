#pragma once

#include "ui/entry/EntryForm.h"

#include <QList>
#include <QString>
#include <QStringList>

class MainWindow;

// Texts that records from other desks, imports and pastes hold, each one that a widget, a driver or a
// statement could quietly change: a record must read back exactly as it was written, and a record that
// the clerk opens and saves without an edit must stay as it was, byte for byte.
namespace exactvalues {

struct Value {
    const char* name;
    QString text; // a null QString stands for SQL NULL
};

const QList<Value>& hostileValues();

// What a field keeps of a text that the clerk pastes into it: a single-line box or a combo box's edit
// field one blank for each line break (as it shows it), a multi-line box CR LF for each; every other
// character as it is.
QString pastedInto(EntryField::Kind kind, const QString& text);

// Puts text into a column's field as the clerk does with Ctrl+V: through the clipboard and the box's
// own paste. The field is focused first, as it would be.
void paste(EntryForm& form, int column, const QString& text);

// Selects the row, opens it in the modification window and saves it without touching a field. Gives
// what went wrong, or an empty text.
QString saveUnchanged(MainWindow& mainWindow, int row);

// Opens the registration window, pastes the 21 values (columns 1 to 21) into its fields and adds the
// record. Gives what went wrong, or an empty text.
QString registerPasted(MainWindow& mainWindow, const QStringList& values);

} // namespace exactvalues
