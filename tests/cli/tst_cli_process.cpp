#include "cli_runner.h"

#include "core/bit_plane.h"
#include "core/black_white_conversion.h"
#include "core/colour.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/sprite_code.h"
#include "core/sprite_sheet.h"
#include "picture_io/bitmap_writer.h"
#include "picture_io/picture_file.h"
#include "support/picture_bytes.h"
#include "support/picture_source.h"
#include "support/z80_assembler.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <span>
#include <vector>

namespace {

const QList<int> levels{0, 1, 37, 50, 99, 100};

// The colour numbers of a decoded picture file, row by row; alpha must be opaque.
std::vector<Colour> coloursOf(const QImage& picture)
{
    std::vector<Colour> colours;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            colours.push_back(qAlpha(pixel) == 255
                                  ? colourFromRgb(qRed(pixel), qGreen(pixel), qBlue(pixel))
                                  : colours::none);
        }
    }
    return colours;
}

std::vector<Colour> coloursOf(std::span<const Colour> colours)
{
    return {colours.begin(), colours.end()};
}

bool save(const QImage& image, const QString& path, const char* format)
{
    QImageWriter writer(path, format);
    writer.setQuality(90);
    return writer.write(image);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What Convert & Save writes, and what the preview shows, for a source view.
QByteArray coreDataFile(const SourceView& source, int level, bool greyscale, bool compressed)
{
    if (greyscale) {
        const GreyscaleResult result = convertGreyscale(source, level);
        return QByteArray::fromStdString(greyscaleDataFile(
            bitPlaneFromGrid(result.light), bitPlaneFromGrid(result.dark), compressed));
    }
    return QByteArray::fromStdString(
        blackWhiteDataFile(bitPlaneFromPixels(convertBlackWhite(source, level)), compressed));
}

SourceView corePreview(const SourceView& source, int level, bool greyscale)
{
    return greyscale ? convertGreyscale(source, level).preview : convertBlackWhite(source, level);
}

// Every file below a folder with its content, to show that a run changed nothing.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path),
                     it.fileInfo().isDir() ? QByteArray("(folder)") : readAll(path));
    }
    return files;
}

// Every entry below a folder by kind, without reading special files: regular
// files with their content, links with their text, and the others by kind.
QMap<QByteArray, QByteArray> entriesOf(const QString& folder)
{
    QMap<QByteArray, QByteArray> entries;
    const QByteArray base = QFile::encodeName(folder);
    std::vector<QByteArray> pending{QByteArray()};
    while (!pending.empty()) {
        const QByteArray relative = pending.back();
        pending.pop_back();
        DIR* listing = ::opendir((base + '/' + relative).constData());
        if (listing == nullptr)
            continue;
        while (const dirent* entry = ::readdir(listing)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
            const QByteArray full = base + '/' + path;
            struct stat status
            {
            };
            ::lstat(full.constData(), &status);
            if (S_ISLNK(status.st_mode)) {
                char text[4096] = {};
                (void)::readlink(full.constData(), text, sizeof text - 1);
                entries.insert(path, QByteArray("(link to ") + text + ")");
            } else if (S_ISDIR(status.st_mode)) {
                entries.insert(path, "(folder)");
                pending.push_back(path);
            } else if (S_ISREG(status.st_mode)) {
                // By the name's bytes: the toolkit's file names are text.
                QByteArray content;
                const int descriptor = ::open(full.constData(), O_RDONLY);
                char buffer[65536];
                for (ssize_t got;
                     descriptor >= 0 && (got = ::read(descriptor, buffer, sizeof buffer)) > 0;)
                    content.append(buffer, got);
                if (descriptor >= 0)
                    ::close(descriptor);
                entries.insert(path, content);
            } else {
                entries.insert(path, S_ISFIFO(status.st_mode)   ? "(fifo)"
                                     : S_ISSOCK(status.st_mode) ? "(socket)"
                                                                : "(device)");
            }
        }
        ::closedir(listing);
    }
    return entries;
}

bool makeSocket(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (descriptor < 0 || std::size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::copy(name.begin(), name.end(), address.sun_path);
    const bool bound =
        ::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(descriptor);
    return bound;
}

// A pseudo-terminal for standard output, so that the tool sees a terminal.
class Terminal
{
public:
    Terminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~Terminal()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    const QString& path() const { return m_slave; }

private:
    int m_master = -1;
    QString m_slave;
};

// The bit a pixel of colour `c` has in layer `layer` of a kind, as the editors'
// layer table gives it: light for light grey and black, dark for dark grey and
// black, bitmap for black, mask for every visible pixel.
bool layerBit(SpriteKind kind, int layer, Colour c)
{
    const bool masked = c == colours::mask;
    switch (kind) {
    case SpriteKind::BlackWhite:
        return c == colours::black;
    case SpriteKind::BlackWhiteMasked:
        return layer == 0 ? c == colours::black : !masked;
    case SpriteKind::Greyscale:
    case SpriteKind::GreyscaleMasked:
        if (layer == 2)
            return !masked;
        return c == colours::black || c == (layer == 0 ? colours::lightGrey : colours::darkGrey);
    }
    return false;
}

// The bytes an assembler makes of a sprite's code: each layer's rows from the
// top, each row width / 8 bytes, the leftmost pixel in the top bit.
QByteArray spriteBytes(SpriteKind kind, const std::vector<Colour>& colours, int width, int height)
{
    QByteArray bytes;
    for (int layer = 0; layer < layerCount(kind); ++layer) {
        for (int y = 0; y < height; ++y) {
            for (int x0 = 0; x0 < width; x0 += 8) {
                int byte = 0;
                for (int x = x0; x < x0 + 8; ++x)
                    byte =
                        byte << 1 | int(layerBit(kind, layer, colours[std::size_t(y * width + x)]));
                bytes += char(byte);
            }
        }
    }
    return bytes;
}

// How a pixel-art program might have drawn a pixel meant to be `c`: a little
// off, partly transparent, or, where it is masked, fully or mostly so. The
// nearest colour of the kind is still `c`.
QRgb drawnNear(Colour c, bool masks, QRandomGenerator& random)
{
    const auto off = [&](int value) {
        return std::clamp(value + int(random.bounded(41)) - 20, 0, 255);
    };
    switch (random.bounded(3)) {
    case 0:
        return qRgb(redOf(c), greenOf(c), blueOf(c));
    case 1:
        if (c == colours::mask) // less than half opaque, whatever its colour
            return qRgba(int(random.bounded(256)), 128, 255, int(random.bounded(128)));
        return qRgb(off(redOf(c)), off(greenOf(c)), off(blueOf(c)));
    default:
        if (c == colours::white) { // seen through: the white background, or white itself
            return masks ? qRgba(255, 255, 255, 128 + int(random.bounded(128)))
                         : qRgba(0, 0, 0, int(random.bounded(8)));
        }
        if (c == colours::mask)
            return qRgba(255, 128, 0, 200);
        // Nearly opaque: blended with white it moves by at most 15.
        return qRgba(redOf(c), greenOf(c), blueOf(c), 240);
    }
}

} // namespace

class TestCliProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pictureMatchesCore_data();
    void pictureMatchesCore();
    void pictureKnownOutput();
    void bitmapMatchesWindowSave_data();
    void bitmapMatchesWindowSave();
    void placedAndDitheredPictureMatchesCore_data();
    void placedAndDitheredPictureMatchesCore();

    void unpackGivesBackPreview_data();
    void unpackGivesBackPreview();
    void spriteRoundTrip_data();
    void spriteRoundTrip();
    void spriteKnownOutput();
    void spriteTakesTheNearestColour_data();
    void spriteTakesTheNearestColour();
    void spritesCutsASheet_data();
    void spritesCutsASheet();
    void spritesOfWiderCells();
    void spritesSkipEmptyCellsButKeepTheirNumbers();
    void spritesOfAnAnimatedSheet();
    void spritesOfAnAnimationTooLarge();

    void failures_data();
    void failures();
    void replacedFileKeepsItsMode();

    void outputsThatAreNotPlainFiles_data();
    void outputsThatAreNotPlainFiles();
    void fileSizeLimitIsAWriteError();
    void signalsLeaveNothingBehind_data();
    void signalsLeaveNothingBehind();
    void namesAreBytes();
    void closedStandardOutputIsAWriteError();
    void pictureFormatFollowsTheName_data();
    void pictureFormatFollowsTheName();
    void endlessInputsAreRefused_data();
    void endlessInputsAreRefused();
    void helpOfEachCommand_data();
    void helpOfEachCommand();

