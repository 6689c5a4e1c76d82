// The two picture converter windows and the zoom viewer, driven as a user would:
// pictures loaded through a fake file dialog, the slider moved with the mouse and
// the keyboard, files written and read back.

#include "cli_runner.h"
#include "converters/converter_choices.h"
#include "converters/converter_tool.h"
#include "converters/picture_converter.h"
#include "core/bit_plane.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "picture_io/picture_file.h"
#include "support/fake_message_box.h"
#include "support/file_size_limit.h"
#include "support/picture_bytes.h"
#include "support/picture_source.h"
#include "ui/colour_rgb.h"
#include "ui/drawing_area.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/window_font.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(ConverterKind)
Q_DECLARE_METATYPE(Placement)
Q_DECLARE_METATYPE(Dithering)

namespace {

// Answers each dialog with the next of `answers`, or cancels when none is left,
// and keeps every request it was shown.
class FakeFileDialog : public FileDialog
{
public:
    QString run(QWidget* owner, const FileDialogRequest& request) override
    {
        requests.append(request);
        owners.append(owner);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QList<FileDialogRequest> requests;
    QList<QWidget*> owners;
    QStringList answers;
};

// An open converter window with its own grids, file dialog and message capture.
class Converter
{
public:
    explicit Converter(ConverterKind kind)
        : kind(kind),
          window(std::make_unique<PictureConverter>(kind, m_layers, dialog, messages, nullptr))
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    template<typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    DrawingArea* source() const { return control<DrawingArea>("picUnchanged"); }
    DrawingArea* converted() const
    {
        return control<DrawingArea>(kind == ConverterKind::BlackWhite ? "picConvert"
                                                                      : "picConverted");
    }
    QSlider* slider() const { return control<QSlider>("sliSetting"); }
    QString label() const { return control<QLabel>("lblValue")->text(); }
    QString sourcePath() const { return control<QLineEdit>("txtSource")->text(); }
    const GreyLayers& layers() const { return m_layers; }

    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void load(const QString& path)
    {
        dialog.answers << path;
        click("cmdLoad");
    }
    void setCompressed(bool compressed)
    {
        auto* box = control<QCheckBox>("chkCompressRLE");
        if (box->isChecked() != compressed)
            QTest::mouseClick(box, Qt::LeftButton, {}, {5, box->height() / 2});
        QCOMPARE(box->isChecked(), compressed);
    }
    void exportData(const QString& path, bool compressed)
    {
        setCompressed(compressed);
        dialog.answers << path;
        click("cmdConvert_Save");
    }
    void saveBitmap(const QString& path)
    {
        dialog.answers << path;
        click("cmdSave");
    }

    // Right-clicks `preview` and chooses the menu entries captioned `path`
    // ("Fit"; "Dithering", "Atkinson") with the mouse, as a user would.
    // Empty when that worked and the menu closed, else what went wrong.
    QString chooseInMenu(DrawingArea* preview, const QStringList& path)
    {
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                          preview->geometry().topLeft() + QPoint(40, 20));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return QStringLiteral("no menu opened");
        if (QApplication::activeModalWidget() != nullptr)
            return QStringLiteral("a modal window opened");
        for (const QString& caption : path) {
            const QList<QAction*> actions = menu->actions();
            const auto found = std::find_if(actions.begin(), actions.end(),
                                            [&](QAction* a) { return a->text() == caption; });
            if (found == actions.end())
                return QStringLiteral("no entry %1").arg(caption);
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*found).center());
            if (QMenu* submenu = (*found)->menu()) {
                if (!QTest::qWaitFor([submenu] { return submenu->isVisible(); }))
                    return QStringLiteral("%1 did not open").arg(caption);
                menu = submenu;
            }
        }
        if (QApplication::activePopupWidget() != nullptr)
            return QStringLiteral("the menu stayed open");
        return {};
    }
    // The menu's entries that are checked, by caption.
    QStringList checkedInMenu() const
    {
        QStringList checked;
        std::function<void(const QMenu*)> collect = [&](const QMenu* menu) {
            for (const QAction* action : menu->actions()) {
                if (action->menu())
                    collect(action->menu());
                else if (action->isChecked())
                    checked << action->text();
            }
        };
        collect(window->findChild<QMenu*>(QStringLiteral("mnuView")));
        return checked;
    }
    void drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = control("txtSource")->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        dropAccepted = enter.isAccepted();
        if (!dropAccepted)
            return;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &dropped);
        QCoreApplication::processEvents();
    }

    // Warnings come over the window, titled as the window is.
    QStringList warnings() const
    {
        for (int i = 0; i < messages.texts.size(); ++i) {
            if (messages.owners.at(i) != window.get() ||
                messages.titles.at(i) != window->windowTitle())
                return {QStringLiteral("<a warning not over the window>")};
        }
        return messages.texts;
    }

    ConverterKind kind;
    GreyLayers m_layers;
    bool dropAccepted = false;
    FakeFileDialog dialog;
    FakeMessageBox messages;
    std::unique_ptr<PictureConverter> window;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString writePicture(const QTemporaryDir& dir, const QString& name, const QImage& image,
                     const char* format = "bmp")
{
    const QString path = dir.filePath(name);
    writeFile(path, encode(image, format));
    return path;
}

// A picture of colour numbers: `colourAt` gives each pixel's.
QImage pictureOf(QSize size, const std::function<Colour(int, int)>& colourAt)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, rgbOf(colourAt(x, y)));
    return image;
}

// 128 × 64 distinct colour numbers rising from black at the top left, so that
// every slider value converts it differently.
QImage rampPicture()
{
    return pictureOf({128, 64}, [](int x, int y) { return Colour((y * 128 + x) * 2048); });
}

// The colour numbers of rampPicture().
SourceView rampSource()
{
    SourceView source;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            source[std::size_t(pixelIndex(x, y))] = Colour((y * 128 + x) * 2048);
    return source;
}

// 16 × 16 blocks of clearly different colours, so that a shifted or scaled
// corner shows; the blocks sit on JPEG's 16-pixel grid.
QRgb blockColour(int x, int y)
{
    const int level = 20 + (x / 16 * 37 + y / 16 * 101) % 200;
    return qRgb(level + 30, level, level - 20);
}

// What an area shows the user, as colour numbers row by row.
SourceView shownBy(const DrawingArea* area)
{
    const QImage image = area->takeImage();
    SourceView shown;
    shown.fill(colours::none);
    for (int y = 0; y < std::min(image.height(), 64); ++y)
        for (int x = 0; x < std::min(image.width(), 128); ++x)
            shown[std::size_t(pixelIndex(x, y))] = colourOf(image.pixel(x, y));
    return shown;
}

// Empty when the two grids agree, else where they first differ.
template<typename Grid> QString firstDifference(const Grid& actual, const Grid& expected)
{
    for (int i = 0; i < screenPixels; ++i) {
        if (actual[std::size_t(i)] != expected[std::size_t(i)]) {
            return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                .arg(i % screenWidth)
                .arg(i / screenWidth)
                .arg(qulonglong(actual[std::size_t(i)]), 6, 16, QLatin1Char('0'))
                .arg(qulonglong(expected[std::size_t(i)]), 6, 16, QLatin1Char('0'));
        }
    }
    return {};
}

// Checks every pixel of the converted preview, and in the greyscale window
// every bit of both grids, against the core's conversion of `source` with
// `tone` (by default the threshold).
QString convertedDifference(const Converter& c, const SourceView& source, int level, Tone tone = {})
{
    if (c.kind == ConverterKind::BlackWhite)
        return firstDifference(shownBy(c.converted()), quantiseBlackWhite(source, level, tone));
    const GreyscaleResult expected = quantiseGreyscale(source, level, tone);
    QString difference = firstDifference(shownBy(c.converted()), expected.preview);
    if (difference.isEmpty())
        difference = firstDifference(c.layers().light, expected.light);
    if (difference.isEmpty())
        difference = firstDifference(c.layers().dark, expected.dark);
    return difference;
}

// The source view of the picture at `path`, placed as `placement`.
SourceView placedSource(const QString& path, Placement placement)
{
    ViewOptions options;
    options.placement = placement;
    const Result<SourceView> view =
        readSourceViewFile(QFile::encodeName(path).toStdString(), options);
    if (!view)
        qFatal("fixture %s does not load: %s", qPrintable(path), view.error().why.c_str());
    return *view;
}

const char* placementCaption(Placement placement)
{
    for (const PlacementEntry& entry : placementEntries)
        if (entry.placement == placement)
            return entry.caption;
    return "";
}

// The menu's path to a dithering.
QStringList ditheringPath(Dithering dithering)
{
    return {QStringLiteral("Dithering"), QString::fromUtf8(ditheringCaption(dithering))};
}

