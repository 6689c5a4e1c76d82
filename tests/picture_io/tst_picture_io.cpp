#include "picture_io/bitmap_writer.h"
#include "picture_io/output_files.h"
#include "picture_io/picture_file.h"
#include "picture_io/picture_on_background.h"
#include "picture_io/png_writer.h"
#include "support/file_size_limit.h"
#include "support/picture_bytes.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include <sys/resource.h>

namespace {

enum class WriteFault { ReadOnlyFolder, MissingFolder, PathIsFolder, ParentIsFile, FullDisk };

void appendBe32(QByteArray& bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(value >> shift & 0xFF));
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? crc >> 1 ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

// 16 × 16 blocks, each far in brightness from its neighbours, so that a corner
// that is shifted, scaled or taken from elsewhere shows. The blocks sit on JPEG's
// 16-pixel grid and share one tint (red above green above blue, which also shows
// swapped channels), so that JPEG's colour subsampling does not blur their edges.
QRgb blockColour(int x, int y)
{
    const int level = 20 + (x / 16 * 37 + y / 16 * 101) % 200;
    return qRgb(level + 30, level, level - 20);
}

QImage blockPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, blockColour(x, y));
    }
    return picture;
}

// Pixels that no format compresses much, so that a write takes many bytes.
QImage noisePicture(QSize size)
{
    QRandomGenerator random(2024);
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, random.generate() | 0xFF000000);
    }
    return picture;
}

QByteArray bitmapHeader(quint32 width, quint32 height)
{
    QByteArray bmp("BM");
    appendLe32(bmp, 54);
    appendLe32(bmp, 0);
    appendLe32(bmp, 54);
    appendLe32(bmp, 40);
    appendLe32(bmp, width);
    appendLe32(bmp, height);
    appendLe16(bmp, 1);
    appendLe16(bmp, 24);
    for (int field = 0; field < 6; ++field)
        appendLe32(bmp, 0);
    return bmp + QByteArray(64, '\0');
}

// The most memory this process has held so far.
long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray pngHeader(quint32 width, quint32 height)
{
    const auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray typed = QByteArray(type) + data;
        QByteArray bytes;
        appendBe32(bytes, quint32(data.size()));
        bytes += typed;
        appendBe32(bytes, crc32(typed));
        return bytes;
    };
    QByteArray header;
    appendBe32(header, width);
    appendBe32(header, height);
    header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) +
           chunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8)) + chunk("IEND", {});
}

// An icon file whose one image is a PNG file, as icons of 256 pixels often are.
QByteArray iconHoldingPng(const QByteArray& png)
{
    QByteArray icon("\0\0\1\0\1\0", 6);
    icon += QByteArray("\x20\x20\0\0\1\0\x20\0", 8); // 32 × 32, 1 plane, 32 bits
    appendLe32(icon, quint32(png.size()));
    appendLe32(icon, 22);
    return icon + png;
}

// An icon file of one bitmap image: directory, header, palette, colour rows and
// AND mask rows, both bottom up.
QByteArray iconFile(int width, int height, int bits, const QByteArray& palette,
                    const QByteArray& colours, const QByteArray& mask, quint32 headerWidth,
                    quint32 headerHeight)
{
    QByteArray image;
    appendLe32(image, 40);
    appendLe32(image, headerWidth);
    appendLe32(image, headerHeight);
    appendLe16(image, 1);
    appendLe16(image, bits);
    appendLe32(image, 0);
    appendLe32(image, quint32(colours.size() + mask.size()));
    for (int field = 0; field < 4; ++field)
        appendLe32(image, 0);
    image += palette + colours + mask;

    QByteArray file;
    appendLe16(file, 0);
    appendLe16(file, 1);
    appendLe16(file, 1);
    file.append(char(width & 0xFF));
    file.append(char(height & 0xFF));
    file.append("\x00\x00", 2);
    appendLe16(file, 1);
    appendLe16(file, bits);
    appendLe32(file, quint32(image.size()));
    appendLe32(file, 22);
    return file + image;
}

// Where the 32 × 32 test pictures are transparent: a shape unlike its mirror
// images, so that rows or columns taken in the wrong order show.
bool clearAt(int x, int y)
{
    return x >= 24 || (y < 8 && x >= 16);
}

