#include "FlatButton.h"

#include <QPainter>
#include <qdrawutil.h>

FlatButton::FlatButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
}

void FlatButton::setFaceColor(const QColor& color) {
    m_face = color;
    update();
}

void FlatButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const bool down = isDown();
    const bool lit = m_hovered || down;
    QColor face = m_face.isValid() ? m_face : pal.color(QPalette::Button);
    if (lit) {
        face = face.lighter(106);
    }
    p.fillRect(rect(), face);
    if (lit) {
        qDrawShadePanel(&p, rect(), pal, down, 1);
    }
    QRect textRect = rect();
    if (down) {
        textRect.translate(1, 1);
    }
    p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.setFont(font());
    p.drawText(textRect, Qt::AlignCenter, text());
}
