#pragma once

#include <QColor>
#include <QWidget>

// A rectangle shape: a filled background with a one-pixel outline, solid or dashed. Other controls may
// sit inside it.
class ShapeBox : public QWidget {
    Q_OBJECT

public:
    ShapeBox(const QColor& fill, const QColor& outline, Qt::PenStyle outlineStyle, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_outline;
    Qt::PenStyle m_style;
};
