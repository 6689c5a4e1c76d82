// The source view read from picture files: the corner exactly as the
// converters have always drawn it, and fit and fill through the real decoders.

#include "core/view_geometry.h"
#include "picture_io/picture_on_background.h"
#include "picture_io/picture_reader.h"
#include "picture_io/view_sink.h"
#include "support/peak_memory.h"
#include "support/picture_bytes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

QString outcome(const Result<SourceView>& view)
{
    return view ? QStringLiteral("read") : QString::fromStdString(view.error().why);
}

// Today's path: the corner from (0, 0) to (x + 127, y + 63) drawn on white,
// of which the view is the bottom-right 128 × 64.
Result<SourceView> cornerOnWhite(const QByteArray& bytes, int x, int y)
{
    MemorySource source(bytesOf(bytes));
    const int width = x + screenWidth;
    const int height = y + screenHeight;
    const Result<PictureCorner> corner = readPictureCorner(source, width, height);
    if (!corner)
        return fail(corner.error());
    const std::vector<Colour> area = pictureOnBackground(*corner, width, height, colours::white);
    SourceView view;
    for (int viewY = 0; viewY < screenHeight; ++viewY) {
        for (int viewX = 0; viewX < screenWidth; ++viewX)
            view[std::size_t(pixelIndex(viewX, viewY))] =
                area[std::size_t(viewY + y) * std::size_t(width) + std::size_t(viewX + x)];
    }
    return view;
}

Result<SourceView> sourceView(const QByteArray& bytes, const ViewOptions& options)
{
    MemorySource source(bytesOf(bytes));
    return readSourceView(source, options);
}

// Colours and transparency that vary everywhere: every alpha from clear to
// opaque occurs, so the blend on white is checked along with the placement.
QImage translucentPicture(QSize size)
{
    QImage picture(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 5 % 256, y * 3 % 256, (x + y) % 256, (x * y) % 256));
    }
    return picture;
}

QByteArray transparentGif()
{
    return makeGif(
        {150, 90}, [](int index) { return qRgb(index, 255 - index, index * 7 % 256); },
        [](int x, int y) { return (x / 3 + y * 5) % 256; }, 17);
}

// Four blocks of 100 × 100 pixels side by side, each its own colour.
QRgb blockColour(int block)
{
    static constexpr std::array<QRgb, 4> colours = {0xFF2080C0, 0xFFE0D020, 0xFF104010, 0xFFC03070};
    return colours[std::size_t(block)];
}

QImage blockPicture()
{
    QImage picture(400, 100, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, blockColour(x / 100));
    }
    return picture;
}

QByteArray blockGif()
{
    return makeGif(
        {400, 100}, [](int index) { return index < 4 ? blockColour(index) : qRgb(0, 0, 0); },
        [](int x, int) { return x / 100; });
}

Colour colourOf(QRgb rgb)
{
    return colourFromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

// A tall 24-bit bitmap, stored bottom up, made as it is read and from a
// stream that cannot seek, so that every row passes through the decoder:
// the top half red, the bottom half blue.
class TallBitmap final : public ByteSource
{
public:
    TallBitmap(int width, int height) : m_height(height)
    {
        for (int x = 0; x < width; ++x) {
            m_blueRow.insert(m_blueRow.end(), {255, 0, 0});
            m_redRow.insert(m_redRow.end(), {0, 0, 255});
        }
        const std::uint32_t rowBytes = std::uint32_t(width) * 3;
        const auto le = [this](std::uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i)
                m_header.push_back(std::uint8_t(value >> (8 * i)));
        };
        m_header = {'B', 'M'};
        le(54 + rowBytes * std::uint32_t(height), 4);
        le(0, 4);
        le(54, 4);
        le(40, 4);
        le(std::uint32_t(width), 4);
        le(std::uint32_t(height), 4);
        le(1, 2);
        le(24, 2);
        for (int field = 0; field < 6; ++field)
            le(0, 4);
    }

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        if (m_position < m_header.size()) {
            const std::size_t count = std::min(buffer.size(), m_header.size() - m_position);
            std::memcpy(buffer.data(), &m_header[m_position], count);
            m_position += count;
            return count;
        }
        // One row, or what is left of it, at a time.
        const std::uint64_t offset = m_position - m_header.size();
        const std::uint64_t storedRow = offset / m_blueRow.size();
        if (storedRow >= std::uint64_t(m_height))
            return std::size_t{0};
        const std::vector<std::uint8_t>& row =
            storedRow < std::uint64_t(m_height) / 2 ? m_blueRow : m_redRow;
        const std::size_t at = offset % row.size();
        const std::size_t count = std::min(buffer.size(), row.size() - at);
        std::memcpy(buffer.data(), &row[at], count);
        m_position += count;
        return count;
    }
    std::optional<std::uint64_t> size() const override { return std::nullopt; }
    Result<void> seek(std::uint64_t) override { return fail("cannot seek"); }
    std::uint64_t position() const override { return m_position; }

