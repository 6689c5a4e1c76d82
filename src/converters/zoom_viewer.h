#pragma once

#include "ui/click_tracker.h"

#include <QDialog>
#include <QImage>

class ImageDisplay;

// frmZoom: a copy of one converter preview, five times enlarged, so that single
// pixels can be judged. It shows the picture it was given when it opened and
// does not follow the preview; a click anywhere in it closes it.
class ZoomViewer : public QDialog
{
    Q_OBJECT

public:
    ZoomViewer(const QImage& picture, QWidget* owner);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Form_Click();
    void imgZoom_Click();

    ImageDisplay* imgZoom;
    ClickTracker m_click;
};
