#include "converters/picture_converter.h"

#include "converters/converter_variants.h"
#include "converters/zoom_cursor.h"
#include "converters/zoom_viewer.h"
#include "core/bit_plane.h"
#include "core/black_white_conversion.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/printable_name.h"
#include "picture_io/bitmap_writer.h"
#include "picture_io/output_files.h"
#include "picture_io/picture_file.h"
#include "ui/drawing_area.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/progress_steps.h"
#include "ui/window_setup.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace {

const QString pictureFilter =
    QStringLiteral("Pictures (*.bmp;*.gif;*.jpg;*.ico)|*.bmp;*.gif;*.jpg;*.ico");
const QString bitmapFilter = QStringLiteral("Bitmap (*.bmp)|*.bmp");

QString textOf(const char* text)
{
    return text ? QString::fromLatin1(text) : QString();
}

DrawingArea* makePreview(QWidget* parent, const char* name, const char* toolTip)
{
    auto* preview = makeNamed<DrawingArea>(parent, name);
    preview->setToolTip(textOf(toolTip));
    preview->setCursor(zoomCursor());
    return preview;
}

} // namespace

PictureConverter::PictureConverter(ConverterKind kind, GreyLayers& layers, FileDialog& fileDialog,
                                   MessageBox& messageBox, QWidget* owner)
    : QDialog(owner), m_variant(converterVariant(kind)), m_layers(layers), m_fileDialog(fileDialog),
      m_messageBox(messageBox)
{
    setUpFixedWindow(this, m_variant.objectName, QString::fromLatin1(m_variant.title),
                     m_variant.clientSize);

    picUnchanged = makePreview(this, "picUnchanged", m_variant.unchangedTip);
    m_converted = makePreview(this, m_variant.convertedName, m_variant.convertedTip);

    // No button answers Enter: in the one-line path box it would open a dialog.
    cmdLoad =
        makeButton(this, "cmdLoad", QStringLiteral("Load picture"), textOf(m_variant.loadTip));
    cmdSave = makeButton(this, "cmdSave", QString::fromLatin1(m_variant.saveCaption));

    txtSource = makeNamed<QLineEdit>(this, "txtSource");
    txtSource->setReadOnly(!m_variant.sourceEditable);

    sliSetting = makeNamed<QSlider>(this, "sliSetting", Qt::Horizontal);
    sliSetting->setRange(0, 100);
    sliSetting->setValue(50);
    sliSetting->setSingleStep(1);
    sliSetting->setPageStep(5);
    // The value changes only when the slider settles (drag end, key, click in the
    // track), so a drag converts once; every movement on the way is reported by
    // sliderMoved and actionTriggered, where sliderPosition() already holds it.
    sliSetting->setTracking(false);
    sliSetting->setToolTip(QStringLiteral("slide to make it brighter/darker"));

    lblValue = makeNamed<QLabel>(this, "lblValue", QStringLiteral("50 %"));

    cmdConvert_Save = makeButton(this, "cmdConvert_Save", QStringLiteral("Convert && Save"),
                                 textOf(m_variant.convertSaveTip));

    prgLoad = makeNamed<QProgressBar>(this, "prgLoad");
    prgLoad->setRange(0, 63);
    prgLoad->setValue(0);
    prgLoad->setTextVisible(false);

    chkCompressRLE =
        makeNamed<QCheckBox>(this, "chkCompressRLE", QStringLiteral("RLE Compression with:"));
    // The caption just fits the 129 pixels beside a 13-pixel box, as on the
    // system the layout was made for; the toolkit's own box and gap are wider
    // and would cut off its last letters.
    chkCompressRLE->setStyleSheet(QStringLiteral(
        "QCheckBox { spacing: 2px; } QCheckBox::indicator { width: 13px; height: 13px; }"));

    // They only show the one compression method; nothing reads them.
    optRLEBytes = makeNamed<QRadioButton>(this, "optRLEBytes", QStringLiteral("Bytes"));
    optRLEBytes->setChecked(true);
    optRLEBits = makeNamed<QRadioButton>(this, "optRLEBits", QStringLiteral("Bits"));
    optRLEBits->setEnabled(false);

    placeControls(this, m_variant.layout);

    connect(cmdLoad, &QPushButton::clicked, this, &PictureConverter::cmdLoad_Click);
    connect(cmdSave, &QPushButton::clicked, this, &PictureConverter::cmdSave_Click);
    connect(cmdConvert_Save, &QPushButton::clicked, this, &PictureConverter::cmdConvert_Save_Click);
    connect(sliSetting, &QSlider::sliderMoved, this, &PictureConverter::sliSetting_Scroll);
    connect(sliSetting, &QSlider::actionTriggered, this, &PictureConverter::sliSetting_Scroll);
    connect(sliSetting, &QSlider::valueChanged, this, &PictureConverter::sliSetting_Change);
    connect(picUnchanged, &DrawingArea::clicked, this, &PictureConverter::picUnchanged_Click);
    connect(m_converted, &DrawingArea::clicked, this,
            kind == ConverterKind::Greyscale ? &PictureConverter::picConverted_Click
                                             : &PictureConverter::picConvert_Click);
}

