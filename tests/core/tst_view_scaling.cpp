#include "core/srgb.h"
#include "core/view_builder.h"
#include "core/view_geometry.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

namespace {

// A picture as a decoder holds it: RGBA bytes, row by row from the top.
struct Picture
{
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::vector<std::uint8_t> rgba;

    const std::uint8_t* at(std::int64_t x, std::int64_t y) const
    {
        return &rgba[std::size_t((y * width + x) * 4)];
    }
};

using PixelAt = std::function<std::array<int, 4>(std::int64_t x, std::int64_t y)>;

Picture makePicture(std::int64_t width, std::int64_t height, const PixelAt& pixelAt)
{
    Picture picture{width, height, std::vector<std::uint8_t>(std::size_t(width * height * 4))};
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::int64_t x = 0; x < width; ++x) {
            const std::array<int, 4> p = pixelAt(x, y);
            std::copy(p.begin(), p.end(), picture.rgba.begin() + (y * width + x) * 4);
        }
    }
    return picture;
}

// Every pixel its own colour, so that a pixel taken from the wrong place shows.
std::array<int, 4> distinctPixel(std::int64_t x, std::int64_t y)
{
    return {int(x * 37 % 256), int(y * 91 % 256), int((x * 7 + y * 13) % 256), 255};
}

Colour colourOf(const std::array<int, 4>& p)
{
    return colourFromRgb(p[0], p[1], p[2]);
}

enum class Order { TopDown, BottomUp, Interlaced, Shuffled };

// Delivers the picture as a decoder would: only the wanted rows, in the given
// order; top down crops each row at the wanted columns, the others send whole
// rows, and the interlaced order sends every pixel once in the seven passes
// of an interlaced PNG.
SourceView viewOf(const Picture& picture, const ViewGeometry& geometry, Order order)
{
    SourceViewBuilder builder(geometry);
    const std::int64_t rows = std::min(picture.height, builder.rowsWanted());
    const std::int64_t columns = std::min(picture.width, builder.columnsWanted());
    const auto sendRow = [&](std::int64_t y, std::int64_t x0, std::int64_t step, std::int64_t end) {
        std::vector<std::uint8_t> row;
        for (std::int64_t x = x0; x < end; x += step)
            row.insert(row.end(), picture.at(x, y), picture.at(x, y) + 4);
        builder.addPixels(y, x0, step, row);
    };
    std::vector<std::int64_t> ys(std::size_t(std::max<std::int64_t>(rows, 0)));
    std::iota(ys.begin(), ys.end(), 0);
    switch (order) {
    case Order::TopDown:
        for (const std::int64_t y : ys)
            sendRow(y, 0, 1, columns);
        break;
    case Order::BottomUp:
        std::reverse(ys.begin(), ys.end());
        for (const std::int64_t y : ys)
            sendRow(y, 0, 1, picture.width);
        break;
    case Order::Shuffled:
        std::shuffle(ys.begin(), ys.end(), std::mt19937(5));
        for (const std::int64_t y : ys)
            sendRow(y, 0, 1, picture.width);
        break;
    case Order::Interlaced: {
        struct Pass
        {
            int x0, y0, xStep, yStep;
        };
        for (const Pass pass :
             {Pass{0, 0, 8, 8}, Pass{4, 0, 8, 8}, Pass{0, 4, 4, 8}, Pass{2, 0, 4, 4},
              Pass{0, 2, 2, 4}, Pass{1, 0, 2, 2}, Pass{0, 1, 1, 2}}) {
            for (std::int64_t y = pass.y0; y < rows; y += pass.yStep) {
                if (pass.x0 < picture.width)
                    sendRow(y, pass.x0, pass.xStep, picture.width);
            }
        }
        break;
    }
    }
    return builder.view();
}

SourceView viewOf(const Picture& picture, const ViewOptions& options)
{
    return viewOf(picture, viewGeometry(options, picture.width, picture.height), Order::TopDown);
}