QByteArray crLfLines(const QList<QByteArray>& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

// A plain row of zero bytes, byte `index` (0..15) written as `text` if given.
QByteArray plainRow(int index = -1, const QByteArray& text = {})
{
    QByteArrayList bytes(16, "%00000000");
    if (index >= 0)
        bytes[index] = text;
    return " .db " + bytes.join(',');
}

QList<QByteArray> plainRows(const QByteArray& row0 = plainRow(),
                            const QByteArray& row63 = plainRow())
{
    QList<QByteArray> rows(64, plainRow());
    rows.first() = row0;
    rows.last() = row63;
    return rows;
}

const QByteArray emptyBlock = " .db $91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff\r\n"
                              " .db $91,$00,$04\r\n";
const QByteArray summary15 = ";1024 bytes compressed to 15 -- 1% of original.\r\n";
const QByteArray credits = ";Created with the Dotwright by Quelm\r\n";
const QByteArray ideaCredit = ";Original idea: Squashpic by Tennick\r\n";

// The files of an empty picture, as the description of the data file spells them out.
QByteArray emptyFile(ConverterKind kind, bool compressed)
{
    if (kind == ConverterKind::BlackWhite) {
        if (compressed)
            return credits + ideaCredit + "\r\n" + emptyBlock + "\r\n" + summary15;
        return credits + "\r\n" + crLfLines(plainRows());
    }
    if (compressed)
        return credits + ideaCredit + "\r\nLightLayer:\r\n\r\n" + emptyBlock + "\r\n" + summary15 +
               "\r\nDarkLayer:\r\n\r\n" + emptyBlock + "\r\n" + summary15;
    return credits + "\r\nLightLayer:\r\n" + crLfLines(plainRows()) + "\r\nDarkLayer:\r\n" +
           crLfLines(plainRows());
}

// One row for each window: a column "kind".
void addWindowRows()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::newRow("frmPicBW") << ConverterKind::BlackWhite;
    QTest::newRow("frmPicGS") << ConverterKind::Greyscale;
}

// Makes `folder` the current working directory while it lives.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(const QString& folder) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~WorkingDirectory() { QDir::setCurrent(m_previous); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    QString m_previous;
};

// Runs `whileOpen` on the modal window that `open` brings up, then makes sure it
// closes. Returns whether a modal window came up.
bool withModalWindow(const std::function<void()>& open,
                     const std::function<void(QWidget*)>& whileOpen)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        seen = true;
        whileOpen(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    open();
    QCoreApplication::processEvents();
    return seen;
}

QRect handleRect(QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.upsideDown = slider->invertedAppearance();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                           slider);
}

// How many conversions ran since the spy was made: each ends its row count at 63.
int conversions(const QSignalSpy& progress)
{
    int count = 0;
    for (const QList<QVariant>& signal : progress)
        if (signal.at(0).toInt() == 63)
            ++count;
    return count;
}

} // namespace

class TestConverterWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void windowsMatchTheirDescription_data();
    void windowsMatchTheirDescription();
    void controlsSitAtTheirPlaces_data();
    void controlsSitAtTheirPlaces();
    void reopenedWindowStartsAfreshWhileGridsLiveOn_data();
    void reopenedWindowStartsAfreshWhileGridsLiveOn();
    void dialogsArePreparedAsDescribed_data();
    void dialogsArePreparedAsDescribed();
    void filtersListTheRightFiles_data();
    void filtersListTheRightFiles();
    void dialogReturnsTypedNamesAsTyped();

    void dragMovesTheLabelAndConvertsOnceAtTheEnd();
    void keysAndTrackClicksStepAndConvert_data();
    void keysAndTrackClicksStepAndConvert();
    void convertAdvancesTheProgressRowByRow_data();
    void convertAdvancesTheProgressRowByRow();

    void previewsAndGridsAreTheCoresConversion_data();
    void previewsAndGridsAreTheCoresConversion();
    void laterConversionStartsFromTheSource_data();
    void laterConversionStartsFromTheSource();

    void loadsTheCornerThatTheReaderReads_data();
    void loadsTheCornerThatTheReaderReads();
    void unreadablePictureChangesNothing_data();
    void unreadablePictureChangesNothing();
    void saveBeforeLoadDoesNothing();
    void savedBitmapReadsBackExactly();
    void handTypedPathLetsTheBitmapSave();

    void emptyPictureFiles_data();
    void emptyPictureFiles();
    void blackWhiteFileHoldsThePreviewsBits();
    void greyscaleFileHoldsTheGridsLightFirst();
    void exportsRepeatIdenticallyAndChangeNothing_data();
    void exportsRepeatIdenticallyAndChangeNothing();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void failedWriteKeepsTheOldFileAndSaysWhy_data();
    void failedWriteKeepsTheOldFileAndSaysWhy();
    void savesIntoFifosAndThroughLinks_data();
    void savesIntoFifosAndThroughLinks();

    void viewMenuChoosesAndConvertsAtOnce_data();
    void viewMenuChoosesAndConvertsAtOnce();
    void choicesAreRememberedByEachWindow();
    void placementReadsTheLoadedFileAgain();
    void droppedPictureLoads_data();
    void droppedPictureLoads();

    void filesEqualTheCommandLineTools_data();
    void filesEqualTheCommandLineTools();

    void zoomShowsFiveByFiveBlocksAndClosesOnAClick_data();
    void zoomShowsFiveByFiveBlocksAndClosesOnAClick();

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
};

void TestConverterWindows::initTestCase()
{
    installWindowFont();
    // The toolkit's own dialog, whose listing a test can read.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(m_dir.isValid());
    // The windows remember their menu's choices in the user's settings; these
    // tests keep theirs in a folder of their own, never the user's.
    QVERIFY(m_settings.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
}

// Every test starts from the choices of a first run: the corner, no dithering.
void TestConverterWindows::init()
{
    QSettings(QStringLiteral("Dotwright"), QStringLiteral("Dotwright")).clear();
}

void TestConverterWindows::windowsMatchTheirDescription_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("convertedName");
    QTest::addColumn<QString>("saveCaption");
    QTest::addColumn<QStringList>("toolTips"); // picUnchanged, converted, cmdLoad, cmdConvert_Save
    QTest::addColumn<bool>("sourceEditable");
    QTest::newRow("frmPicBW") << ConverterKind::BlackWhite << "frmPicBW"
                              << "Picture-Converter for Black&White Pictures" << QSize(281, 188)
                              << "picConvert"
                              << "Save picture as B&&W"
                              << QStringList{"Original look", "Converted preview", "load a picture",
                                             "Convert to Black&White and save"}
                              << true;
    QTest::newRow("frmPicGS") << ConverterKind::Greyscale << "frmPicGS"
                              << "Picture-Converter for Greyscale Pictures" << QSize(281, 186)
                              << "picConverted"
                              << "Save picture as grey" << QStringList{"", "", "", ""} << false;
}

void TestConverterWindows::windowsMatchTheirDescription()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, objectName);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QString, convertedName);
    QFETCH(QString, saveCaption);
    QFETCH(QStringList, toolTips);
    QFETCH(bool, sourceEditable);
    Converter c(kind);
    QCOMPARE(c.window->objectName(), objectName);
    QCOMPARE(c.window->windowTitle(), title);
    QCOMPARE(c.window->size(), size);
    QCOMPARE(c.window->minimumSize(), size);
    QCOMPARE(c.window->maximumSize(), size);
    QCOMPARE(c.converted()->objectName(), convertedName);

    QCOMPARE(c.control<QPushButton>("cmdLoad")->text(), QStringLiteral("Load picture"));
    QCOMPARE(c.control<QPushButton>("cmdSave")->text(), saveCaption);
    QCOMPARE(c.control<QPushButton>("cmdConvert_Save")->text(), QStringLiteral("Convert && Save"));
    QCOMPARE(c.control<QCheckBox>("chkCompressRLE")->text(),
             QStringLiteral("RLE Compression with:"));
    QCOMPARE(c.control<QRadioButton>("optRLEBytes")->text(), QStringLiteral("Bytes"));
    QCOMPARE(c.control<QRadioButton>("optRLEBits")->text(), QStringLiteral("Bits"));
    QCOMPARE(c.source()->toolTip(), toolTips.at(0));
    QCOMPARE(c.converted()->toolTip(), toolTips.at(1));
    QCOMPARE(c.control("cmdLoad")->toolTip(), toolTips.at(2));
    QCOMPARE(c.control("cmdConvert_Save")->toolTip(), toolTips.at(3));
    QCOMPARE(c.control("cmdSave")->toolTip(), QString());
    QCOMPARE(c.slider()->toolTip(), QStringLiteral("slide to make it brighter/darker"));

    // The slider and the progress bar.
    QCOMPARE(c.slider()->orientation(), Qt::Horizontal);
    QCOMPARE(c.slider()->minimum(), 0);
    QCOMPARE(c.slider()->maximum(), 100);
    QCOMPARE(c.slider()->singleStep(), 1);
    QCOMPARE(c.slider()->pageStep(), 5);
    auto* progress = c.control<QProgressBar>("prgLoad");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 63);

    // The path box: typed into in frmPicBW only.
    auto* path = c.control<QLineEdit>("txtSource");
    QTest::keyClicks(path, QStringLiteral("typed"));
    QCOMPARE(path->text(), sourceEditable ? QStringLiteral("typed") : QString());

    // "Bits" cannot be chosen, and a click on it leaves "Bytes" selected.
    auto* bits = c.control<QRadioButton>("optRLEBits");
    QVERIFY(!bits->isEnabled());
    QTest::mouseClick(bits, Qt::LeftButton, {}, {5, bits->height() / 2});
    QVERIFY(c.control<QRadioButton>("optRLEBytes")->isChecked());
    QVERIFY(!bits->isChecked());

    // The zoom cursor over both previews: a 32 × 32 picture with its hot spot at
    // the centre of the lens, which is drawn there.
    for (const DrawingArea* preview : {c.source(), c.converted()}) {
        const QCursor cursor = preview->cursor();
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.hotSpot(), QPoint(6, 6));
        const QImage image = cursor.pixmap().toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(qAlpha(image.pixel(6, 6)), 255);
        QCOMPARE(qAlpha(image.pixel(31, 0)), 0);
    }
}

