#include "converters/zoom_viewer.h"

#include "ui/control_layout.h"
#include "ui/image_display.h"
#include "ui/window_setup.h"

namespace {

const ControlPlace zoomLayout[] = {
    {"imgZoom", {8, 8, 640, 320}},
};

} // namespace

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
    m_click.press(event);
    QDialog::mousePressEvent(event);
}

void ZoomViewer::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_click.release(event, this);
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