private:
    int m_height;
    std::vector<std::uint8_t> m_header;
    std::vector<std::uint8_t> m_blueRow; // stored as blue, green, red
    std::vector<std::uint8_t> m_redRow;
    std::uint64_t m_position = 0;
};

} // namespace

Q_DECLARE_METATYPE(Placement)

class TestSourceView : public QObject
{
    Q_OBJECT

private slots:
    void cornerIsTodaysCorner_data();
    void cornerIsTodaysCorner();
    void cornerAtOffset_data();
    void cornerAtOffset();
    void blocksLandWhereScalingPutsThem_data();
    void blocksLandWhereScalingPutsThem();
    void reducedJpegIsClose();
    void tallPictureInBoundedMemory();
};

void TestSourceView::cornerIsTodaysCorner_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QString corpus = QFINDTESTDATA("../../fuzz/corpus");
    QVERIFY(!corpus.isEmpty());
    int files = 0;
    for (const char* folder : {"picture_reader", "picture_loader"}) {
        const QDir dir(corpus + QLatin1Char('/') + QLatin1String(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::addRow("%s/%s", folder, qPrintable(name)) << file.readAll();
            ++files;
        }
    }
    QVERIFY(files > 0);
    QFile gif(QFINDTESTDATA("../data/e2e-picture.gif"));
    QVERIFY(gif.open(QIODevice::ReadOnly));
    QTest::newRow("e2e-picture.gif") << gif.readAll();
    QTest::newRow("translucent PNG")
        << encode(translucentPicture({300, 200}).convertToFormat(QImage::Format_ARGB32), "png");
    QTest::newRow("translucent PNG smaller than the view")
        << encode(translucentPicture({50, 20}), "png");
    QTest::newRow("GIF with a transparent colour") << transparentGif();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a picture") << QByteArray("hello, world");
}

void TestSourceView::cornerIsTodaysCorner()
{
    QFETCH(QByteArray, bytes);

    const Result<SourceView> expected = cornerOnWhite(bytes, 0, 0);
    const Result<SourceView> view = sourceView(bytes, {});
    QCOMPARE(outcome(view), outcome(expected));
    if (expected)
        QVERIFY(*view == *expected);
}

void TestSourceView::cornerAtOffset_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    QTest::newRow("inside") << 10 << 5;
    QTest::newRow("cut on the right and below") << 250 << 170;
    QTest::newRow("last pixel only") << 299 << 199;
    QTest::newRow("right of the picture") << 300 << 0;
    QTest::newRow("far beyond") << 1000 << 1000;
}

void TestSourceView::cornerAtOffset()
{
    QFETCH(int, x);
    QFETCH(int, y);

    const QByteArray png = encode(translucentPicture({300, 200}), "png");
    const Result<SourceView> expected = cornerOnWhite(png, x, y);
    QVERIFY(expected);
    const Result<SourceView> view = sourceView(png, {Placement::Corner, x, y});
    QVERIFY(view);
    QVERIFY(*view == *expected);
}

void TestSourceView::blocksLandWhereScalingPutsThem_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Placement>("placement");

    const QImage blocks = blockPicture();
    for (const auto& [name, placement] :
         {std::pair("fit", Placement::Fit), std::pair("fill", Placement::Fill)}) {
        QTest::addRow("PNG, %s", name) << encode(blocks, "png") << placement;
        QTest::addRow("bottom-up BMP, %s", name) << encode(blocks, "bmp") << placement;
        QTest::addRow("GIF, %s", name) << blockGif() << placement;
    }
}

