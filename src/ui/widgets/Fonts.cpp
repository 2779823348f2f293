#include "Fonts.h"

#include <QApplication>
#include <QFontDatabase>

QFont layoutFont(const QString& face, int pixelHeight, bool bold) {
    QFont font = face.isEmpty() ? QApplication::font() : QFont(face);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void installFontSubstitutions() {
    const QString sans = QStringLiteral("Noto Sans CJK SC");
    const QString serif = QStringLiteral("Noto Serif CJK SC");
    QFont::insertSubstitution(QStringLiteral("微软雅黑"), sans);
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), sans);
    QFont::insertSubstitution(QStringLiteral("宋体"), serif);
    QFont::insertSubstitution(QStringLiteral("SimSun"), serif);
    if (QFontDatabase::families().contains(sans)) {
        QFont font(sans);
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
}
