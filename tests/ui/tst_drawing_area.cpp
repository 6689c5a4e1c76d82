// The drawing area that backs every picture control: exact colours, units,
// pictures and the mouse event convention.

#include "picture_io/picture_reader.h"
#include "ui/drawing_area.h"

#include <QSignalSpy>
#include <QtTest>

class TestDrawingArea : public QObject
{
    Q_OBJECT

private slots:
    void readsExactlyTheColourWritten_data();
    void readsExactlyTheColourWritten();
    void userScaleMapsUnitsToPixels();
    void fillIncludesBothCornersAndClipsAtTheEdges();
    void pointsOutsideTheAreaAreHarmless();
    void showPictureDrawsUnscaledOnTheBackground();
    void coloursGoInAndOutRowByRow();
    void resizingKeepsTheTopLeftAndShowsTheBackground();
    void mouseEventsCarryButtonValuesAndUnits();
    void imageSurvivesHidingAndShowing();
};

void TestDrawingArea::readsExactlyTheColourWritten_data()
{
    QTest::addColumn<Colour>("colour");
    QTest::newRow("white") << colours::white;
    QTest::newRow("light grey") << colours::lightGrey;
    QTest::newRow("dark grey") << colours::darkGrey;
    QTest::newRow("black") << colours::black;
    QTest::newRow("mask orange") << colours::mask;
    QTest::newRow("odd colour") << Colour{0x123456};
}

void TestDrawingArea::readsExactlyTheColourWritten()
{
    QFETCH(Colour, colour);
    DrawingArea area;
    area.resize(128, 64);
    area.clear();
    QCOMPARE(area.readPoint({5, 5}), colours::white);
    area.fillRectangle({2, 2}, {6, 6}, colour);
    QCOMPARE(area.readPoint({5, 5}), colour);
    area.setPoint({100, 60}, colour);
    QCOMPARE(area.readPoint({100, 60}), colour);
    QCOMPARE(area.takeImage().pixel(100, 60), qRgb(redOf(colour), greenOf(colour), blueOf(colour)));
}

void TestDrawingArea::userScaleMapsUnitsToPixels()
{
    DrawingArea canvas;
    canvas.resize(200, 200);
    canvas.setUserScale(80, 80);
    canvas.setPoint({10, 10}, colours::black);
    QCOMPARE(canvas.takeImage().pixel(25, 25), qRgb(0, 0, 0));
    QCOMPARE(canvas.takeImage().pixel(24, 24), qRgb(255, 255, 255));

    DrawingArea pixels;
    pixels.resize(80, 80);
    pixels.setPoint({10, 10}, colours::black);
    QCOMPARE(pixels.takeImage().pixel(10, 10), qRgb(0, 0, 0));
}

void TestDrawingArea::fillIncludesBothCornersAndClipsAtTheEdges()
{
    DrawingArea canvas;
    canvas.resize(200, 200);
    canvas.setUserScale(80, 80);
    // 9.5 units are 23.75 pixels: pixels 25 to 48 of the cell from 25 to 49.
    canvas.fillRectangle({10, 10}, {19.5, 19.5}, colours::black);
    const QImage image = canvas.takeImage();
    QCOMPARE(image.pixel(25, 25), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(48, 48), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(49, 30), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(30, 49), qRgb(255, 255, 255));

    canvas.fillRectangle({70, 70}, {80, 80}, colours::darkGrey); // far corner lies outside
    QCOMPARE(canvas.readPoint({79.9, 79.9}), colours::darkGrey);
}

void TestDrawingArea::pointsOutsideTheAreaAreHarmless()
{
    DrawingArea area;
    area.resize(80, 80);
    const QPointF outside[] = {{-1, 5},      {5, -0.01}, {80, 5},      {5, 80},
                               {1e30, 1e30}, {-1e30, 3}, {qQNaN(), 3}, {qInf(), -qInf()}};
    for (const QPointF& p : outside) {
        QCOMPARE(area.readPoint(p), colours::none);
        area.setPoint(p, colours::black);
        area.fillRectangle(p, p, colours::black);
    }
    area.fillRectangle({-1e9, -1e9}, {1e9, 1e9}, colours::darkGrey);
    QCOMPARE(area.readPoint({0, 0}), colours::darkGrey);
    QCOMPARE(area.readPoint({79, 79}), colours::darkGrey);
}

void TestDrawingArea::showPictureDrawsUnscaledOnTheBackground()
{
    PictureCorner picture{300, 40, std::vector<Rgba>(300 * 40, Rgba{10, 20, 30, 255})};
    picture.pixels[0] = {1, 2, 3, 255};
    picture.pixels[39 * 300 + 127] = {4, 5, 6, 255};
    picture.pixels[5 * 300 + 5] = {0, 0, 0, 0}; // transparent: shows the background
    DrawingArea area;
    area.resize(128, 64);
    area.setBackColor(colours::lightGrey);
    area.fillRectangle({0, 0}, {127, 63}, colours::black); // gone after show picture
    area.showPicture(picture);
    QCOMPARE(area.readPoint({0, 0}), colourFromRgb(1, 2, 3));
    QCOMPARE(area.readPoint({127, 39}), colourFromRgb(4, 5, 6));
    QCOMPARE(area.readPoint({6, 5}), colourFromRgb(10, 20, 30));
    QCOMPARE(area.readPoint({5, 5}), colours::lightGrey);
    QCOMPARE(area.readPoint({10, 40}), colours::lightGrey);
}

