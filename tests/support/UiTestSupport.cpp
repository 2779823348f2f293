#include "UiTestSupport.h"

#include "store/PetitionRecord.h"
#include "ui/entry/EntryForm.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/Resources.h"

#include <QTest>

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

QStringList tabWalk(int steps, bool forward) {
    QStringList visited;
    for (int i = 0; i < steps; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) {
            break;
        }
        QTest::keyClick(focus, forward ? Qt::Key_Tab : Qt::Key_Backtab);
        QWidget* now = QApplication::focusWidget();
        // The focus may sit in the edit field of a combo box: name the control the clerk sees.
        while (now && now->objectName().isEmpty() && now->parentWidget()) {
            now = now->parentWidget();
        }
        visited << (now ? now->objectName() : QString());
    }
    return visited;
}

QStringList sampleEntryValues() {
    return {"2012年12月4日",
            "来访",
            "信访局",
            "张科员",
            "3",
            "李四",
            "男",
            "回族",
            "45",
            "个体",
            "13900000000",
            "某区某街1号",
            "110101197001011234",
            "重",
            "拖欠工资",
            "是",
            "讨要工资\r\n三个月",
            "已转办",
            "人社局",
            "尽快处理",
            "无"};
}

void fillEntryForm(EntryForm& form, const QStringList& values) {
    for (int column = firstTextColumn; column < columnCount; ++column) {
        form.setFieldText(column, values.value(column - firstTextColumn));
    }
}

QStringList entryFormValues(const EntryForm& form) {
    QStringList out;
    for (int column = firstTextColumn; column < columnCount; ++column) {
        out << form.fieldText(column);
    }
    return out;
}
