#pragma once

#include "ui/widgets/MessageBox.h"

#include <QApplication>
#include <QList>
#include <QString>

#include <deque>

// Answers the program's message boxes in place of a clerk and remembers what they said. While one
// exists no real box opens, so no test can hang on one.
class MessageBoxLog {
public:
    struct Shown {
        messagebox::Style style;
        QString text;
        QString caption;
    };

    MessageBoxLog();
    ~MessageBoxLog();
    MessageBoxLog(const MessageBoxLog&) = delete;
    MessageBoxLog& operator=(const MessageBoxLog&) = delete;

    // The answers to the next questions, in order; a question without a queued answer is answered No.
    void answerNextQuestions(std::initializer_list<bool> answers);
    // Runs when the next box is shown, as if the clerk did something while it was open.
    void onNextBox(std::function<void()> action) { m_onNextBox = std::move(action); }

    QList<Shown> shown;
    QStringList texts() const;

private:
    std::deque<bool> m_answers;
    std::function<void()> m_onNextBox;
};

// Gives the GUI tests the program's fonts and pictures, as at start-up.
void prepareGuiTestApplication();

// Presses Tab (or Shift+Tab) steps times on whatever has the focus; gives the object names the focus
// visited, in order.
QStringList tabWalk(int steps, bool forward = true);

class EntryForm;

// Columns 1 to 21 as a clerk might fill them.
QStringList sampleEntryValues();
void fillEntryForm(EntryForm& form, const QStringList& values);
// The values of columns 1 to 21.
QStringList entryFormValues(const EntryForm& form);

// The visible top-level windows of a class, such as the open entry windows.
template <class Window> QList<Window*> visibleWindows() {
    QList<Window*> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible()) {
            out << window;
        }
    }
    return out;
}