QRgb paletteColour(int index)
{
    return qRgb(index, 255 - index, index * 3 & 0xFF);
}

struct TestPicture
{
    QByteArray file;
    QImage expected; // ARGB32, alpha 0 where transparent
};

// A 32 × 32 icon of 24 bits a pixel whose AND mask marks the clearAt pixels.
TestPicture makeIcon()
{
    constexpr int size = 32;
    constexpr int bits = 24;
    const int colourStride = (size * bits + 31) / 32 * 4;
    QImage expected(size, size, QImage::Format_ARGB32);
    QByteArray colours;
    QByteArray mask;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray colourRow(colourStride, '\0');
        QByteArray maskRow(4, '\0');
        for (int x = 0; x < size; ++x) {
            if (clearAt(x, y)) {
                maskRow[x / 8] = char(maskRow[x / 8] | 0x80 >> x % 8);
                expected.setPixel(x, y, qRgba(0, 0, 0, 0));
                continue;
            }
            const QRgb colour = qRgb(x * 8, y * 8, 0x40);
            colourRow[x * 3] = char(qBlue(colour));
            colourRow[x * 3 + 1] = char(qGreen(colour));
            colourRow[x * 3 + 2] = char(qRed(colour));
            expected.setPixel(x, y, colour);
        }
        colours += colourRow;
        mask += maskRow;
    }
    return {iconFile(size, size, bits, {}, colours, mask, size, 2 * size), expected};
}

TestPicture makeTransparentGif()
{
    constexpr int transparent = 255;
    const auto indexAt = [](int x, int y) { return clearAt(x, y) ? transparent : (x + y) % 200; };
    QImage expected(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            expected.setPixel(x, y,
                              clearAt(x, y) ? qRgba(0, 0, 0, 0) : paletteColour(indexAt(x, y)));
    }
    return {makeGif({32, 32}, paletteColour, indexAt, transparent), expected};
}

TestPicture makeTransparentPng()
{
    QImage expected = blockPicture({32, 32}).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (clearAt(x, y))
                expected.setPixel(x, y, qRgba(0, 0, 0, 0));
        }
    }
    return {encode(expected, "png"), expected};
}

// A decoded corner as an image, for comparing: alpha 0 where transparent.
QImage imageOf(const PictureCorner& corner)
{
    QImage image(corner.width, corner.height, QImage::Format_ARGB32);
    for (int y = 0; y < corner.height; ++y) {
        for (int x = 0; x < corner.width; ++x) {
            const Rgba pixel = corner.at(x, y);
            image.setPixel(x, y, qRgba(pixel.red, pixel.green, pixel.blue, pixel.alpha));
        }
    }
    return image;
}

// Colour numbers, row by row, as an opaque image.
QImage imageOf(const std::vector<Colour>& colours, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour colour = colours[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            image.setPixel(x, y, qRgb(redOf(colour), greenOf(colour), blueOf(colour)));
        }
    }
    return image;
}

// Checks that `actual` is `expected` to within `tolerance` in each channel.
bool samePixels(const QImage& actual, const QImage& expected, int tolerance, QString* mismatch)
{
    if (actual.size() != expected.size()) {
        *mismatch = QStringLiteral("size %1 × %2, expected %3 × %4")
                        .arg(actual.width())
                        .arg(actual.height())
                        .arg(expected.width())
                        .arg(expected.height());
        return false;
    }
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(e)) > tolerance ||
                std::abs(qGreen(a) - qGreen(e)) > tolerance ||
                std::abs(qBlue(a) - qBlue(e)) > tolerance) {
                *mismatch = QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                .arg(x)
                                .arg(y)
                                .arg(a, 8, 16, QLatin1Char('0'))
                                .arg(e, 8, 16, QLatin1Char('0'));
                return false;
            }
        }
    }
    return true;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Every file and folder under `root` with the bytes of each file.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        QByteArray content = "<folder>";
        if (!it.fileInfo().isDir()) {
            QFile file(path);
            content = file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
        }
        tree.insert(base.relativeFilePath(path), content);
    }
    return tree;
}

const QList<Colour> namedColours = {colours::white, colours::lightGrey, colours::darkGrey,
                                    colours::black, colours::mask};

