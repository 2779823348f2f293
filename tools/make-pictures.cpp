// Draws every picture the program shows, so that each one is our own and can be redrawn after a change:
//     xinfang-pictures resources/
// The look is that of an office program: calm blues, white, soft gradients, legible Chinese text.

#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>

namespace {

const QColor deepBlue(11, 60, 125);
const QColor midBlue(31, 111, 191);
const QColor paleBlue(214, 233, 248);
const QColor skyWhite(244, 249, 254);
const QColor panelBorder(77, 184, 222); // the side panel's border colour, so the header joins it
const QColor sealRed(200, 38, 44);
const QColor labelBlue(18, 62, 120);

// The login picture is stretched from 535x285 to the 522x278 window, so window coordinates are scaled up
// before drawing; otherwise the words and boxes would sit a few pixels off the entries they belong to.
constexpr qreal loginScaleX = 535.0 / 522.0;
constexpr qreal loginScaleY = 285.0 / 278.0;
constexpr qreal loginBandHeight = 100.0; // window pixels

QRectF fromWindow(qreal x, qreal y, qreal w, qreal h) {
    return {x * loginScaleX, y * loginScaleY, w * loginScaleX, h * loginScaleY};
}

QRectF fromWindow(const QRect& r) {
    return fromWindow(r.x(), r.y(), r.width(), r.height());
}

QFont chineseFont(const char* family, int pixelSize, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage canvas(int width, int height, bool transparent) {
    QImage image(width, height, transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(transparent ? Qt::transparent : Qt::white);
    return image;
}

QPolygonF star(QPointF centre, qreal outer) {
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 == 0 ? outer : outer * 0.42;
        const qreal angle = qDegreesToRadians(-90.0 + i * 36.0);
        points << centre + QPointF(radius * qCos(angle), radius * qSin(angle));
    }
    return points;
}

// The program's emblem: an envelope closed by a red seal. box is the envelope; the seal overhangs its
// lower right corner. line is the outline width in pixels, chosen per size so small icons stay crisp.
void drawEmblem(QPainter& p, const QRectF& box, qreal line, const QColor& outline, const QColor& seal = sealRed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient paper(box.topLeft(), box.bottomLeft());
    paper.setColorAt(0, Qt::white);
    paper.setColorAt(1, QColor(232, 240, 250));
    p.setPen(QPen(outline, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(paper);
    const qreal radius = box.width() * 0.06;
    p.drawRoundedRect(box, radius, radius);
    // The flap: from the upper corners to a point a little above the middle.
    const QPointF tip(box.center().x(), box.top() + box.height() * 0.58);
    QPainterPath flap;
    flap.moveTo(box.left() + line, box.top() + line);
    flap.lineTo(tip);
    flap.lineTo(box.right() - line, box.top() + line);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);

    const qreal sealRadius = box.height() * 0.34;
    const QPointF sealCentre(box.right() - sealRadius * 0.55, box.bottom() - sealRadius * 0.45);
    QRadialGradient wax(sealCentre - QPointF(sealRadius * 0.3, sealRadius * 0.3), sealRadius * 1.3);
    wax.setColorAt(0, seal.lighter(125));
    wax.setColorAt(1, seal.darker(115));
    p.setPen(QPen(Qt::white, qMax<qreal>(1.0, line * 0.8)));
    p.setBrush(wax);
    p.drawEllipse(sealCentre, sealRadius, sealRadius);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 200));
    p.drawPolygon(star(sealCentre, sealRadius * 0.62));
    p.restore();
}

// Gentle translucent waves, the one decoration used on every blue surface so the pictures belong together.
void drawWaves(QPainter& p, const QRectF& area, int count, qreal opacity) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const qreal base = area.top() + area.height() * (0.55 + 0.1 * i);
        QPainterPath wave;
        wave.moveTo(area.left(), base);
        wave.cubicTo(area.left() + area.width() * 0.3, base - area.height() * (0.35 - 0.05 * i),
                     area.left() + area.width() * 0.6, base + area.height() * 0.3, area.right(),
                     base - area.height() * 0.15);
        QColor colour(255, 255, 255);
        colour.setAlphaF(static_cast<float>(opacity * (1.0 - 0.2 * i)));
        p.setPen(QPen(colour, 1.2 + i * 0.6));
        p.drawPath(wave);
    }
    p.restore();
}

