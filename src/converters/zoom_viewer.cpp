#include "converters/zoom_viewer.h"

#include "ui/control_layout.h"
#include "ui/window_setup.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const ControlPlace zoomLayout[] = {
    {"imgZoom", {8, 8, 640, 320}},
};

// A click is a press and a release of the left button, both on the control.
bool isLeftPress(const QMouseEvent* event)
{
    return event->button() == Qt::LeftButton;
}

bool isLeftReleaseInside(const QMouseEvent* event, const QWidget* widget)
{
    return event->button() == Qt::LeftButton &&
           widget->rect().contains(event->position().toPoint());
}

} // namespace

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
    m_pressed = isLeftPress(event);
}

void ImageDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && isLeftReleaseInside(event, this);
    m_pressed = false;
    if (click)
        emit clicked();
}

ZoomViewer::ZoomViewer(const QImage& picture, QWidget* owner) : QDialog(owner)
{
    setUpFixedWindow(this, "frmZoom", QStringLiteral("Zoom"), {657, 337});

    imgZoom = makeNamed<ImageDisplay>(this, "imgZoom");
    imgZoom->setPicture(picture);

    placeControls(this, zoomLayout);

    connect(imgZoom, &ImageDisplay::clicked, this, &ZoomViewer::imgZoom_Click);
}

void ZoomViewer::mousePressEvent(QMouseEvent* event)
{
    m_pressed = isLeftPress(event);
    QDialog::mousePressEvent(event);
}

void ZoomViewer::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && isLeftReleaseInside(event, this);
    m_pressed = false;
    QDialog::mouseReleaseEvent(event);
    if (click)
        Form_Click();
}

void ZoomViewer::Form_Click()
{
    close();
}

void ZoomViewer::imgZoom_Click()
{
    close();
}
