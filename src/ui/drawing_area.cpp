#include "ui/drawing_area.h"

#include "picture_io/picture_on_background.h"
#include "ui/colour_rgb.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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

// `image` at `size`: its pixels at the top left, the background beyond them.
QImage fitted(const QImage& image, QSize size, Colour background)
{
    QImage result(size, QImage::Format_RGB32);
    result.fill(rgbOf(background));
    const int width = std::min(image.width(), size.width());
    const int height = std::min(image.height(), size.height());
    for (int y = 0; y < height; ++y)
        std::memcpy(result.scanLine(y), image.constScanLine(y), std::size_t(width) * sizeof(QRgb));
    return result;
}

} // namespace

DrawingArea::DrawingArea(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitImage();
}

QSize DrawingArea::imageSize() const
{
    return size().expandedTo(QSize(1, 1));
}

void DrawingArea::fitImage()
{
    if (m_image.size() != imageSize())
        m_image = fitted(m_image, imageSize(), m_backColor);
}

void DrawingArea::resizeEvent(QResizeEvent*)
{
    fitImage();
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
    fitImage();
    m_image.fill(rgbOf(m_backColor));
    update();
}

bool DrawingArea::pixelOf(QPointF point, int* x, int* y) const
{
    const QSize pixels = imageSize();
    const double sx = m_unitsWide > 0 ? pixels.width() / m_unitsWide : 1.0;
    const double sy = m_unitsHigh > 0 ? pixels.height() / m_unitsHigh : 1.0;
    *x = pixelIndex(point.x() * sx);
    *y = pixelIndex(point.y() * sy);
    return *x >= 0 && *y >= 0 && *x < pixels.width() && *y < pixels.height();
}

QPointF DrawingArea::unitsOf(QPointF pixelPosition) const
{
    const double sx = m_unitsWide > 0 ? m_unitsWide / width() : 1.0;
    const double sy = m_unitsHigh > 0 ? m_unitsHigh / height() : 1.0;
    return {pixelPosition.x() * sx, pixelPosition.y() * sy};
}

Colour DrawingArea::pixelAt(int x, int y) const
{
    if (x < m_image.width() && y < m_image.height())
        return colourOf(reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x]);
    return m_backColor;
}

void DrawingArea::fillRectangle(QPointF corner1, QPointF corner2, Colour colour)
{
    fitImage();
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    pixelOf(corner1, &x1, &y1);
    pixelOf(corner2, &x2, &y2);
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, m_image.width() - 1);
    y2 = std::min(y2, m_image.height() - 1);
    if (x1 > x2 || y1 > y2)
        return;
    const QRgb rgb = rgbOf(colour);
    for (int y = y1; y <= y2; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        std::fill(line + x1, line + x2 + 1, rgb);
    }
    update();
}

Colour DrawingArea::readPoint(QPointF point) const
{
    int x = 0, y = 0;
    if (!pixelOf(point, &x, &y))
        return colours::none;
    return pixelAt(x, y);
}

void DrawingArea::setPoint(QPointF point, Colour colour)
{
    fitImage();
    int x = 0, y = 0;
    if (!pixelOf(point, &x, &y))
        return;
    reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = rgbOf(colour);
    update();
}

void DrawingArea::showPicture(const PictureCorner& picture)
{
    fitImage();
    showColours(pictureOnBackground(picture, m_image.width(), m_image.height(), m_backColor));
}

void DrawingArea::showColours(std::span<const Colour> colours)
{
    fitImage();
    const std::size_t width = std::size_t(m_image.width());
    const std::size_t count = std::min(colours.size(), width * std::size_t(m_image.height()));
    for (std::size_t start = 0; start < count; start += width) {
        auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(int(start / width)));
        const std::size_t end = std::min(start + width, count);
        std::transform(colours.begin() + start, colours.begin() + end, line, rgbOf);
    }
    update();
}

void DrawingArea::readColours(std::span<Colour> colours) const
{
    const QSize pixels = imageSize();
    const std::size_t width = std::size_t(pixels.width());
    const std::size_t inside = std::min(colours.size(), width * std::size_t(pixels.height()));
    if (m_image.size() == pixels) {
        for (std::size_t start = 0; start < inside; start += width) {
            const auto* line =
                reinterpret_cast<const QRgb*>(m_image.constScanLine(int(start / width)));
            const std::size_t count = std::min(width, inside - start);
            std::transform(line, line + count, colours.begin() + start, colourOf);
        }
    } else {
        for (std::size_t i = 0; i < inside; ++i)
            colours[i] = pixelAt(int(i % width), int(i / width));
    }
    std::fill(colours.begin() + inside, colours.end(), colours::none);
}

QImage DrawingArea::takeImage() const
{
    if (m_image.size() == imageSize())
        return m_image;
    return fitted(m_image, imageSize(), m_backColor);
}

void DrawingArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
    if (m_framed)
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
}

void DrawingArea::mousePressEvent(QMouseEvent* event)
{
    m_click.press(event);
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
    if (m_click.release(event, this))
        emit clicked();
}
