#include "core/black_white_conversion.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

enum class Kind { BlackWhite, FourGreys };

} // namespace

Q_DECLARE_METATYPE(Dithering)
Q_DECLARE_METATYPE(Kind)

namespace {

constexpr Colour grey(int value)
{
    return colourFromRgb(value, value, value);
}

SourceView flatView(Colour colour)
{
    SourceView view;
    view.fill(colour);
    return view;
}

// Everything black (brightness 0, which passes on no error) but the pixels given.
SourceView blackViewWith(std::initializer_list<std::pair<std::pair<int, int>, int>> greys)
{
    SourceView view = flatView(colours::black);
    for (const auto& [at, value] : greys)
        view[std::size_t(pixelIndex(at.first, at.second))] = grey(value);
    return view;
}

// Every brightness from black to white, in diagonal bands.
SourceView gradientView(bool mirrored)
{
    SourceView view;
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const int value = (x * 2 + y) % 256;
            view[std::size_t(pixelIndex(x, y))] = grey(mirrored ? 255 - value : value);
        }
    }
    return view;
}

SourceView randomView(std::mt19937& random)
{
    SourceView view;
    for (Colour& c : view)
        c = Colour(random() & 0xFFFFFF);
    return view;
}

SourceView quantised(Kind kind, const SourceView& source, int level, Tone tone)
{
    return kind == Kind::BlackWhite ? quantiseBlackWhite(source, level, tone)
                                    : quantiseGreyscale(source, level, tone).preview;
}

// The share of the view at each output level's brightness, 0 to 1.
double meanBrightness(const SourceView& view)
{
    double sum = 0;
    for (const Colour c : view) {
        switch (c) {
        case colours::white:
            sum += 1;
            break;
        case colours::lightGrey:
            sum += 2.0 / 3;
            break;
        case colours::darkGrey:
            sum += 1.0 / 3;
            break;
        default:
            break;
        }
    }
    return sum / double(view.size());
}

} // namespace

class TestDithering : public QObject
{
    Q_OBJECT

private slots:
    void names();
    void brightnessWeighsChannels();

    void orderedMatchesHandWorkedPixels_data();
    void orderedMatchesHandWorkedPixels();
    void diffusionMatchesHandWorkedPixels_data();
    void diffusionMatchesHandWorkedPixels();
    void floydSteinbergKeepsFlatBrightness_data();
    void floydSteinbergKeepsFlatBrightness();

    void thresholdIsTodaysConversion();
    void thresholdInvertSwapsResult();
    void ditheringInvertMirrorsBrightness_data();
    void ditheringInvertMirrorsBrightness();
    void greyResultsFeedTheLayerGrids_data();
    void greyResultsFeedTheLayerGrids();
};

void TestDithering::names()
{
    for (const Dithering d :
         {Dithering::None, Dithering::Ordered, Dithering::FloydSteinberg, Dithering::Atkinson})
        QCOMPARE(ditheringNamed(ditheringName(d)), std::optional(d));
    QCOMPARE(ditheringName(Dithering::FloydSteinberg), std::string_view("floyd-steinberg"));
    QCOMPARE(ditheringNamed("Ordered"), std::nullopt);
    QCOMPARE(ditheringNamed(""), std::nullopt);
}

void TestDithering::brightnessWeighsChannels()
{
    QCOMPARE(brightness(colourFromRgb(255, 0, 0)), 76);  // (76245 + 500) / 1000
    QCOMPARE(brightness(colourFromRgb(0, 255, 0)), 150); // (149685 + 500) / 1000
    QCOMPARE(brightness(colourFromRgb(0, 0, 255)), 29);  // (29070 + 500) / 1000
    QCOMPARE(brightness(colourFromRgb(1, 0, 1)), 0);     // (413 + 500) / 1000
    QCOMPARE(brightness(colourFromRgb(2, 0, 0)), 1);     // (598 + 500) / 1000
    QCOMPARE(brightness(colours::white), 255);
    // The level moves brightness by (50 - N) × 51 / 10, truncated toward zero.
    QCOMPARE(ditherBrightness(grey(100), 55, false), 75);  // -25.5 → -25
    QCOMPARE(ditherBrightness(grey(100), 45, false), 125); // 25.5 → 25
    QCOMPARE(ditherBrightness(grey(100), 0, false), 255);
    QCOMPARE(ditherBrightness(grey(100), 100, false), 0);
    QCOMPARE(ditherBrightness(grey(100), 140, false), 0);
    QCOMPARE(ditherBrightness(grey(100), 45, true), 130);
}