private:
    QString picture(const QString& name) const { return m_pictures.filePath(name); }

    QTemporaryDir m_pictures;
    QStringList m_pictureNames;
};

void TestCliProcess::initTestCase()
{
    QVERIFY(m_pictures.isValid());
    QRandomGenerator random(5);

    // Larger than the screen, colours all over the range: every level sorts them differently.
    QImage noise(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, 0xFF000000 | random.bounded(0x1000000));
    }
    QVERIFY(save(noise, picture("noise.png"), "png"));

    // Colour numbers rising evenly across the screen, with the thresholds of the
    // levels that have exact ones in the first row: 0, 0x7FFFFF, 0xFFFFFE (black
    // and white) and the low threshold of the greys at 50, 0x2B2CE0.
    QImage ramp(screenWidth, screenHeight, QImage::Format_RGB32);
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const Colour c = static_cast<Colour>(pixelIndex(x, y)) * 2048 + 1023;
            ramp.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
        }
    }
    const Colour exact[] = {0x000000, 0x7FFFFF, 0xFFFFFE, 0x2B2CE0, 0xFFFFFF};
    for (int i = 0; i < 5; ++i)
        ramp.setPixel(i, 0, qRgb(redOf(exact[i]), greenOf(exact[i]), blueOf(exact[i])));
    QVERIFY(save(ramp, picture("ramp.bmp"), "bmp"));

    // Smaller than the screen and partly transparent: the rest, and what shows
    // through, is the white background.
    QImage glass(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < glass.height(); ++y) {
        for (int x = 0; x < glass.width(); ++x)
            glass.setPixel(x, y, qRgba(x * 6, y * 8, 90, (x * 7 + y * 3) % 256));
    }
    QVERIFY(save(glass, picture("glass.png"), "png"));

    QImage photo(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x + y, 255 - x, (x * y) % 256));
    }
    QVERIFY(save(photo, picture("photo.jpg"), "jpeg"));

    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 0, 0, 0));
    for (int i = 0; i < 32; ++i) {
        icon.setPixel(i, i, qRgb(20, 20, 20));
        icon.setPixel(31 - i, i, qRgb(200, 180, 160));
    }
    QVERIFY(save(icon, picture("icon.ico"), "ico"));

    m_pictureNames = {"noise.png", "ramp.bmp", "glass.png", "photo.jpg", "icon.ico"};

    // Sprite sheets that cannot be cut, or not with --exact. In off.png the
    // first pixel of another colour in reading order is (12, 3), while (2, 5)
    // comes first by columns. (3, 0) is black, less than half opaque: masked
    // in the masked kinds, and on white exactly dark grey (808080), but no
    // colour of black and white.
    QImage tiny(7, 5, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    QVERIFY(save(tiny, picture("tiny.png"), "png"));
    QImage off(15, 8, QImage::Format_ARGB32);
    off.fill(Qt::white);
    off.setPixel(12, 3, qRgb(0x10, 0x10, 0x10));
    off.setPixel(2, 5, qRgb(0x30, 0x30, 0x30));
    off.setPixel(3, 0, qRgba(0, 0, 0, 0x7F));
    QVERIFY(save(off, picture("off.png"), "png"));
    QImage big(4097, 4096, QImage::Format_Grayscale8);
    big.fill(255);
    QVERIFY(save(big, picture("big.png"), "png"));
    QImage tall(8, 65537, QImage::Format_Grayscale8);
    tall.fill(255);
    QVERIFY(save(tall, picture("tall.png"), "png"));
}

// Rows of every picture named, every level, both converters, plain and compressed.
static void addConversionRows(const QStringList& names)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("greyscale");
    QTest::addColumn<bool>("compressed");
    for (const QString& name : names)
        for (const int level : levels)
            for (const bool greyscale : {false, true})
                for (const bool compressed : {false, true})
                    QTest::addRow("%s %d %s%s", qPrintable(name), level, greyscale ? "grey" : "bw",
                                  compressed ? " rle" : "")
                        << name << level << greyscale << compressed;
}

void TestCliProcess::pictureMatchesCore_data()
{
    addConversionRows(m_pictureNames);
}

// The tool is the windows' core behind a command line: same loader, same
// conversion, same file text, for every level the slider can take at its ends
// and a few between.
void TestCliProcess::pictureMatchesCore()
{
    QFETCH(QString, name);
    QFETCH(int, level);
    QFETCH(bool, greyscale);
    QFETCH(bool, compressed);

    const QByteArray written = cliPictureBytes(picture(name), level, greyscale, compressed);
    QCOMPARE(written, coreDataFile(sourceOfPicture(picture(name)), level, greyscale, compressed));
}

void TestCliProcess::pictureKnownOutput()
{
    // Left half black, right half white: every row is 8 bytes of ones, 8 of zeros.
    QImage halves(screenWidth, screenHeight, QImage::Format_RGB32);
    halves.fill(Qt::white);
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth / 2; ++x)
            halves.setPixel(x, y, qRgb(0, 0, 0));
    }
    QVERIFY(save(halves, picture("halves.png"), "png"));
    QByteArray row = " .db ";
    for (int i = 0; i < 16; ++i)
        row += (i > 0 ? "," : "") + QByteArray(i < 8 ? "%11111111" : "%00000000");
    const QByteArray plain =
        ";Created with the Dotwright by Quelm\r\n\r\n" + (row + "\r\n").repeated(64);
    QCOMPARE(cliPictureBytes(picture("halves.png"), 50, false, false), plain);

    // Wholly transparent: the white background, all zeros, compressed.
    QImage clear(50, 20, QImage::Format_ARGB32);
    clear.fill(qRgba(0, 0, 0, 0));
    QVERIFY(save(clear, picture("clear.png"), "png"));
    QCOMPARE(cliPictureBytes(picture("clear.png"), 50, false, true),
             ";Created with the Dotwright by Quelm\r\n"
             ";Original idea: Squashpic by Tennick\r\n"
             "\r\n"
             " .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff\r\n"
             " .db $91,$00,$04\r\n"
             "\r\n"
             ";1024 bytes compressed to 15 -- 1% of original.\r\n");
}

void TestCliProcess::bitmapMatchesWindowSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("greyscale");
    for (const QString& name : m_pictureNames) {
        QTest::addRow("%s bw", qPrintable(name)) << name << false;
        QTest::addRow("%s grey", qPrintable(name)) << name << true;
    }
}

// The window saves its converted preview through encodeBitmap; --bmp must give
// that very file, next to the data file of the same run.
void TestCliProcess::bitmapMatchesWindowSave()
{
    QFETCH(QString, name);
    QFETCH(bool, greyscale);

    QTemporaryDir folder;
    QStringList arguments{"picture", "--level", "37", "--bmp", "out.bmp", "-o", "out.inc"};
    if (greyscale)
        arguments << "--grey";
    const CliRun run = runCliProcess(arguments << picture(name), {{}, folder.path(), {}});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errors, QByteArray());
    QCOMPARE(run.output, QByteArray());

    const SourceView source = sourceOfPicture(picture(name));
    const SourceView preview = corePreview(source, 37, greyscale);
    const std::vector<std::uint8_t> windowFile = encodeBitmap(screenWidth, screenHeight, preview);
    QCOMPARE(
        readAll(folder.filePath("out.bmp")),
        QByteArray(reinterpret_cast<const char*>(windowFile.data()), qsizetype(windowFile.size())));
    QCOMPARE(coloursOf(QImage(folder.filePath("out.bmp"))), coloursOf(preview));
    QCOMPARE(readAll(folder.filePath("out.inc")), coreDataFile(source, 37, greyscale, false));
}

