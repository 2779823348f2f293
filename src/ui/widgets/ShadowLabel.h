#pragma once

#include <QColor>
#include <QWidget>

// One line of text centred both ways on a transparent background, optionally with a black shadow drawn
// first two pixels to the right and two pixels lower.
class ShadowLabel : public QWidget {
    Q_OBJECT

public:
    explicit ShadowLabel(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setTextColor(const QColor& color);
    void setShadow(bool shadow);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color = Qt::black;
    bool m_shadow = false;
};
