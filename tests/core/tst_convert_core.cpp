#include "core/bit_plane.h"
#include "core/black_white_conversion.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/rle.h"
#include "sample_planes.h"

#include <QByteArrayList>
#include <QTest>

#include <sys/resource.h>

#include <cmath>
#include <initializer_list>
#include <optional>
#include <random>
#include <utility>
#include <vector>

Q_DECLARE_METATYPE(GreyBand)

namespace {

// The most memory this process has held so far.
long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The pixel that the conversion tables place their colour at; everything else
// is the white background, as beside a small picture.
constexpr int probeX = 37;
constexpr int probeY = 21;

SourceView whiteViewWith(Colour colour)
{
    SourceView view;
    view.fill(colours::white);
    view[pixelIndex(probeX, probeY)] = colour;
    return view;
}

// Colour numbers spread over the whole range plus the neighbours of every
// threshold of every slider value, where a comparison slip would show.
std::vector<Colour> probeColours()
{
    std::vector<Colour> result;
    for (Colour c = 0; c <= colours::white; c += 65521)
        result.push_back(c);
    for (const Colour c : {0x000000u, 0x000001u, 0x00FFFFu, 0xFF0000u, 0x00FF00u, 0x0000FFu,
                           0x808080u, 0xC0C0C0u, 0xFFFFFEu, 0xFFFFFFu})
        result.push_back(c);
    for (int v = 0; v <= 100; ++v) {
        const GreyThresholds g = greyThresholds(v);
        for (const double t : {blackWhiteThreshold(v), double(g.low), g.middle, g.high}) {
            for (double c = std::floor(t) - 1; c <= std::floor(t) + 2; ++c) {
                if (c >= 0 && c <= colours::white)
                    result.push_back(static_cast<Colour>(c));
            }
        }
    }
    return result;
}

int darkness(GreyBand band)
{
    switch (band) {
    case GreyBand::White:
        return 0;
    case GreyBand::LightGrey:
        return 1;
    case GreyBand::DarkGrey:
        return 2;
    case GreyBand::Black:
        return 3;
    }
    return -1;
}

struct BandLook
{
    Colour colour;
    int light;
    int dark;
};

BandLook expectedLook(GreyBand band)
{
    switch (band) {
    case GreyBand::White:
        return {0xFFFFFF, 0, 0};
    case GreyBand::LightGrey:
        return {0xC0C0C0, 1, 0};
    case GreyBand::DarkGrey:
        return {0x808080, 0, 1};
    case GreyBand::Black:
        return {0x000000, 1, 1};
    }
    return {};
}

QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray toBytes(const BitPlane& plane)
{
    return QByteArray(reinterpret_cast<const char*>(plane.data()), int(plane.size()));
}

QByteArray toBytes(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

BitPlane toPlane(const QByteArray& bytes)
{
    BitPlane plane{};
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), 1024), plane.begin());
    return plane;
}

// A plane from (value, count) runs.
QByteArray runs(std::initializer_list<std::pair<int, int>> list)
{
    QByteArray bytes;
    for (const auto& [value, count] : list)
        bytes += QByteArray(count, char(value));
    return bytes;
}

QByteArray fromStd(const std::string& text)
{
    return QByteArray::fromStdString(text);
}

QByteArray row(const QByteArray& first, const QByteArray& middle, const QByteArray& last)
{
    QByteArray text = " .db " + first;
    for (int i = 0; i < 14; ++i)
        text += "," + middle;
    return text + "," + last;
}

const QByteArray zeroRow = row("%00000000", "%00000000", "%00000000");

// Line editing on a data file; lines are numbered from 1 as in the parser's errors.
QByteArrayList linesOf(const std::string& text)
{
    return fromStd(text).split('\n');
}

QByteArray joined(const QByteArrayList& lines)
{
    return lines.join('\n');
}

QByteArray withLine(const std::string& text, int line, const QByteArray& replacement)
{
    QByteArrayList lines = linesOf(text);
    lines[line - 1] = replacement + '\r';
    return joined(lines);
}

QByteArray withoutLine(const QByteArray& text, int line)
{
    QByteArrayList lines = text.split('\n');
    lines.removeAt(line - 1);
    return joined(lines);
}

QByteArray withInsertedLine(const std::string& text, int line, const QByteArray& inserted)
{
    QByteArrayList lines = linesOf(text);
    lines.insert(line - 1, inserted + '\r');
    return joined(lines);
}

// Straightforward twins of the encoder and decoder: find each run by looking
// ahead, and decode into a growing vector.
std::vector<std::uint8_t> slowEncode(const BitPlane& plane)
{
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < plane.size()) {
        std::size_t length = 1;
        while (i + length < plane.size() && plane[i + length] == plane[i] && length < 255)
            ++length;
        if (length >= 3 || plane[i] == 0x91) {
            out.insert(out.end(), {0x91, plane[i], std::uint8_t(length)});
        } else {
            out.insert(out.end(), length, plane[i]);
        }
        i += length;
    }
    return out;
}

std::optional<BitPlane> slowDecode(const std::vector<std::uint8_t>& block)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < block.size();) {
        if (block[i] == 0x91) {
            if (i + 2 >= block.size() || block[i + 2] == 0)
                return std::nullopt;
            out.insert(out.end(), block[i + 2], block[i + 1]);
            i += 3;
        } else {
            out.push_back(block[i++]);
        }
        if (out.size() > 1024)
            return std::nullopt;
    }
    if (out.size() != 1024)
        return std::nullopt;
    BitPlane plane;
    std::copy(out.begin(), out.end(), plane.begin());
    return plane;
}

BitPlane zeroPlane()
{
    return BitPlane{};
}

// 24 encoded bytes, exactly two full lines: eight marker groups of runs that
// alternate between two values so that none merge.
QByteArray twoLinePlane()
{
    return runs({{0x00, 255},
                 {0x11, 255},
                 {0x00, 255},
                 {0x11, 3},
                 {0x00, 3},
                 {0x11, 3},
                 {0x00, 3},
                 {0x11, 247}});
}

} // namespace

