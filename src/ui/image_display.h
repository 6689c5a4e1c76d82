#pragma once

#include "ui/click_tracker.h"

#include <QImage>
#include <QWidget>

// An image display that stretches its picture to its own size with sharp
// pixel blocks (no smoothing): a 128 × 64 picture on 640 × 320 pixels shows
// each pixel as a 5 × 5 block of exactly its colour.
class ImageDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit ImageDisplay(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    ClickTracker m_click;
};