void TestConverterWindows::controlsSitAtTheirPlaces_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("rect");
    const std::pair<const char*, QRect> shared[] = {
        {"picUnchanged", {8, 8, 128, 64}},      {"cmdLoad", {8, 80, 129, 25}},
        {"cmdSave", {144, 80, 129, 25}},        {"txtSource", {8, 112, 129, 19}},
        {"sliSetting", {144, 112, 129, 17}},    {"lblValue", {152, 128, 121, 17}},
        {"cmdConvert_Save", {8, 136, 129, 25}}, {"prgLoad", {144, 152, 129, 9}},
        {"chkCompressRLE", {8, 168, 129, 17}},  {"optRLEBytes", {144, 168, 57, 17}},
        {"optRLEBits", {208, 168, 57, 17}},
    };
    for (const auto& [name, rect] : shared) {
        QTest::addRow("bw %s", name)
            << ConverterKind::BlackWhite << QString::fromLatin1(name) << rect;
        QTest::addRow("gs %s", name)
            << ConverterKind::Greyscale << QString::fromLatin1(name) << rect;
    }
    QTest::newRow("bw picConvert")
        << ConverterKind::BlackWhite << "picConvert" << QRect(144, 8, 128, 64);
    QTest::newRow("gs picConverted")
        << ConverterKind::Greyscale << "picConverted" << QRect(144, 8, 128, 64);
}

void TestConverterWindows::controlsSitAtTheirPlaces()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, control);
    QFETCH(QRect, rect);
    Converter c(kind);
    const QWidget* widget = c.window->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);
    QVERIFY(widget->isVisible());
}

void TestConverterWindows::reopenedWindowStartsAfreshWhileGridsLiveOn_data()
{
    addWindowRows();
}

void TestConverterWindows::reopenedWindowStartsAfreshWhileGridsLiveOn()
{
    QFETCH(ConverterKind, kind);
    const QString picture = writePicture(m_dir, QStringLiteral("reopen.bmp"), rampPicture());
    const QString dataPath = m_dir.filePath(QStringLiteral("reopen.inc"));
    FakeFileDialog dialog;
    ConverterTool tool(kind, &dialog);

    const auto initialState = [](QWidget* window) {
        const auto preview = [&](const char* name) {
            return window->findChild<DrawingArea*>(QString::fromLatin1(name));
        };
        QStringList wrong;
        const auto expect = [&](bool ok, const char* what) {
            if (!ok)
                wrong << QString::fromLatin1(what);
        };
        const QImage blank = [] {
            QImage image(128, 64, QImage::Format_RGB32);
            image.fill(qRgb(255, 255, 255));
            return image;
        }();
        expect(preview("picUnchanged")->takeImage() == blank, "picUnchanged blank");
        const DrawingArea* converted =
            preview("picConvert") ? preview("picConvert") : preview("picConverted");
        expect(converted->takeImage() == blank, "converted preview blank");
        expect(window->findChild<QLineEdit*>("txtSource")->text().isEmpty(), "txtSource empty");
        expect(window->findChild<QSlider*>("sliSetting")->value() == 50, "slider at 50");
        expect(window->findChild<QLabel*>("lblValue")->text() == "50 %", "label 50 %");
        expect(window->findChild<QProgressBar*>("prgLoad")->value() == 0, "progress at 0");
        expect(!window->findChild<QCheckBox*>("chkCompressRLE")->isChecked(), "unchecked");
        expect(window->findChild<QRadioButton*>("optRLEBytes")->isChecked(), "Bytes selected");
        return wrong;
    };

    QStringList firstOpening;
    bool modalOverOwner = false;
    QWidget owner;
    owner.show();
    QVERIFY(withModalWindow(
        [&] { tool.open(&owner); },
        [&](QWidget* window) {
            firstOpening = initialState(window);
            modalOverOwner = window->isModal() && window->parentWidget() == &owner;
            dialog.answers << picture;
            QTest::mouseClick(window->findChild<QPushButton*>("cmdLoad"), Qt::LeftButton);
            QTest::keyClick(window->findChild<QSlider*>("sliSetting"), Qt::Key_PageUp);
            window->findChild<QCheckBox*>("chkCompressRLE")->setChecked(true);
        }));
    QCOMPARE(firstOpening, QStringList());
    QVERIFY(modalOverOwner);
    // What the first opening's conversion (at 55) left in the grids.
    const GreyLayers left = tool.greyLayers();

    QStringList secondOpening;
    QVERIFY(withModalWindow(
        [&] { tool.open(&owner); },
        [&](QWidget* window) {
            secondOpening = initialState(window);
            dialog.answers << dataPath;
            QTest::mouseClick(window->findChild<QPushButton*>("cmdConvert_Save"), Qt::LeftButton);
        }));
    QCOMPARE(secondOpening, QStringList());

    // The black-and-white window writes its fresh blank preview; the greyscale
    // window writes the grids of the earlier opening.
    if (kind == ConverterKind::BlackWhite) {
        QCOMPARE(readFile(dataPath), emptyFile(kind, false));
    } else {
        int lightPixels = 0;
        for (int i = 0; i < 128 * 64; ++i)
            lightPixels += left.light[std::size_t(i)];
        QVERIFY(lightPixels > 0);
        QVERIFY(readFile(dataPath) != emptyFile(kind, false));
        const std::string expected =
            greyscaleDataFile(bitPlaneFromGrid(left.light), bitPlaneFromGrid(left.dark), false);
        QCOMPARE(readFile(dataPath), QByteArray::fromStdString(expected));
    }
}

void TestConverterWindows::dialogsArePreparedAsDescribed_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    const QString pictures = "Pictures (*.bmp;*.gif;*.jpg;*.ico)|*.bmp;*.gif;*.jpg;*.ico";
    const QString bitmap = "Bitmap (*.bmp)|*.bmp";
    QTest::newRow("bw load") << ConverterKind::BlackWhite << "cmdLoad" << false
                             << "Select picture to open" << pictures;
    QTest::newRow("gs load") << ConverterKind::Greyscale << "cmdLoad" << false
                             << "Select picture to open" << pictures;
    QTest::newRow("bw bitmap") << ConverterKind::BlackWhite << "cmdSave" << true
                               << "Save the picture as Bitmap" << bitmap;
    QTest::newRow("gs bitmap") << ConverterKind::Greyscale << "cmdSave" << true
                               << "Save the picture as Bitmap" << bitmap;
    QTest::newRow("bw data") << ConverterKind::BlackWhite << "cmdConvert_Save" << true
                             << "Save the picture"
                             << "Binary data (*.inc;*.asm;*.txt)|*.inc;*.asm;*.txt";
    QTest::newRow("gs data") << ConverterKind::Greyscale << "cmdConvert_Save" << true
                             << "Save the picture"
                             << "Binary Data (*.inc;*.asm;*.txt)|*.inc;*.asm;*.txt";
}

void TestConverterWindows::dialogsArePreparedAsDescribed()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, button);
    QFETCH(bool, save);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QTemporaryDir folder;
    const WorkingDirectory cwd(folder.path());
    Converter c(kind);
    c.load(writePicture(folder, QStringLiteral("p.bmp"), rampPicture()));
    c.dialog.requests.clear();
    c.dialog.owners.clear();
    for (int time = 0; time < 2; ++time) // prepared the same way each time
        c.click(button.toLatin1().constData());
    QCOMPARE(c.dialog.requests.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const FileDialogRequest& request = c.dialog.requests.at(i);
        QVERIFY(request.mode == (save ? FileDialogMode::Save : FileDialogMode::Open));
        QCOMPARE(request.title, title);
        QCOMPARE(request.filter, filter);
        QCOMPARE(QFileInfo(request.initialFolder).canonicalFilePath(),
                 QFileInfo(folder.path()).canonicalFilePath());
        QCOMPARE(request.fileName, QString());
        QCOMPARE(c.dialog.owners.at(i), c.window.get());
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"p.bmp"});
}

void TestConverterWindows::filtersListTheRightFiles_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("shownFilter");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("pictures") << ConverterKind::BlackWhite << "cmdLoad"
                              << "Pictures (*.bmp;*.gif;*.jpg;*.ico)"
                              << QStringList{"a.bmp", "b.gif", "c.jpg", "d.ico", "SHOUT.JPG"};
    QTest::newRow("bitmap") << ConverterKind::Greyscale << "cmdSave"
                            << "Bitmap (*.bmp)" << QStringList{"a.bmp"};
    QTest::newRow("bw data") << ConverterKind::BlackWhite << "cmdConvert_Save"
                             << "Binary data (*.inc;*.asm;*.txt)"
                             << QStringList{"g.inc", "h.asm", "i.txt"};
    QTest::newRow("gs data") << ConverterKind::Greyscale << "cmdConvert_Save"
                             << "Binary Data (*.inc;*.asm;*.txt)"
                             << QStringList{"g.inc", "h.asm", "i.txt"};
}

