#pragma once

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
    bool m_pressed = false;
};

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
    bool m_pressed = false;
};