void TestCliProcess::placedAndDitheredPictureMatchesCore_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("placement"); // a Placement
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("dithering"); // a Dithering
    QTest::addColumn<bool>("invert");
    QTest::addColumn<bool>("greyscale");

    struct Place
    {
        const char* name;
        QStringList options;
        Placement placement;
        int x;
        int y;
    };
    // Scaled down (noise, photo), enlarged (glass, icon), and shifted.
    const Place places[] = {
        {"fit", {"--fit"}, Placement::Fit, 0, 0},
        {"fill", {"--fill"}, Placement::Fill, 0, 0},
        {"offset", {"--offset", "150,100"}, Placement::Corner, 150, 100},
    };
    for (const QString& name : {QStringLiteral("noise.png"), QStringLiteral("photo.jpg"),
                                QStringLiteral("glass.png"), QStringLiteral("icon.ico")}) {
        for (const Place& place : places) {
            for (const Dithering dithering : allDitherings) {
                const bool invert = dithering == Dithering::Ordered;
                for (const bool greyscale : {false, true}) {
                    QStringList options = place.options;
                    options << "--dither" << QString::fromLatin1(ditheringName(dithering).data());
                    if (invert)
                        options << "--invert";
                    if (greyscale)
                        options << "--grey";
                    QTest::addRow("%s %s %s%s %s", qPrintable(name), place.name,
                                  ditheringName(dithering).data(), invert ? " invert" : "",
                                  greyscale ? "grey" : "bw")
                        << name << options << int(place.placement) << place.x << place.y
                        << int(dithering) << invert << greyscale;
                }
            }
        }
    }
}

// --source writes the source view that the windows' reader places, and the
// data file and bitmap are its quantising with the dithering asked for.
void TestCliProcess::placedAndDitheredPictureMatchesCore()
{
    QFETCH(QString, name);
    QFETCH(QStringList, options);
    QFETCH(int, placement);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, dithering);
    QFETCH(bool, invert);
    QFETCH(bool, greyscale);

    QTemporaryDir folder;
    const CliRun run = runCliProcess(QStringList{"picture", "--level", "60", "--source", "view.png",
                                                 "--bmp", "out.bmp", "-o", "out.inc"} +
                                         options + QStringList{picture(name)},
                                     {{}, folder.path(), {}});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errors, QByteArray());

    ViewOptions view;
    view.placement = Placement(placement);
    view.x = x;
    view.y = y;
    const Result<SourceView> source =
        readSourceViewFile(QFile::encodeName(picture(name)).toStdString(), view);
    QVERIFY(source);
    QCOMPARE(coloursOf(QImage(folder.filePath("view.png"))), coloursOf(*source));

    const Tone tone{Dithering(dithering), invert};
    QByteArray data;
    SourceView preview;
    if (greyscale) {
        const GreyscaleResult result = quantiseGreyscale(*source, 60, tone);
        preview = result.preview;
        data = QByteArray::fromStdString(greyscaleDataFile(bitPlaneFromGrid(result.light),
                                                           bitPlaneFromGrid(result.dark), false));
    } else {
        preview = quantiseBlackWhite(*source, 60, tone);
        data = QByteArray::fromStdString(blackWhiteDataFile(bitPlaneFromPixels(preview), false));
    }
    QCOMPARE(readAll(folder.filePath("out.inc")), data);
    QCOMPARE(coloursOf(QImage(folder.filePath("out.bmp"))), coloursOf(preview));
}

void TestCliProcess::unpackGivesBackPreview_data()
{
    addConversionRows(
        {QStringLiteral("noise.png"), QStringLiteral("ramp.bmp"), QStringLiteral("glass.png")});
}

// A data file turned back into a picture is the preview it was written from,
// whether it travels through files or through a pipe, with CR LF or LF lines.
void TestCliProcess::unpackGivesBackPreview()
{
    QFETCH(QString, name);
    QFETCH(int, level);
    QFETCH(bool, greyscale);
    QFETCH(bool, compressed);

    const std::vector<Colour> preview =
        coloursOf(corePreview(sourceOfPicture(picture(name)), level, greyscale));
    QTemporaryDir folder;
    QStringList arguments{"picture", "--level", QString::number(level), "-o", "data.inc"};
    if (greyscale)
        arguments << "--grey";
    if (compressed)
        arguments << "--rle";
    QCOMPARE(runCliProcess(arguments << picture(name), {{}, folder.path(), {}}).exitCode, 0);
    const CliRun unpacked =
        runCliProcess({"unpack", "-o", "back.png", "data.inc"}, {{}, folder.path(), {}});
    QCOMPARE(unpacked.exitCode, 0);
    QCOMPARE(unpacked.errors, QByteArray());
    const QImage back(folder.filePath("back.png"));
    QCOMPARE(back.size(), QSize(screenWidth, screenHeight));
    QCOMPARE(coloursOf(back), preview);

    QByteArray withLf = readAll(folder.filePath("data.inc"));
    withLf.replace("\r\n", "\n");
    const CliRun piped = runCliProcess({"unpack", "-"}, {withLf, folder.path(), {}});
    QCOMPARE(piped.exitCode, 0);
    QCOMPARE(coloursOf(QImage::fromData(piped.output, "png")), preview);
}

void TestCliProcess::spriteRoundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("length");
    QTest::newRow("bw") << "bw"
                        << "8x8" << 127;
    QTest::newRow("grey") << "grey"
                          << "8x8" << 267;
    QTest::newRow("bw-mask") << "bw-mask"
                             << "8x8" << 262;
    QTest::newRow("grey-mask") << "grey-mask"
                               << "8x8" << 402;
    // Three bytes a row, five rows a layer.
    QTest::newRow("grey-mask 24x5") << "grey-mask"
                                    << "24x5" << 12 + 11 + 11 + 2 * 4 + 15 * (2 + 4 + 3 * 9 + 2);
    QTest::newRow("bw 64x1") << "bw"
                             << "64x1" << 7 + 2 + 4 + 8 * 9 + 7;
}

// The code of a picture in the colours an editor knows, rendered back, is that
// picture; pixels beyond the corner play no part.
void TestCliProcess::spriteRoundTrip()
{
    QFETCH(QString, kind);
    QFETCH(QString, size);
    QFETCH(int, length);

    const int width = size.section(u'x', 0, 0).toInt();
    const int height = size.section(u'x', 1, 1).toInt();
    const std::span<const Colour> palette = spriteColours(*spriteKindNamed(kind.toStdString()));
    QRandomGenerator random(qHash(kind + size));
    QImage sprite(width + 4, height + 2, QImage::Format_RGB32);
    sprite.fill(qRgb(250, 10, 10));
    std::vector<Colour> expected;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = palette[random.bounded(int(palette.size()))];
            sprite.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
            expected.push_back(c);
        }
    }
    QTemporaryDir folder;
    QVERIFY(save(sprite, folder.filePath("sprite.png"), "png"));

    const CliRun code = runCliProcess({"sprite", "--kind", kind, "--size", size, "sprite.png"},
                                      {{}, folder.path(), {}});
    QCOMPARE(code.exitCode, 0);
    QCOMPARE(code.errors, QByteArray());
    // The editor's text and a line end after it.
    QCOMPARE(code.output.size(), length + 2);
    QCOMPARE(code.output.count('\n'), code.output.count("\r\n"));
    QVERIFY(code.output.endsWith("1\r\n") || code.output.endsWith("0\r\n"));
    // -o writes the same bytes.
    QCOMPARE(runCliProcess(
                 {"sprite", "--kind", kind, "--size", size, "--exact", "-o", "s.inc", "sprite.png"},
                 {{}, folder.path(), {}})
                 .exitCode,
             0);
    QCOMPARE(readAll(folder.filePath("s.inc")), code.output);

    const CliRun fromInput =
        runCliProcess({"sprite", "--kind", kind, "--size", size, "--render", "in.png"},
                      {code.output, folder.path(), {}});
    QCOMPARE(fromInput.exitCode, 0);
    QCOMPARE(coloursOf(QImage(folder.filePath("in.png"))), expected);

    QVERIFY(writeAll(folder.filePath("code.txt"), code.output));
    const CliRun fromFile = runCliProcess(
        {"sprite", "--kind", kind, "--size", size, "--render", "file.png", "code.txt"},
        {{}, folder.path(), {}});
    QCOMPARE(fromFile.exitCode, 0);
    QCOMPARE(coloursOf(QImage(folder.filePath("file.png"))), expected);
}

