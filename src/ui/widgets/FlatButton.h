#pragma once

#include <QAbstractButton>

// A flat button in the system colours: while the pointer is over it the face turns a little lighter
// under a raised edge; while it is pressed the edge is sunken and the text moves one pixel right and
// down. No focus rectangle is drawn.
class FlatButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit FlatButton(const QString& text, QWidget* parent = nullptr);

    // A face colour other than the system's button face (the login button is light grey).
    void setFaceColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor m_face;
    bool m_hovered = false;
};
