#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QInputMethodEvent;
class QWidget;

// The keys every window of the program shares, as one application-wide event filter:
// - Esc closes the window unless the focused control uses it itself.
// - Enter clicks the focused control if it is a default button, otherwise the first enabled default button
//   in the window's list; without one it does nothing. Multi-line boxes keep Enter for their line breaks.
// - Tab and Shift+Tab walk the window's fixed order of controls, skipping hidden and disabled ones and
//   wrapping around.
// While an input method composes text (the underlined preedit), it takes the keys first: Esc, Enter and Tab
// only reach these rules once no composition is open. The filter also drops a composition that the input
// method cancelled (see dropCancelledComposition).
class KeyboardRules : public QObject {
    Q_OBJECT

public:
    // Registers a window; the rules hold until it is destroyed. A window not yet shown gets its focus on the
    // first control of the order.
    static void apply(QWidget* window, const QList<QWidget*>& tabOrder,
                      const QList<QAbstractButton*>& defaultButtons = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Rules {
        QPointer<QWidget> window;
        QList<QPointer<QWidget>> tabOrder;
        QList<QPointer<QAbstractButton>> defaultButtons;
    };

    static KeyboardRules& instance();
    Rules* rulesFor(QWidget* widget);
    bool handleKey(Rules& rules, QWidget* focus, int key, Qt::KeyboardModifiers modifiers);
    void moveFocus(Rules& rules, QWidget* focus, bool forward);
    void dropCancelledComposition(const QInputMethodEvent& event);

    QList<Rules> m_windows;
    int m_swallowNextKey = 0; // a key that a closing drop-down list already used
    bool m_composing = false; // an input method shows preedit text in some field
};
