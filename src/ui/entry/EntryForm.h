#pragma once

#include "store/PetitionRecord.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <span>

class FlatButton;
class QComboBox;
class RecordDesk;

// The columns the entry windows treat by name.
namespace entrycolumn {
inline constexpr int number = 0;        // 编号, shown only
inline constexpr int date = 1;          // 日期
inline constexpr int letterOrVisit = 2; // 来信来访
inline constexpr int place = 3;         // 接访地点
inline constexpr int receiver = 4;      // 接访人
inline constexpr int visitors = 5;      // 来访人数
} // namespace entrycolumn

// What sets the registration window and the modification window apart; everything else of their layout
// is the same, control by control.
struct EntryFormLook {
    QString caption;
    QString buttonText;
    QString buttonTip;
    int emptyReceiverItems = 0; // empty rows at the foot of the receiver list 组合框2
    int numberLabelWidth = 63;  // 标签1 "信访编号："
};

// One field per column of PetitionRecord. The controls' numbers follow neither the column order nor the
// screen order, so this table is the one place that ties them together; every read and write by column
// goes through it.
struct EntryField {
    enum class Kind { SingleLine, MultiLine, ComboBox };

    const char* name; // objectName of the field
    Kind kind;
    QRect geometry;                     // inside 分组框1
    const char* labelText;              // its label is 标签<column + 1>
    QRect labelGeometry;                // inside 分组框1
    std::span<const char* const> items; // the fixed list of a combo box, in this order
};

// The 22-field form of the two entry windows: a framed window of 644x492 at 250,120 with a picture strip
// on the left and a group frame holding the labelled fields, a dashed separator and the command button.
// Created hidden, with every control in its initial state; Esc closes it, Tab walks the fields in a fixed
// order, and Enter only breaks lines in the two multi-line boxes.
class EntryForm : public QWidget {
    Q_OBJECT

public:
    explicit EntryForm(const EntryFormLook& look, QWidget* parent = nullptr);

    static const std::array<EntryField, columnCount>& fields();
    // The order Tab walks, as object names; Shift+Tab walks it backwards.
    static const std::array<const char*, 22>& tabOrder();

    // The value of a column: the text of an edit box, the edit text of a combo box. A field that still
    // shows what setFieldText() put there gives back exactly that text, whatever the box made of it for
    // showing (a multi-line box shows every kind of line break alike); a line break that the clerk put
    // into a multi-line box is CR LF.
    QString fieldText(int column) const;
    // Writing a combo box's value changes neither its list nor its current item.
    void setFieldText(int column, const QString& text);
    QWidget* fieldWidget(int column) const;
    // Activates the window and puts the keyboard focus on a column's field (for after a message box,
    // which leaves no window active).
    void focusField(int column);

    // An entry window that is open already is restored if minimised, raised and activated instead of
    // being made anew. A closed one is gone even while it waits to be deleted.
    void bringForward();

    QComboBox* receiverBox() const;
    FlatButton* commandButton() const { return m_commandButton; }

protected:
    // The desk that stores what this window holds: the main window, which only hides when the clerk closes
    // it, so that saving still works then.
    void attachDesk(RecordDesk& desk);
    // Gives nothing, after telling the clerk, once the desk's window has been destroyed; the entries stay
    // in the window.
    RecordDesk* availableDesk() const;

private:
    void buildLayout(const EntryFormLook& look);
    // What a field holds as the box keeps it: a multi-line box's paragraphs joined by U+2029.
    QString shownText(int column) const;

    // What setFieldText() last wrote into each field, and what the field held right after.
    struct Written {
        QString value;
        QString shown;
    };

    std::array<QWidget*, columnCount> m_fields{};
    std::array<Written, columnCount> m_written{};
    FlatButton* m_commandButton = nullptr;
    RecordDesk* m_desk = nullptr;
    QPointer<QWidget> m_deskWindow; // watched: m_desk may be used only while this still exists
};

// Puts the five receiver names of set.ini (section "md", mingdan1 to mingdan5) at the top of the form's
// 组合框2, above any items it held; a missing name still takes its place as an empty item. The text in the
// box's edit field and its current item stay as they were.
void fillReceivers(EntryForm& form);