QRgb rgbOf(Colour colour)
{
    return qRgb(redOf(colour), greenOf(colour), blueOf(colour));
}

} // namespace

Q_DECLARE_METATYPE(WriteFault)
Q_DECLARE_METATYPE(TestPicture)

class TestPictureIo : public QObject
{
    Q_OBJECT

private slots:
    void loadsTopLeftCornerOfEachFormat_data();
    void loadsTopLeftCornerOfEachFormat();
    void transparentPixelsShowTheBackground_data();
    void transparentPixelsShowTheBackground();
    void largePictureLoadsItsCorner_data();
    void largePictureLoadsItsCorner();
    void hugeClaimsAreBounded_data();
    void hugeClaimsAreBounded();
    void pictureIsCutAndBlendedOntoBackground();
    void writtenPictureKeepsExactColours_data();
    void writtenPictureKeepsExactColours();
    void writeReplacesWholeFile();
    void failedWriteLeavesFilesIntact_data();
    void failedWriteLeavesFilesIntact();

private:
    QTemporaryDir m_dir;
};

void TestPictureIo::loadsTopLeftCornerOfEachFormat_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<int>("tolerance");

    const QImage large = blockPicture({300, 200});
    const QByteArray gif = makeGif(
        {300, 200}, [](int index) { return blockColour(index % 19 * 16, index / 19 * 16); },
        [](int x, int y) { return x / 16 + y / 16 * 19; });
    const QByteArray jpeg = encode(large, "jpeg", 100);
    const QByteArray png = encode(large, "png");

    QTest::newRow("BMP") << encode(large, "bmp") << "picture.bmp" << large.size() << 0;
    QTest::newRow("GIF") << gif << "picture.gif" << large.size() << 0;
    QTest::newRow("JPEG") << jpeg << "picture.jpg" << large.size() << 8;
    // Icons hold at most 256 × 256 pixels.
    QTest::newRow("ICO") << encode(blockPicture({200, 100}), "ico") << "picture.ico"
                         << QSize(200, 100) << 0;
    QTest::newRow("PNG") << png << "picture.png" << large.size() << 0;
    QTest::newRow("smaller than the corner")
        << encode(blockPicture({40, 20}), "bmp") << "small.bmp" << QSize(40, 20) << 0;
    QTest::newRow("PNG named .bmp") << png << "disguised.bmp" << large.size() << 0;
    QTest::newRow("JPEG named .gif") << jpeg << "disguised.gif" << large.size() << 8;
    QTest::newRow("GIF without extension") << gif << "picture" << large.size() << 0;
}

void TestPictureIo::loadsTopLeftCornerOfEachFormat()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fileName);
    QFETCH(QSize, pictureSize);
    QFETCH(int, tolerance);

    const Result<PictureCorner> loaded = readPictureFile(
        QFile::encodeName(writeFile(m_dir.filePath(fileName), bytes)).toStdString(), 128, 64);

    QVERIFY2(loaded, loaded ? "" : loaded.error().why.c_str());
    const QImage expected = blockPicture(pictureSize.boundedTo({128, 64}));
    QString mismatch;
    QVERIFY2(samePixels(imageOf(*loaded), expected, tolerance, &mismatch), qPrintable(mismatch));
    QVERIFY(std::all_of(loaded->pixels.begin(), loaded->pixels.end(),
                        [](Rgba pixel) { return pixel.alpha == 255; }));
}

void TestPictureIo::transparentPixelsShowTheBackground_data()
{
    QTest::addColumn<TestPicture>("picture");

    // Each way a format marks pixels transparent; the icons of other depths,
    // and icons holding PNG files, decode alike (tst_bmp_ico).
    QTest::newRow("24-bit icon, by its mask") << makeIcon();
    QTest::newRow("GIF with a transparent colour") << makeTransparentGif();
    QTest::newRow("PNG with alpha") << makeTransparentPng();
}