void drawLoginBand(QPainter& p, qreal width) {
    const QRectF band(0, 0, width, loginBandHeight * loginScaleY);
    QLinearGradient blue(band.topLeft(), band.topRight());
    blue.setColorAt(0, deepBlue);
    blue.setColorAt(1, midBlue);
    p.fillRect(band, blue);
    QLinearGradient sheen(band.topLeft(), band.bottomLeft());
    sheen.setColorAt(0, QColor(255, 255, 255, 40));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.fillRect(band, sheen);
    // Kept to the left and the middle: the close button sits on the band's top right corner.
    drawWaves(p, QRectF(0, band.height() * 0.35, width * 0.85, band.height() * 0.65), 3, 0.18);
    p.fillRect(QRectF(0, band.bottom() - 2, width, 2), QColor(120, 185, 235));
}

// Everything of the login picture that lies under the close button, so the close picture can repeat it.
void drawLoginBackground(QPainter& p, const QSizeF& size) {
    QLinearGradient light(0, 0, 0, size.height());
    light.setColorAt(0, skyWhite);
    light.setColorAt(1, paleBlue);
    p.fillRect(QRectF(QPointF(0, 0), size), light);
    drawLoginBand(p, size.width());
}

void drawFieldLabel(QPainter& p, const QString& text, const QRectF& entry) {
    p.setFont(chineseFont("Noto Sans CJK SC", 15, true));
    p.setPen(labelBlue);
    const QRectF label(entry.left() - 70 * loginScaleX, entry.top() - 4, 62 * loginScaleX, entry.height() + 8);
    p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, text);
}

// The picture column or row that the window shows at window pixel x: the window draws the picture scaled
// without smoothing, so each window pixel takes the picture pixel under its centre.
int pictureColumn(int x) {
    return static_cast<int>((x + 0.5) * loginScaleX);
}
int pictureRow(int y) {
    return static_cast<int>((y + 0.5) * loginScaleY);
}

// A one-pixel frame on the window pixels just outside a borderless entry (given in window pixels), so
// that all four sides show around the edit box after the picture is scaled to the window. A frame drawn
// in picture coordinates loses a side wherever the scaling skips the picture column or row it sits on.
void drawEntryBox(QPainter& p, const QRect& entry) {
    const int left = pictureColumn(entry.left() - 1);
    const int right = pictureColumn(entry.right() + 1);
    const int top = pictureRow(entry.top() - 1);
    const int bottom = pictureRow(entry.bottom() + 1);
    const QColor edge(127, 169, 211);
    p.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), Qt::white);
    p.fillRect(QRect(left, top, right - left + 1, 1), edge);
    p.fillRect(QRect(left, bottom, right - left + 1, 1), edge);
    p.fillRect(QRect(left, top, 1, bottom - top + 1), edge);
    p.fillRect(QRect(right, top, 1, bottom - top + 1), edge);
}

QImage loginPicture() {
    QImage image = canvas(535, 285, false);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawLoginBackground(p, image.size());

    const QString title = QStringLiteral("信访接待登记系统");
    const QFont titleFont = chineseFont("Noto Serif CJK SC", 32, true);
    p.setFont(titleFont);
    const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
    const QRectF emblem(0, 0, 50, 36);
    const qreal gap = 16;
    const qreal left = (image.width() - emblem.width() - gap - titleWidth) / 2;
    const qreal bandMiddle = loginBandHeight * loginScaleY / 2;
    drawEmblem(p, emblem.translated(left, bandMiddle - emblem.height() / 2 - 2), 2.0, deepBlue);
    const QRectF titleBox(left + emblem.width() + gap, 0, titleWidth + 4, bandMiddle * 2);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(titleBox.translated(1.5, 1.5), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setPen(Qt::white);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, title);

    // A faint emblem, in blue only, fills the empty left side below the band. It is drawn whole first and
    // faded as one, so its overlapping parts do not show through each other.
    QImage watermark = canvas(140, 100, true);
    {
        QPainter layer(&watermark);
        drawEmblem(layer, QRectF(4, 4, 112, 80), 4.0, deepBlue, deepBlue);
    }
    p.setOpacity(0.09);
    p.drawImage(QPointF(22, 126), watermark);
    p.setOpacity(1.0);

    const QRect accountEntry(215, 130, 126, 20);
    const QRect passwordEntry(215, 169, 126, 20);
    drawEntryBox(p, accountEntry);
    drawEntryBox(p, passwordEntry);
    drawFieldLabel(p, QStringLiteral("帐号"), fromWindow(accountEntry));
    drawFieldLabel(p, QStringLiteral("密码"), fromWindow(passwordEntry));

    // A quiet frame around the button's place ties it to the two entries.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(170, 200, 230), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(fromWindow(346, 127, 81, 66), 3, 3);

    const qreal footer = 246 * loginScaleY;
    p.setPen(QPen(QColor(160, 195, 228), 1));
    p.drawLine(QPointF(40, footer), QPointF(image.width() - 40, footer));
    p.setFont(chineseFont("Noto Sans CJK SC", 12, false));
    p.setPen(QColor(90, 115, 145));
    p.drawText(QRectF(0, footer + 3, image.width(), image.height() - footer - 3), Qt::AlignCenter,
               QStringLiteral("请输入帐号和密码"));
    return image;
}