void TestCliProcess::spriteKnownOutput()
{
    // A black border round white, the editor's own example.
    QImage border(spriteSize, spriteSize, QImage::Format_RGB32);
    border.fill(Qt::white);
    for (int i = 0; i < spriteSize; ++i) {
        for (const QPoint p : {QPoint(i, 0), QPoint(i, 7), QPoint(0, i), QPoint(7, i)})
            border.setPixel(p, qRgb(0, 0, 0));
    }
    QVERIFY(save(border, picture("border.bmp"), "bmp"));
    const CliRun run = runCliProcess({"sprite", picture("border.bmp")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, ";Bitmap\r\n.db %11111111\r\n.db %10000001\r\n.db %10000001\r\n"
                         ".db %10000001\r\n.db %10000001\r\n.db %10000001\r\n.db %10000001\r\n"
                         ".db %11111111\r\n");
}

void TestCliProcess::spriteTakesTheNearestColour_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<Colour>>("expected"); // the four odd pixels, then beyond the picture
    const Colour w = colours::white;
    const Colour l = colours::lightGrey;
    const Colour d = colours::darkGrey;
    const Colour b = colours::black;
    const Colour m = colours::mask;
    QTest::newRow("bw") << "bw" << QList<Colour>{w, b, b, w, w};
    QTest::newRow("grey") << "grey" << QList<Colour>{w, b, d, l, w};
    // Beyond a picture there is nothing: transparent, so masked.
    QTest::newRow("bw-mask") << "bw-mask" << QList<Colour>{w, b, b, w, m};
    QTest::newRow("grey-mask") << "grey-mask" << QList<Colour>{w, b, d, l, m};
}

// A 4 × 3 picture of near-white, with near-black, red and light grey pixels:
// each takes the nearest colour the editor draws, and --exact refuses it,
// naming the first pixel in reading order.
void TestCliProcess::spriteTakesTheNearestColour()
{
    QFETCH(QString, kind);
    QFETCH(QList<Colour>, expected);

    QImage odd(4, 3, QImage::Format_RGB32);
    odd.fill(qRgb(254, 255, 255));
    odd.setPixel(1, 0, qRgb(0, 0, 1));
    odd.setPixel(2, 1, qRgb(255, 0, 0));
    odd.setPixel(3, 2, qRgb(192, 192, 192));
    QTemporaryDir folder;
    QVERIFY(save(odd, folder.filePath("odd.png"), "png"));
    const CliRun code =
        runCliProcess({"sprite", "--kind", kind, "odd.png"}, {{}, folder.path(), {}});
    QCOMPARE(code.exitCode, 0);
    QCOMPARE(runCliProcess({"sprite", "--kind", kind, "--render", "back.png"},
                           {code.output, folder.path(), {}})
                 .exitCode,
             0);

    std::vector<Colour> shown(spriteSize * spriteSize, expected[4]);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            shown[std::size_t(y * spriteSize + x)] = expected[0];
    }
    shown[1] = expected[1];
    shown[spriteSize + 2] = expected[2];
    shown[2 * spriteSize + 3] = expected[3];
    QCOMPARE(coloursOf(QImage(folder.filePath("back.png"))), shown);

    const CliRun exact =
        runCliProcess({"sprite", "--exact", "--kind", kind, "odd.png"}, {{}, folder.path(), {}});
    QCOMPARE(exact.exitCode, 1);
    QCOMPARE(exact.errors, "dotwright-cli: odd.png: pixel 0,0 is #FEFFFF, not a colour of the " +
                               kind.toLatin1() + " editor\n");
    QCOMPARE(exact.output, QByteArray());
}

void TestCliProcess::spritesCutsASheet_data()
{
    QTest::addColumn<QString>("kind");
    for (const auto& [name, kind] : spriteKindNames)
        QTest::newRow(name.data()) << QString::fromLatin1(name.data());
}

// A sheet of 4 × 3 sprites drawn a little off, with a strip of stray pixels
// right of and below them that fills no cell: each sprite becomes the text its
// editor writes, under its label, and the whole assembles to their bytes.
void TestCliProcess::spritesCutsASheet()
{
    QFETCH(QString, kind);
    const SpriteKind spriteKind = *spriteKindNamed(kind.toStdString());
    const std::span<const Colour> palette = spriteColours(spriteKind);
    QRandomGenerator random(qHash(kind));

    QImage sheet(4 * 8 + 5, 3 * 8 + 3, QImage::Format_ARGB32);
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x)
            sheet.setPixel(x, y, 0xFF000000 | random.bounded(0x1000000));
    }
    QByteArray expected;
    QByteArray expectedBytes;
    for (int n = 0; n < 12; ++n) {
        std::vector<Colour> sprite;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                sprite.push_back(palette[random.bounded(int(palette.size()))]);
                sheet.setPixel(n % 4 * 8 + x, n / 4 * 8 + y,
                               drawnNear(sprite.back(), palette.back() == colours::mask, random));
            }
        }
        SpriteLayers bits;
        for (int i = 0; i < 64; ++i)
            applyColour(spriteKind, sprite[std::size_t(i)], i % 8, i / 8, bits);
        if (n > 0)
            expected += "\r\n";
        expected += "walk_cycle_" + QByteArray::number(n) + ":\r\n" +
                    QByteArray::fromStdString(spriteCodeText(spriteKind, bits)) + "\r\n";
        expectedBytes += spriteBytes(spriteKind, sprite, 8, 8);
    }
    QTemporaryDir folder;
    QVERIFY(save(sheet, folder.filePath("walk-cycle.png"), "png"));

    const CliRun run =
        runCliProcess({"sprites", "--kind", kind, "walk-cycle.png"}, {{}, folder.path(), {}});
    QCOMPARE(run.errors, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, expected);
    QString error;
    const std::optional<QByteArray> assembled = assembleZ80(run.output, &error);
    QVERIFY2(assembled, qPrintable(error));
    QCOMPARE(assembled->toHex(), expectedBytes.toHex());

    // -o writes the same, and --label names the blocks.
    QCOMPARE(runCliProcess(
                 {"sprites", "--kind", kind, "--label", "Hero", "-o", "hero.inc", "walk-cycle.png"},
                 {{}, folder.path(), {}})
                 .exitCode,
             0);
    QCOMPARE(readAll(folder.filePath("hero.inc")),
             QByteArray(expected).replace("walk_cycle_", "Hero_"));
}

// Cells 24 × 3: each row of a layer is three bytes on one line.
void TestCliProcess::spritesOfWiderCells()
{
    const SpriteKind kind = SpriteKind::GreyscaleMasked;
    const std::span<const Colour> palette = spriteColours(kind);
    QRandomGenerator random(24);
    QImage sheet(2 * 24 + 7, 2 * 3 + 2, QImage::Format_ARGB32);
    sheet.fill(qRgb(0, 0, 0));
    QByteArray expectedBytes;
    for (int n = 0; n < 4; ++n) {
        std::vector<Colour> cell;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 24; ++x) {
                cell.push_back(palette[random.bounded(int(palette.size()))]);
                sheet.setPixel(n % 2 * 24 + x, n / 2 * 3 + y, drawnNear(cell.back(), true, random));
            }
        }
        expectedBytes += spriteBytes(kind, cell, 24, 3);
    }
    QTemporaryDir folder;
    QVERIFY(save(sheet, folder.filePath("tiles.png"), "png"));
    const CliRun run = runCliProcess(
        {"sprites", "--kind", "grey-mask", "--size", "24x3", "tiles.png"}, {{}, folder.path(), {}});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.output.split('\n');
    QCOMPARE(lines.count("tiles_3:\r"), 1);
    QCOMPARE(std::count_if(lines.begin(), lines.end(),
                           [](const QByteArray& line) {
                               return QRegularExpression(R"(^\.db %[01]{8},%[01]{8},%[01]{8}\r$)")
                                   .match(QString::fromLatin1(line))
                                   .hasMatch();
                           }),
             4 * 3 * 3);
    QString error;
    const std::optional<QByteArray> assembled = assembleZ80(run.output, &error);
    QVERIFY2(assembled, qPrintable(error));
    QCOMPARE(assembled->toHex(), expectedBytes.toHex());
}