double decoded(double encoded)
{
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

double encoded(double linear)
{
    return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// The definition, worked out the slow way in floating point: each scaled
// pixel integrates the picture, drawn on white, over its rectangle of the
// source.
SourceView referenceView(const Picture& picture, const ViewGeometry& g)
{
    SourceView view;
    view.fill(colours::white);
    const double columnWidth = double(g.sourceWidth) / double(g.scaledWidth);
    const double rowHeight = double(g.sourceHeight) / double(g.scaledHeight);
    for (int viewY = 0; viewY < screenHeight; ++viewY) {
        for (int viewX = 0; viewX < screenWidth; ++viewX) {
            const std::int64_t i = viewX - g.left;
            const std::int64_t j = viewY - g.top;
            if (i < 0 || i >= g.scaledWidth || j < 0 || j >= g.scaledHeight)
                continue;
            const double left = double(i) * columnWidth;
            const double top = double(j) * rowHeight;
            std::array<double, 3> sum{};
            for (auto y = std::int64_t(top); y < g.sourceHeight && double(y) < top + rowHeight;
                 ++y) {
                const double height =
                    std::min(top + rowHeight, double(y + 1)) - std::max(top, double(y));
                for (auto x = std::int64_t(left);
                     x < g.sourceWidth && double(x) < left + columnWidth; ++x) {
                    const double width =
                        std::min(left + columnWidth, double(x + 1)) - std::max(left, double(x));
                    const std::uint8_t* p = picture.at(x, y);
                    for (int c = 0; c < 3; ++c) {
                        const int onWhite = (p[c] * p[3] + 255 * (255 - p[3]) + 127) / 255;
                        sum[std::size_t(c)] += width * height * decoded(onWhite / 255.0);
                    }
                }
            }
            std::array<int, 3> rgb{};
            for (int c = 0; c < 3; ++c) {
                const double mean = sum[std::size_t(c)] / (columnWidth * rowHeight);
                rgb[std::size_t(c)] = int(std::lround(encoded(mean) * 255));
            }
            view[std::size_t(pixelIndex(viewX, viewY))] = colourFromRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return view;
}

int channelDifference(Colour a, Colour b)
{
    return std::max({std::abs(redOf(a) - redOf(b)), std::abs(greenOf(a) - greenOf(b)),
                     std::abs(blueOf(a) - blueOf(b))});
}

} // namespace

Q_DECLARE_METATYPE(Placement)
Q_DECLARE_METATYPE(ViewGeometry)
Q_DECLARE_METATYPE(Order)

class TestViewScaling : public QObject
{
    Q_OBJECT

private slots:
    void linearTableFollowsTheCurve();
    void averagesRoundToNearest();

    void geometry_data();
    void geometry();
    void decodingReduction_data();
    void decodingReduction();
    void wantedRowsAndColumns_data();
    void wantedRowsAndColumns();

    void averagingMatchesDefinition_data();
    void averagingMatchesDefinition();
    void averagingIgnoresDeliveryOrder_data();
    void averagingIgnoresDeliveryOrder();
    void colourBlocksKeepTheirPlace();
    void enlargingMakesCrispBlocks_data();
    void enlargingMakesCrispBlocks();
    void transparencyIsWhiteBeforeAveraging();
    void reducedSourceKeepsPlacement();
};

void TestViewScaling::linearTableFollowsTheCurve()
{
    for (int v = 0; v < 256; ++v) {
        const double expected = decoded(v / 255.0) * linearWhite;
        QVERIFY2(std::abs(linearOfSrgb[std::size_t(v)] - expected) <= 0.5 + 1e-6,
                 qPrintable(QString::number(v)));
        // A flat area averages back to its own value.
        QCOMPARE(srgbOfLinearAverage(linearOfSrgb[std::size_t(v)], 1), v);
        QCOMPARE(srgbOfLinearAverage(std::int64_t{linearOfSrgb[std::size_t(v)]} * 12345, 12345), v);
    }
    QCOMPARE(linearOfSrgb[255], linearWhite);
}

void TestViewScaling::averagesRoundToNearest()
{
    std::mt19937 random(3);
    for (int n = 0; n < 20000; ++n) {
        const int a = int(random() % 256);
        const int b = int(random() % 256);
        const double mean = (decoded(a / 255.0) + decoded(b / 255.0)) / 2;
        const double exact = encoded(mean) * 255;
        if (std::abs(exact - std::floor(exact) - 0.5) < 1e-4)
            continue; // too close to a midpoint for the floating-point reference
        const std::int64_t sum =
            std::int64_t{linearOfSrgb[std::size_t(a)]} + linearOfSrgb[std::size_t(b)];
        QCOMPARE(srgbOfLinearAverage(sum, 2), int(std::lround(exact)));
    }
    // Black and white half and half is far lighter than 128.
    QCOMPARE(srgbOfLinearAverage(linearWhite, 2), 188);
}

void TestViewScaling::geometry_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("x");
    QTest::addColumn<qint64>("y");
    QTest::addColumn<ViewGeometry>("expected");

    const auto g = [](std::int64_t w, std::int64_t h, std::int64_t sw, std::int64_t sh,
                      std::int64_t left, std::int64_t top,
                      std::int64_t block) { return ViewGeometry{w, h, sw, sh, left, top, block}; };
    const Placement corner = Placement::Corner;
    const Placement fit = Placement::Fit;
    const Placement fill = Placement::Fill;
    QTest::newRow("corner") << corner << 300ll << 200ll << 0ll << 0ll
                            << g(300, 200, 300, 200, 0, 0, 1);
    QTest::newRow("corner at an offset")
        << corner << 300ll << 200ll << 10ll << 5ll << g(300, 200, 300, 200, -10, -5, 1);
    QTest::newRow("corner past the picture")
        << corner << 300ll << 200ll << 1000ll << -4ll << g(300, 200, 300, 200, -300, 0, 1);
    // s = min(0.5, 0.5): exactly 128 × 64.
    QTest::newRow("fit 256 × 128")
        << fit << 256ll << 128ll << 0ll << 0ll << g(256, 128, 128, 64, 0, 0, 0);
    // s = 64 / 6000: w = round(85.33) = 85, left (128 - 85) / 2 = 21.
    QTest::newRow("fit 8000 × 6000")
        << fit << 8000ll << 6000ll << 0ll << 0ll << g(8000, 6000, 85, 64, 21, 0, 0);
    // s = 128 / 256: h = 1.5, a half, rounds up to 2; top (64 - 2) / 2 = 31.
    QTest::newRow("fit rounds a half up")
        << fit << 256ll << 3ll << 0ll << 0ll << g(256, 3, 128, 2, 0, 31, 0);
    // s = 64 / 65: w = round(126.03) = 126.
    QTest::newRow("fit 128 × 65") << fit << 128ll << 65ll << 0ll << 0ll
                                  << g(128, 65, 126, 64, 1, 0, 0);
    QTest::newRow("fit 128 × 64") << fit << 128ll << 64ll << 0ll << 0ll
                                  << g(128, 64, 128, 64, 0, 0, 1);
    // s = 6.4: k = 6, 120 × 60 at (4, 2).
    QTest::newRow("fit enlarges 20 × 10")
        << fit << 20ll << 10ll << 0ll << 0ll << g(20, 10, 120, 60, 4, 2, 6);
    // w = max(1, round(0.064)) = 1 in the middle column.
    QTest::newRow("fit 1 × 1000") << fit << 1ll << 1000ll << 0ll << 0ll
                                  << g(1, 1000, 1, 64, 63, 0, 0);
    QTest::newRow("fit 1000 × 1") << fit << 1000ll << 1ll << 0ll << 0ll
                                  << g(1000, 1, 128, 1, 0, 31, 0);
    // s = 128 / 8000: h = 96, rows 16 to 79 shown.
    QTest::newRow("fill 8000 × 6000")
        << fill << 8000ll << 6000ll << 0ll << 0ll << g(8000, 6000, 128, 96, 0, -16, 0);
    // s = 0.64: h 64, w = round(192.64) = 193; the overhang 65 loses 32 on
    // the left and 33 on the right.
    QTest::newRow("fill odd overhang")
        << fill << 301ll << 100ll << 0ll << 0ll << g(301, 100, 193, 64, -32, 0, 0);
    // s = 6.4: k = 7, 140 × 70.
    QTest::newRow("fill enlarges 20 × 10")
        << fill << 20ll << 10ll << 0ll << 0ll << g(20, 10, 140, 70, -6, -3, 7);
    // s = max(14.2, 12.8): k = 15, 135 × 75, overhangs 7 (3 left) and 11 (5 on top).
    QTest::newRow("fill enlarges 9 × 5")
        << fill << 9ll << 5ll << 0ll << 0ll << g(9, 5, 135, 75, -3, -5, 15);
    // s = 128: k = 128, 128 × 128000, rows from (128000 - 64) / 2 = 63968.
    QTest::newRow("fill 1 × 1000")
        << fill << 1ll << 1000ll << 0ll << 0ll << g(1, 1000, 128, 128000, 0, -63968, 128);
    QTest::newRow("fill 1000 × 1")
        << fill << 1000ll << 1ll << 0ll << 0ll << g(1000, 1, 64000, 64, -31936, 0, 64);
    QTest::newRow("no pixels") << fit << 0ll << 10ll << 0ll << 0ll << g(0, 0, 0, 0, 0, 0, 1);
}

void TestViewScaling::geometry()
{
    QFETCH(Placement, placement);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, x);
    QFETCH(qint64, y);
    QFETCH(ViewGeometry, expected);

    const ViewGeometry g = viewGeometry({placement, x, y}, width, height);
    QCOMPARE(g.sourceWidth, expected.sourceWidth);
    QCOMPARE(g.sourceHeight, expected.sourceHeight);
    QCOMPARE(g.scaledWidth, expected.scaledWidth);
    QCOMPARE(g.scaledHeight, expected.scaledHeight);
    QCOMPARE(g.left, expected.left);
    QCOMPARE(g.top, expected.top);
    QCOMPARE(g.block, expected.block);
}

void TestViewScaling::decodingReduction_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<int>("expected");

    // 85 × 64: an eighth, 1000 × 750, is still more than 170 × 128.
    QTest::newRow("fit 8000 × 6000") << Placement::Fit << 8000ll << 6000ll << 8;
    // 128 × 64: a quarter would be 250 wide, less than 256.
    QTest::newRow("fit 1000 × 500") << Placement::Fit << 1000ll << 500ll << 2;
    // 96 × 64: half would be 150 wide, less than 192.
    QTest::newRow("fit 300 × 200") << Placement::Fit << 300ll << 200ll << 1;
    // 128 × 64 either way; 2041 / 8 rounds up to 256, twice 128, where 2040
    // gives 255.
    QTest::newRow("fill 2041 × 1025") << Placement::Fill << 2041ll << 1025ll << 8;
    QTest::newRow("fill 2040 × 1025") << Placement::Fill << 2040ll << 1025ll << 4;
    QTest::newRow("corner") << Placement::Corner << 8000ll << 6000ll << 1;
    QTest::newRow("enlarged") << Placement::Fit << 20ll << 10ll << 1;
}