class TestConvertCore : public QObject
{
    Q_OBJECT

private slots:
    void blackWhiteThreshold_data();
    void blackWhiteThreshold();
    void blackWhitePixels_data();
    void blackWhitePixels();
    void blackWhiteDarkensAsValueRises();

    void greyThresholds_data();
    void greyThresholds();
    void greyBands_data();
    void greyBands();
    void greyBandsDarkenAsValueRises();

    void bitPlaneBytes_data();
    void bitPlaneBytes();
    void bitPlaneInverses();

    void compressRLE_data();
    void compressRLE();
    void compressRLEMatchesSlowTwin();
    void decompressRLERejectsMalformed_data();
    void decompressRLERejectsMalformed();
    void decompressRLEMatchesSlowTwinOnDamagedBlocks();

    void writeHexByteBreaksLines();
    void allWhiteCompressedFile();
    void plainFiles_data();
    void plainFiles();
    void compressedBlocks_data();
    void compressedBlocks();
    void compressionSummary_data();
    void compressionSummary();
    void greyscaleCompressedFile();
    void greyscalePlainFile();

    void parseRoundTrip();
    void parseRejectsMalformed_data();
    void parseRejectsMalformed();
    void parseSurvivesDamagedFiles();
    void parseReadsFilesAsPeopleEditThem_data();
    void parseReadsFilesAsPeopleEditThem();
    void parseOfHugeLineStaysSmall();
};

// ---- Black and white ----

void TestConvertCore::blackWhiteThreshold_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("threshold");
    QTest::newRow("0") << 0 << 0.0;
    QTest::newRow("1") << 1 << 167772.14;
    QTest::newRow("50 is 7FFFFF") << 50 << 8388607.0;
    QTest::newRow("99") << 99 << 16609441.86;
    QTest::newRow("100 is FFFFFE") << 100 << 16777214.0;
    QTest::newRow("below range") << -7 << 0.0;
    QTest::newRow("above range") << 250 << 16777214.0;
}

void TestConvertCore::blackWhiteThreshold()
{
    QFETCH(int, value);
    QFETCH(double, threshold);
    QVERIFY2(std::abs(::blackWhiteThreshold(value) - threshold) < 1e-6,
             qPrintable(QString::number(::blackWhiteThreshold(value), 'f', 6)));
}

void TestConvertCore::blackWhitePixels_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<quint32>("expected");
    const quint32 black = colours::black;
    const quint32 white = colours::white;
    // The colour number decides, blue first: yellow is a small number, blue a big one.
    QTest::newRow("50 yellow") << 50 << 0x00FFFFu << black;
    QTest::newRow("50 blue") << 50 << 0xFF0000u << white;
    QTest::newRow("50 grey 128") << 50 << 0x808080u << white;
    QTest::newRow("50 grey 127") << 50 << 0x7F7F7Fu << black;
    QTest::newRow("50 just below threshold") << 50 << 0x7FFFFEu << black;
    QTest::newRow("50 on threshold") << 50 << 0x7FFFFFu << white;
    QTest::newRow("50 just above threshold") << 50 << 0x800000u << white;
    QTest::newRow("0 black on threshold") << 0 << black << black;
    QTest::newRow("0 colour 1") << 0 << 0x000001u << white;
    QTest::newRow("0 yellow") << 0 << 0x00FFFFu << white;
    QTest::newRow("1 below threshold") << 1 << 167772u << black;
    QTest::newRow("1 above threshold") << 1 << 167773u << white;
    QTest::newRow("99 below threshold") << 99 << 16609441u << black;
    QTest::newRow("99 above threshold") << 99 << 16609442u << white;
    QTest::newRow("100 blue") << 100 << 0xFF0000u << black;
    QTest::newRow("100 just below threshold") << 100 << 0xFFFFFDu << black;
    QTest::newRow("100 on threshold") << 100 << 0xFFFFFEu << white;
    QTest::newRow("100 white") << 100 << white << white;
    QTest::newRow("100 black") << 100 << black << black;
    QTest::newRow("100 light grey") << 100 << 0xC0C0C0u << black;
}

void TestConvertCore::blackWhitePixels()
{
    QFETCH(int, value);
    QFETCH(quint32, colour);
    QFETCH(quint32, expected);
    QCOMPARE(blackWhitePixel(colour, ::blackWhiteThreshold(value)), expected);

    const SourceView result = convertBlackWhite(whiteViewWith(colour), value);
    QCOMPARE(result[pixelIndex(probeX, probeY)], expected);
    // The white background beside a small picture stays white at every value.
    QCOMPARE(result[pixelIndex(0, 0)], colours::white);
    QCOMPARE(result[pixelIndex(127, 63)], colours::white);
}

void TestConvertCore::blackWhiteDarkensAsValueRises()
{
    const std::vector<Colour> samples = probeColours();
    std::vector<bool> wasBlack(samples.size(), false);
    for (int v = 0; v <= 100; ++v) {
        const double threshold = ::blackWhiteThreshold(v);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const Colour result = blackWhitePixel(samples[i], threshold);
            QVERIFY2(result == colours::black || result == colours::white,
                     qPrintable(QStringLiteral("V=%1 colour %2").arg(v).arg(samples[i], 6, 16)));
            const bool black = result == colours::black;
            QVERIFY2(black || !wasBlack[i],
                     qPrintable(QStringLiteral("V=%1 colour %2 turned white again")
                                    .arg(v)
                                    .arg(samples[i], 6, 16)));
            wasBlack[i] = black;
        }
    }
}

// ---- Greyscale ----

void TestConvertCore::greyThresholds_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("low");
    QTest::addColumn<double>("middle");
    QTest::addColumn<double>("high");
    QTest::newRow("0") << 0 << 33333 << 100000.0 << 11218143.33;
    QTest::newRow("20, whole middle") << 20 << 1151814 << 3455443.0 << 12336624.33;
    QTest::newRow("50") << 50 << 2829536 << 8488607.5 << 14014345.83;
    QTest::newRow("99") << 99 << 5569814 << 16709442.85 << 16754624.28;
    QTest::newRow("100, high below middle") << 100 << 5625738 << 16877215.0 << 16810548.33;
}