// Three cells: nearly white; transparent, which is white, or masked and so not
// empty where there is a mask; and one black pixel on white.
void TestCliProcess::spritesSkipEmptyCellsButKeepTheirNumbers()
{
    QImage sheet(24, 8, QImage::Format_ARGB32);
    sheet.fill(qRgb(250, 250, 250));
    for (int y = 0; y < 8; ++y) {
        for (int x = 8; x < 16; ++x)
            sheet.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    sheet.setPixel(17, 5, qRgb(10, 10, 10));
    QTemporaryDir folder;
    QVERIFY(save(sheet, folder.filePath("row.png"), "png"));
    const auto labels = [&](const QString& kind) {
        const CliRun run = runCliProcess({"sprites", "--skip-empty", "--kind", kind, "row.png"},
                                         {{}, folder.path(), {}});
        QByteArrayList found;
        for (const QByteArray& line : run.output.split('\n')) {
            if (line.endsWith(":\r"))
                found += line.chopped(2);
        }
        return found;
    };
    QCOMPARE(labels("bw"), QByteArrayList{"row_2"});
    QCOMPARE(labels("bw-mask"), (QByteArrayList{"row_1", "row_2"}));
}

// An animation of four frames on a 16 × 8 screen: each frame is cut as a sheet
// of its own, the numbers going on, and each is the screen as it shows then —
// drawn over what the frames before it left, through its transparent pixels,
// after their disposal. `sprite` takes the first frame only.
void TestCliProcess::spritesOfAnAnimatedSheet()
{
    constexpr int white = 0, black = 1, clear = 2;
    const auto palette = [](int index) {
        return index == black   ? qRgb(0, 0, 0)
               : index == clear ? qRgb(255, 0, 0)
                                : qRgb(255, 255, 255);
    };
    const auto all = [](int index) { return [index](int, int) { return index; }; };
    const QByteArray gif =
        gifHead({16, 8}, palette) +
        // 1: the left half black.
        gifImage({0, 0, 16, 8}, [](int x, int) { return x < 8 ? black : white; }) +
        // 2: a black checker through transparent pixels, taken away afterwards.
        gifImage(
            {4, 2, 8, 4}, [](int x, int y) { return (x + y) % 2 == 0 ? black : clear; }, clear, 3) +
        // 3: a black square on the right, put back to the background afterwards.
        gifImage({8, 0, 2, 2}, all(black), -1, 2) +
        // 4: one black pixel at the far corner.
        gifImage({15, 7, 1, 1}, all(black)) + ';';
    QTemporaryDir folder;
    QFile file(folder.filePath("anim.gif"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(gif) == gif.size());
    file.close();

    const auto frame = [](const std::function<bool(int, int)>& isBlack) {
        std::vector<bool> pixels;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                pixels.push_back(x < 8 || isBlack(x, y));
        return pixels;
    };
    const std::vector<std::vector<bool>> frames{
        frame([](int, int) { return false; }),
        frame([](int x, int y) {
            return x >= 4 && x < 12 && y >= 2 && y < 6 && (x - 4 + y - 2) % 2 == 0;
        }),
        frame([](int x, int y) { return x >= 8 && x < 10 && y < 2; }),
        frame([](int x, int y) { return x == 15 && y == 7; }),
    };
    QByteArray expected;
    int number = 0;
    for (const std::vector<bool>& pixels : frames) {
        for (int cell = 0; cell < 2; ++cell, ++number) {
            SpriteLayers bits;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    applyColour(SpriteKind::BlackWhite,
                                pixels[std::size_t(y * 16 + cell * 8 + x)] ? colours::black
                                                                           : colours::white,
                                x, y, bits);
            if (number > 0)
                expected += "\r\n";
            expected += "anim_" + QByteArray::number(number) + ":\r\n" +
                        QByteArray::fromStdString(spriteCodeText(SpriteKind::BlackWhite, bits)) +
                        "\r\n";
        }
    }
    const CliRun sheet = runCliProcess({"sprites", "anim.gif"}, {{}, folder.path(), {}});
    QCOMPARE(sheet.errors, QByteArray());
    QCOMPARE(sheet.output, expected);

    const CliRun sprite = runCliProcess({"sprite", "anim.gif"}, {{}, folder.path(), {}});
    QCOMPARE(sprite.exitCode, 0);
    QCOMPARE(sprite.output,
             expected.mid(expected.indexOf(";Bitmap"),
                          expected.indexOf("\r\n\r\nanim_1") - expected.indexOf(";Bitmap") + 2));
}

// Frames together may hold no more pixels than one sheet: five of a 2048 ×
// 2048 screen are over, however small each frame's own image is, and nothing
// of them is written.
void TestCliProcess::spritesOfAnAnimationTooLarge()
{
    const auto palette = [](int) { return qRgb(0, 0, 0); };
    QByteArray gif = gifHead({2048, 2048}, palette);
    for (int i = 0; i < 5; ++i)
        gif += gifImage({i, 0, 1, 1}, [](int, int) { return 0; });
    gif += ';';
    QTemporaryDir folder;
    QFile file(folder.filePath("big.gif"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(gif) == gif.size());
    file.close();
    const CliRun run =
        runCliProcess({"sprites", "-o", "big.inc", "big.gif"}, {{}, folder.path(), {}});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors, QByteArray("dotwright-cli: big.gif: sheet is too large (5 frames of "
                                    "2048 × 2048 pixels, more than 16777216 in all)\n"));
    QVERIFY(!QFile::exists(folder.filePath("big.inc")));
}

void TestCliProcess::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("output"); // "", "full" (/dev/full) or "terminal"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QStringList intoOld{"-o", "old.inc", "--bmp", "old.bmp"};
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };

    // Usage errors.
    row("no arguments") << QStringList{} << QByteArray() << "" << 2
                        << "usage: no command given (try dotwright-cli --help)";
    row("unknown option") << QStringList{"picture", "--frob", "-o", "new.inc", "pic.png"}
                          << QByteArray() << "" << 2 << "picture: unknown option '--frob'";
    row("missing value") << QStringList{"picture", "pic.png", "-o"} << QByteArray() << "" << 2
                         << "picture: -o needs a value";
    for (const char* level : {"101", "abc", "50x"}) {
        QTest::addRow("level %s", level)
            << QStringList{"picture", "--level", level, "pic.png"} + intoOld << QByteArray() << ""
            << 2
            << QStringLiteral("picture: --level must be a whole number from 0 to 100, not '%1'")
                   .arg(QLatin1String(level));
    }
    row("unknown command") << QStringList{"convert", "pic.png"} << QByteArray() << "" << 2
                           << "convert: unknown command (expected picture, sprite, sprites or "
                              "unpack)";
    row("unpack to a terminal") << QStringList{"unpack", "good.inc"} << QByteArray() << "terminal"
                                << 2
                                << "unpack: standard output is a terminal; name the PNG with -o "
                                   "OUT.png or redirect the output";

    // Pictures that cannot be read.
    row("picture not found") << QStringList{"picture", "missing.png"} + intoOld << QByteArray()
                             << "" << 1 << "missing.png: file not found";
    row("not a picture") << QStringList{"picture", "garbage.png"} + intoOld << QByteArray() << ""
                         << 1 << "garbage.png: not a picture Dotwright can read";
    row("damaged picture") << QStringList{"picture", "cut.png"} + intoOld << QByteArray() << "" << 1
                           << "cut.png: damaged or unsupported PNG picture";
    row("picture from empty input") << QStringList{"picture", "-"} + intoOld << QByteArray() << ""
                                    << 1 << "standard input: file is empty";
    row("sprite of a folder") << QStringList{"sprite", "folder"} << QByteArray() << "" << 1
                              << "folder: is a folder, not a picture";

    // Outputs that cannot be written: nothing is left, nothing changed, even
    // when the data file could have been written before the bitmap failed.
    row("-o in a missing folder") << QStringList{"picture", "-o", "nowhere/x.inc", "pic.png"}
                                  << QByteArray() << "" << 1
                                  << "nowhere/x.inc: cannot write: No such file or directory";
    row("--bmp fails, -o exists") << QStringList{"picture",       "-o",     "old.inc", "--bmp",
                                                 "nowhere/x.bmp", "pic.png"}
                                  << QByteArray() << "" << 1
                                  << "nowhere/x.bmp: cannot write: No such file or directory";
    row("--bmp fails, -o new") << QStringList{"picture",       "-o",     "new.inc", "--bmp",
                                              "nowhere/x.bmp", "pic.png"}
                               << QByteArray() << "" << 1
                               << "nowhere/x.bmp: cannot write: No such file or directory";
    row("--bmp cannot replace, -o already replaced")
        << QStringList{"picture", "--grey", "-o", "old.inc", "--bmp", "folder", "pic.png"}
        << QByteArray() << "" << 1 << "folder: cannot write: Is a directory";
    row("-o cannot replace, --bmp exists")
        << QStringList{"picture", "-o", "folder", "--bmp", "old.bmp", "pic.png"} << QByteArray()
        << "" << 1 << "folder: cannot write: Is a directory";
    row("--source fails, -o and --bmp exist")
        << QStringList{"picture", "--fit", "--source", "nowhere/v.png"} + intoOld +
               QStringList{"pic.png"}
        << QByteArray() << "" << 1 << "nowhere/v.png: cannot write: No such file or directory";
    row("bad offset, -o and --bmp exist")
        << QStringList{"picture", "--offset", "1x2", "pic.png"} + intoOld << QByteArray() << "" << 2
        << "picture: --offset must be two whole numbers X,Y from 0 up, not '1x2'";
    row("unknown dithering") << QStringList{"picture", "--dither", "random", "pic.png"} + intoOld
                             << QByteArray() << "" << 2
                             << "picture: --dither must be none, ordered, floyd-steinberg or "
                                "atkinson, not 'random'";
    row("standard output full, --bmp exists")
        << QStringList{"picture", "--bmp", "old.bmp", "pic.png"} << QByteArray() << "full" << 1
        << "standard output: cannot write: No space left on device";

    // Data files that do not decode.
    row("data file not found") << QStringList{"unpack", "-o", "old.png", "missing.inc"}
                               << QByteArray() << "" << 1 << "missing.inc: file not found";
    row("data file does not parse")
        << QStringList{"unpack", "-o", "old.png", "bad.inc"} << QByteArray() << "" << 1
        << "bad.inc: line 3: expected 16 binary bytes, found 15";
    row("block too short") << QStringList{"unpack", "-o", "old.png", "short.inc"} << QByteArray()
                           << "" << 1
                           << "short.inc: line 4: compressed block does not decode to 1024 bytes";
    row("data file on input does not parse")
        << QStringList{"unpack", "-o", "old.png", "-"} << QByteArray(";comment\n\nhello\n") << ""
        << 1 << "standard input: line 3: unexpected text";
    row("unpack into a missing folder")
        << QStringList{"unpack", "-o", "nowhere/u.png", "good.inc"} << QByteArray() << "" << 1
        << "nowhere/u.png: cannot write: No such file or directory";

    // Sprite code too short to read.
    row("63 digits in a file") << QStringList{"sprite", "--render", "old.png", "code63.txt"}
                               << QByteArray() << "" << 1
                               << "code63.txt: too few digits: bw sprite code needs 64 digits 0 "
                                  "and 1, found 63";
    row("127 digits on input, grey")
        << QStringList{"sprite", "--kind", "grey", "--render", "old.png"}
        << QByteArray(";Light Layer 2-9\r\n") + QByteArray(127, '1') << "" << 1
        << "standard input: too few digits: grey sprite code needs 128 digits 0 and 1, found 127";
    row("render into a missing folder")
        << QStringList{"sprite", "--render", "nowhere/s.png"} << QByteArray(64, '0') << "" << 1
        << "nowhere/s.png: cannot write: No such file or directory";

    // Sheets that cannot be cut, and colours --exact refuses.
    row("sheet smaller than one cell")
        << QStringList{"sprites", "-o", "old.inc", "tiny.png"} << QByteArray() << "" << 1
        << "tiny.png: sheet of 7 × 5 pixels is smaller than one cell of 8 × 8 pixels";
    row("sheet narrower than wide cells")
        << QStringList{"sprites", "--size", "16x2", "-o", "old.inc", "off.png"} << QByteArray()
        << "" << 1 << "off.png: sheet of 15 × 8 pixels is smaller than one cell of 16 × 2 pixels";
    row("sheet too large") << QStringList{"sprites", "-o", "old.inc", "big.png"} << QByteArray()
                           << "" << 1
                           << "big.png: sheet is too large (4097 × 4096 pixels, more than "
                              "16777216)";
    row("sheet of too many cells")
        << QStringList{"sprites", "--size", "8x1", "-o", "old.inc", "tall.png"} << QByteArray()
        << "" << 1
        << "tall.png: sheet of 8 × 65537 pixels holds 65537 cells of 8 × 1 pixels, more than 65536";
    row("sheet with a colour the editor does not draw")
        << QStringList{"sprites", "--exact", "--kind", "grey", "-o", "old.inc", "off.png"}
        << QByteArray() << "" << 1
        << "off.png: pixel 12,3 is #101010, not a colour of the grey editor";
    row("sprite with a partly transparent colour")
        << QStringList{"sprite", "--exact", "-o", "old.inc", "off.png"} << QByteArray() << "" << 1
        << "off.png: pixel 3,0 is #0000007F, not a colour of the bw editor";
    row("sheet of standard input") << QStringList{"sprites", "--exact", "--kind", "bw-mask", "-"}
                                   << readAll(picture("off.png")) << "" << 1
                                   << "standard input: pixel 12,3 is #101010, not a colour of the "
                                      "bw-mask editor";
    row("sheet and output the same file")
        << QStringList{"sprites", "-o", "./off.png", "off.png"} << QByteArray() << "" << 2
        << "sprites: SHEET and -o name the same file";
}