void TestConverterWindows::filtersListTheRightFiles()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, button);
    QFETCH(QString, shownFilter);
    QFETCH(QStringList, listed);
    QTemporaryDir folder;
    for (const char* name : {"a.bmp", "b.gif", "c.jpg", "d.ico", "SHOUT.JPG", "e.png", "f.jpeg",
                             "g.inc", "h.asm", "i.txt", "j.bmp.bak", "k", "bmp"})
        writeFile(folder.filePath(QString::fromLatin1(name)), "x");
    QDir(folder.path()).mkdir(QStringLiteral("sub.bmp"));
    const WorkingDirectory cwd(folder.path());

    // The request exactly as the window makes it, shown by the real dialog.
    Converter c(kind);
    c.control<QLineEdit>("txtSource")->setText(QStringLiteral("so that Save asks"));
    c.click(button.toLatin1().constData());
    QCOMPARE(c.dialog.requests.size(), 1);

    QStringList shown;
    QString shownName = QStringLiteral("<none>");
    QString shownFolder;
    SystemFileDialog system;
    QString chosen = QStringLiteral("<not returned>");
    const bool opened = withModalWindow(
        [&] { chosen = system.run(c.window.get(), c.dialog.requests.first()); },
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            shownFolder = dialog->directory().canonicalPath();
            shownName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            shown = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))
                        ->currentText()
                        .split(u'\n');
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            const auto names = [&] {
                QStringList files;
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row) {
                    const QModelIndex index = view->model()->index(row, 0, root);
                    const QString path = index.data(QFileSystemModel::FilePathRole).toString();
                    if (QFileInfo(path).isFile() &&
                        (view->model()->flags(index) & Qt::ItemIsEnabled))
                        files << index.data().toString();
                }
                files.sort(Qt::CaseInsensitive);
                return files;
            };
            // The folder is read in the background.
            [[maybe_unused]] const bool listedAll =
                QTest::qWaitFor([&] { return names().size() >= listed.size(); }, 5000);
            QTest::qWait(100);
            shown << names();
            dialog->reject();
        });
    QVERIFY(opened);
    QCOMPARE(chosen, QString()); // cancelled
    QCOMPARE(shownFolder, QFileInfo(folder.path()).canonicalFilePath());
    QCOMPARE(shownName, QString());
    QCOMPARE(shown.takeFirst(), shownFilter);
    QStringList expected = listed;
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(shown, expected);
}

void TestConverterWindows::dialogReturnsTypedNamesAsTyped()
{
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("photo.png")), "x");
    const WorkingDirectory cwd(folder.path());
    const struct
    {
        FileDialogRequest request;
        QString typed;
    } cases[] = {
        // A name outside the filter is taken as typed (and the window loads it
        // if the toolkit can decode it).
        {fileDialogRequest(FileDialogMode::Open, "Select picture to open",
                           "Pictures (*.bmp;*.gif;*.jpg;*.ico)|*.bmp;*.gif;*.jpg;*.ico"),
         "photo.png"},
        // No extension is added to a name typed without one.
        {fileDialogRequest(FileDialogMode::Save, "Save the picture",
                           "Binary data (*.inc;*.asm;*.txt)|*.inc;*.asm;*.txt"),
         "sprites"},
    };
    for (const auto& [request, typed] : cases) {
        SystemFileDialog system;
        QString chosen;
        QVERIFY(withModalWindow([&] { chosen = system.run(nullptr, request); },
                                [&](QWidget* modal) {
                                    auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
                                    QTest::keyClicks(edit, typed);
                                    QTest::keyClick(edit, Qt::Key_Return);
                                }));
        QCOMPARE(chosen, QDir(folder.path()).absoluteFilePath(typed));
    }
}

void TestConverterWindows::dragMovesTheLabelAndConvertsOnceAtTheEnd()
{
    Converter c(ConverterKind::BlackWhite);
    c.load(writePicture(m_dir, QStringLiteral("drag.bmp"), rampPicture()));
    const QImage atFifty = c.converted()->takeImage();
    QSignalSpy progress(c.control<QProgressBar>("prgLoad"), &QProgressBar::valueChanged);

    QSlider* slider = c.slider();
    const QPoint grip = handleRect(slider).center();
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    QStringList labels;
    QList<int> positions;
    for (int dx : {6, 14, 30, 200, 20}) {
        QTest::mouseMove(slider, grip + QPoint(dx, 0));
        positions << slider->sliderPosition();
        labels << c.label();
        QCOMPARE(c.converted()->takeImage(), atFifty);
    }
    QCOMPARE(conversions(progress), 0);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(20, 0));

    QStringList expectedLabels;
    for (int position : positions)
        expectedLabels << QString::number(position) + QStringLiteral(" %");
    QCOMPARE(labels, expectedLabels);
    QCOMPARE(positions.at(3), 100); // dragged beyond the end
    QVERIFY(positions.at(0) > 50 && positions.at(1) > positions.at(0));
    const int settled = positions.last();
    QVERIFY(settled > 50 && settled < 100);
    QCOMPARE(slider->value(), settled);
    QCOMPARE(c.label(), QString::number(settled) + QStringLiteral(" %"));
    QCOMPARE(conversions(progress), 1);
    const QString difference = convertedDifference(c, rampSource(), settled);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestConverterWindows::keysAndTrackClicksStepAndConvert_data()
{
    QTest::addColumn<int>("key"); // 0: a click in the track right of the handle
    QTest::addColumn<int>("value");
    QTest::newRow("Right") << int(Qt::Key_Right) << 51;
    QTest::newRow("Left") << int(Qt::Key_Left) << 49;
    QTest::newRow("Up") << int(Qt::Key_Up) << 51;
    QTest::newRow("Down") << int(Qt::Key_Down) << 49;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << 55;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << 45;
    QTest::newRow("Home") << int(Qt::Key_Home) << 0;
    QTest::newRow("End") << int(Qt::Key_End) << 100;
    QTest::newRow("track click") << 0 << 55;
}

void TestConverterWindows::keysAndTrackClicksStepAndConvert()
{
    QFETCH(int, key);
    QFETCH(int, value);
    Converter c(ConverterKind::BlackWhite);
    c.load(writePicture(m_dir, QStringLiteral("keys.bmp"), rampPicture()));
    QSignalSpy progress(c.control<QProgressBar>("prgLoad"), &QProgressBar::valueChanged);
    QSlider* slider = c.slider();
    slider->setFocus();
    if (key != 0) {
        QTest::keyClick(slider, Qt::Key(key));
    } else {
        const QRect handle = handleRect(slider);
        QTest::mouseClick(slider, Qt::LeftButton, {}, {handle.right() + 20, handle.center().y()});
    }
    QCOMPARE(slider->value(), value);
    QCOMPARE(c.label(), QString::number(value) + QStringLiteral(" %"));
    QCOMPARE(conversions(progress), 1);
    const QString difference = convertedDifference(c, rampSource(), value);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestConverterWindows::convertAdvancesTheProgressRowByRow_data()
{
    addWindowRows();
}

void TestConverterWindows::convertAdvancesTheProgressRowByRow()
{
    QFETCH(ConverterKind, kind);
    Converter c(kind);
    auto* bar = c.control<QProgressBar>("prgLoad");
    QSignalSpy progress(bar, &QProgressBar::valueChanged);
    QList<int> rows;
    for (int y = 1; y < 64; ++y)
        rows << y;
    rows << 0;
    // Before any load the slider converts the blank source view.
    QTest::keyClick(c.slider(), Qt::Key_Right);
    QList<int> seen;
    for (const QList<QVariant>& signal : progress)
        seen << signal.at(0).toInt();
    QCOMPARE(seen, rows);
    QCOMPARE(bar->value(), 0);
    // Both are repainted once at the end.
    QVERIFY(bar->updatesEnabled());
    QVERIFY(c.converted()->updatesEnabled());
}

void TestConverterWindows::previewsAndGridsAreTheCoresConversion_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<int>("level");
    for (const ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale})
        for (const int level : {0, 1, 37, 50, 99, 100})
            QTest::addRow("%s %d", kind == ConverterKind::BlackWhite ? "bw" : "gs", level)
                << kind << level;
}