void TestViewScaling::decodingReduction()
{
    QFETCH(Placement, placement);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(int, expected);

    QCOMPARE(::decodingReduction({placement, 0, 0}, width, height), expected);
}

void TestViewScaling::wantedRowsAndColumns_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("x");
    QTest::addColumn<qint64>("y");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<qint64>("columns");

    QTest::newRow("corner") << Placement::Corner << 300ll << 200ll << 0ll << 0ll << 64ll << 128ll;
    QTest::newRow("corner at an offset")
        << Placement::Corner << 300ll << 200ll << 10ll << 20ll << 84ll << 138ll;
    QTest::newRow("corner past the picture")
        << Placement::Corner << 300ll << 200ll << 300ll << 0ll << 0ll << 0ll;
    QTest::newRow("fit needs everything")
        << Placement::Fit << 8000ll << 6000ll << 0ll << 0ll << 6000ll << 8000ll;
    // Scaled rows 16 to 79 of 96 show: source rows up to 80 × 6000 / 96.
    QTest::newRow("fill stops below the view")
        << Placement::Fill << 8000ll << 6000ll << 0ll << 0ll << 5000ll << 8000ll;
    // Scaled columns 32 to 159 of 193: up to ceil(160 × 301 / 193) = 250.
    QTest::newRow("fill stops right of the view")
        << Placement::Fill << 301ll << 100ll << 0ll << 0ll << 100ll << 250ll;
    // Scaled rows 160 to 223 of 385: up to ceil(224 × 451 / 385) = 263.
    QTest::newRow("fill stops below, partly")
        << Placement::Fill << 150ll << 451ll << 0ll << 0ll << 263ll << 150ll;
    // View rows 0 to 63 show scaled rows 63968 to 64031: source rows 499 and 500.
    QTest::newRow("fill 1 × 1000")
        << Placement::Fill << 1ll << 1000ll << 0ll << 0ll << 501ll << 1ll;
}