// The close button is 24x24 at 498,0 of the login window and shows this 23x23 picture centred, so the
// picture repeats the band beneath it and the button blends into the corner.
QImage closePicture() {
    QImage image = canvas(23, 23, false);
    QPainter p(&image);
    p.scale(1 / loginScaleX, 1 / loginScaleY);
    p.translate(-498.5 * loginScaleX, -0.5 * loginScaleY);
    drawLoginBackground(p, QSizeF(535, 285));
    p.resetTransform();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(16, 16));
    p.drawLine(QPointF(16, 7), QPointF(7, 16));
    return image;
}

// No text: the program writes its banner title over the middle, white with a black shadow.
QImage bannerPicture() {
    QImage image = canvas(690, 69, false);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(image.rect());
    QLinearGradient blue(all.topLeft(), all.topRight());
    blue.setColorAt(0, QColor(9, 46, 102));
    blue.setColorAt(0.5, QColor(26, 92, 170));
    blue.setColorAt(1, QColor(9, 46, 102));
    p.fillRect(all, blue);
    QLinearGradient sheen(all.topLeft(), all.bottomLeft());
    sheen.setColorAt(0, QColor(255, 255, 255, 46));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 8));
    sheen.setColorAt(1, QColor(0, 0, 0, 30));
    p.fillRect(all, sheen);

    // Rings at both ends, away from the title in the middle.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 34 - 6 * i), 1.5));
        p.drawEllipse(QPointF(40, 60), 30.0 + i * 16, 30.0 + i * 16);
        p.drawEllipse(QPointF(650, 10), 26.0 + i * 15, 26.0 + i * 15);
    }
    drawWaves(p, QRectF(0, 20, 690, 49), 3, 0.16);
    p.fillRect(QRectF(0, 66, 690, 3), QColor(96, 170, 228));
    p.fillRect(QRectF(0, 65, 690, 1), QColor(255, 255, 255, 70));
    return image;
}

// Light where the program writes 群众来信来访操作 (47,10 104x16); the emblem stays left of x=45.
QImage panelHeaderPicture() {
    QImage image = canvas(168, 32, false);
    QPainter p(&image);
    QLinearGradient light(0, 0, 0, 32);
    light.setColorAt(0, QColor(250, 253, 255));
    light.setColorAt(1, QColor(205, 229, 246));
    p.fillRect(image.rect(), light);
    p.fillRect(QRect(0, 0, 168, 1), Qt::white);
    p.fillRect(QRect(0, 31, 168, 1), panelBorder);
    p.fillRect(QRect(6, 7, 3, 18), midBlue);
    drawEmblem(p, QRectF(14.5, 8.5, 22, 15), 1.2, midBlue);
    return image;
}