void TestDithering::orderedMatchesHandWorkedPixels_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<Colour>("colour");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<Colour>("expected");

    const Kind bw = Kind::BlackWhite;
    const Kind gs = Kind::FourGreys;
    const Colour white = colours::white;
    const Colour black = colours::black;
    // Black and white: white exactly when Y' × 128 > (2 M + 1) × 255.
    // M = 0: 2 × 128 = 256 > 255, 1 × 128 = 128 is not.
    QTest::newRow("M 0, Y' 2") << bw << 0 << 0 << grey(2) << 50 << false << white;
    QTest::newRow("M 0, Y' 1") << bw << 0 << 0 << grey(1) << 50 << false << black;
    QTest::newRow("matrix repeats every 8") << bw << 8 << 8 << grey(2) << 50 << false << white;
    QTest::newRow("(9, 8) has M 32") << bw << 9 << 8 << grey(2) << 50 << false << black;
    // M = 21 at (7, 7): 43 × 255 = 10965; 86 × 128 = 11008, 85 × 128 = 10880.
    QTest::newRow("M 21, Y' 86") << bw << 7 << 7 << grey(86) << 50 << false << white;
    QTest::newRow("M 21, Y' 85") << bw << 7 << 7 << grey(85) << 50 << false << black;
    // M = 32 at (1, 0): 65 × 255 = 16575; 130 × 128 = 16640, 129 × 128 = 16512.
    QTest::newRow("level 55 takes 25, not 26") << bw << 1 << 0 << grey(155) << 55 << false << white;
    QTest::newRow("level 45 adds 25, not 26") << bw << 1 << 0 << grey(104) << 45 << false << black;
    // Brightness, not the colour number: pure blue is Y 29, 29 × 128 = 3712;
    // M = 4 at (2, 2) gives 9 × 255 = 2295, M = 12 at (0, 2) gives 6375.
    QTest::newRow("blue at M 4") << bw << 2 << 2 << colourFromRgb(0, 0, 255) << 50 << false
                                 << white;
    QTest::newRow("blue at M 12") << bw << 0 << 2 << colourFromRgb(0, 0, 255) << 50 << false
                                  << black;
    // M = 63 at (0, 7): only Y' 255 passes, 255 × 128 = 32640 > 127 × 255 = 32385.
    QTest::newRow("level 0 whitens black") << bw << 0 << 7 << black << 0 << false << white;
    QTest::newRow("level 100 blackens white") << bw << 0 << 0 << white << 100 << false << black;
    // Inverted: 255 - 86 = 169, 169 × 128 = 21632 > 10965; 255 - 200 = 55, 7040.
    QTest::newRow("invert 86 at M 21") << bw << 7 << 7 << grey(86) << 50 << true << white;
    QTest::newRow("invert 200 at M 21") << bw << 7 << 7 << grey(200) << 50 << true << black;

    // Four greys: q = 3 Y', base = q / 255, rem = q - 255 base, up when
    // rem × 128 > (2 M + 1) × 255.
    // Y' 100 at M 32: q 300, base 1, rem 45, 5760 ≤ 16575: dark grey.
    QTest::newRow("grey Y' 100 at M 32")
        << gs << 1 << 0 << grey(100) << 50 << false << colours::darkGrey;
    // Y' 130 at M 32: q 390, base 1, rem 135, 17280 > 16575: light grey.
    QTest::newRow("grey Y' 130 at M 32")
        << gs << 1 << 0 << grey(130) << 50 << false << colours::lightGrey;
    // Y' 254 at M 0: q 762, base 2, rem 252, 32256 > 255: white.
    QTest::newRow("grey Y' 254 at M 0") << gs << 0 << 0 << grey(254) << 50 << false << white;
    // Y' 254 at M 63: 32256 ≤ 32385: light grey; Y' 255: base 3, capped at 3.
    QTest::newRow("grey Y' 254 at M 63")
        << gs << 0 << 7 << grey(254) << 50 << false << colours::lightGrey;
    QTest::newRow("grey Y' 255 at M 63") << gs << 0 << 7 << white << 50 << false << white;
    // Y' 1 at M 0: q 3, rem 3, 384 > 255: dark grey; Y' 0 stays black.
    QTest::newRow("grey Y' 1 at M 0")
        << gs << 0 << 0 << grey(1) << 50 << false << colours::darkGrey;
    QTest::newRow("grey Y' 0 at M 0") << gs << 0 << 0 << black << 50 << false << black;
    QTest::newRow("grey inverted white at M 0") << gs << 0 << 0 << white << 50 << true << black;
}