// What the windows show and dotwright-cli converts: the corner drawn on white.
void TestPictureIo::transparentPixelsShowTheBackground()
{
    QFETCH(TestPicture, picture);

    const QString path = writeFile(
        m_dir.filePath(QStringLiteral("transparent.") + QTest::currentDataTag()), picture.file);
    const Result<PictureCorner> loaded =
        readPictureFile(QFile::encodeName(path).toStdString(), 128, 64);
    QVERIFY2(loaded, loaded ? "" : loaded.error().why.c_str());
    QCOMPARE(loaded->width, 32);
    QCOMPARE(loaded->height, 32);

    const QImage shown = imageOf(pictureOnBackground(*loaded, 128, 64, colours::white), 128, 64);

    QImage expected(128, 64, QImage::Format_RGB32);
    expected.fill(rgbOf(colours::white));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (qAlpha(picture.expected.pixel(x, y)) == 255)
                expected.setPixel(x, y, picture.expected.pixel(x, y));
        }
    }
    QString mismatch;
    QVERIFY2(samePixels(shown, expected, 0, &mismatch), qPrintable(mismatch));
}

void TestPictureIo::largePictureLoadsItsCorner_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("tolerance");

    // 200 MB of pixels in the bitmap, of which only the corner's rows are read.
    QTest::newRow("50-megapixel JPEG") << QByteArray("jpeg") << 8;
    QTest::newRow("50-megapixel BMP") << QByteArray("bmp") << 0;
}

void TestPictureIo::largePictureLoadsItsCorner()
{
    QFETCH(QByteArray, format);
    QFETCH(int, tolerance);

    const QString path = m_dir.filePath(QStringLiteral("large.") + format);
    {
        QImage large(8000, 6250, QImage::Format_RGB32);
        large.fill(qRgb(40, 90, 200));
        const QImage corner = blockPicture({256, 128});
        for (int y = 0; y < corner.height(); ++y)
            std::copy_n(corner.constScanLine(y), corner.bytesPerLine(), large.scanLine(y));
        QImageWriter writer(path, format);
        writer.setQuality(100);
        QVERIFY2(writer.write(large), qPrintable(writer.errorString()));
    }

    const Result<PictureCorner> loaded =
        readPictureFile(QFile::encodeName(path).toStdString(), 128, 64);

    QVERIFY2(loaded, loaded ? "" : loaded.error().why.c_str());
    QString mismatch;
    QVERIFY2(samePixels(imageOf(*loaded), blockPicture({128, 64}), tolerance, &mismatch),
             qPrintable(mismatch));
    QFile::remove(path);
}

void TestPictureIo::hugeClaimsAreBounded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // empty: the 64 × 64 blocks load

    // Headers that claim far more than the file holds. The plain failures
    // (missing, empty, cut short, not a picture) are in tst_bmp_ico.
    const QByteArray png = encode(blockPicture({64, 64}), "png");
    const QString tooLarge = QStringLiteral("picture is too large (100000 × 100000 pixels)");

    QTest::newRow("BMP claiming 100000 × 100000") << bitmapHeader(100000, 100000) << tooLarge;
    QTest::newRow("PNG claiming 100000 × 100000") << pngHeader(100000, 100000) << tooLarge;
    // Found by fuzzing the toolkit's loader: a text chunk after the image data
    // claiming 2 GB made the PNG library allocate that much for a file of a
    // few hundred bytes. The pixels are all there, and reading stops once it
    // has them, before that chunk.
    QByteArray hugeChunk = png.left(png.size() - 12);
    appendBe32(hugeChunk, 0x7FFFFFF0);
    hugeChunk += QByteArray("tEXtComment\0no more than this", 29);
    QTest::newRow("PNG chunk claiming 2 GB") << hugeChunk << QString();
    QTest::newRow("icon holding a PNG chunk claiming 2 GB")
        << iconHoldingPng(hugeChunk) << QString();
    // The directory says 0 (256 or more); the bitmap header has the size.
    QTest::newRow("icon claiming 100000 × 100000")
        << iconFile(0, 0, 24, {}, QByteArray(1000, '\0'), {}, 100000, 200000) << tooLarge;
}

