#pragma once

#include "core/colour.h"
#include "ui/click_tracker.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <span>

struct PictureCorner;

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
//
// The image has the area's size. When the area grows, what it showed stays at
// the top left and the new pixels show the background; when it shrinks, it is
// cut at the right and bottom.
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
    // The background with `picture` drawn unscaled at the top left, cut at the
    // edges; its transparent pixels show the background.
    void showPicture(const PictureCorner& picture);

    // Whole images as colour numbers, row by row from the top, one per pixel
    // (not per unit), width() to a row. showColours writes as many pixels as
    // it is given, from the top left, and repaints once; readColours fills
    // every cell it is given, colours::none beyond the area.
    void showColours(std::span<const Colour> colours);
    void readColours(std::span<Colour> colours) const;

    // The whole image as displayed, background included.
    QImage takeImage() const;

signals:
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A hidden area gets its resize events only when it is shown; every drawing
    // operation therefore fits the image to the area's size first, and the
    // reading ones read it as fitting it would make it.
    void fitImage();
    Colour pixelAt(int x, int y) const;
    // The pixel under a point in units; false outside the area.
    bool pixelOf(QPointF point, int* x, int* y) const;
    QPointF unitsOf(QPointF pixelPosition) const;
    QSize imageSize() const;

    QImage m_image;
    Colour m_backColor = colours::white;
    double m_unitsWide = 0; // 0: pixel units
    double m_unitsHigh = 0;
    bool m_framed = false;
    ClickTracker m_click;
};