void TestConvertCore::greyThresholds()
{
    QFETCH(int, value);
    QFETCH(int, low);
    QFETCH(double, middle);
    QFETCH(double, high);
    const GreyThresholds t = ::greyThresholds(value);
    QCOMPARE(t.low, low);
    QVERIFY2(std::abs(t.middle - middle) < 0.005, qPrintable(QString::number(t.middle, 'f', 4)));
    QVERIFY2(std::abs(t.high - high) < 0.005, qPrintable(QString::number(t.high, 'f', 4)));
}

void TestConvertCore::greyBands_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<GreyBand>("band");
    QTest::newRow("50 white") << 50 << 0xFFFFFFu << GreyBand::White;
    QTest::newRow("50 grey 192") << 50 << 0xC0C0C0u << GreyBand::LightGrey;
    QTest::newRow("50 grey 128") << 50 << 0x808080u << GreyBand::DarkGrey;
    QTest::newRow("50 grey 64") << 50 << 0x404040u << GreyBand::DarkGrey;
    QTest::newRow("50 grey 32") << 50 << 0x202020u << GreyBand::Black;
    QTest::newRow("50 black") << 50 << 0x000000u << GreyBand::Black;
    QTest::newRow("50 blue") << 50 << 0xFF0000u << GreyBand::White;
    QTest::newRow("50 yellow") << 50 << 0x00FFFFu << GreyBand::Black;
    QTest::newRow("50 green") << 50 << 0x00FF00u << GreyBand::Black;
    QTest::newRow("50 red") << 50 << 0x0000FFu << GreyBand::Black;
    // Colours on a threshold go to the lighter band.
    QTest::newRow("50 on low 2B2CE0") << 50 << 0x2B2CE0u << GreyBand::DarkGrey;
    QTest::newRow("50 below low") << 50 << 0x2B2CDFu << GreyBand::Black;
    QTest::newRow("50 below middle") << 50 << 0x81869Fu << GreyBand::DarkGrey;
    QTest::newRow("50 above middle") << 50 << 0x8186A0u << GreyBand::LightGrey;
    QTest::newRow("50 below high") << 50 << 14014345u << GreyBand::LightGrey;
    QTest::newRow("50 above high") << 50 << 14014346u << GreyBand::White;
    QTest::newRow("20 on whole middle") << 20 << 3455443u << GreyBand::LightGrey;
    QTest::newRow("20 below middle") << 20 << 3455442u << GreyBand::DarkGrey;
    QTest::newRow("0 on low") << 0 << 33333u << GreyBand::DarkGrey;
    QTest::newRow("0 below low") << 0 << 33332u << GreyBand::Black;
    QTest::newRow("0 below middle") << 0 << 99999u << GreyBand::DarkGrey;
    QTest::newRow("0 on middle") << 0 << 100000u << GreyBand::LightGrey;
    QTest::newRow("0 below high") << 0 << 0xAB2CDFu << GreyBand::LightGrey;
    QTest::newRow("0 above high") << 0 << 0xAB2CE0u << GreyBand::White;
    QTest::newRow("0 white") << 0 << 0xFFFFFFu << GreyBand::White;
    QTest::newRow("99 white") << 99 << 0xFFFFFFu << GreyBand::White;
    // At 100 nothing is white or light grey.
    QTest::newRow("100 white") << 100 << 0xFFFFFFu << GreyBand::DarkGrey;
    QTest::newRow("100 grey 192") << 100 << 0xC0C0C0u << GreyBand::DarkGrey;
    QTest::newRow("100 on low") << 100 << 5625738u << GreyBand::DarkGrey;
    QTest::newRow("100 below low") << 100 << 5625737u << GreyBand::Black;
    QTest::newRow("100 black") << 100 << 0x000000u << GreyBand::Black;
}

void TestConvertCore::greyBands()
{
    QFETCH(int, value);
    QFETCH(quint32, colour);
    QFETCH(GreyBand, band);
    QCOMPARE(greyBand(colour, ::greyThresholds(value)), band);

    // The preview and both grids tell the same band.
    const GreyscaleResult result = convertGreyscale(whiteViewWith(colour), value);
    const int probe = pixelIndex(probeX, probeY);
    const BandLook look = expectedLook(band);
    QCOMPARE(result.preview[probe], look.colour);
    QCOMPARE(int(result.light[probe]), look.light);
    QCOMPARE(int(result.dark[probe]), look.dark);

    const BandLook background = expectedLook(value == 100 ? GreyBand::DarkGrey : GreyBand::White);
    QCOMPARE(result.preview[0], background.colour);
    QCOMPARE(int(result.light[0]), background.light);
    QCOMPARE(int(result.dark[0]), background.dark);
}

void TestConvertCore::greyBandsDarkenAsValueRises()
{
    const std::vector<Colour> samples = probeColours();
    std::vector<int> previous(samples.size(), 0);
    for (int v = 0; v <= 100; ++v) {
        const GreyThresholds t = ::greyThresholds(v);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const GreyBand band = greyBand(samples[i], t);
            const QString where = QStringLiteral("V=%1 colour %2").arg(v).arg(samples[i], 6, 16);
            QVERIFY2(darkness(band) >= previous[i], qPrintable(where + " got lighter"));
            if (v == 100)
                QVERIFY2(band == GreyBand::DarkGrey || band == GreyBand::Black, qPrintable(where));
            previous[i] = darkness(band);
        }
    }
}

// ---- Bit planes ----

void TestConvertCore::bitPlaneBytes_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<int>("byteIndex"); // -1: the plane stays empty
    QTest::addColumn<int>("byteValue");
    QTest::newRow("top left") << 0 << 0 << 0u << 0 << 0x80;
    QTest::newRow("bottom right") << 127 << 63 << 0u << 1023 << 0x01;
    QTest::newRow("end of first byte") << 7 << 0 << 0u << 0 << 0x01;
    QTest::newRow("start of second row") << 8 << 1 << 0u << 17 << 0x80;
    QTest::newRow("middle") << 77 << 40 << 0u << 649 << 0x04;
    QTest::newRow("dark grey counts 0") << 77 << 40 << 0x808080u << -1 << 0;
    QTest::newRow("colour 1 counts 0") << 77 << 40 << 0x000001u << -1 << 0;
}