// The windows show what the core makes of what they load; the core's tests
// own the rules. The picture holds the colours on either side of a threshold
// at one of the slider values, a transparent pixel, and leaves the white
// background beside and below it, which the greyscale window darkens at 100.
void TestConverterWindows::previewsAndGridsAreTheCoresConversion()
{
    QFETCH(ConverterKind, kind);
    QFETCH(int, level);
    // On either side of each threshold at each of the values above: the
    // black-and-white one, then the greyscale low, middle and high; then the
    // greys, the primaries and the mask orange, whose numbers put blue above red.
    // clang-format off
    const Colour boundaries[] = {
        0x000000, 0x000001, 0x028F5C, 0x028F5D, 0x5EB851, 0x5EB852, 0x7FFFFE, 0x7FFFFF,
        0x800000, 0xFD70A1, 0xFD70A2, 0xFFFFFD, 0xFFFFFE, 0xFFFFFF,
        0x008234, 0x008235, 0x01869F, 0x0186A0, 0xAB2CDF, 0xAB2CE0, // 0
        0x015CA8, 0x015CA9, 0x0415FC, 0x0415FD, 0xAC0753, 0xAC0754, // 1
        0x2014FA, 0x2014FB, 0x603EF1, 0x603EF2, 0xCABFA5, 0xCABFA6, // 37
        0x2B2CDF, 0x2B2CE0, 0x81869F, 0x8186A0, 0xD5D789, 0xD5D78A, // 50
        0x54FD15, 0x54FD16, 0xFEF742, 0xFEF743, 0xFFA7C0, 0xFFA7C1, // 99
        0x55D789, 0x55D78A,                                         // 100
        0x202020, 0x404040, 0x7F7F7F, 0x808080, 0xC0C0C0,
        0x00FFFF, 0x00FF00, 0x0000FF, 0xFF0000, 0x0080FF,
    };
    // clang-format on
    constexpr int count = int(std::size(boundaries));
    QImage picture(count, 2, QImage::Format_ARGB32);
    SourceView source;
    source.fill(colours::white);
    for (int x = 0; x < count; ++x) {
        picture.setPixel(x, 0, rgbOf(boundaries[x]));
        source[std::size_t(x)] = boundaries[x];
        picture.setPixel(x, 1, rgbOf(boundaries[count - 1 - x]));
        source[std::size_t(pixelIndex(x, 1))] = boundaries[count - 1 - x];
    }
    picture.setPixel(3, 1, qRgba(0, 0, 0, 0));
    source[std::size_t(pixelIndex(3, 1))] = colours::white;
    const QString path = writePicture(m_dir, QStringLiteral("boundaries.png"), picture, "png");

    Converter c(kind);
    c.slider()->setValue(level);
    c.load(path);
    QCOMPARE(c.warnings(), QStringList());
    QString difference = firstDifference(shownBy(c.source()), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    difference = convertedDifference(c, source, level);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestConverterWindows::laterConversionStartsFromTheSource_data()
{
    addWindowRows();
}

void TestConverterWindows::laterConversionStartsFromTheSource()
{
    QFETCH(ConverterKind, kind);
    const QString picture = writePicture(m_dir, QStringLiteral("sixty.bmp"), rampPicture());
    Converter twice(kind);
    twice.load(picture);
    twice.slider()->setValue(60);
    const QImage atSixty = twice.converted()->takeImage();
    twice.slider()->setValue(40);

    Converter once(kind);
    once.load(picture);
    once.slider()->setValue(40);
    QVERIFY(once.converted()->takeImage() != atSixty);
    QCOMPARE(twice.converted()->takeImage(), once.converted()->takeImage());
    QVERIFY(twice.layers().light == once.layers().light);
    QVERIFY(twice.layers().dark == once.layers().dark);
}

void TestConverterWindows::loadsTheCornerThatTheReaderReads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");

    // Larger than the corner, so that it must be cut; the formats and their
    // transparency are the reader's tests.
    QImage blocks(300, 200, QImage::Format_ARGB32);
    for (int y = 0; y < blocks.height(); ++y)
        for (int x = 0; x < blocks.width(); ++x)
            blocks.setPixel(x, y, (x + y) % 7 == 0 ? qRgba(0, 0, 0, 0) : blockColour(x, y));
    QTest::newRow("jpg 300 x 200") << "big.jpg" << encode(blocks, "jpg", 100);
    // A name outside the filter, typed by the user, loads too.
    QTest::newRow("png typed, partly transparent") << "typed.png" << encode(blocks, "png");
}

void TestConverterWindows::loadsTheCornerThatTheReaderReads()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    const QString path = m_dir.filePath(name);
    writeFile(path, file);
    const SourceView source = sourceOfPicture(path);
    for (ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        Converter c(kind);
        c.load(path);
        QCOMPARE(c.warnings(), QStringList());
        QCOMPARE(c.sourcePath(), path);
        QString difference = firstDifference(shownBy(c.source()), source);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        difference = convertedDifference(c, source, 50);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
}

void TestConverterWindows::unreadablePictureChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file"); // "<none>": no such file
    // One file that cannot be opened and one the reader refuses; the reasons
    // themselves are the reader's tests.
    QTest::newRow("gone") << "gone.jpg" << QByteArray("<none>");
    QTest::newRow("damaged bitmap") << "damaged.bmp" << QByteArray("BM\x36\x10\0\0\0\0", 8);
}

void TestConverterWindows::unreadablePictureChangesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    const QString bad = m_dir.filePath(name);
    QFile::remove(bad);
    if (file != "<none>")
        writeFile(bad, file);
    const QString good = writePicture(m_dir, QStringLiteral("good.bmp"), rampPicture());
    const Result<PictureCorner> refused =
        readPictureFile(QFile::encodeName(bad).toStdString(), 128, 64);
    QVERIFY(!refused);
    const QStringList message{
        QStringLiteral("Cannot load %1: %2").arg(bad, QString::fromStdString(refused.error().why))};
    for (ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        Converter c(kind);
        // Also as the very first load, when there is nothing to keep.
        c.load(bad);
        QCOMPARE(c.warnings(), message);
        QCOMPARE(c.sourcePath(), QString());

        c.load(good);
        c.slider()->setValue(30);
        const QImage source = c.source()->takeImage();
        const QImage converted = c.converted()->takeImage();
        const GreyLayers layers = c.layers();
        c.messages.clear();
        c.load(bad);
        QCOMPARE(c.warnings(), message);
        QCOMPARE(c.sourcePath(), good);
        QCOMPARE(c.source()->takeImage(), source);
        QCOMPARE(c.converted()->takeImage(), converted);
        QVERIFY(c.layers().light == layers.light);
        QVERIFY(c.layers().dark == layers.dark);
        QCOMPARE(c.slider()->value(), 30);
    }
}

