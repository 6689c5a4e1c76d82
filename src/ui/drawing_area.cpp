#include "ui/drawing_area.h"

#include "picture_io/picture_loader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include <cmath>

namespace {

QRgb rgbOf(Colour c)
{
    return qRgb(redOf(c), greenOf(c), blueOf(c));
}

Colour colourOf(QRgb rgb)
{
    return colourFromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

int buttonValue(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int buttonsValue(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) + (buttons & Qt::RightButton ? 2 : 0) +
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int shiftValue(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) + (modifiers & Qt::ControlModifier ? 2 : 0) +
           (modifiers & Qt::AltModifier ? 4 : 0);
}

// Pixel index of a coordinate already in pixels, kept inside int range so that
// positions far outside the area (or not numbers at all) cannot overflow.
int pixelIndex(double pixels)
{
    if (!(pixels > -1e6))
        return -1000000;
    if (pixels > 1e6)
        return 1000000;
    return static_cast<int>(std::floor(pixels));
}

} // namespace

DrawingArea::DrawingArea(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage& DrawingArea::image() const
{
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (m_image.size() != wanted) {
        QImage resized(wanted, QImage::Format_RGB32);
        resized.fill(rgbOf(m_backColor));
        if (!m_image.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(0, 0, m_image);
        }
        m_image = resized;
    }
    return m_image;
}

void DrawingArea::setUserScale(double unitsWide, double unitsHigh)
{
    m_unitsWide = unitsWide;
    m_unitsHigh = unitsHigh;
}

void DrawingArea::setFramed(bool framed)
{
    m_framed = framed;
    update();
}

void DrawingArea::setBackColor(Colour colour)
{
    m_backColor = colour;
    // An area that only shows its background (a swatch) shows the new colour at once.
    clear();
}

void DrawingArea::clear()
{
    m_picture = QImage();
    image().fill(rgbOf(m_backColor));
    update();
}

bool DrawingArea::pixelOf(const QImage& target, QPointF point, int* x, int* y) const
{
    const double sx = m_unitsWide > 0 ? target.width() / m_unitsWide : 1.0;
    const double sy = m_unitsHigh > 0 ? target.height() / m_unitsHigh : 1.0;
    *x = pixelIndex(point.x() * sx);
    *y = pixelIndex(point.y() * sy);
    return *x >= 0 && *y >= 0 && *x < target.width() && *y < target.height();
}

QPointF DrawingArea::unitsOf(QPointF pixelPosition) const
{
    const double sx = m_unitsWide > 0 ? m_unitsWide / width() : 1.0;
    const double sy = m_unitsHigh > 0 ? m_unitsHigh / height() : 1.0;
    return {pixelPosition.x() * sx, pixelPosition.y() * sy};
}

void DrawingArea::fillRectangle(QPointF corner1, QPointF corner2, Colour colour)
{
    QImage& target = image();
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    pixelOf(target, corner1, &x1, &y1);
    pixelOf(target, corner2, &x2, &y2);
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, target.width() - 1);
    y2 = std::min(y2, target.height() - 1);
    if (x1 > x2 || y1 > y2)
        return;
    const QRgb rgb = rgbOf(colour);
    for (int y = y1; y <= y2; ++y) {
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(y));
        std::fill(line + x1, line + x2 + 1, rgb);
    }
    update();
}

Colour DrawingArea::readPoint(QPointF point) const
{
    const QImage& target = image();
    int x = 0, y = 0;
    if (!pixelOf(target, point, &x, &y))
        return colours::none;
    return colourOf(target.pixel(x, y));
}

void DrawingArea::setPoint(QPointF point, Colour colour)
{
    QImage& target = image();
    int x = 0, y = 0;
    if (!pixelOf(target, point, &x, &y))
        return;
    target.setPixel(x, y, rgbOf(colour));
    update();
}

void DrawingArea::showPicture(const QImage& picture)
{
    m_picture = picture;
    m_image = pictureOnBackground(picture, image().size(), m_backColor);
    update();
}

void DrawingArea::copyPicture(const DrawingArea& other)
{
    if (other.m_picture.isNull())
        clear();
    else
        showPicture(other.m_picture);
}

void DrawingArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, image());
    if (m_framed)
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
}

void DrawingArea::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = unitsOf(event->position());
    emit mouseDown(buttonValue(event->button()), shiftValue(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void DrawingArea::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = unitsOf(event->position());
    emit mouseMove(buttonsValue(event->buttons()), shiftValue(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void DrawingArea::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF at = unitsOf(event->position());
    emit mouseUp(buttonValue(event->button()), shiftValue(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