void TestConvertCore::bitPlaneBytes()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(quint32, colour);
    QFETCH(int, byteIndex);
    QFETCH(int, byteValue);
    SourceView pixels;
    pixels.fill(colours::white);
    pixels[pixelIndex(x, y)] = colour;
    BitPlane expected{};
    if (byteIndex >= 0)
        expected[std::size_t(byteIndex)] = std::uint8_t(byteValue);
    QCOMPARE(toBytes(bitPlaneFromPixels(pixels)), toBytes(expected));

    LayerGrid grid{};
    grid[pixelIndex(x, y)] = colour == colours::black ? 1 : 0;
    QCOMPARE(toBytes(bitPlaneFromGrid(grid)), toBytes(expected));
}

void TestConvertCore::bitPlaneInverses()
{
    for (const BitPlane& plane : samplePlanes()) {
        QCOMPARE(toBytes(bitPlaneFromGrid(gridFromBitPlane(plane))), toBytes(plane));
        QCOMPARE(toBytes(bitPlaneFromPixels(pixelsFromBitPlane(plane))), toBytes(plane));
    }
    // Two layer grids read back from planes show the same four greys as the
    // conversion that made them.
    std::mt19937 random(7);
    SourceView source;
    for (Colour& c : source)
        c = random() & colours::white;
    const GreyscaleResult result = convertGreyscale(source, 50);
    const SourceView shown = greyscalePreview(gridFromBitPlane(bitPlaneFromGrid(result.light)),
                                              gridFromBitPlane(bitPlaneFromGrid(result.dark)));
    QVERIFY(shown == result.preview);
}

// ---- Run-length code ----

void TestConvertCore::compressRLE_data()
{
    QTest::addColumn<QByteArray>("plane");
    QTest::addColumn<QByteArray>("encoded");
    const QByteArray zeroRuns4 = hexBytes("9100ff").repeated(4);
    const QByteArray zeroRuns3 = hexBytes("9100ff").repeated(3);
    QTest::newRow("1024 zero bytes") << runs({{0x00, 1024}}) << zeroRuns4 + hexBytes("910004");
    QTest::newRow("1024 marker bytes")
        << runs({{0x91, 1024}}) << hexBytes("9191ff").repeated(4) + hexBytes("919104");
    QTest::newRow("worked example")
        << runs({{0x00, 4}, {0x91, 1}, {0xff, 2}, {0x12, 1}, {0xaa, 1016}})
        << hexBytes("910004 919101 ffff 12 91aaff 91aaff 91aaff 91aafb");
    QTest::newRow("run of 3") << runs({{0x12, 3}, {0x00, 1021}})
                              << hexBytes("911203") + zeroRuns4 + hexBytes("00");
    QTest::newRow("run of 2") << runs({{0x12, 2}, {0x00, 1022}})
                              << hexBytes("1212") + zeroRuns4 + hexBytes("0000");
    QTest::newRow("run of 1") << runs({{0x12, 1}, {0x00, 1023}})
                              << hexBytes("12") + zeroRuns4 + hexBytes("910003");
    QTest::newRow("single marker") << runs({{0x00, 1}, {0x91, 1}, {0x00, 1022}})
                                   << hexBytes("00 919101") + zeroRuns4 + hexBytes("0000");
    QTest::newRow("two markers") << runs({{0x00, 1}, {0x91, 2}, {0x00, 1021}})
                                 << hexBytes("00 919102") + zeroRuns4 + hexBytes("00");
    QTest::newRow("marker pair at the end")
        << runs({{0x00, 1022}, {0x91, 2}}) << zeroRuns4 + hexBytes("0000 919102");
    QTest::newRow("run of 255") << runs({{0xaa, 255}, {0x00, 769}})
                                << hexBytes("91aaff") + zeroRuns3 + hexBytes("910004");
    QTest::newRow("run of 256") << runs({{0xaa, 256}, {0x00, 768}})
                                << hexBytes("91aaff aa") + zeroRuns3 + hexBytes("910003");
    QTest::newRow("run of 257") << runs({{0xaa, 257}, {0x00, 767}})
                                << hexBytes("91aaff aaaa") + zeroRuns3 + hexBytes("0000");
    QTest::newRow("run of 258") << runs({{0xaa, 258}, {0x00, 766}})
                                << hexBytes("91aaff 91aa03") + zeroRuns3 + hexBytes("00");
    QTest::newRow("runs go on across rows")
        << runs({{0xaa, 300}, {0x00, 724}}) << hexBytes("91aaff 91aa2d 9100ff 9100ff 9100d6");
    QTest::newRow("alternating marker and zero, 2048 bytes")
        << hexBytes("9100").repeated(512) << hexBytes("91910100").repeated(512);
    QTest::newRow("alternating 12 and 34, 1024 bytes")
        << hexBytes("1234").repeated(512) << hexBytes("1234").repeated(512);
}

void TestConvertCore::compressRLE()
{
    QFETCH(QByteArray, plane);
    QFETCH(QByteArray, encoded);
    QCOMPARE(plane.size(), 1024);
    QCOMPARE(toBytes(CompressRLE(toPlane(plane))), encoded);

    const std::optional<BitPlane> decoded = decompressRLE(
        std::span(reinterpret_cast<const std::uint8_t*>(encoded.constData()), encoded.size()));
    QVERIFY(decoded);
    QCOMPARE(toBytes(*decoded), plane);
}