void TestDithering::orderedMatchesHandWorkedPixels()
{
    QFETCH(Kind, kind);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(Colour, colour);
    QFETCH(int, level);
    QFETCH(bool, invert);
    QFETCH(Colour, expected);

    // Ordered dithering looks at each pixel alone, so the rest of the view
    // may hold anything; fill it with the inverse to make sure of that.
    SourceView source = flatView(colour ^ 0xFFFFFF);
    source[std::size_t(pixelIndex(x, y))] = colour;
    const SourceView result = quantised(kind, source, level, {Dithering::Ordered, invert});
    QCOMPARE(result[std::size_t(pixelIndex(x, y))], expected);
}

void TestDithering::diffusionMatchesHandWorkedPixels_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Dithering>("dithering");
    QTest::addColumn<SourceView>("source");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<Colour>("expected");

    const Kind bw = Kind::BlackWhite;
    const Dithering fs = Dithering::FloydSteinberg;
    const Dithering atkinson = Dithering::Atkinson;
    // Flat 100, Floyd–Steinberg: 100 black, e 100; 100 + 43.75 white, e
    // -111.25; 100 - 48.67 black; 100 + 22.46 black; 100 + 53.57 white.
    const SourceView flat = flatView(grey(100));
    const Colour w = colours::white;
    const Colour b = colours::black;
    const std::vector<Colour> fsRow = {b, w, b, b, w, b, b, w};
    for (int x = 0; x < 8; ++x)
        QTest::addRow("Floyd-Steinberg, flat 100, x %d", x)
            << bw << fs << flat << x << 0 << fsRow[x];
    // Atkinson: 100 black; 112.5 black; 126.56 black; 129.88 white.
    const std::vector<Colour> atkinsonRow = {b, b, b, w, b, b, b, w};
    for (int x = 0; x < 8; ++x)
        QTest::addRow("Atkinson, flat 100, x %d", x)
            << bw << atkinson << flat << x << 0 << atkinsonRow[x];
    // Ties go to the lighter level: 8 passes on 8 × 7 / 16 = 3.5.
    QTest::newRow("124 + 3.5 is white")
        << bw << fs << blackViewWith({{{0, 0}, 8}, {{1, 0}, 124}}) << 1 << 0 << w;
    QTest::newRow("123 + 3.5 is black")
        << bw << fs << blackViewWith({{{0, 0}, 8}, {{1, 0}, 123}}) << 1 << 0 << b;
    QTest::newRow("39 + 3.5 is dark grey")
        << Kind::FourGreys << fs << blackViewWith({{{0, 0}, 8}, {{1, 0}, 39}}) << 1 << 0
        << colours::darkGrey;
    QTest::newRow("Atkinson 127 + 4 / 8 is white")
        << bw << atkinson << blackViewWith({{{0, 0}, 4}, {{1, 0}, 127}}) << 1 << 0 << w;
    // Below: (0, 1) gets 64 × 5 / 16 = 20 from (0, 0) and, from (1, 0) at
    // 28, 28 × 3 / 16 = 5.25: 103 + 25.25 = 128.25 is white, 102 + 25.25 black.
    QTest::newRow("shares below") << bw << fs << blackViewWith({{{0, 0}, 64}, {{0, 1}, 103}}) << 0
                                  << 1 << w;
    QTest::newRow("shares below, one less")
        << bw << fs << blackViewWith({{{0, 0}, 64}, {{0, 1}, 102}}) << 0 << 1 << b;
    // Atkinson reaches two rows down: 120 + 64 / 8 + about 2.5 more is white.
    QTest::newRow("Atkinson two rows down")
        << bw << atkinson << blackViewWith({{{0, 0}, 64}, {{0, 2}, 120}}) << 0 << 2 << w;
    // Error that would pass the right edge is dropped, not carried into the
    // next row (which would make 100 + 52.5 or 120 + 15 white).
    QTest::newRow("Floyd-Steinberg drops at the edge")
        << bw << fs << blackViewWith({{{127, 0}, 120}, {{0, 1}, 100}}) << 0 << 1 << b;
    QTest::newRow("Atkinson drops at the edge")
        << bw << atkinson << blackViewWith({{{126, 0}, 120}, {{0, 1}, 120}}) << 0 << 1 << b;
}

void TestDithering::diffusionMatchesHandWorkedPixels()
{
    QFETCH(Kind, kind);
    QFETCH(Dithering, dithering);
    QFETCH(SourceView, source);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(Colour, expected);

    const SourceView result = quantised(kind, source, 50, {dithering, false});
    QCOMPARE(result[std::size_t(pixelIndex(x, y))], expected);
}

