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
    if (height() <= 1) {
        // A one-pixel shape is a line; drawn as a rectangle its top and bottom edges would fill each
        // other's gaps and a dashed outline would look solid.
        p.drawLine(0, 0, width() - 1, 0);
    } else {
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