void TestConvertCore::compressRLEMatchesSlowTwin()
{
    std::vector<BitPlane> planes = samplePlanes(400);
    for (int value = 0; value < 256; ++value) {
        BitPlane plane;
        plane.fill(std::uint8_t(value));
        planes.push_back(plane);
    }
    for (const BitPlane& plane : planes) {
        const std::vector<std::uint8_t> encoded = CompressRLE(plane);
        QCOMPARE(toBytes(encoded), toBytes(slowEncode(plane)));
        QVERIFY(encoded.size() >= 15 && encoded.size() <= 2048);
        const std::optional<BitPlane> decoded = decompressRLE(encoded);
        QVERIFY(decoded);
        QCOMPARE(toBytes(*decoded), toBytes(plane));
    }
}

void TestConvertCore::decompressRLERejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("block");
    const QByteArray allZero = hexBytes("9100ff").repeated(4) + hexBytes("910004");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("marker alone") << hexBytes("91");
    QTest::newRow("marker and one byte") << hexBytes("9100");
    QTest::newRow("length 0") << hexBytes("910000") + allZero;
    QTest::newRow("too few bytes") << hexBytes("9100ff").repeated(4);
    QTest::newRow("one literal too many") << allZero + hexBytes("00");
    QTest::newRow("last run too long") << hexBytes("9100ff").repeated(4) + hexBytes("910005");
    QTest::newRow("marker cut off after 1023 bytes")
        << hexBytes("9100ff").repeated(4) + hexBytes("000000 9100");
    QTest::newRow("marker after a full plane") << allZero + hexBytes("91");
}

void TestConvertCore::decompressRLERejectsMalformed()
{
    QFETCH(QByteArray, block);
    QVERIFY(!decompressRLE(
        std::span(reinterpret_cast<const std::uint8_t*>(block.constData()), block.size())));
}

void TestConvertCore::decompressRLEMatchesSlowTwinOnDamagedBlocks()
{
    std::mt19937 random(99);
    int accepted = 0;
    for (const BitPlane& plane : samplePlanes(100)) {
        const std::vector<std::uint8_t> encoded = CompressRLE(plane);
        for (int n = 0; n < 50; ++n) {
            std::vector<std::uint8_t> block = encoded;
            const std::size_t at = random() % block.size();
            const std::uint8_t byte = std::uint8_t(
                random() % 3 == 0 ? 0x91 : (random() % 2 == 0 ? 0x00 : random() & 0xff));
            switch (random() % 4) {
            case 0:
                block[at] = byte;
                break;
            case 1:
                block.erase(block.begin() + std::ptrdiff_t(at));
                break;
            case 2:
                block.insert(block.begin() + std::ptrdiff_t(at), byte);
                break;
            default:
                block.resize(at);
                break;
            }
            const std::optional<BitPlane> fast = decompressRLE(block);
            const std::optional<BitPlane> slow = slowDecode(block);
            QCOMPARE(bool(fast), bool(slow));
            if (fast) {
                QCOMPARE(toBytes(*fast), toBytes(*slow));
                ++accepted;
            }
        }
    }
    // Damage that keeps the length right (a changed literal) must still decode.
    QVERIFY(accepted > 0);
}

// ---- Picture data files ----

void TestConvertCore::writeHexByteBreaksLines()
{
    PictureDataWriter writer;
    writer.WriteHexByte("5");
    writer.WriteHexByte("ff");
    for (int i = 0; i < 11; ++i)
        writer.WriteHexByte("0");
    QCOMPARE(fromStd(writer.text()),
             QByteArray("\r\n .db $05,$ff,$00,$00,$00,$00,$00,$00,$00,$00,$00,$00\r\n .db $00"));
    QCOMPARE(writer.hexByteCount, std::int16_t(13));
}

void TestConvertCore::allWhiteCompressedFile()
{
    QCOMPARE(fromStd(blackWhiteDataFile(zeroPlane(), true)),
             QByteArray(";Created with the Dotwright by Quelm\r\n"
                        ";Original idea: Squashpic by Tennick\r\n"
                        "\r\n"
                        " .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff\r\n"
                        " .db $91,$00,$04\r\n"
                        "\r\n"
                        ";1024 bytes compressed to 15 -- 1% of original.\r\n"));
}

void TestConvertCore::plainFiles_data()
{
    QTest::addColumn<quint32>("background");
    QTest::addColumn<int>("blackPixel"); // index of one black pixel, or -1
    QTest::addColumn<QByteArray>("firstRow");
    QTest::addColumn<QByteArray>("middleRow");
    QTest::addColumn<QByteArray>("lastRow");
    const QByteArray ones = row("%11111111", "%11111111", "%11111111");
    QTest::newRow("all white") << quint32(colours::white) << -1 << zeroRow << zeroRow << zeroRow;
    QTest::newRow("all black") << quint32(colours::black) << -1 << ones << ones << ones;
    // Neither black nor white counts as white.
    QTest::newRow("all dark grey")
        << quint32(colours::darkGrey) << -1 << zeroRow << zeroRow << zeroRow;
    QTest::newRow("pixel (0, 0)") << quint32(colours::white) << pixelIndex(0, 0)
                                  << row("%10000000", "%00000000", "%00000000") << zeroRow
                                  << zeroRow;
    QTest::newRow("pixel (127, 63)") << quint32(colours::white) << pixelIndex(127, 63) << zeroRow
                                     << zeroRow << row("%00000000", "%00000000", "%00000001");
}

void TestConvertCore::plainFiles()
{
    QFETCH(quint32, background);
    QFETCH(int, blackPixel);
    QFETCH(QByteArray, firstRow);
    QFETCH(QByteArray, middleRow);
    QFETCH(QByteArray, lastRow);
    SourceView pixels;
    pixels.fill(background);
    if (blackPixel >= 0)
        pixels[std::size_t(blackPixel)] = colours::black;

    QByteArray expected = ";Created with the Dotwright by Quelm\r\n\r\n" + firstRow + "\r\n";
    for (int y = 1; y < 63; ++y)
        expected += middleRow + "\r\n";
    expected += lastRow + "\r\n";
    QCOMPARE(fromStd(blackWhiteDataFile(bitPlaneFromPixels(pixels), false)), expected);
}