// Every failure: its exit status, one line on standard error, nothing on
// standard output, and the folder exactly as before the run.
void TestCliProcess::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, output);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir folder;
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("pic.png")));
    QVERIFY(writeAll(folder.filePath("old.inc"), "old data file\r\n"));
    QVERIFY(writeAll(folder.filePath("old.bmp"), "old bitmap"));
    QVERIFY(writeAll(folder.filePath("old.png"), "old png"));
    QVERIFY(QDir(folder.path()).mkdir("folder"));
    QVERIFY(writeAll(folder.filePath("folder/keep.txt"), "kept"));
    QVERIFY(writeAll(folder.filePath("garbage.png"), "this is not a picture"));
    QVERIFY(writeAll(folder.filePath("cut.png"), readAll(picture("noise.png")).left(300)));
    QVERIFY(writeAll(folder.filePath("good.inc"),
                     QByteArray::fromStdString(blackWhiteDataFile(BitPlane{}, false))));
    QByteArray bad = QByteArray::fromStdString(blackWhiteDataFile(BitPlane{}, false));
    bad.replace(",%00000000\r\n", "\r\n"); // every row one byte short; line 3 is the first
    QVERIFY(writeAll(folder.filePath("bad.inc"), bad));
    QVERIFY(writeAll(folder.filePath("short.inc"),
                     ";Created with the Dotwright by Quelm\r\n"
                     ";Original idea: Squashpic by Tennick\r\n\r\n"
                     " .db $91,$00,$ff\r\n\r\n"
                     ";1024 bytes compressed to 3 -- 0% of original.\r\n"));
    QVERIFY(writeAll(folder.filePath("code63.txt"), ";Bitmap\r\n" + QByteArray(63, '1')));
    for (const char* sheet : {"tiny.png", "off.png", "big.png", "tall.png"})
        QVERIFY(QFile::copy(picture(sheet), folder.filePath(sheet)));
    const QMap<QString, QByteArray> before = snapshot(folder.path());

    Terminal terminal;
    CliRunSetup setup{input, folder.path(), {}};
    if (output == "full") {
        setup.outputFile = QStringLiteral("/dev/full");
    } else if (output == "terminal") {
        // The in-process tests cover the rule itself; this row shows the wiring.
        if (terminal.path().isEmpty())
            QSKIP("no pseudo-terminal available");
        setup.outputFile = terminal.path();
    }
    const CliRun run = runCliProcess(arguments, setup);

    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(QString::fromUtf8(run.errors), QStringLiteral("dotwright-cli: ") + message + "\n");
    QCOMPARE(run.output, QByteArray());
    QCOMPARE(snapshot(folder.path()), before);
}