void PictureConverter::cmdLoad_Click()
{
    const QString path = m_fileDialog.run(
        this, fileDialogRequest(FileDialogMode::Open, QStringLiteral("Select picture to open"),
                                pictureFilter));
    if (path.isEmpty())
        return;
    loadPicture(path);
}

void PictureConverter::loadPicture(const QString& path)
{
    // The path shows while the picture loads; a picture that cannot be read
    // leaves the window as it was, the previous path included.
    const QString previousPath = txtSource->text();
    txtSource->setText(path);
    const Result<PictureCorner> picture =
        readPictureFile(QFile::encodeName(path).toStdString(), screenWidth, screenHeight);
    if (!picture) {
        txtSource->setText(previousPath);
        warn(QStringLiteral("Cannot load %1: %2")
                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(picture.error().why)));
        return;
    }
    picUnchanged->showPicture(*picture);
    Convert();
}

void PictureConverter::sliSetting_Scroll()
{
    lblValue->setText(QString::number(sliSetting->sliderPosition()) + QStringLiteral(" %"));
}

void PictureConverter::sliSetting_Change()
{
    Convert();
}

void PictureConverter::picUnchanged_Click()
{
    showZoom(*picUnchanged);
}

void PictureConverter::picConvert_Click()
{
    showZoom(*m_converted);
}

void PictureConverter::picConverted_Click()
{
    picConvert_Click();
}

void PictureConverter::showZoom(const DrawingArea& preview)
{
    ZoomViewer viewer(preview.takeImage(), this);
    viewer.exec();
}

void PictureConverter::cmdSave_Click()
{
    if (txtSource->text().isEmpty())
        return;
    const QString path = m_fileDialog.run(
        this, fileDialogRequest(FileDialogMode::Save, QStringLiteral("Save the picture as Bitmap"),
                                bitmapFilter));
    if (path.isEmpty())
        return;
    const std::vector<std::uint8_t> bitmap =
        encodeBitmap(screenWidth, screenHeight, shownConverted());
    warnOnFailure(
        writeFileAtomically(QFile::encodeName(path).toStdString(),
                            {reinterpret_cast<const char*>(bitmap.data()), bitmap.size()}));
}

void PictureConverter::cmdConvert_Save_Click()
{
    const QString path = m_fileDialog.run(
        this, fileDialogRequest(FileDialogMode::Save, QStringLiteral("Save the picture"),
                                QString::fromLatin1(m_variant.dataFilter)));
    if (path.isEmpty())
        return;
    warnOnFailure(writeFileAtomically(QFile::encodeName(path).toStdString(),
                                      dataFile(chkCompressRLE->isChecked())));
}

void PictureConverter::warn(const QString& text)
{
    m_messageBox.warn(this, windowTitle(), text);
}

void PictureConverter::warnOnFailure(const Result<void>& done)
{
    if (!done)
        warn(QString::fromStdString(printableName(done.error().message())));
}

std::string PictureConverter::dataFile(bool compressed) const
{
    std::string text;
    if (m_variant.kind == ConverterKind::Greyscale) {
        text = greyscaleDataFile(bitPlaneFromGrid(m_layers.light), bitPlaneFromGrid(m_layers.dark),
                                 compressed);
    } else {
        text = blackWhiteDataFile(bitPlaneFromPixels(shownConverted()), compressed);
    }
    return text;
}

SourceView PictureConverter::shownSource() const
{
    SourceView shown;
    picUnchanged->readColours(shown);
    return shown;
}

SourceView PictureConverter::shownConverted() const
{
    SourceView shown;
    m_converted->readColours(shown);
    return shown;
}

void PictureConverter::Convert()
{
    // Each conversion starts again from what the source view shows, so nothing
    // of an earlier one (at another slider value) survives.
    const SourceView source = shownSource();
    const int value = sliSetting->value();
    if (m_variant.kind == ConverterKind::Greyscale) {
        const GreyscaleResult result = convertGreyscale(source, value);
        m_layers.light = result.light;
        m_layers.dark = result.dark;
        m_converted->showColours(result.preview);
    } else {
        m_converted->showColours(convertBlackWhite(source, value));
    }
    // The bar goes through the rows, one step a row. The whole conversion
    // takes microseconds, so it does so unseen, and ends at 0.
    stepThroughUnseen(prgLoad, screenHeight);
}