void TestConvertCore::compressedBlocks_data()
{
    QTest::addColumn<QByteArray>("plane");
    QTest::addColumn<QByteArray>("blockText"); // what follows the two credit lines
    QTest::newRow("worked example, 21 bytes")
        << runs({{0x00, 4}, {0x91, 1}, {0xff, 2}, {0x12, 1}, {0xaa, 1016}})
        << QByteArray("\r\n .db $91,$00,$04,$91,$91,$01,$ff,$ff,$12,$91,$aa,$ff"
                      "\r\n .db $91,$aa,$ff,$91,$aa,$ff,$91,$aa,$fb"
                      "\r\n\r\n;1024 bytes compressed to 21 -- 2% of original.\r\n");
    QTest::newRow("pixel (0, 0)")
        << runs({{0x80, 1}, {0x00, 1023}})
        << QByteArray("\r\n .db $80,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00"
                      "\r\n .db $ff,$91,$00,$03"
                      "\r\n\r\n;1024 bytes compressed to 16 -- 1% of original.\r\n");
    QTest::newRow("pixel (127, 63)")
        << runs({{0x00, 1023}, {0x01, 1}})
        << QByteArray("\r\n .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff"
                      "\r\n .db $91,$00,$03,$01"
                      "\r\n\r\n;1024 bytes compressed to 16 -- 1% of original.\r\n");
    QTest::newRow("24 bytes, two full lines")
        << twoLinePlane()
        << QByteArray("\r\n .db $91,$00,$ff,$91,$11,$ff,$91,$00,$ff,$91,$11,$03"
                      "\r\n .db $91,$00,$03,$91,$11,$03,$91,$00,$03,$91,$11,$f7"
                      "\r\n\r\n;1024 bytes compressed to 24 -- 2% of original.\r\n");

    QByteArray alternating;
    for (int i = 0; i < 1024; ++i)
        alternating += (i % 12 == 0 ? "\r\n .db $" : ",$") + QByteArray(i % 2 == 0 ? "12" : "34");
    QTest::newRow("no runs, 1024 bytes")
        << hexBytes("1234").repeated(512)
        << alternating + "\r\n\r\n;1024 bytes compressed to 1024 -- 100% of original.\r\n";
}

void TestConvertCore::compressedBlocks()
{
    QFETCH(QByteArray, plane);
    QFETCH(QByteArray, blockText);
    QCOMPARE(plane.size(), 1024);
    QCOMPARE(fromStd(blackWhiteDataFile(toPlane(plane), true)),
             ";Created with the Dotwright by Quelm\r\n;Original idea: Squashpic by Tennick\r\n" +
                 blockText);
}

void TestConvertCore::compressionSummary_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("15") << 15 << QByteArray(";1024 bytes compressed to 15 -- 1% of original.");
    QTest::newRow("345") << 345 << QByteArray(";1024 bytes compressed to 345 -- 33% of original.");
    QTest::newRow("1023") << 1023
                          << QByteArray(";1024 bytes compressed to 1023 -- 99% of original.");
    QTest::newRow("1024") << 1024
                          << QByteArray(";1024 bytes compressed to 1024 -- 100% of original.");
    QTest::newRow("1500") << 1500
                          << QByteArray(";1024 bytes compressed to 1500 -- 146% of original.");
    QTest::newRow("2048") << 2048
                          << QByteArray(";1024 bytes compressed to 2048 -- 200% of original.");
}

void TestConvertCore::compressionSummary()
{
    QFETCH(int, size);
    QFETCH(QByteArray, line);
    QCOMPARE(fromStd(::compressionSummary(std::size_t(size))), line);
}

void TestConvertCore::greyscaleCompressedFile()
{
    QCOMPARE(fromStd(greyscaleDataFile(zeroPlane(), toPlane(twoLinePlane()), true)),
             QByteArray(";Created with the Dotwright by Quelm\r\n"
                        ";Original idea: Squashpic by Tennick\r\n"
                        "\r\n"
                        "LightLayer:\r\n"
                        "\r\n"
                        " .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff\r\n"
                        " .db $91,$00,$04\r\n"
                        "\r\n"
                        ";1024 bytes compressed to 15 -- 1% of original.\r\n"
                        "\r\n"
                        "DarkLayer:\r\n"
                        "\r\n"
                        " .db $91,$00,$ff,$91,$11,$ff,$91,$00,$ff,$91,$11,$03\r\n"
                        " .db $91,$00,$03,$91,$11,$03,$91,$00,$03,$91,$11,$f7\r\n"
                        "\r\n"
                        ";1024 bytes compressed to 24 -- 2% of original.\r\n"));
}

void TestConvertCore::greyscalePlainFile()
{
    BitPlane light{};
    light[0] = 0x80;
    BitPlane dark{};
    dark[1023] = 0x01;
    const QByteArrayList lines = fromStd(greyscaleDataFile(light, dark, false)).split('\n');

    QByteArrayList expected = {";Created with the Dotwright by Quelm", "",
                               "LightLayer:", row("%10000000", "%00000000", "%00000000")};
    for (int y = 1; y < 64; ++y)
        expected += zeroRow;
    expected += {"", "DarkLayer:"};
    for (int y = 0; y < 63; ++y)
        expected += zeroRow;
    expected += row("%00000000", "%00000000", "%00000001");
    for (QByteArray& line : expected)
        line += '\r';
    expected += ""; // after the last CR LF
    QCOMPARE(lines, expected);
}

// ---- Reading data files back ----