void TestSourceView::blocksLandWhereScalingPutsThem()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Placement, placement);

    // 400 × 100. Fit: s = 0.32, 128 × 32 at row 16, each block 32 columns.
    // Fill: s = 0.64, 256 × 64 from column 64, each block 64 columns, so
    // the view shows the middle two. Every view pixel lies inside one block.
    const Result<SourceView> view = sourceView(bytes, {placement, 0, 0});
    QVERIFY2(view, view ? "" : view.error().why.c_str());
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            Colour expected = colours::white;
            if (placement == Placement::Fill)
                expected = colourOf(blockColour((x + 64) / 64));
            else if (y >= 16 && y < 48)
                expected = colourOf(blockColour(x / 32));
            QCOMPARE((*view)[std::size_t(pixelIndex(x, y))], expected);
        }
    }
}

void TestSourceView::reducedJpegIsClose()
{
    // A photograph's worth of structure: gradients, edges on and off the
    // 8-pixel grid, and some texture.
    QImage picture(2400, 1600, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int edge = ((x / 37 + y / 53) % 2) * 60;
            const int texture = (x * 7 + y * 3) % 23;
            picture.setPixel(x, y,
                             qRgb(x * 180 / 2400 + edge, y * 150 / 1600 + texture + 40,
                                  (x + y) % 200 + edge / 2));
        }
    }
    const QByteArray jpeg = encode(picture, "jpg", 90);

    for (const Placement placement : {Placement::Fit, Placement::Fill}) {
        const ViewOptions options{placement, 0, 0};
        ViewSink reducedSink(options);
        MemorySource reducedSource(bytesOf(jpeg));
        QVERIFY(readPicture(reducedSource, reducedSink));
        // Fit is 96 × 64, fill 128 × 85: an eighth, 300 × 200, is still twice
        // either, and the view keeps the full size's scaling.
        ViewGeometry expected = viewGeometry(options, 2400, 1600);
        expected.sourceWidth = 300;
        expected.sourceHeight = 200;
        QVERIFY(reducedSink.geometry() == expected);

        ViewSink fullSink(options, ViewSink::Reduction::Off);
        MemorySource fullSource(bytesOf(jpeg));
        QVERIFY(readPicture(fullSource, fullSink));

        const SourceView a = reducedSink.view();
        const SourceView b = fullSink.view();
        int worst = 0;
        double total = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            for (const int shift : {0, 8, 16}) {
                const int difference =
                    std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF));
                worst = std::max(worst, difference);
                total += difference;
            }
        }
        const double mean = total / (3.0 * double(a.size()));
        // Where an edge crosses a view pixel, the reduced picture has it only
        // to the nearest 8 pixels (16 for colour), so that pixel's share of
        // either side may be off by that much: 60 levels of edge give about 11.
        QVERIFY2(worst <= 16 && mean <= 1.5,
                 qPrintable(QStringLiteral("worst %1, mean %2").arg(worst).arg(mean)));
    }
}

void TestSourceView::tallPictureInBoundedMemory()
{
    // 16 × 4 000 000 pixels: 256 MB if it were held, 48 bytes a row as read.
    constexpr int width = 16;
    constexpr int height = 4'000'000;
    Result<SourceView> view;
    const long grownKiB = peakGrowthKiB([&] {
        TallBitmap bitmap(width, height);
        view = readSourceView(bitmap, {Placement::Fit, 0, 0});
    });
    QVERIFY2(view, view ? "" : view.error().why.c_str());
    QVERIFY2(grownKiB >= 0 && grownKiB < 8 * 1024,
             qPrintable(QStringLiteral("grew by %1 KiB").arg(grownKiB)));
    // Scaled to 1 × 64 in the middle column: red above, blue below.
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const Colour expected = x != 63 ? colours::white : y < 32 ? 0x0000FF : 0xFF0000;
            QCOMPARE((*view)[std::size_t(pixelIndex(x, y))], expected);
        }
    }
}

QTEST_GUILESS_MAIN(TestSourceView)
#include "tst_source_view.moc"