void TestViewScaling::wantedRowsAndColumns()
{
    QFETCH(Placement, placement);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, x);
    QFETCH(qint64, y);
    QFETCH(qint64, rows);
    QFETCH(qint64, columns);

    const SourceViewBuilder builder(viewGeometry({placement, x, y}, width, height));
    QCOMPARE(builder.rowsWanted(), rows);
    QCOMPARE(builder.columnsWanted(), columns);
}

void TestViewScaling::averagingMatchesDefinition_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");

    QTest::newRow("fit 300 × 200") << Placement::Fit << 300ll << 200ll;
    QTest::newRow("fit 257 × 129") << Placement::Fit << 257ll << 129ll;
    QTest::newRow("fit 128 × 65") << Placement::Fit << 128ll << 65ll;
    QTest::newRow("fit 1000 × 3") << Placement::Fit << 1000ll << 3ll;
    QTest::newRow("fit 3 × 1000") << Placement::Fit << 3ll << 1000ll;
    QTest::newRow("fit 1 × 700") << Placement::Fit << 1ll << 700ll;
    QTest::newRow("fit 700 × 1") << Placement::Fit << 700ll << 1ll;
    QTest::newRow("fill 301 × 100") << Placement::Fill << 301ll << 100ll;
    QTest::newRow("fill 130 × 65") << Placement::Fill << 130ll << 65ll;
    QTest::newRow("fill 200 × 1000") << Placement::Fill << 200ll << 1000ll;
    QTest::newRow("fill 150 × 451") << Placement::Fill << 150ll << 451ll;
}