void TestConverterWindows::saveBeforeLoadDoesNothing()
{
    QTemporaryDir folder;
    for (ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        Converter c(kind);
        c.dialog.answers << folder.filePath(QStringLiteral("never.bmp"));
        c.click("cmdSave");
        QCOMPARE(c.dialog.requests.size(), 0);
        // Not even after the slider converted the blank picture.
        QTest::keyClick(c.slider(), Qt::Key_Left);
        c.click("cmdSave");
        QCOMPARE(c.dialog.requests.size(), 0);
        QCOMPARE(c.warnings(), QStringList());
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

void TestConverterWindows::savedBitmapReadsBackExactly()
{
    // A band of each grey, and black and white in the black-and-white window.
    const QImage picture = pictureOf({128, 64}, [](int x, int) {
        const Colour ramp[] = {colours::white, 0xC0C0C0, 0x808080, 0x101010};
        return ramp[x / 32];
    });
    const QString path = writePicture(m_dir, QStringLiteral("bands.bmp"), picture);
    for (ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        Converter c(kind);
        c.load(path);
        // A name typed without an extension is used as typed.
        const QString saved = m_dir.filePath(QStringLiteral("saved picture"));
        QFile::remove(saved);
        c.saveBitmap(saved);
        QCOMPARE(c.warnings(), QStringList());
        QImageReader reader(saved);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(back, c.converted()->takeImage());
        const QList<QRgb> expected = kind == ConverterKind::Greyscale
                                         ? QList<QRgb>{qRgb(255, 255, 255), qRgb(192, 192, 192),
                                                       qRgb(128, 128, 128), qRgb(0, 0, 0)}
                                         : QList<QRgb>{qRgb(255, 255, 255), qRgb(255, 255, 255),
                                                       qRgb(255, 255, 255), qRgb(0, 0, 0)};
        for (int band = 0; band < 4; ++band)
            QCOMPARE(back.pixel(band * 32 + 5, 30), expected.at(band));
    }
}

void TestConverterWindows::handTypedPathLetsTheBitmapSave()
{
    Converter c(ConverterKind::BlackWhite);
    QTest::keyClicks(c.control("txtSource"), QStringLiteral("not loaded.bmp"));
    const QString saved = m_dir.filePath(QStringLiteral("typed path.bmp"));
    c.saveBitmap(saved);
    QCOMPARE(c.dialog.requests.size(), 1);
    QCOMPARE(c.source()->readPoint({0, 0}), colours::white); // nothing was loaded
    QImage blank(128, 64, QImage::Format_RGB32);
    blank.fill(qRgb(255, 255, 255));
    QCOMPARE(QImage(saved).convertToFormat(QImage::Format_RGB32), blank);
}

void TestConverterWindows::emptyPictureFiles_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("bw plain") << ConverterKind::BlackWhite << false;
    QTest::newRow("bw compressed") << ConverterKind::BlackWhite << true;
    QTest::newRow("gs plain before any conversion") << ConverterKind::Greyscale << false;
    QTest::newRow("gs compressed before any conversion") << ConverterKind::Greyscale << true;
}

void TestConverterWindows::emptyPictureFiles()
{
    QFETCH(ConverterKind, kind);
    QFETCH(bool, compressed);
    Converter c(kind);
    const QString path = m_dir.filePath(QStringLiteral("empty.inc"));
    c.exportData(path, compressed);
    QCOMPARE(c.warnings(), QStringList());
    QCOMPARE(readFile(path), emptyFile(kind, compressed));

    // An all-white picture converts to the same file.
    c.load(writePicture(m_dir, QStringLiteral("white.bmp"),
                        pictureOf({128, 64}, [](int, int) { return colours::white; })));
    c.exportData(path, compressed);
    QCOMPARE(readFile(path), emptyFile(kind, compressed));
}

void TestConverterWindows::blackWhiteFileHoldsThePreviewsBits()
{
    // Black only at (0, 0) and (127, 63): the plane's first byte is 128, its last 1.
    Converter c(ConverterKind::BlackWhite);
    c.load(writePicture(
        m_dir, QStringLiteral("corners.bmp"), pictureOf({128, 64}, [](int x, int y) {
            return (x == 0 && y == 0) || (x == 127 && y == 63) ? colours::black : colours::white;
        })));
    const QString path = m_dir.filePath(QStringLiteral("corners.inc"));
    c.exportData(path, false);
    QCOMPARE(readFile(path),
             credits + "\r\n" +
                 crLfLines(plainRows(plainRow(0, "%10000000"), plainRow(15, "%00000001"))));
    c.exportData(path, true);
    QCOMPARE(readFile(path), credits + ideaCredit + "\r\n" +
                                 " .db $80,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00\r\n"
                                 " .db $ff,$00,$00,$01\r\n"
                                 "\r\n"
                                 ";1024 bytes compressed to 16 -- 1% of original.\r\n");

    // The file holds what the preview shows: a pixel drawn black into it counts,
    // and one of any other colour does not.
    c.converted()->setPoint({8, 0}, colours::black);
    c.converted()->setPoint({0, 0}, colours::darkGrey);
    c.exportData(path, false);
    QCOMPARE(readFile(path),
             credits + "\r\n" +
                 crLfLines(plainRows(plainRow(1, "%10000000"), plainRow(15, "%00000001"))));
}

void TestConverterWindows::greyscaleFileHoldsTheGridsLightFirst()
{
    // Light grey, dark grey and black at the start of the top row, white elsewhere.
    Converter c(ConverterKind::Greyscale);
    c.load(writePicture(m_dir, QStringLiteral("three.bmp"), pictureOf({128, 64}, [](int x, int y) {
                            if (y == 0 && x < 3)
                                return Colour(x == 0 ? 0xC0C0C0 : x == 1 ? 0x808080 : 0);
                            return colours::white;
                        })));
    const QString path = m_dir.filePath(QStringLiteral("three.inc"));
    c.exportData(path, false);
    QCOMPARE(readFile(path),
             credits + "\r\nLightLayer:\r\n" + crLfLines(plainRows(plainRow(0, "%10100000"))) +
                 "\r\nDarkLayer:\r\n" + crLfLines(plainRows(plainRow(0, "%01100000"))));
    c.exportData(path, true);
    const QByteArray summary16 = ";1024 bytes compressed to 16 -- 1% of original.\r\n";
    QCOMPARE(readFile(path), credits + ideaCredit + "\r\nLightLayer:\r\n\r\n" +
                                 " .db $a0,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00\r\n"
                                 " .db $ff,$91,$00,$03\r\n\r\n" +
                                 summary16 + "\r\nDarkLayer:\r\n\r\n" +
                                 " .db $60,$91,$00,$ff,$91,$00,$ff,$91,$00,$ff,$91,$00\r\n"
                                 " .db $ff,$91,$00,$03\r\n\r\n" +
                                 summary16);
}

void TestConverterWindows::exportsRepeatIdenticallyAndChangeNothing_data()
{
    addWindowRows();
}

void TestConverterWindows::exportsRepeatIdenticallyAndChangeNothing()
{
    QFETCH(ConverterKind, kind);
    Converter c(kind);
    c.load(writePicture(m_dir, QStringLiteral("repeat.bmp"), rampPicture()));
    const QImage converted = c.converted()->takeImage();
    QSignalSpy progress(c.control<QProgressBar>("prgLoad"), &QProgressBar::valueChanged);
    const QString first = m_dir.filePath(QStringLiteral("first.inc"));
    const QString plain = m_dir.filePath(QStringLiteral("plain.inc"));
    const QString second = m_dir.filePath(QStringLiteral("second.inc"));
    c.exportData(first, true);
    c.exportData(plain, false);
    c.exportData(second, true);
    QCOMPARE(readFile(second), readFile(first));
    QVERIFY(readFile(first).startsWith(credits + ideaCredit));
    QVERIFY(readFile(plain).size() > 64 * 150);
    QCOMPARE(progress.size(), 0);
    QCOMPARE(c.converted()->takeImage(), converted);
    QCOMPARE(c.warnings(), QStringList());
}

void TestConverterWindows::cancelWritesNothing_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("button");
    QTest::newRow("bw bitmap") << ConverterKind::BlackWhite << "cmdSave";
    QTest::newRow("bw data") << ConverterKind::BlackWhite << "cmdConvert_Save";
    QTest::newRow("gs bitmap") << ConverterKind::Greyscale << "cmdSave";
    QTest::newRow("gs data") << ConverterKind::Greyscale << "cmdConvert_Save";
    QTest::newRow("bw load") << ConverterKind::BlackWhite << "cmdLoad";
}

void TestConverterWindows::cancelWritesNothing()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, button);
    QTemporaryDir folder;
    const WorkingDirectory cwd(folder.path());
    const QString picture = writePicture(folder, QStringLiteral("p.bmp"), rampPicture());
    Converter c(kind);
    c.load(picture);
    const QImage converted = c.converted()->takeImage();
    c.click(button.toLatin1().constData()); // the fake cancels
    QCOMPARE(c.dialog.requests.size(), 2);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"p.bmp"});
    QCOMPARE(c.sourcePath(), picture);
    QCOMPARE(c.converted()->takeImage(), converted);
    QCOMPARE(c.warnings(), QStringList());
}

void TestConverterWindows::failedWriteKeepsTheOldFileAndSaysWhy_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("missingFolder"); // else the disk fills up
    for (ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        const char* prefix = kind == ConverterKind::BlackWhite ? "bw" : "gs";
        for (const char* button : {"cmdSave", "cmdConvert_Save"}) {
            QTest::addRow("%s %s missing folder", prefix, button)
                << kind << QString::fromLatin1(button) << true;
            QTest::addRow("%s %s full disk", prefix, button)
                << kind << QString::fromLatin1(button) << false;
        }
    }
}

void TestConverterWindows::failedWriteKeepsTheOldFileAndSaysWhy()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, button);
    QFETCH(bool, missingFolder);
    QTemporaryDir folder;
    Converter c(kind);
    c.load(writePicture(folder, QStringLiteral("p.bmp"), rampPicture()));
    const QString target = missingFolder ? folder.filePath(QStringLiteral("no such folder/out.inc"))
                                         : folder.filePath(QStringLiteral("out.inc"));
    const QByteArray old = "an older file of that name";
    if (!missingFolder)
        writeFile(target, old);
    c.dialog.answers << target;
    {
        // The plain data file takes 10 kB and the bitmap 24 kB.
        std::optional<FileSizeLimit> full;
        if (!missingFolder)
            full.emplace(1000);
        c.click(button.toLatin1().constData());
    }
    QStringList expected{"p.bmp"};
    if (!missingFolder)
        expected.prepend("out.inc");
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             expected);

    if (!missingFolder)
        QCOMPARE(readFile(target), old);
    QCOMPARE(c.warnings().size(), 1);
    QVERIFY2(c.warnings().first().contains(target), qPrintable(c.warnings().first()));
    QVERIFY2(c.warnings().first().contains(missingFolder ? "No such file or directory"
                                                         : "File too large"),
             qPrintable(c.warnings().first()));
}

void TestConverterWindows::savesIntoFifosAndThroughLinks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("target"); // "fifo", "link", "socket", "device"

    for (const char* button : {"cmdConvert_Save", "cmdSave"}) {
        for (const char* target : {"fifo", "link", "socket", "device"})
            QTest::addRow("%s into a %s", button, target) << button << target;
    }
}

