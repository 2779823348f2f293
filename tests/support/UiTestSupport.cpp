#include "UiTestSupport.h"

#include "ui/widgets/Fonts.h"
#include "ui/widgets/Resources.h"

MessageBoxLog::MessageBoxLog() {
    messagebox::setResponderForTesting([this](messagebox::Style style, const QString& text, const QString& caption) {
        shown << Shown{style, text, caption};
        if (m_onNextBox) {
            auto action = std::move(m_onNextBox);
            m_onNextBox = nullptr;
            action();
        }
        if (style != messagebox::Style::Question || m_answers.empty()) {
            return false;
        }
        const bool answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

MessageBoxLog::~MessageBoxLog() {
    messagebox::setResponderForTesting(nullptr);
}

void MessageBoxLog::answerNextQuestions(std::initializer_list<bool> answers) {
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

QStringList MessageBoxLog::texts() const {
    QStringList out;
    for (const Shown& s : shown) {
        out << s.text;
    }
    return out;
}

void prepareGuiTestApplication() {
    installFontSubstitutions();
}