// A sheet with a folded corner and lines of writing, drawn pixel by pixel: at 16x15 smoothing only blurs.
QImage rowPicture() {
    QImage image = canvas(16, 15, true);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
    p.setPen(midBlue);
    p.drawLine(2, 0, 9, 0);
    p.drawLine(2, 0, 2, 14);
    p.drawLine(2, 14, 13, 14);
    p.drawLine(13, 4, 13, 14);
    p.drawLine(10, 1, 12, 3);
    // The dog-ear: the corner folded forward, its back showing pale blue.
    p.drawLine(9, 1, 9, 4);
    p.drawLine(9, 4, 12, 4);
    p.setPen(paleBlue);
    p.drawLine(10, 2, 10, 3);
    p.drawPoint(11, 3);
    p.setPen(QColor(120, 150, 185));
    for (int y = 6; y <= 12; y += 2) {
        p.drawLine(4, y, y == 12 ? 8 : 11, y);
    }
    p.fillRect(QRect(10, 11, 2, 2), sealRed);
    return image;
}

// Decoration for the left edge of the entry form: blue fading to white, the emblem near the top.
QImage stripPicture() {
    QImage image = canvas(94, 468, false);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient blue(0, 0, 0, 468);
    blue.setColorAt(0, deepBlue);
    blue.setColorAt(0.45, midBlue);
    blue.setColorAt(1, QColor(226, 239, 250));
    p.fillRect(image.rect(), blue);
    QLinearGradient side(0, 0, 94, 0);
    side.setColorAt(0, QColor(255, 255, 255, 0));
    side.setColorAt(1, QColor(255, 255, 255, 28));
    p.fillRect(image.rect(), side);

    drawEmblem(p, QRectF(21, 34, 48, 34), 2.0, deepBlue);

    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        QPainterPath ribbon;
        const qreal x = 26.0 + i * 20;
        ribbon.moveTo(x, 110);
        ribbon.cubicTo(x + 28, 200, x - 30, 300, x + 6, 468);
        p.setPen(QPen(QColor(255, 255, 255, 40 - 8 * i), 1.5 + i));
        p.drawPath(ribbon);
    }
    for (int y = 100; y < 460; y += 18) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 26));
        p.drawEllipse(QPointF(84, y), 1.6, 1.6);
    }
    p.fillRect(QRectF(92, 0, 2, 468), QColor(255, 255, 255, 90));
    return image;
}

// A rounded blue tile with the emblem; outline widths follow the size so 16x16 stays readable.
QImage iconPicture(int size) {
    QImage image = canvas(size, size, true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF tile(0.5, 0.5, s - 1, s - 1);
    QLinearGradient blue(tile.topLeft(), tile.bottomLeft());
    blue.setColorAt(0, QColor(52, 136, 220));
    blue.setColorAt(1, deepBlue);
    p.setPen(size >= 32 ? QPen(QColor(8, 42, 92), 1) : Qt::NoPen);
    p.setBrush(blue);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);
    const qreal line = qMax<qreal>(1.0, s / 40);
    drawEmblem(p, QRectF(s * 0.14, s * 0.24, s * 0.66, s * 0.48), line, deepBlue);
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    const bool jpeg = name.endsWith(QStringLiteral(".jpg"));
    if (!image.save(path, jpeg ? "JPG" : "PNG", jpeg ? 95 : -1)) {
        std::fprintf(stderr, "xinfang-pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Drawing needs no screen; this keeps the tool usable on a build machine without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: xinfang-pictures DIR   (draws the program's pictures into DIR)\n", stderr);
        return 2;
    }
    for (const char* family : {"Noto Sans CJK SC", "Noto Serif CJK SC"}) {
        const QString found = QFontInfo(QFont(QString::fromLatin1(family))).family();
        if (found != QLatin1String(family)) {
            std::fprintf(stderr, "xinfang-pictures: font %s is missing (got %s); install fonts-noto-cjk\n", family,
                         qPrintable(found));
            return 1;
        }
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "xinfang-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = save(loginPicture(), dir, QStringLiteral("login.jpg"));
    ok = save(closePicture(), dir, QStringLiteral("close.jpg")) && ok;
    ok = save(bannerPicture(), dir, QStringLiteral("banner.jpg")) && ok;
    ok = save(panelHeaderPicture(), dir, QStringLiteral("panel-header.png")) && ok;
    ok = save(rowPicture(), dir, QStringLiteral("row.png")) && ok;
    ok = save(stripPicture(), dir, QStringLiteral("strip.jpg")) && ok;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        ok = save(iconPicture(size), dir, QStringLiteral("icon-%1.png").arg(size)) && ok;
    }
    return ok ? 0 : 1;
}
