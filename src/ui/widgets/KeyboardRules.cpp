#include "KeyboardRules.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

KeyboardRules& KeyboardRules::instance() {
    static KeyboardRules* rules = [] {
        auto* r = new KeyboardRules;
        r->setParent(qApp);
        qApp->installEventFilter(r);
        return r;
    }();
    return *rules;
}

void KeyboardRules::apply(QWidget* window, const QList<QWidget*>& tabOrder,
                          const QList<QAbstractButton*>& defaultButtons) {
    KeyboardRules& self = instance();
    Rules rules;
    rules.window = window;
    for (QWidget* w : tabOrder) {
        rules.tabOrder << w;
    }
    for (QAbstractButton* b : defaultButtons) {
        rules.defaultButtons << b;
    }
    self.m_windows << rules;
    // The window opens with the focus on the first control of its order, where a Tab walk starts, and not
    // on whichever control happens to come first in the toolkit's own chain.
    if (!window->isVisible()) {
        for (QWidget* w : tabOrder) {
            if (w && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
}

KeyboardRules::Rules* KeyboardRules::rulesFor(QWidget* widget) {
    m_windows.removeIf([](const Rules& r) { return r.window.isNull(); }); // windows that are gone
    QWidget* window = widget ? widget->window() : nullptr;
    for (Rules& r : m_windows) {
        if (r.window == window) {
            return &r;
        }
    }
    return nullptr;
}

namespace {

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool usesEnter(QWidget* w) {
    return qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
}

} // namespace

bool KeyboardRules::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::InputMethod) {
        dropCancelledComposition(*static_cast<QInputMethodEvent*>(event));
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // An open drop-down list closes itself on Esc or Enter; the key press that follows must not reach
        // the window as well.
        auto* key = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && (key->key() == Qt::Key_Escape || isEnter(key->key()))) {
            for (QWidget* p = w; p; p = p->parentWidget()) {
                auto* combo = qobject_cast<QComboBox*>(p);
                if (combo && combo->view() && combo->view()->isVisible()) {
                    m_swallowNextKey = key->key();
                    break;
                }
            }
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (!widget->isWindow() && widget != QApplication::focusWidget())) {
        return false; // act once, on the first receiver of the key
    }
    if (m_swallowNextKey != 0 && key->key() == m_swallowNextKey) {
        m_swallowNextKey = 0;
        return false;
    }
    m_swallowNextKey = 0;
    Rules* rules = rulesFor(widget);
    if (!rules) {
        return false;
    }
    return handleKey(*rules, widget, key->key(), key->modifiers());
}

bool KeyboardRules::handleKey(Rules& rules, QWidget* focus, int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_Escape) {
        rules.window->close();
        return true;
    }
    if (isEnter(key)) {
        if (usesEnter(focus)) {
            return false;
        }
        for (const QPointer<QAbstractButton>& b : rules.defaultButtons) {
            if (b && b == focus) {
                b->click();
                return true;
            }
        }
        for (const QPointer<QAbstractButton>& b : rules.defaultButtons) {
            if (b && b->isEnabled()) {
                b->click();
                return true;
            }
        }
        return true; // no default button: Enter does nothing
    }
    if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && (modifiers & Qt::ShiftModifier))) {
        moveFocus(rules, focus, false);
        return true;
    }
    if (key == Qt::Key_Tab && !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        moveFocus(rules, focus, true);
        return true;
    }
    return false;
}

// A composition that the input method hides without committing it must stay dropped. Qt's ibus plugin
// (Qt 6.4 as Debian 12 ships it; the later Qt 6 sources we read are the same) clears the field's preedit
// when the engine hides it (libpinyin does on Esc, and on Tab, which turns its candidates' page) but keeps
// its own copy, and commits that copy into the field when the focus next moves: the clerk saw an empty
// field and the record stores 章. When a composition ends without anything committed, resetting the input
// method drops that copy. This costs nothing where the plugin behaves or another framework (fcitx5) is
// used: the engine's composition is gone already, commits (Space, Enter's letters) do not end this way,
// and without an input method no preedit is ever shown. Remove it once the oldest Qt we build with keeps
// no copy.
void KeyboardRules::dropCancelledComposition(const QInputMethodEvent& event) {
    if (!event.preeditString().isEmpty()) {
        m_composing = true;
        return;
    }
    const bool cancelled = m_composing && event.commitString().isEmpty() && event.replacementLength() == 0;
    m_composing = false;
    if (cancelled) {
        QGuiApplication::inputMethod()->reset();
    }
}

void KeyboardRules::moveFocus(Rules& rules, QWidget* focus, bool forward) {
    const auto& order = rules.tabOrder;
    const qsizetype n = order.size();
    if (n == 0) {
        return;
    }
    // The focus may sit in a part of a control, such as the edit field of a combo box.
    qsizetype current = -1;
    for (QWidget* w = focus; w && current < 0 && w != rules.window; w = w->parentWidget()) {
        current = order.indexOf(w);
    }
    for (qsizetype step = 1; step <= n; ++step) {
        const qsizetype i =
            current < 0 ? (forward ? step - 1 : n - step) : ((current + (forward ? step : -step)) % n + n) % n;
        QWidget* candidate = order[i];
        if (candidate && candidate->isVisibleTo(rules.window) && candidate->isEnabled()) {
            candidate->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}
