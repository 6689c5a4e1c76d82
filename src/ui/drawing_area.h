#pragma once

#include "core/colour.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

// A rectangular area that keeps its own image in memory and through which the
// windows draw and read pixels: the sprite canvas and preview, the pen and
// colour swatches, the converters' previews.
//
// Positions are in the area's units: pixels, or a user scale (the sprite canvas
// spans 80 × 80 units over 200 × 200 pixels). A unit position maps to the pixel
// that contains it, so (10, 10) on the canvas is pixel (25, 25).
//
// Mouse events carry a button value: for a press or release the one button
// (1 left, 2 right, 4 middle), for a move the sum of the buttons held; the
// shift value is 1 Shift, 2 Ctrl, 4 Alt added together.
class DrawingArea : public QWidget
{
    Q_OBJECT

public:
    explicit DrawingArea(QWidget* parent = nullptr);

    // Units across and down the area; without a scale one unit is one pixel.
    void setUserScale(double unitsWide, double unitsHigh);
    // A sunken frame drawn over the edge, for the swatches.
    void setFramed(bool framed);

    Colour backColor() const { return m_backColor; }
    void setBackColor(Colour colour);

    void clear();
    // Outline and inside of the rectangle between the corners, both included.
    void fillRectangle(QPointF corner1, QPointF corner2, Colour colour);
    // The colour number of the pixel under the point, or colours::none outside.
    Colour readPoint(QPointF point) const;
    void setPoint(QPointF point, Colour colour);
    // The background with `picture` drawn unscaled at the top left, cut at the edges.
    void showPicture(const QImage& picture);
    // Shows the picture that `other` shows, drawn as showPicture would draw it.
    void copyPicture(const DrawingArea& other);
    // The whole image as displayed, background included.
    QImage takeImage() const { return image(); }

signals:
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The image always has the area's current size, also before the area is shown.
    QImage& image() const;
    // The pixel of `target` under a point in units; false outside it.
    bool pixelOf(const QImage& target, QPointF point, int* x, int* y) const;
    QPointF unitsOf(QPointF pixelPosition) const;

    mutable QImage m_image;
    QImage m_picture;
    Colour m_backColor = colours::white;
    double m_unitsWide = 0; // 0: pixel units
    double m_unitsHigh = 0;
    bool m_framed = false;
};
