#include "ui/image_display.h"

#include <QPainter>

ImageDisplay::ImageDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageDisplay::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void ImageDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Without smoothing the stretched pixels keep their exact colours.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (m_picture.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(rect(), m_picture);
}

void ImageDisplay::mousePressEvent(QMouseEvent* event)
{
    m_click.press(event);
}

void ImageDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_click.release(event, this))
        emit clicked();
}
