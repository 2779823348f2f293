#include "ShadowLabel.h"

#include <QPainter>

ShadowLabel::ShadowLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShadowLabel::setText(const QString& text) {
    m_text = text;
    update();
}

void ShadowLabel::setTextColor(const QColor& color) {
    m_color = color;
    update();
}

void ShadowLabel::setShadow(bool shadow) {
    m_shadow = shadow;
    update();
}

void ShadowLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (m_shadow) {
        p.setPen(Qt::black);
        p.drawText(rect().translated(2, 2), flags, m_text);
    }
    p.setPen(m_color);
    p.drawText(rect(), flags, m_text);
}