void TestViewScaling::averagingMatchesDefinition()
{
    QFETCH(Placement, placement);
    QFETCH(qint64, width);
    QFETCH(qint64, height);

    // Random colours and transparency: every pixel counts and no averaging
    // slip cancels out.
    std::mt19937 random(std::uint32_t(width * 7919 + height));
    const Picture picture = makePicture(width, height, [&](std::int64_t, std::int64_t) {
        const int alpha = random() % 4 == 0 ? int(random() % 256) : 255;
        return std::array<int, 4>{int(random() % 256), int(random() % 256), int(random() % 256),
                                  alpha};
    });
    const ViewGeometry g = viewGeometry({placement, 0, 0}, width, height);
    QCOMPARE(g.block, 0);
    const SourceView view = viewOf(picture, g, Order::TopDown);
    const SourceView expected = referenceView(picture, g);
    int worst = 0;
    for (std::size_t i = 0; i < view.size(); ++i)
        worst = std::max(worst, channelDifference(view[i], expected[i]));
    // One level for the reference's own floating-point rounding at midpoints.
    QVERIFY2(worst <= 1, qPrintable(QStringLiteral("off by %1").arg(worst)));
}

void TestViewScaling::averagingIgnoresDeliveryOrder_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<Order>("order");

    for (const auto& [name, placement] :
         {std::pair("fit", Placement::Fit), std::pair("fill", Placement::Fill)}) {
        QTest::addRow("%s, bottom up", name) << placement << Order::BottomUp;
        QTest::addRow("%s, interlaced", name) << placement << Order::Interlaced;
        QTest::addRow("%s, shuffled rows", name) << placement << Order::Shuffled;
    }
}

void TestViewScaling::averagingIgnoresDeliveryOrder()
{
    QFETCH(Placement, placement);
    QFETCH(Order, order);

    std::mt19937 random(9);
    const Picture picture = makePicture(333, 211, [&](std::int64_t, std::int64_t) {
        return std::array<int, 4>{int(random() % 256), int(random() % 256), int(random() % 256),
                                  int(random() % 256)};
    });
    const ViewGeometry g = viewGeometry({placement, 0, 0}, picture.width, picture.height);
    // Exactly the same: the sums are whole numbers.
    QCOMPARE(viewOf(picture, g, order), viewOf(picture, g, Order::TopDown));
}

void TestViewScaling::colourBlocksKeepTheirPlace()
{
    // 4 × 2 blocks of 100 × 100 pixels: fit scales by 0.32 to 128 × 64, so
    // each block becomes 32 × 32 view pixels of exactly its colour.
    const auto blockColour = [](std::int64_t bx, std::int64_t by) {
        return std::array<int, 4>{int(40 + bx * 50), int(200 - by * 150), int(bx * by * 60), 255};
    };
    const Picture picture = makePicture(
        400, 200, [&](std::int64_t x, std::int64_t y) { return blockColour(x / 100, y / 100); });
    const SourceView view = viewOf(picture, {Placement::Fit, 0, 0});
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x)
            QCOMPARE(view[std::size_t(pixelIndex(x, y))], colourOf(blockColour(x / 32, y / 32)));
    }
}