void TestDithering::floydSteinbergKeepsFlatBrightness_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("value");

    for (const int value : {0, 1, 7, 30, 64, 100, 127, 128, 160, 200, 240, 254, 255}) {
        QTest::addRow("black and white, %d", value) << Kind::BlackWhite << value;
        QTest::addRow("four greys, %d", value) << Kind::FourGreys << value;
    }
}

void TestDithering::floydSteinbergKeepsFlatBrightness()
{
    QFETCH(Kind, kind);
    QFETCH(int, value);

    const SourceView result =
        quantised(kind, flatView(grey(value)), 50, {Dithering::FloydSteinberg, false});
    const double share = meanBrightness(result);
    QVERIFY2(std::abs(share - value / 255.0) <= 0.02,
             qPrintable(QStringLiteral("%1 against %2").arg(share).arg(value / 255.0)));
}

void TestDithering::thresholdIsTodaysConversion()
{
    std::mt19937 random(7);
    for (const int level : {0, 1, 37, 50, 63, 99, 100}) {
        const SourceView source = randomView(random);
        QCOMPARE(quantiseBlackWhite(source, level, {}), convertBlackWhite(source, level));
        const GreyscaleResult expected = convertGreyscale(source, level);
        const GreyscaleResult result = quantiseGreyscale(source, level, {});
        QCOMPARE(result.preview, expected.preview);
        QCOMPARE(result.light, expected.light);
        QCOMPARE(result.dark, expected.dark);
    }
}

void TestDithering::thresholdInvertSwapsResult()
{
    // The threshold still decides on the colour number: each pixel is what
    // it would be, with the colours swapped.
    SourceView source = flatView(colours::white);
    source[0] = colours::black;
    source[1] = 0x7FFFFF; // at the threshold of 50: white
    source[2] = 0x7FFFFE;
    source[3] = colours::darkGrey;
    source[4] = colours::lightGrey;
    const SourceView bw = quantiseBlackWhite(source, 50, {Dithering::None, true});
    QCOMPARE(bw[0], colours::white);
    QCOMPARE(bw[1], colours::black);
    QCOMPARE(bw[2], colours::white);
    QCOMPARE(bw[5], colours::black);

    const GreyscaleResult plain = convertGreyscale(source, 50);
    const GreyscaleResult inverted = quantiseGreyscale(source, 50, {Dithering::None, true});
    const std::vector<std::pair<Colour, Colour>> swaps = {{colours::white, colours::black},
                                                          {colours::black, colours::white},
                                                          {colours::lightGrey, colours::darkGrey},
                                                          {colours::darkGrey, colours::lightGrey}};
    for (int i = 0; i < 6; ++i) {
        const Colour was = plain.preview[std::size_t(i)];
        const Colour now = inverted.preview[std::size_t(i)];
        QVERIFY(std::find(swaps.begin(), swaps.end(), std::pair(was, now)) != swaps.end());
    }
    QCOMPARE(greyscalePreview(inverted.light, inverted.dark), inverted.preview);
}

void TestDithering::ditheringInvertMirrorsBrightness_data()
{
    QTest::addColumn<Dithering>("dithering");
    QTest::newRow("ordered") << Dithering::Ordered;
    QTest::newRow("Floyd-Steinberg") << Dithering::FloydSteinberg;
    QTest::newRow("Atkinson") << Dithering::Atkinson;
}

void TestDithering::ditheringInvertMirrorsBrightness()
{
    QFETCH(Dithering, dithering);

    // A gradient, inverted, dithers exactly as the mirrored gradient: 255 - Y.
    const SourceView gradient = gradientView(false);
    const SourceView mirrored = gradientView(true);
    for (const Kind kind : {Kind::BlackWhite, Kind::FourGreys}) {
        const SourceView inverted = quantised(kind, gradient, 50, {dithering, true});
        QCOMPARE(inverted, quantised(kind, mirrored, 50, {dithering, false}));
        QVERIFY(inverted != quantised(kind, gradient, 50, {dithering, false}));
    }
}

void TestDithering::greyResultsFeedTheLayerGrids_data()
{
    ditheringInvertMirrorsBrightness_data();
}

void TestDithering::greyResultsFeedTheLayerGrids()
{
    QFETCH(Dithering, dithering);

    const GreyscaleResult result = quantiseGreyscale(gradientView(false), 40, {dithering, false});
    QCOMPARE(greyscalePreview(result.light, result.dark), result.preview);
    // A gradient from black to white passes through all four greys.
    for (const Colour c : {colours::white, colours::lightGrey, colours::darkGrey, colours::black})
        QVERIFY(std::find(result.preview.begin(), result.preview.end(), c) != result.preview.end());
}

QTEST_APPLESS_MAIN(TestDithering)
#include "tst_dithering.moc"