// The windows save through the same writer as dotwright-cli: what the save
// dialog's "replace?" allowed never replaces a FIFO, a device or a socket,
// and a link keeps pointing where it did.
void TestConverterWindows::savesIntoFifosAndThroughLinks()
{
    QFETCH(QString, button);
    QFETCH(QString, target);
    QTemporaryDir folder;
    const QString path = folder.filePath(target);
    const QByteArray name = QFile::encodeName(path);
    if (target == "fifo") {
        QCOMPARE(::mkfifo(name, 0644), 0);
    } else if (target == "link") {
        QCOMPARE(::symlink("new.out", name), 0);
    } else if (target == "device") {
        if (::mknod(name, S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("making a device needs root");
    } else {
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::copy(name.begin(), name.end(), address.sun_path);
        QCOMPARE(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(descriptor);
    }
    struct stat before
    {
    };
    QCOMPARE(::lstat(name, &before), 0);

    Converter c(ConverterKind::BlackWhite);
    c.load(writePicture(folder, QStringLiteral("p.bmp"), rampPicture()));
    const QString reference = folder.filePath("reference.out");
    c.dialog.answers << reference;
    c.click(button.toLatin1().constData());
    // The reading end is open first and the file fits the pipe's buffer, so
    // the save never waits; a FIFO replaced by a regular file gives nothing.
    const int fifo = target == "fifo" ? ::open(name, O_RDONLY | O_NONBLOCK) : -1;
    c.dialog.answers << path;
    c.click(button.toLatin1().constData());
    QByteArray received;
    char buffer[65536];
    for (ssize_t got; fifo >= 0 && (got = ::read(fifo, buffer, sizeof buffer)) > 0;)
        received.append(buffer, got);
    if (fifo >= 0)
        ::close(fifo);

    struct stat after
    {
    };
    QCOMPARE(::lstat(name, &after), 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    if (target == "socket") {
        QCOMPARE(c.warnings(), QStringList{path + ": cannot write: is a socket, not a file"});
        return;
    }
    QCOMPARE(c.warnings(), QStringList());
    if (target == "fifo")
        QCOMPARE(received, readFile(reference));
    if (target == "link")
        QCOMPARE(readFile(folder.filePath("new.out")), readFile(reference));
}

void TestConverterWindows::viewMenuChoosesAndConvertsAtOnce_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<bool>("onSource"); // the right-click on picUnchanged, else the converted one
    for (const ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale})
        for (const bool onSource : {true, false})
            QTest::addRow("%s, %s", kind == ConverterKind::BlackWhite ? "bw" : "gs",
                          onSource ? "source preview" : "converted preview")
                << kind << onSource;
}

// Each choice converts at once, once, and checks its entry alone in its group;
// the source preview shows the picture placed as chosen.
void TestConverterWindows::viewMenuChoosesAndConvertsAtOnce()
{
    QFETCH(ConverterKind, kind);
    QFETCH(bool, onSource);
    // Wider than the screen, of many colours: each placement shows it differently.
    const QString path = writePicture(
        m_dir, QStringLiteral("menu.bmp"),
        pictureOf({300, 100}, [](int x, int y) { return Colour((y * 300 + x) * 523); }));
    Converter c(kind);
    DrawingArea* preview = onSource ? c.source() : c.converted();
    QCOMPARE(c.checkedInMenu(), (QStringList{"Corner", "None"}));
    c.load(path);
    c.slider()->setValue(40);

    struct Step
    {
        QStringList entries;
        Placement placement;
        Tone tone;
    };
    const Step steps[] = {
        {{"Fit"}, Placement::Fit, {}},
        {ditheringPath(Dithering::FloydSteinberg), Placement::Fit, {Dithering::FloydSteinberg}},
        {{"Invert"}, Placement::Fit, {Dithering::FloydSteinberg, true}},
        {{"Fill"}, Placement::Fill, {Dithering::FloydSteinberg, true}},
        {ditheringPath(Dithering::Ordered), Placement::Fill, {Dithering::Ordered, true}},
        {ditheringPath(Dithering::Atkinson), Placement::Fill, {Dithering::Atkinson, true}},
        {{"Invert"}, Placement::Fill, {Dithering::Atkinson}},
        {{"Corner"}, Placement::Corner, {Dithering::Atkinson}},
        {ditheringPath(Dithering::None), Placement::Corner, {}},
    };
    for (const Step& step : steps) {
        const QString name = step.entries.join(QStringLiteral(" > "));
        QSignalSpy progress(c.control<QProgressBar>("prgLoad"), &QProgressBar::valueChanged);
        const QString chosen = c.chooseInMenu(preview, step.entries);
        QVERIFY2(chosen.isEmpty(), qPrintable(name + QStringLiteral(": ") + chosen));
        QCOMPARE(conversions(progress), 1);
        QStringList expected{placementCaption(step.placement),
                             QString::fromUtf8(ditheringCaption(step.tone.dithering))};
        if (step.tone.invert)
            expected << QStringLiteral("Invert");
        QCOMPARE(c.checkedInMenu(), expected);
        const SourceView source = placedSource(path, step.placement);
        QString difference = firstDifference(shownBy(c.source()), source);
        QVERIFY2(difference.isEmpty(), qPrintable(name + QStringLiteral(": ") + difference));
        difference = convertedDifference(c, source, 40, step.tone);
        QVERIFY2(difference.isEmpty(), qPrintable(name + QStringLiteral(": ") + difference));
    }
    QCOMPARE(c.warnings(), QStringList());
    QCOMPARE(c.sourcePath(), path);
    QCOMPARE(c.dialog.requests.size(), 1); // the load only: no zoom, no dialog
}

void TestConverterWindows::choicesAreRememberedByEachWindow()
{
    const QString path = writePicture(m_dir, QStringLiteral("remember.bmp"), rampPicture());
    {
        Converter c(ConverterKind::Greyscale);
        QVERIFY(c.chooseInMenu(c.source(), {"Fill"}).isEmpty());
        QVERIFY(c.chooseInMenu(c.converted(), ditheringPath(Dithering::Atkinson)).isEmpty());
        QVERIFY(c.chooseInMenu(c.source(), {"Invert"}).isEmpty());
    }
    {
        // The next opening starts with them, and converts with them.
        Converter c(ConverterKind::Greyscale);
        QCOMPARE(c.checkedInMenu(), (QStringList{"Fill", "Atkinson", "Invert"}));
        c.load(path);
        const SourceView source = placedSource(path, Placement::Fill);
        QString difference = firstDifference(shownBy(c.source()), source);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        difference = convertedDifference(c, source, 50, {Dithering::Atkinson, true});
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
    {
        // The other converter keeps its own.
        Converter c(ConverterKind::BlackWhite);
        QCOMPARE(c.checkedInMenu(), (QStringList{"Corner", "None"}));
    }
    // A settings file edited by hand into nonsense reads as the defaults.
    {
        QSettings settings(QStringLiteral("Dotwright"), QStringLiteral("Dotwright"));
        settings.setValue(QStringLiteral("frmPicGS/placement"), QStringLiteral("stretch"));
        settings.setValue(QStringLiteral("frmPicGS/dithering"), 7);
        settings.setValue(QStringLiteral("frmPicGS/invert"), QStringLiteral("maybe"));
    }
    Converter c(ConverterKind::Greyscale);
    QCOMPARE(c.checkedInMenu(), (QStringList{"Corner", "None"}));
}

void TestConverterWindows::placementReadsTheLoadedFileAgain()
{
    const QString path = m_dir.filePath(QStringLiteral("again.bmp"));
    writeFile(path, encode(rampPicture().scaled(256, 128), "bmp"));
    const QString other =
        writePicture(m_dir, QStringLiteral("other.bmp"),
                     pictureOf({128, 64}, [](int, int) { return Colour(0x00FF00); }));
    Converter c(ConverterKind::BlackWhite);
    c.load(path);
    // The path box of this window can be edited; the placement still reads the
    // file the window loaded.
    auto* box = c.control<QLineEdit>("txtSource");
    box->selectAll();
    QTest::keyClicks(box, other);
    QVERIFY(c.chooseInMenu(c.converted(), {"Fit"}).isEmpty());
    QString difference = firstDifference(shownBy(c.source()), placedSource(path, Placement::Fit));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(c.sourcePath(), other);

    // Once the file is gone, the placement is refused as the load would be,
    // and everything stays as it was, the menu and the settings included.
    const QImage source = c.source()->takeImage();
    const QImage converted = c.converted()->takeImage();
    QVERIFY(QFile::remove(path));
    QVERIFY(c.chooseInMenu(c.source(), {"Fill"}).isEmpty());
    QCOMPARE(c.warnings(), QStringList{QStringLiteral("Cannot load %1: file not found").arg(path)});
    QCOMPARE(c.checkedInMenu(), (QStringList{"Fit", "None"}));
    QCOMPARE(c.source()->takeImage(), source);
    QCOMPARE(c.converted()->takeImage(), converted);
    QCOMPARE(loadConverterChoices("frmPicBW").placement, Placement::Fit);
    // Dithering needs no file: it works on what the source preview shows.
    QVERIFY(c.chooseInMenu(c.source(), ditheringPath(Dithering::Ordered)).isEmpty());
    difference = convertedDifference(c, shownBy(c.source()), 50, {Dithering::Ordered});
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(c.warnings().size(), 1);
}

void TestConverterWindows::droppedPictureLoads_data()
{
    addWindowRows();
}

void TestConverterWindows::droppedPictureLoads()
{
    QFETCH(ConverterKind, kind);
    const QString path = writePicture(m_dir, QStringLiteral("dropped.bmp"), rampPicture());
    const QString second = writePicture(m_dir, QStringLiteral("second.bmp"), rampPicture());
    const QString damaged = m_dir.filePath(QStringLiteral("dropped-damaged.bmp"));
    writeFile(damaged, QByteArray("BM\x36\x10\0\0\0\0", 8));
    Converter c(kind);
    QVERIFY(c.chooseInMenu(c.source(), {"Fit"}).isEmpty());

    // Not a picture file: several files, a web address, a file that is not local.
    for (const QList<QUrl>& urls :
         {QList<QUrl>{QUrl::fromLocalFile(path), QUrl::fromLocalFile(second)},
          QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.bmp"))}, QList<QUrl>{}}) {
        c.drop(urls);
        QVERIFY(!c.dropAccepted);
    }
    QCOMPARE(c.sourcePath(), QString());

    c.drop({QUrl::fromLocalFile(path)});
    QVERIFY(c.dropAccepted);
    QCOMPARE(c.warnings(), QStringList());
    QCOMPARE(c.sourcePath(), path);
    const SourceView source = placedSource(path, Placement::Fit);
    QString difference = firstDifference(shownBy(c.source()), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    difference = convertedDifference(c, source, 50, {});
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(c.dialog.requests.size(), 0);

    // An unreadable one gives Load picture's message and changes nothing.
    const QImage shown = c.source()->takeImage();
    c.drop({QUrl::fromLocalFile(damaged)});
    const Result<PictureCorner> refused =
        readPictureFile(QFile::encodeName(damaged).toStdString(), 128, 64);
    QVERIFY(!refused);
    QCOMPARE(c.warnings(),
             QStringList{QStringLiteral("Cannot load %1: %2")
                             .arg(damaged, QString::fromStdString(refused.error().why))});
    QCOMPARE(c.sourcePath(), path);
    QCOMPARE(c.source()->takeImage(), shown);
}

void TestConverterWindows::filesEqualTheCommandLineTools_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<int>("level");
    QTest::addColumn<Placement>("placement");
    QTest::addColumn<Dithering>("dithering");
    QTest::addColumn<bool>("invert");

    // A large picture of many colours, a partly transparent one smaller than the
    // screen, and a JPEG that is only partly decoded (or, scaled down, decoded
    // at a reduced size).
    QImage wide = pictureOf({300, 200}, [](int x, int y) { return Colour((y * 300 + x) * 277); });
    QImage glass(100, 50, QImage::Format_ARGB32);
    for (int y = 0; y < glass.height(); ++y)
        for (int x = 0; x < glass.width(); ++x)
            glass.setPixel(x, y, qRgba(x * 2, y * 5, 255 - x, (x * 7 + y * 3) % 256));
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, blockColour(x, y));
    const QString pictures[] = {writePicture(m_dir, QStringLiteral("cli-wide.bmp"), wide),
                                writePicture(m_dir, QStringLiteral("cli-glass.png"), glass, "png"),
                                writePicture(m_dir, QStringLiteral("cli-photo.jpg"), photo, "jpg")};
    const auto addRow = [](ConverterKind kind, const QString& picture, int level,
                           Placement placement, Dithering dithering, bool invert) {
        QTest::addRow("%s %s %d %s %s%s", kind == ConverterKind::BlackWhite ? "bw" : "gs",
                      qPrintable(QFileInfo(picture).fileName()), level, placementCaption(placement),
                      ditheringName(dithering).data(), invert ? " invert" : "")
            << kind << picture << level << placement << dithering << invert;
    };
    for (const ConverterKind kind : {ConverterKind::BlackWhite, ConverterKind::Greyscale}) {
        for (const QString& picture : pictures) {
            // The threshold on the corner, at the slider's ends and between.
            for (const int level : {0, 1, 37, 50, 99, 100})
                addRow(kind, picture, level, Placement::Corner, Dithering::None, false);
            // Every placement with every dithering, inverted at one level.
            for (const PlacementEntry& place : placementEntries)
                for (const Dithering dithering : allDitherings)
                    for (const int level : {0, 37, 100})
                        if (place.placement != Placement::Corner || dithering != Dithering::None)
                            addRow(kind, picture, level, place.placement, dithering, level == 37);
        }
    }
}

// What the windows write (plain and compressed data, the bitmap) is what
// dotwright-cli writes for the same picture and choices.
void TestConverterWindows::filesEqualTheCommandLineTools()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, picture);
    QFETCH(int, level);
    QFETCH(Placement, placement);
    QFETCH(Dithering, dithering);
    QFETCH(bool, invert);
    QTemporaryDir out;
    Converter c(kind);
    if (placement != Placement::Corner)
        QVERIFY(c.chooseInMenu(c.source(), {placementCaption(placement)}).isEmpty());
    if (dithering != Dithering::None)
        QVERIFY(c.chooseInMenu(c.converted(), ditheringPath(dithering)).isEmpty());
    if (invert)
        QVERIFY(c.chooseInMenu(c.source(), {QStringLiteral("Invert")}).isEmpty());
    c.load(picture);
    c.slider()->setValue(level);
    c.exportData(out.filePath(QStringLiteral("window.inc")), false);
    c.exportData(out.filePath(QStringLiteral("window-rle.inc")), true);
    c.saveBitmap(out.filePath(QStringLiteral("window.bmp")));
    QVERIFY(c.warnings().isEmpty());

    QStringList choices{QStringLiteral("--level"), QString::number(level)};
    if (kind == ConverterKind::Greyscale)
        choices << QStringLiteral("--grey");
    if (placement == Placement::Fit)
        choices << QStringLiteral("--fit");
    if (placement == Placement::Fill)
        choices << QStringLiteral("--fill");
    if (dithering != Dithering::None)
        choices << QStringLiteral("--dither")
                << QString::fromLatin1(ditheringName(dithering).data());
    if (invert)
        choices << QStringLiteral("--invert");
    const CliRun run = runCliProcess(
        QStringList{QStringLiteral("picture")} + choices +
        QStringList{QStringLiteral("--bmp"), out.filePath(QStringLiteral("cli.bmp")),
                    QStringLiteral("-o"), out.filePath(QStringLiteral("cli.inc")), picture});
    QVERIFY2(run.exitCode == 0, run.errors.constData());
    const CliRun compressed =
        runCliProcess(QStringList{QStringLiteral("picture"), QStringLiteral("--rle")} + choices +
                      QStringList{picture});
    QVERIFY2(compressed.exitCode == 0, compressed.errors.constData());

    QCOMPARE(readFile(out.filePath(QStringLiteral("window.inc"))),
             readFile(out.filePath(QStringLiteral("cli.inc"))));
    QCOMPARE(readFile(out.filePath(QStringLiteral("window-rle.inc"))), compressed.output);
    QCOMPARE(readFile(out.filePath(QStringLiteral("window.bmp"))),
             readFile(out.filePath(QStringLiteral("cli.bmp"))));
}

void TestConverterWindows::zoomShowsFiveByFiveBlocksAndClosesOnAClick_data()
{
    QTest::addColumn<ConverterKind>("kind");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QPoint>("closingClick"); // in the viewer
    const QPoint onImage(300, 200);
    const QPoint besideImage(650, 330);
    QTest::newRow("bw picUnchanged")
        << ConverterKind::BlackWhite << "picUnchanged" << true << onImage;
    QTest::newRow("bw picConvert")
        << ConverterKind::BlackWhite << "picConvert" << true << besideImage;
    QTest::newRow("gs picUnchanged")
        << ConverterKind::Greyscale << "picUnchanged" << true << besideImage;
    QTest::newRow("gs picConverted")
        << ConverterKind::Greyscale << "picConverted" << true << onImage;
    QTest::newRow("bw blank picConvert")
        << ConverterKind::BlackWhite << "picConvert" << false << QPoint(3, 3);
}

void TestConverterWindows::zoomShowsFiveByFiveBlocksAndClosesOnAClick()
{
    QFETCH(ConverterKind, kind);
    QFETCH(QString, preview);
    QFETCH(bool, loaded);
    QFETCH(QPoint, closingClick);
    Converter c(kind);
    if (loaded) {
        // Every colour of the greyscale result, and a different one in each pixel
        // of the source.
        c.load(writePicture(m_dir, QStringLiteral("zoom.bmp"), rampPicture()));
    }
    auto* area = c.control<DrawingArea>(preview.toLatin1().constData());
    const QImage expected = area->takeImage();

    QString title;
    QSize size;
    QRect imageRect;
    bool modalOverConverter = false;
    QImage shown;
    bool closedByClick = false;
    const bool opened = withModalWindow(
        [&] {
            QTest::mouseClick(area, Qt::LeftButton, {}, {60, 30});
        },
        [&](QWidget* viewer) {
            title = viewer->windowTitle();
            size = viewer->size();
            modalOverConverter = viewer->objectName() == "frmZoom" && viewer->isModal() &&
                                 viewer->parentWidget() == c.window.get();
            QWidget* image = viewer->findChild<QWidget*>(QStringLiteral("imgZoom"));
            imageRect = image->geometry();
            shown = image->grab().toImage().convertToFormat(QImage::Format_RGB32);
            // The converter takes no input meanwhile.
            QTest::mouseClick(c.window->windowHandle(), Qt::LeftButton, {},
                              c.control("cmdLoad")->geometry().center());
            QTest::mouseClick(viewer->windowHandle(), Qt::LeftButton, {}, closingClick);
            QCoreApplication::processEvents();
            closedByClick = !viewer->isVisible();
        });
    QVERIFY(opened);
    QCOMPARE(title, QStringLiteral("Zoom"));
    QCOMPARE(size, QSize(657, 337));
    QVERIFY(modalOverConverter);
    QCOMPARE(imageRect, QRect(8, 8, 640, 320));
    QCOMPARE(shown.size(), QSize(640, 320));
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 640; ++x)
            if (shown.pixel(x, y) != expected.pixel(x / 5, y / 5))
                QFAIL(qPrintable(QStringLiteral("zoomed pixel (%1, %2) differs").arg(x).arg(y)));
    QVERIFY(closedByClick);
    QCOMPARE(c.dialog.requests.size(), loaded ? 1 : 0); // the blocked click opened nothing
    QCOMPARE(c.control<DrawingArea>(preview.toLatin1().constData())->takeImage(), expected);
}

QTEST_MAIN(TestConverterWindows)
#include "tst_converter_windows.moc"