void TestViewScaling::enlargingMakesCrispBlocks_data()
{
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");

    // Worked out from the definition, as in the geometry table.
    QTest::newRow("fit 20 × 10") << Placement::Fit << 20ll << 10ll << 6 << 4 << 2;
    QTest::newRow("fill 20 × 10") << Placement::Fill << 20ll << 10ll << 7 << -6 << -3;
    QTest::newRow("fill 9 × 5, odd overhang") << Placement::Fill << 9ll << 5ll << 15 << -3 << -5;
    QTest::newRow("fit 1 × 1") << Placement::Fit << 1ll << 1ll << 64 << 32 << 0;
    QTest::newRow("fill 1 × 1000") << Placement::Fill << 1ll << 1000ll << 128 << 0 << -63968;
    QTest::newRow("fill 1000 × 1") << Placement::Fill << 1000ll << 1ll << 64 << -31936 << 0;
    QTest::newRow("fit 128 × 64") << Placement::Fit << 128ll << 64ll << 1 << 0 << 0;
    QTest::newRow("fit 127 × 3") << Placement::Fit << 127ll << 3ll << 1 << 0 << 30;
}

void TestViewScaling::enlargingMakesCrispBlocks()
{
    QFETCH(Placement, placement);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(int, block);
    QFETCH(int, left);
    QFETCH(int, top);

    const Picture picture = makePicture(width, height, distinctPixel);
    for (const Order order : {Order::TopDown, Order::Interlaced}) {
        const SourceView view =
            viewOf(picture, viewGeometry({placement, 0, 0}, width, height), order);
        for (int y = 0; y < screenHeight; ++y) {
            for (int x = 0; x < screenWidth; ++x) {
                const std::int64_t u = x - left;
                const std::int64_t v = y - top;
                const bool inside = u >= 0 && v >= 0 && u < width * block && v < height * block;
                const Colour expected =
                    inside ? colourOf(distinctPixel(u / block, v / block)) : colours::white;
                QCOMPARE(view[std::size_t(pixelIndex(x, y))], expected);
            }
        }
    }
}

void TestViewScaling::transparencyIsWhiteBeforeAveraging()
{
    // Opaque black and clear pixels in a checkerboard: half the light of
    // white, which the eye sees as 188, not 128 and not black.
    const Picture checkers = makePicture(256, 128, [](std::int64_t x, std::int64_t y) {
        return std::array<int, 4>{0, 0, 0, (x + y) % 2 == 0 ? 255 : 0};
    });
    const SourceView view = viewOf(checkers, {Placement::Fit, 0, 0});
    QVERIFY(std::all_of(view.begin(), view.end(), [](Colour c) { return c == 0xBCBCBC; }));

    // Half-transparent black is drawn on white first, as everywhere: 127.
    const Picture veil = makePicture(300, 150, [](std::int64_t, std::int64_t) {
        return std::array<int, 4>{0, 0, 0, 128};
    });
    const SourceView veiled = viewOf(veil, {Placement::Fit, 0, 0});
    QVERIFY(std::all_of(veiled.begin(), veiled.end(), [](Colour c) { return c == 0x7F7F7F; }));

    // A pixel that never comes counts as transparent.
    SourceViewBuilder nothing(viewGeometry({Placement::Fit, 0, 0}, 500, 300));
    const SourceView empty = nothing.view();
    QVERIFY(std::all_of(empty.begin(), empty.end(), [](Colour c) { return c == colours::white; }));
}

void TestViewScaling::reducedSourceKeepsPlacement()
{
    // A picture decoded at an eighth keeps the full size's placement.
    const ViewOptions fit{Placement::Fit, 0, 0};
    const ViewGeometry full = viewGeometry(fit, 8000, 6001);
    const ViewGeometry reduced = reducedGeometry(full, fit, 1000, 751);
    QCOMPARE(reduced.scaledWidth, full.scaledWidth);
    QCOMPARE(reduced.scaledHeight, full.scaledHeight);
    QCOMPARE(reduced.left, full.left);
    QCOMPARE(reduced.top, full.top);
    QCOMPARE(reduced.sourceWidth, std::int64_t{1000});
    QCOMPARE(reduced.sourceHeight, std::int64_t{751});
    // Too small to average from: placed as what it is.
    QCOMPARE(reducedGeometry(full, fit, 80, 60), viewGeometry(fit, 80, 60));
}

QTEST_APPLESS_MAIN(TestViewScaling)
#include "tst_view_scaling.moc"