void TestConvertCore::parseRoundTrip()
{
    const std::vector<BitPlane> planes = samplePlanes(20);
    for (std::size_t i = 0; i + 1 < planes.size(); ++i) {
        const BitPlane& light = planes[i];
        const BitPlane& dark = planes[i + 1];
        for (const bool greyscale : {false, true}) {
            for (const bool compressed : {false, true}) {
                const std::string text = greyscale ? greyscaleDataFile(light, dark, compressed)
                                                   : blackWhiteDataFile(light, compressed);
                const QString where = QStringLiteral("plane %1 greyscale %2 compressed %3")
                                          .arg(i)
                                          .arg(greyscale)
                                          .arg(compressed);
                // ASCII, and every line ended by CR LF.
                QVERIFY(text.ends_with("\r\n"));
                for (std::size_t k = 0; k < text.size(); ++k) {
                    const char c = text[k];
                    QVERIFY2((c >= 0x20 && c < 0x7f) || (c == '\r' && text[k + 1] == '\n') ||
                                 (c == '\n' && k > 0 && text[k - 1] == '\r'),
                             qPrintable(where));
                }

                QByteArray lfOnly = fromStd(text);
                lfOnly.replace("\r\n", "\n");
                for (const QByteArray& variant : {fromStd(text), lfOnly}) {
                    const Result<ParsedDataFile> result =
                        parsePictureDataFile(variant.toStdString());
                    QVERIFY2(result,
                             qPrintable(where + ": " +
                                        QString::fromStdString(result ? std::string()
                                                                      : result.error().message())));
                    QCOMPARE(result->greyscale, greyscale);
                    QCOMPARE(result->compressed, compressed);
                    QCOMPARE(result->planes.size(), std::size_t(greyscale ? 2 : 1));
                    QCOMPARE(toBytes(result->planes[0]), toBytes(light));
                    if (greyscale)
                        QCOMPARE(toBytes(result->planes[1]), toBytes(dark));
                }
            }
        }
    }
}

void TestConvertCore::parseRejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    // Line numbers: plain black and white has its rows on lines 3..66; the
    // compressed all-white file its block on lines 4..5 and the summary on 7;
    // plain greyscale has "LightLayer:" on 3, its rows on 4..67, "DarkLayer:" on 69.
    const std::string bwPlain = blackWhiteDataFile(zeroPlane(), false);
    const std::string bwCompressed = blackWhiteDataFile(zeroPlane(), true);
    const std::string gsPlain = greyscaleDataFile(zeroPlane(), zeroPlane(), false);
    const QByteArray zeroBlock = " .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff";
    const QByteArray row15 = " .db " + QByteArrayList(15, "%00000000").join(',');

    QTest::newRow("empty text") << QByteArray() << "no picture data";
    QTest::newRow("credit lines only")
        << QByteArray(";Created with the Dotwright by Quelm\r\n\r\n") << "no picture data";
    QTest::newRow("row of 15 bytes")
        << withLine(bwPlain, 3, row15) << "line 3: expected 16 binary bytes, found 15";
    QTest::newRow("row with a trailing comma")
        << withLine(bwPlain, 5, zeroRow + ",") << "line 5: expected 16 binary bytes, found 17";
    QTest::newRow("binary byte of seven digits")
        << withLine(bwPlain, 3, " .db %0000000," + row15.mid(5))
        << "line 3: byte 1 is not a binary byte (% and eight digits)";
    QTest::newRow("binary digit 2") << withLine(bwPlain, 66, row15 + ",%00000002")
                                    << "line 66: byte 16 is not a binary byte (% and eight digits)";
    QTest::newRow("63 rows") << withoutLine(fromStd(bwPlain), 66)
                             << "the picture: expected 64 rows, found 63";
    QTest::newRow("65 rows") << withInsertedLine(bwPlain, 66, zeroRow)
                             << "line 67: more than 64 rows";
    QTest::newRow("hexadecimal among binary rows")
        << withLine(bwPlain, 10, " .db $00") << "line 10: hexadecimal bytes among binary rows";
    QTest::newRow(".db without bytes")
        << withLine(bwPlain, 3, " .db") << "line 3: no bytes after .db";
    QTest::newRow("neither % nor $")
        << withLine(bwPlain, 3, " .db 0,0") << "line 3: expected %binary or $hexadecimal bytes";
    QTest::newRow("unknown text") << withInsertedLine(bwPlain, 2, "hello")
                                  << "line 2: unexpected text";
    const QString notADataFile =
        "not a picture data file (expected .db lines of binary or hexadecimal bytes)";
    QTest::newRow("control characters")
        << QByteArray("\0\x01\xff\x7f garbage\n", 13) << notADataFile;
    QTest::newRow("a PNG") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << notADataFile;
    QTest::newRow("block longer than any that decodes")
        << QByteArray(";x\n .db $00" + QByteArray(",$00").repeated(3072) + "\n")
        << "line 2: compressed block does not decode to 1024 bytes";
    QTest::newRow("block cut short")
        << withoutLine(fromStd(bwCompressed), 5)
        << "line 6: summary line does not match the block of 12 bytes above it";
    QTest::newRow("block cut short, no summary")
        << withoutLine(withoutLine(fromStd(bwCompressed), 7), 5)
        << "line 4: compressed block does not decode to 1024 bytes";
    QTest::newRow("length byte 0") << withLine(bwCompressed, 5, " .db $91,$00,$00")
                                   << "line 4: compressed block does not decode to 1024 bytes";
    QTest::newRow("marker without its bytes")
        << withoutLine(withLine(bwCompressed, 5, " .db $91"), 7)
        << "line 4: compressed block does not decode to 1024 bytes";
    QTest::newRow("bad hexadecimal digit")
        << withLine(bwCompressed, 5, " .db $91,$0g,$04")
        << "line 5: byte 2 is not a hexadecimal byte ($ and two digits)";
    QTest::newRow("three hexadecimal digits")
        << withLine(bwCompressed, 5, " .db $910,$00,$04")
        << "line 5: byte 1 is not a hexadecimal byte ($ and two digits)";
    QTest::newRow("summary with the wrong count")
        << withLine(bwCompressed, 7, ";1024 bytes compressed to 16 -- 1% of original.")
        << "line 7: summary line does not match the block of 15 bytes above it";
    QTest::newRow("summary in a plain file")
        << withInsertedLine(bwPlain, 67, ";1024 bytes compressed to 15 -- 1% of original.")
        << "line 67: summary line without a compressed block above it";
    QTest::newRow("data after the summary")
        << withInsertedLine(bwCompressed, 8, " .db $00") << "line 8: data after the summary line";
    QTest::newRow("binary row inside a block")
        << withLine(bwCompressed, 5, zeroRow) << "line 5: binary bytes inside a compressed block";
    QTest::newRow("DarkLayer first")
        << withLine(gsPlain, 3, "DarkLayer:") << "line 3: DarkLayer: must follow LightLayer:";
    QTest::newRow("LightLayer twice")
        << withLine(gsPlain, 69, "LightLayer:") << "line 69: LightLayer: must come first";
    QTest::newRow("no DarkLayer") << QByteArray(fromStd(gsPlain).split('\n').mid(0, 67).join('\n'))
                                  << "DarkLayer: missing";
    QTest::newRow("empty LightLayer")
        << QByteArray(fromStd(gsPlain).split('\n').mid(0, 3).join('\n') + '\n' +
                      fromStd(gsPlain).split('\n').mid(67).join('\n'))
        << "line 3: LightLayer: holds no data";
    QTest::newRow("label after black-and-white data")
        << withInsertedLine(bwPlain, 67, "DarkLayer:")
        << "line 67: layer label after black-and-white data";
    QTest::newRow("plain light layer, compressed dark layer")
        << QByteArray(fromStd(gsPlain).split('\n').mid(0, 68).join('\n') + "\nDarkLayer:\n\n" +
                      zeroBlock + "\n .db $91,$00,$04\n")
        << "line 71: layers mix plain and compressed data";
}

