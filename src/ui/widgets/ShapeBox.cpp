#include "ShapeBox.h"

#include <QPainter>

ShapeBox::ShapeBox(const QColor& fill, const QColor& outline, Qt::PenStyle outlineStyle, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_outline(outline), m_style(outlineStyle) {}

void ShapeBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_fill);
    QPen pen(m_outline, 1, m_style);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
