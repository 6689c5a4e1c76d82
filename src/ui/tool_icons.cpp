#include "ui/tool_icons.h"

#include <QPainter>

namespace {

// The 16-colour palette the icons keep to.
const QColor vgaBlack(0, 0, 0);
const QColor vgaWhite(255, 255, 255);
const QColor vgaSilver(192, 192, 192);
const QColor vgaGrey(128, 128, 128);
const QColor vgaNavy(0, 0, 128);
const QColor vgaBlue(0, 0, 255);
const QColor vgaGreen(0, 255, 0);
const QColor vgaTeal(0, 128, 128);
const QColor vgaYellow(255, 255, 0);

// 3 × 5 pixel glyphs for the "8x8" on the sprite pages; a set bit is a dot.
const char* const glyph8[5] = {"111", "101", "111", "101", "111"};
const char* const glyphX[5] = {"000", "101", "010", "101", "000"};

void drawGlyph(QImage& image, const char* const glyph[5], int left, int top, QColor colour)
{
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            if (glyph[y][x] == '1')
                image.setPixelColor(left + x, top + y, colour);
}

void drawPage(QPainter& p, QRect page)
{
    // A sheet with its top right corner folded over.
    p.setPen(Qt::NoPen);
    p.setBrush(vgaWhite);
    p.drawRect(page);
    p.setPen(vgaBlack);
    p.setBrush(Qt::NoBrush);
    const int fold = 5;
    const QPoint tl = page.topLeft(), br = page.bottomRight();
    p.drawLine(tl, QPoint(br.x() - fold, tl.y()));
    p.drawLine(QPoint(br.x() - fold, tl.y()), QPoint(br.x(), tl.y() + fold));
    p.drawLine(QPoint(br.x(), tl.y() + fold), br);
    p.drawLine(br, QPoint(tl.x(), br.y()));
    p.drawLine(QPoint(tl.x(), br.y()), tl);
    p.setPen(vgaSilver);
    p.drawLine(QPoint(br.x() - fold, tl.y() + 1), QPoint(br.x() - fold, tl.y() + fold));
    p.drawLine(QPoint(br.x() - fold, tl.y() + fold), QPoint(br.x() - 1, tl.y() + fold));
}

void drawSpriteIcon(QImage& image, bool greys, bool masked)
{
    QPainter p(&image);
    drawPage(p, QRect(4, 1, 24, 30));
    p.end();
    drawGlyph(image, glyph8, 10, 4, vgaBlack);
    drawGlyph(image, glyphX, 14, 4, vgaBlack);
    drawGlyph(image, glyph8, 18, 4, vgaBlack);

    // The square split along its diagonal: white above, black below, or the
    // four greys in bands from the upper left to the lower right.
    const QRect square(8, 12, 16, 16);
    for (int y = 0; y < square.height(); ++y) {
        for (int x = 0; x < square.width(); ++x) {
            QColor c;
            if (!greys) {
                c = x + y < square.width() ? vgaWhite : vgaBlack;
            } else {
                const int band = (x + y) * 4 / (square.width() * 2 - 1);
                const QColor shades[4] = {vgaWhite, vgaSilver, vgaGrey, vgaBlack};
                c = shades[std::min(band, 3)];
            }
            image.setPixelColor(square.left() + x, square.top() + y, c);
        }
    }
    QPainter frame(&image);
    frame.setPen(vgaBlue);
    frame.drawRect(square.adjusted(-1, -1, 0, 0));
    frame.end();
    // Dots in the frame's corners: white, or green for a masked sprite.
    const QColor dot = masked ? vgaGreen : vgaWhite;
    for (const QPoint corner :
         {square.topLeft() - QPoint(1, 1), QPoint(square.right(), square.top() - 1),
          QPoint(square.left() - 1, square.bottom()), square.bottomRight()}) {
        image.setPixelColor(corner, dot);
        if (masked) {
            // Two pixels, so the mask dots still show on a small icon.
            const int dx = corner.x() < square.center().x() ? 1 : -1;
            image.setPixelColor(corner + QPoint(dx, 0), dot);
        }
    }
}

void drawPictureIcon(QImage& image, bool greys)
{
    QPainter p(&image);
    drawPage(p, QRect(1, 1, 22, 22));
    // A dark landscape: sky, a hill and a sun, in black and white or in greys.
    const QRect picture(4, 6, 15, 13);
    p.fillRect(picture, greys ? vgaGrey : vgaBlack);
    p.setPen(Qt::NoPen);
    p.setBrush(greys ? vgaSilver : vgaWhite);
    p.drawEllipse(QRect(13, 8, 4, 4));
    p.setBrush(greys ? vgaBlack : vgaWhite);
    p.drawPolygon(QPolygon({QPoint(4, 18), QPoint(9, 11), QPoint(14, 18)}));
    if (greys) {
        p.setBrush(vgaWhite);
        p.drawRect(QRect(4, 6, 3, 2));
    }
    // The page of data lines in front of the picture's lower right corner.
    drawPage(p, QRect(14, 12, 17, 19));
    p.setPen(greys ? vgaTeal : vgaNavy);
    for (int y = 17; y <= 28; y += 2)
        p.drawLine(16, y, y % 4 == 1 ? 24 : 28, y);
}

QImage drawIcon(int number)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    switch (number) {
    case 1:
    case 2:
    case 3:
    case 4:
        drawSpriteIcon(image, number == 2 || number == 4, number >= 3);
        break;
    default:
        drawPictureIcon(image, number == 6);
        break;
    }
    return image;
}

} // namespace

QPixmap toolIconPixmap(int number)
{
    return QPixmap::fromImage(drawIcon(number));
}

QIcon toolWindowIcon(int number, bool fullColour)
{
    QImage image = drawIcon(number);
    if (fullColour && (number == 2 || number == 4)) {
        // Smooth greys instead of the four bands: the larger palette.
        const QRect square(8, 12, 16, 16);
        for (int y = 0; y < square.height(); ++y)
            for (int x = 0; x < square.width(); ++x) {
                const int level = 255 - (x + y) * 255 / 30;
                image.setPixelColor(square.left() + x, square.top() + y,
                                    QColor(level, level, level));
            }
    }
    return QIcon(QPixmap::fromImage(image));
}

QPixmap logoPixmap()
{
    QImage image(89, 41, QImage::Format_RGB32);
    image.fill(vgaWhite);
    QPainter p(&image);
    p.setPen(vgaNavy);
    p.drawRect(0, 0, 88, 40);
    // A row of sprite dots over the name: the four greys and the mask colour.
    const QColor dots[] = {vgaBlack, vgaGrey, vgaSilver, QColor(255, 128, 0),
                           vgaBlack, vgaGrey, vgaSilver};
    int x = 8;
    for (const QColor& c : dots) {
        p.fillRect(x, 6, 6, 6, c);
        x += 8;
    }
    p.fillRect(66, 6, 14, 6, vgaYellow);
    p.setPen(vgaBlack);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(2, 15, 85, 22), Qt::AlignCenter, QStringLiteral("Dotwright"));
    p.end();
    return QPixmap::fromImage(image);
}