void TestPictureIo::hugeClaimsAreBounded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    const QString path =
        m_dir.filePath(QStringLiteral("unreadable.") + QString::fromUtf8(QTest::currentDataTag()));
    writeFile(path, bytes);

    QElapsedTimer timer;
    timer.start();
    const long peakBefore = peakMemoryKiB();
    const Result<PictureCorner> loaded =
        readPictureFile(QFile::encodeName(path).toStdString(), 128, 64);
    const qint64 elapsed = timer.elapsed();
    const long grown = peakMemoryKiB() - peakBefore;

    if (reason.isEmpty()) {
        QVERIFY2(loaded, loaded ? "" : loaded.error().why.c_str());
        QString mismatch;
        QVERIFY2(samePixels(imageOf(*loaded), blockPicture({64, 64}), 0, &mismatch),
                 qPrintable(mismatch));
    } else {
        QVERIFY(!loaded);
        QCOMPARE(QString::fromStdString(loaded.error().why), reason);
    }
    // Decided from what the header says, not after trying to hold what it claims.
    QVERIFY2(elapsed < 1000, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    QVERIFY2(grown < 64 * 1024, qPrintable(QStringLiteral("took %1 MiB").arg(grown / 1024)));
}

void TestPictureIo::pictureIsCutAndBlendedOntoBackground()
{
    // Wider than the area and shorter: cut on the right, background below.
    PictureCorner picture{200, 40, {}};
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            const QRgb colour = blockColour(x, y);
            picture.pixels.push_back(Rgba{std::uint8_t(qRed(colour)), std::uint8_t(qGreen(colour)),
                                          std::uint8_t(qBlue(colour)), 255});
        }
    }
    picture.pixels[5 * 200 + 5] = Rgba{0, 0, 0, 0};
    picture.pixels[5 * 200 + 6] = Rgba{0, 0, 0, 128};
    picture.pixels[5 * 200 + 7] = Rgba{255, 255, 255, 1};

    const std::vector<Colour> shown = pictureOnBackground(picture, 128, 64, colours::lightGrey);

    QCOMPARE(shown.size(), std::size_t(128 * 64));
    QImage expected(128, 64, QImage::Format_RGB32);
    expected.fill(rgbOf(colours::lightGrey));
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 128; ++x)
            expected.setPixel(x, y, blockColour(x, y));
    }
    expected.setPixel(5, 5, rgbOf(colours::lightGrey));
    expected.setPixel(6, 5, qRgb(96, 96, 96));    // half of C0C0C0 over black
    expected.setPixel(7, 5, qRgb(192, 192, 192)); // 1/255 of white, rounded away
    QString mismatch;
    QVERIFY2(samePixels(imageOf(shown, 128, 64), expected, 0, &mismatch), qPrintable(mismatch));
}

void TestPictureIo::writtenPictureKeepsExactColours_data()
{
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("bitmap") << QByteArray("bmp");
    QTest::newRow("PNG") << QByteArray("png");
}

void TestPictureIo::writtenPictureKeepsExactColours()
{
    QFETCH(QByteArray, format);

    // Diagonal stripes of the named colours, so that a picture stored upside down
    // or mirrored differs.
    QImage image(128, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x)
            image.setPixel(x, y, rgbOf(namedColours[(x / 8 + y / 4) % namedColours.size()]));
    }
    const QString path = m_dir.filePath(QStringLiteral("written.") + format);

    std::vector<Colour> colours;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x)
            colours.push_back(namedColours[(x / 8 + y / 4) % namedColours.size()]);
    }
    const std::vector<std::uint8_t> bytes =
        format == "bmp" ? encodeBitmap(128, 64, colours) : encodePng(128, 64, colours).value();
    const Result<void> result =
        writeFileAtomically(QFile::encodeName(path).toStdString(),
                            {reinterpret_cast<const char*>(bytes.data()), bytes.size()});

    QVERIFY2(result, result ? "" : result.error().message().c_str());
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    if (format == "bmp") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        QCOMPARE(header.left(2), QByteArray("BM"));
        QCOMPARE(int(quint8(header[28])), 24); // bits a pixel
    }
    // Through the toolkit's own reader, and through the path the windows take.
    const QImage readBack = reader.read();
    QString mismatch;
    QVERIFY2(samePixels(readBack, image, 0, &mismatch), qPrintable(mismatch));
    const Result<PictureCorner> loaded =
        readPictureFile(QFile::encodeName(path).toStdString(), 128, 64);
    QVERIFY2(loaded, loaded ? "" : loaded.error().why.c_str());
    QCOMPARE(pictureOnBackground(*loaded, 128, 64, colours::white), colours);
}