void TestConvertCore::parseRejectsMalformed()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const Result<ParsedDataFile> result =
        parsePictureDataFile(std::string_view(text.constData(), text.size()));
    QVERIFY(!result);
    QCOMPARE(QString::fromStdString(result.error().message()), error);
}

void TestConvertCore::parseSurvivesDamagedFiles()
{
    std::mt19937 random(5);
    const std::vector<BitPlane> planes = samplePlanes(4);
    std::vector<std::string> texts;
    for (const bool compressed : {false, true}) {
        texts.push_back(blackWhiteDataFile(planes[3], compressed));
        texts.push_back(greyscaleDataFile(planes[9], planes[10], compressed));
    }
    const char damage[] = {'\n', '\r', ',', '$', '%', '0', '1', '9', 'f', ';', ' ', '\0', 'x'};
    for (const std::string& original : texts) {
        for (int n = 0; n < 300; ++n) {
            std::string text = original;
            for (int edits = 1 + int(random() % 3); edits > 0; --edits) {
                const std::size_t at = random() % text.size();
                const char c = damage[random() % std::size(damage)];
                switch (random() % 3) {
                case 0:
                    text[at] = c;
                    break;
                case 1:
                    text.erase(at, 1 + random() % 20);
                    break;
                default:
                    text.insert(at, 1, c);
                    break;
                }
            }
            // Either a whole file or a reason that says something.
            const Result<ParsedDataFile> result = parsePictureDataFile(text);
            if (result)
                QCOMPARE(result->planes.size(), std::size_t(result->greyscale ? 2 : 1));
            else
                QVERIFY(!result.error().message().empty());
        }
    }
}

void TestConvertCore::parseReadsFilesAsPeopleEditThem_data()
{
    QTest::addColumn<bool>("greyscale");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QByteArray>("edit");

    for (const bool greyscale : {false, true}) {
        for (const bool compressed : {false, true}) {
            for (const char* edit :
                 {"byte-order mark", "CR line ends", "comment after .db", "all three"}) {
                QTest::addRow("%s %s, %s", greyscale ? "grey" : "bw",
                              compressed ? "compressed" : "plain", edit)
                    << greyscale << compressed << QByteArray(edit);
            }
        }
    }
}

// What an editor or a person does to a file: a byte-order mark in front,
// classic Mac line ends, a note after a data line. The assembler takes all
// three, so the planes must come back the same.
void TestConvertCore::parseReadsFilesAsPeopleEditThem()
{
    QFETCH(bool, greyscale);
    QFETCH(bool, compressed);
    QFETCH(QByteArray, edit);
    const std::vector<BitPlane> planes = samplePlanes(3);
    QByteArray text = fromStd(greyscale ? greyscaleDataFile(planes[1], planes[2], compressed)
                                        : blackWhiteDataFile(planes[1], compressed));
    const bool all = edit == "all three";
    if (all || edit == "comment after .db") {
        QByteArrayList lines = text.split('\n');
        for (QByteArray& line : lines) {
            if (line.startsWith(" .db ")) {
                line.chop(1);
                line = " .db\t" + line.mid(5) + "\t; row\r";
            } else if (line.endsWith("Layer:\r")) {
                line.insert(line.size() - 1, " ;layer");
            }
        }
        text = lines.join('\n');
    }
    if (all || edit == "CR line ends")
        text.replace("\r\n", "\r");
    if (all || edit == "byte-order mark")
        text.prepend("\xEF\xBB\xBF");

    const Result<ParsedDataFile> result = parsePictureDataFile(text.toStdString());

    QVERIFY2(result, result ? "" : result.error().message().c_str());
    QCOMPARE(result->greyscale, greyscale);
    QCOMPARE(result->compressed, compressed);
    QCOMPARE(toBytes(result->planes[0]), toBytes(planes[1]));
    if (greyscale)
        QCOMPARE(toBytes(result->planes[1]), toBytes(planes[2]));
}

// 16 MiB on one line, the most dotwright-cli reads: refused without keeping
// the items of the line, in memory that does not grow with it.
void TestConvertCore::parseOfHugeLineStaysSmall()
{
    for (const char* item : {"$00", "%00000000"}) {
        std::string text = std::string(" .db ") + item;
        while (text.size() < 16u * 1024 * 1024)
            text += std::string(",") + item;
        const long before = peakMemoryKiB();
        const Result<ParsedDataFile> result = parsePictureDataFile(text);
        QVERIFY(!result);
        QVERIFY2(peakMemoryKiB() - before < 1024,
                 qPrintable(QString::number(peakMemoryKiB() - before)));
    }
}

QTEST_APPLESS_MAIN(TestConvertCore)
#include "tst_convert_core.moc"
