#pragma once

#include "ui/widgets/MessageBox.h"

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

// Gives the GUI tests the program's fonts and translations, as at start-up.
void prepareGuiTestApplication();