void TestPictureIo::writeReplacesWholeFile()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("data.inc"), QByteArray(5000, 'x'));

    const Result<void> result =
        writeFileAtomically(QFile::encodeName(path).toStdString(), "short\r\n");

    QVERIFY2(result, result ? "" : result.error().message().c_str());
    QCOMPARE(treeOf(dir.path()), (QMap<QString, QByteArray>{{"data.inc", "short\r\n"}}));
}

void TestPictureIo::failedWriteLeavesFilesIntact_data()
{
    QTest::addColumn<WriteFault>("failure");
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("read-only folder") << WriteFault::ReadOnlyFolder << QByteArray();
    QTest::newRow("missing folder") << WriteFault::MissingFolder << QByteArray("bmp");
    QTest::newRow("path is a folder") << WriteFault::PathIsFolder << QByteArray("bmp");
    QTest::newRow("path under a file") << WriteFault::ParentIsFile << QByteArray();
    QTest::newRow("disk full, text") << WriteFault::FullDisk << QByteArray();
    QTest::newRow("disk full, bitmap") << WriteFault::FullDisk << QByteArray("bmp");
    QTest::newRow("disk full, PNG") << WriteFault::FullDisk << QByteArray("png");
}

void TestPictureIo::failedWriteLeavesFilesIntact()
{
    QFETCH(WriteFault, failure);
    QFETCH(QByteArray, format);

    QTemporaryDir dir;
    const QString locked = dir.filePath("locked");
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QDir().mkpath(dir.filePath("folder")));
    writeFile(dir.filePath("old.inc"), "The old contents, which must survive.\r\n");
    writeFile(dir.filePath("locked/old.inc"), "Locked away.\r\n");
    writeFile(dir.filePath("folder/inside.txt"), "Inside a folder.\r\n");
    QFile(locked).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const auto unlock = qScopeGuard([&] {
        QFile(locked).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    QString path;
    switch (failure) {
    case WriteFault::ReadOnlyFolder:
        if (QFile probe(dir.filePath("locked/probe")); probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("Folder permissions do not stop this user (root) from writing");
        }
        path = dir.filePath("locked/old.inc");
        break;
    case WriteFault::MissingFolder:
        path = dir.filePath("missing/picture.bmp");
        break;
    case WriteFault::PathIsFolder:
        path = dir.filePath("folder");
        break;
    case WriteFault::ParentIsFile:
        path = dir.filePath("old.inc/picture.inc");
        break;
    case WriteFault::FullDisk:
        path = dir.filePath("old.inc");
        break;
    }
    const QMap<QString, QByteArray> before = treeOf(dir.path());

    const auto write = [&] {
        const QImage noise = noisePicture({128, 64});
        std::vector<Colour> colours;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 128; ++x) {
                const QRgb pixel = noise.pixel(x, y);
                colours.push_back(colourFromRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)));
            }
        }
        std::string bytes(10 * 1024, 'n');
        if (format == "bmp") {
            const std::vector<std::uint8_t> bitmap = encodeBitmap(128, 64, colours);
            bytes.assign(bitmap.begin(), bitmap.end());
        } else if (format == "png") {
            const std::vector<std::uint8_t> png = encodePng(128, 64, colours).value();
            bytes.assign(png.begin(), png.end());
        }
        // A text smaller than a typical write buffer: a buffered writer would only
        // meet the full disk at its final flush, whose error is easily lost.
        return writeFileAtomically(QFile::encodeName(path).toStdString(), bytes);
    };
    Result<void> result;
    if (failure == WriteFault::FullDisk) {
        const FileSizeLimit limit(1024);
        result = write();
    } else {
        result = write();
    }

    QVERIFY(!result);
    const Failure& failed = result.error();
    QCOMPARE(QString::fromStdString(failed.what), path);
    QVERIFY2(failed.why.starts_with("cannot write: ") && failed.why.size() > 16,
             failed.why.c_str());
    QVERIFY2(failed.why.find("Unknown error") == std::string::npos, failed.why.c_str());
    QCOMPARE(treeOf(dir.path()), before);
}

QTEST_APPLESS_MAIN(TestPictureIo)
#include "tst_picture_io.moc"