// A replaced file keeps its permissions; a new one gets the usual ones.
void TestCliProcess::replacedFileKeepsItsMode()
{
    QTemporaryDir folder;
    const QString old = folder.filePath("old.inc");
    QVERIFY(writeAll(old, "old"));
    QCOMPARE(::chmod(QFile::encodeName(old).constData(), 0640), 0);

    const CliRun run =
        runCliProcess({"picture", "-o", "old.inc", "--bmp", "new.bmp", picture("noise.png")},
                      {{}, folder.path(), {}});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(readAll(old).startsWith(";Created with the Dotwright by Quelm"));

    struct stat status
    {
    };
    QCOMPARE(::stat(QFile::encodeName(old).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0640));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(::stat(QFile::encodeName(folder.filePath("new.bmp")).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0666 & ~mask));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"new.bmp", "old.inc"}));
}

enum class Special {
    None,
    NullDevice,
    FullDevice,
    Fifo,
    Socket,
    StandardOutputLink,
    DanglingLink,
    LinkIntoNowhere,
    LinkedFolder,
    LinkToInput
};

void TestCliProcess::outputsThatAreNotPlainFiles_data()
{
    QTest::addColumn<Special>("special");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("written"); // the file that gets the data file, "" none, "-" stdout

    const QStringList picture{"picture", "pic.png", "--bmp", "old.bmp"};
    QTest::newRow("a null device")
        << Special::NullDevice << picture + QStringList{"-o", "out"} << 0 << ""
        << "";
    QTest::newRow("a full device") << Special::FullDevice << picture + QStringList{"-o", "out"} << 1
                                   << "out: cannot write: No space left on device"
                                   << "";
    QTest::newRow("a FIFO") << Special::Fifo << picture + QStringList{"-o", "out"} << 0 << ""
                            << "(fifo)";
    QTest::newRow("a socket") << Special::Socket << picture + QStringList{"-o", "out"} << 1
                              << "out: cannot write: is a socket, not a file"
                              << "";
    QTest::newRow("a link to standard output, as /dev/stdout is")
        << Special::StandardOutputLink << picture + QStringList{"-o", "out"} << 0 << ""
        << "-";
    QTest::newRow("-o -") << Special::None << picture + QStringList{"-o", "-"} << 0 << ""
                          << "-";
    QTest::newRow("a folder with a slash")
        << Special::None << picture + QStringList{"-o", "folder/"} << 1
        << "folder/: cannot write: Is a directory"
        << "";
    QTest::newRow("a dangling link")
        << Special::DanglingLink << picture + QStringList{"-o", "out"} << 0 << ""
        << "new.inc";
    QTest::newRow("a link into a missing folder")
        << Special::LinkIntoNowhere << picture + QStringList{"-o", "out"} << 1
        << "out: cannot write: No such file or directory"
        << "";
    QTest::newRow("one file through a linked folder")
        << Special::LinkedFolder
        << QStringList{"picture", "-o", "dlink/out.inc", "--bmp", "folder/out.inc", "pic.png"} << 2
        << "picture: -o and --bmp name the same file"
        << "";
    QTest::newRow("the input through a link")
        << Special::LinkToInput << picture + QStringList{"-o", "out"} << 2
        << "picture: PICTURE and -o name the same file"
        << "";
    QTest::newRow("the source view over the bitmap")
        << Special::None << picture + QStringList{"--source", "./old.bmp", "-o", "out"} << 2
        << "picture: --bmp and --source name the same file"
        << "";
    QTest::newRow("the source view over the input")
        << Special::None << QStringList{"picture", "--source", "folder/../pic.png", "pic.png"} << 2
        << "picture: PICTURE and --source name the same file"
        << "";
    QTest::newRow("the input spelt another way")
        << Special::None << QStringList{"picture", "-o", "folder/../pic.png", "pic.png"} << 2
        << "picture: PICTURE and -o name the same file"
        << "";
    QTest::newRow("render over its code file")
        << Special::None << QStringList{"sprite", "--render", "./old.bmp", "old.bmp"} << 2
        << "sprite: CODEFILE and --render name the same file"
        << "";
}

// What -o does with each kind of name: a special file is written into and
// never replaced, a link is followed and kept, and two names of one file are
// a usage error before anything is written.
void TestCliProcess::outputsThatAreNotPlainFiles()
{
    QFETCH(Special, special);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, written);

    QTemporaryDir folder;
    const auto at = [&](const char* name) { return QFile::encodeName(folder.filePath(name)); };
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("pic.png")));
    QVERIFY(writeAll(folder.filePath("old.bmp"), "old bitmap"));
    QVERIFY(QDir(folder.path()).mkdir("folder"));
    switch (special) {
    case Special::None:
        break;
    case Special::NullDevice:
    case Special::FullDevice:
        if (::mknod(at("out"), S_IFCHR | 0666,
                    makedev(1, special == Special::NullDevice ? 3 : 7)) != 0)
            QSKIP("making a device needs root");
        break;
    case Special::Fifo:
        QCOMPARE(::mkfifo(at("out"), 0644), 0);
        break;
    case Special::Socket:
        QVERIFY(makeSocket(folder.filePath("out")));
        break;
    case Special::StandardOutputLink:
        QCOMPARE(::symlink("/proc/self/fd/1", at("out")), 0);
        break;
    case Special::DanglingLink:
        QCOMPARE(::symlink("new.inc", at("out")), 0);
        break;
    case Special::LinkIntoNowhere:
        QCOMPARE(::symlink("nowhere/x.inc", at("out")), 0);
        break;
    case Special::LinkedFolder:
        QCOMPARE(::symlink("folder", at("dlink")), 0);
        break;
    case Special::LinkToInput:
        QCOMPARE(::symlink("pic.png", at("out")), 0);
        break;
    }
    const QMap<QByteArray, QByteArray> before = entriesOf(folder.path());
    // The reading end is open before the run, and the data file fits the
    // pipe's buffer, so nothing waits on anything; a FIFO replaced by a
    // regular file simply gives nothing here.
    const int fifo = special == Special::Fifo ? ::open(at("out"), O_RDONLY | O_NONBLOCK) : -1;

    const CliRun run = runCliProcess(arguments, {{}, folder.path(), {}});
    QByteArray fromFifo;
    char buffer[65536];
    for (ssize_t got; fifo >= 0 && (got = ::read(fifo, buffer, sizeof buffer)) > 0;)
        fromFifo.append(buffer, got);
    if (fifo >= 0)
        ::close(fifo);

    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(QString::fromUtf8(run.errors),
             message.isEmpty() ? QString() : QStringLiteral("dotwright-cli: ") + message + "\n");
    const QByteArray expected =
        coreDataFile(sourceOfPicture(picture("noise.png")), 50, false, false);
    QCOMPARE(run.output, written == "-" ? expected : QByteArray());
    if (written == "(fifo)")
        QCOMPARE(fromFifo, expected);

    // Every entry as it was (links, devices and sockets included), but for the
    // files a successful run writes; nothing hidden is left behind.
    QMap<QByteArray, QByteArray> after = entriesOf(folder.path());
    if (exitCode == 0) {
        QVERIFY(after.value("old.bmp").startsWith("BM"));
        after["old.bmp"] = "old bitmap";
        if (written == "new.inc") {
            QCOMPARE(after.take("new.inc"), expected);
        }
    }
    QCOMPARE(after, before);
}

void TestCliProcess::fileSizeLimitIsAWriteError()
{
    // ulimit -f 4: four 1024-byte blocks, less than the data file.
    QTemporaryDir folder;
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("pic.png")));
    QVERIFY(writeAll(folder.filePath("out.inc"), "old data"));
    const QMap<QByteArray, QByteArray> before = entriesOf(folder.path());

    CliChild child({"picture", "-o", "out.inc", "--bmp", "out.bmp", "pic.png"},
                   {{}, folder.path(), [] {
                        const rlimit limit{4096, 4096};
                        ::setrlimit(RLIMIT_FSIZE, &limit);
                    }});
    const CliRun run = child.finish();

    QCOMPARE(child.signal(), 0);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors, "dotwright-cli: out.inc: cannot write: File too large\n");
    QCOMPARE(entriesOf(folder.path()), before);
}