void TestDrawingArea::coloursGoInAndOutRowByRow()
{
    DrawingArea area;
    area.resize(100, 50);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    // The mask colour 0080FF has red in its low byte: a swap of red and blue shows.
    std::vector<Colour> colours(100 * 50, colours::white);
    colours[1] = colours::mask;
    colours[2 * 100 + 99] = 0x563412;
    colours[49 * 100] = colours::darkGrey;
    area.showColours(colours);
    QCOMPARE(area.readPoint({1, 0}), colours::mask);
    QCOMPARE(area.takeImage().pixel(1, 0), qRgb(0xFF, 0x80, 0x00));
    QCOMPARE(area.readPoint({99, 2}), Colour{0x563412});
    QCOMPARE(area.readPoint({0, 49}), colours::darkGrey);

    // Read into a grid larger than the area: the cells it does not reach hold none.
    std::vector<Colour> read(128 * 64, 0);
    area.readColours(read);
    QVERIFY(std::equal(colours.begin(), colours.end(), read.begin()));
    QVERIFY(std::all_of(read.begin() + 100 * 50, read.end(),
                        [](Colour c) { return c == colours::none; }));

    // Fewer colours than pixels change only the pixels they reach, from the top left.
    area.showColours(std::vector<Colour>(150, colours::black));
    QCOMPARE(area.readPoint({49, 1}), colours::black);
    QCOMPARE(area.readPoint({50, 1}), colours::white);
    QCOMPARE(area.readPoint({99, 2}), Colour{0x563412});
    // More are cut at the end of the area.
    area.showColours(std::vector<Colour>(100 * 50 + 7, colours::lightGrey));
    QCOMPARE(area.readPoint({99, 49}), colours::lightGrey);

    // What is shown is what is painted.
    QCOMPARE(area.grab().toImage().convertToFormat(QImage::Format_RGB32), area.takeImage());
}

void TestDrawingArea::resizingKeepsTheTopLeftAndShowsTheBackground()
{
    for (const bool shown : {false, true}) {
        DrawingArea area;
        area.setBackColor(colours::darkGrey);
        area.resize(20, 10);
        if (shown) {
            area.show();
            QVERIFY(QTest::qWaitForWindowExposed(&area));
        }
        area.fillRectangle({0, 0}, {19, 9}, colours::black);
        // A hidden area is told of its new size only when it is shown; it
        // reads and draws at that size at once all the same.
        area.resize(30, 15);
        QCOMPARE(area.takeImage().size(), QSize(30, 15));
        QCOMPARE(area.readPoint({19, 9}), colours::black);
        QCOMPARE(area.readPoint({20, 9}), colours::darkGrey);
        QCOMPARE(area.readPoint({29, 14}), colours::darkGrey);
        QCOMPARE(area.readPoint({30, 14}), colours::none);
        area.setPoint({29, 14}, colours::white);
        QCOMPARE(area.readPoint({29, 14}), colours::white);
        area.resize(5, 5);
        QCOMPARE(area.readPoint({4, 4}), colours::black);
        QCOMPARE(area.readPoint({5, 4}), colours::none);
        QCOMPARE(area.takeImage().size(), QSize(5, 5));
    }
}

void TestDrawingArea::mouseEventsCarryButtonValuesAndUnits()
{
    DrawingArea canvas;
    canvas.resize(200, 200);
    canvas.setUserScale(80, 80);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    QSignalSpy down(&canvas, &DrawingArea::mouseDown);
    QSignalSpy move(&canvas, &DrawingArea::mouseMove);
    QSignalSpy up(&canvas, &DrawingArea::mouseUp);
    QSignalSpy clicked(&canvas, &DrawingArea::clicked);

    QTest::mousePress(&canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(75, 25));
    QCOMPARE(down.size(), 1);
    QCOMPARE(down.at(0).at(0).toInt(), 1);
    QCOMPARE(down.at(0).at(1).toInt(), 1);
    QCOMPARE(down.at(0).at(2).toFloat(), 30.0F);
    QCOMPARE(down.at(0).at(3).toFloat(), 10.0F);

    QTest::mousePress(&canvas, Qt::RightButton, {}, QPoint(75, 25));
    QCOMPARE(down.at(1).at(0).toInt(), 2);
    QTest::mouseMove(&canvas, QPoint(100, 100));
    QVERIFY(!move.isEmpty());
    QCOMPARE(move.last().at(0).toInt(), 3); // both buttons held
    QTest::mouseRelease(&canvas, Qt::RightButton, {}, QPoint(100, 100));
    QCOMPARE(up.last().at(0).toInt(), 2);
    QCOMPARE(clicked.size(), 0);
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(up.last().at(0).toInt(), 1);
    QCOMPARE(clicked.size(), 1);

    QTest::mouseClick(&canvas, Qt::MiddleButton, {}, QPoint(10, 10));
    QCOMPARE(down.last().at(0).toInt(), 4);
    QCOMPARE(up.last().at(0).toInt(), 4);
}

void TestDrawingArea::imageSurvivesHidingAndShowing()
{
    DrawingArea area;
    area.resize(80, 80);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    area.fillRectangle({10, 10}, {20, 20}, colours::lightGrey);
    const QImage before = area.grab().toImage();
    area.hide();
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QCOMPARE(area.grab().toImage(), before);
    QCOMPARE(before.pixelColor(15, 15), QColor(192, 192, 192));
}

QTEST_MAIN(TestDrawingArea)
#include "tst_drawing_area.moc"