void TestCliProcess::signalsLeaveNothingBehind_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// A FIFO without a reader holds the run at the moment its files are prepared
// and not yet in place: a signal then must take the temporary files with it.
void TestCliProcess::signalsLeaveNothingBehind()
{
    QFETCH(int, signal);
    QTemporaryDir folder;
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("pic.png")));
    QVERIFY(writeAll(folder.filePath("out.bmp"), "old bitmap"));
    QCOMPARE(::mkfifo(QFile::encodeName(folder.filePath("fifo")), 0644), 0);
    const QMap<QByteArray, QByteArray> before = entriesOf(folder.path());

    CliChild child({"picture", "-o", "fifo", "--bmp", "out.bmp", "pic.png"},
                   {{}, folder.path(), nullptr});
    // Waits until the bitmap's temporary file is there.
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(folder.path()).size(), before.size() + 1, 20000);
    ::kill(child.pid(), signal);
    const CliRun run = child.finish();

    QCOMPARE(child.signal(), signal);
    QCOMPARE(run.output, QByteArray());
    QCOMPARE(entriesOf(folder.path()), before);
}

void TestCliProcess::namesAreBytes()
{
    QTemporaryDir folder;
    const QByteArray input = "in\xfe.png";
    const QByteArray output = "out\xff.inc";
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("source.png")));
    QCOMPARE(::rename(QFile::encodeName(folder.filePath("source.png")),
                      QFile::encodeName(folder.path()) + '/' + input),
             0);

    CliChild good({"picture", "-o", output, input}, {{}, folder.path(), nullptr});
    const CliRun run = good.finish();
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errors, QByteArray());
    const QMap<QByteArray, QByteArray> entries = entriesOf(folder.path());
    QCOMPARE(entries.keys(), (QList<QByteArray>{input, output}));
    QCOMPARE(entries.value(output),
             coreDataFile(sourceOfPicture(picture("noise.png")), 50, false, false));

    // A name with a newline and invalid bytes still makes a one-line message.
    CliChild bad({"picture", "-o", "x.inc", "miss\ning\xff.png"}, {{}, folder.path(), nullptr});
    QCOMPARE(bad.finish().errors, "dotwright-cli: miss\\ning\\xff.png: file not found\n");
    // The folder's own clean-up reads names as text.
    for (const QByteArray& name : {input, output})
        ::unlink(QFile::encodeName(folder.path()) + '/' + name);
}

void TestCliProcess::closedStandardOutputIsAWriteError()
{
    QTemporaryDir folder;
    QVERIFY(QFile::copy(picture("noise.png"), folder.filePath("pic.png")));
    // The shell's `>&-`; standard error goes to a file, which is where the data
    // file used to land.
    CliChild child({"picture", "pic.png"}, {{}, folder.path(), [] { ::close(STDOUT_FILENO); }});
    const CliRun run = child.finish();

    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors, "dotwright-cli: standard output: cannot write: Bad file descriptor\n");
}

void TestCliProcess::pictureFormatFollowsTheName_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("format"); // "" for a usage error
    QTest::addColumn<QString>("message");

    const QByteArray code = ";Bitmap\r\n" + QByteArray(64, '1');
    QTest::newRow("unpack to .bmp") << QStringList{"unpack", "-o", "u.bmp", "data.inc"}
                                    << QByteArray() << "u.bmp" << QByteArray("bmp") << "";
    QTest::newRow("unpack to .PNG") << QStringList{"unpack", "-o", "u.PNG", "data.inc"}
                                    << QByteArray() << "u.PNG" << QByteArray("png") << "";
    QTest::newRow("unpack to .gif")
        << QStringList{"unpack", "-o", "u.gif", "data.inc"} << QByteArray() << "u.gif"
        << QByteArray() << "unpack: -o must name a .png or .bmp file, not 'u.gif'";
    QTest::newRow("unpack to a name without extension")
        << QStringList{"unpack", "-o", "u", "data.inc"} << QByteArray() << "u" << QByteArray()
        << "unpack: -o must name a .png or .bmp file, not 'u'";
    QTest::newRow("render to .bmp")
        << QStringList{"sprite", "--render", "s.bmp"} << code << "s.bmp" << QByteArray("bmp") << "";
    QTest::newRow("render to .txt")
        << QStringList{"sprite", "--render", "s.txt"} << code << "s.txt" << QByteArray()
        << "sprite: --render must name a .png or .bmp file, not 's.txt'";
    QTest::newRow("render to standard output")
        << QStringList{"sprite", "--render", "-"} << code << "-" << QByteArray("png") << "";
}

void TestCliProcess::pictureFormatFollowsTheName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, output);
    QFETCH(QByteArray, format);
    QFETCH(QString, message);
    QTemporaryDir folder;
    BitPlane plane{};
    plane[0] = 0x80;
    QVERIFY(writeAll(folder.filePath("data.inc"),
                     QByteArray::fromStdString(blackWhiteDataFile(plane, true))));

    const CliRun run = runCliProcess(arguments, {input, folder.path(), {}});

    if (format.isEmpty()) {
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(QString::fromUtf8(run.errors), "dotwright-cli: " + message + "\n");
        QVERIFY(!QFile::exists(folder.filePath(output)));
        return;
    }
    QCOMPARE(run.exitCode, 0);
    const QByteArray bytes = output == "-" ? run.output : readAll(folder.filePath(output));
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    // The top-left pixel is black in both pictures; the next one white.
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(1, 0),
             arguments.first() == "unpack" ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
}

void TestCliProcess::endlessInputsAreRefused_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<bool>("endlessStandardInput");
    QTest::addColumn<QByteArray>("message");

    // /dev/zero only ever gives bytes 0: never a digit, never a line end.
    QTest::newRow("render of /dev/zero")
        << QList<QByteArray>{"sprite", "--render", "s.png", "/dev/zero"} << false
        << QByteArray("/dev/zero: file is too large");
    QTest::newRow("unpack of /dev/zero") << QList<QByteArray>{"unpack", "-o", "u.png", "/dev/zero"}
                                         << false << QByteArray("/dev/zero: file is too large");
    QTest::newRow("unpack of an endless standard input")
        << QList<QByteArray>{"unpack", "-o", "u.png", "-"} << true
        << QByteArray("standard input: file is too large");
    QTest::newRow("render of an endless standard input")
        << QList<QByteArray>{"sprite", "--render", "s.png"} << true
        << QByteArray("standard input: file is too large");
}

void TestCliProcess::endlessInputsAreRefused()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(bool, endlessStandardInput);
    QFETCH(QByteArray, message);
    QTemporaryDir folder;

    void (*zeroInput)() = [] {
        const int zero = ::open("/dev/zero", O_RDONLY);
        ::dup2(zero, STDIN_FILENO);
    };
    CliChild child(arguments, {{}, folder.path(), endlessStandardInput ? zeroInput : nullptr});
    const CliRun run = child.finish();

    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors, "dotwright-cli: " + message + "\n");
    QVERIFY(entriesOf(folder.path()).isEmpty());
}

void TestCliProcess::helpOfEachCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("example");
    QTest::newRow("picture") << "picture" << QByteArray("Example: dotwright-cli picture ");
    QTest::newRow("sprite") << "sprite" << QByteArray("Example: dotwright-cli sprite ");
    QTest::newRow("sprites") << "sprites" << QByteArray("Example: dotwright-cli sprites ");
    QTest::newRow("unpack") << "unpack" << QByteArray("Example: dotwright-cli unpack ");
}

void TestCliProcess::helpOfEachCommand()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, example);
    const CliRun run = runCliProcess({command, "--help"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.output.startsWith("dotwright-cli " + command.toLatin1()));
    QVERIFY(run.output.contains(example));
    QVERIFY(run.output.contains("Exit status: 0 success"));
    // The whole help has every command's example and says which way the level goes.
    const QByteArray all = runCliProcess({"--help"}).output;
    QVERIFY(all.contains(example));
    QVERIFY(all.contains("A higher level makes\n"));
}

QTEST_GUILESS_MAIN(TestCliProcess)
#include "tst_cli_process.moc"
