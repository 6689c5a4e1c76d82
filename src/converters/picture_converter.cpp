#include "converters/picture_converter.h"

#include "converters/converter_variants.h"
#include "converters/zoom_cursor.h"
#include "converters/zoom_viewer.h"
#include "core/bit_plane.h"
#include "core/dithering.h"
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

#include <QActionGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QUrl>

#include <optional>

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
    // A left click zooms; the right button (or the menu key) opens the menu.
    preview->setContextMenuPolicy(Qt::CustomContextMenu);
    return preview;
}

// The one local file that a drag carries; nothing for several files, a web
// address or plain text.
std::optional<QString> droppedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return std::nullopt;
    return urls.front().toLocalFile();
}

} // namespace

PictureConverter::PictureConverter(ConverterKind kind, GreyLayers& layers, FileDialog& fileDialog,
                                   MessageBox& messageBox, QWidget* owner)
    : QDialog(owner), m_variant(converterVariant(kind)), m_layers(layers), m_fileDialog(fileDialog),
      m_messageBox(messageBox), m_choices(loadConverterChoices(m_variant.objectName))
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
    // A picture dropped on the path box loads, as anywhere on the window,
    // rather than its name being typed into the box.
    txtSource->setAcceptDrops(false);

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
    buildViewMenu();
    setAcceptDrops(true);

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
    for (const DrawingArea* preview : {picUnchanged, m_converted}) {
        connect(preview, &QWidget::customContextMenuRequested, this,
                [this, preview](QPoint at) { preview_ContextMenu(*preview, at); });
    }
}

void PictureConverter::buildViewMenu()
{
    mnuView = new QMenu(this);
    mnuView->setObjectName(QStringLiteral("mnuView"));
    auto* placements = new QActionGroup(mnuView);
    for (std::size_t i = 0; i < placementEntries.size(); ++i) {
        const Placement placement = placementEntries[i].placement;
        mnuPlacement[i] = mnuView->addAction(QString::fromUtf8(placementEntries[i].caption));
        mnuPlacement[i]->setCheckable(true);
        placements->addAction(mnuPlacement[i]);
        connect(mnuPlacement[i], &QAction::triggered, this,
                [this, placement] { mnuPlacement_Click(placement); });
    }
    mnuView->addSeparator();
    QMenu* dithering = mnuView->addMenu(QStringLiteral("Dithering"));
    dithering->setObjectName(QStringLiteral("mnuDithering"));
    auto* ditherings = new QActionGroup(dithering);
    for (std::size_t i = 0; i < allDitherings.size(); ++i) {
        const Dithering choice = allDitherings[i];
        mnuDithering[i] = dithering->addAction(QString::fromUtf8(ditheringCaption(choice)));
        mnuDithering[i]->setCheckable(true);
        ditherings->addAction(mnuDithering[i]);
        connect(mnuDithering[i], &QAction::triggered, this,
                [this, choice] { mnuDithering_Click(choice); });
    }
    mnuView->addSeparator();
    mnuInvert = mnuView->addAction(QStringLiteral("Invert"));
    mnuInvert->setCheckable(true);
    connect(mnuInvert, &QAction::triggered, this, &PictureConverter::mnuInvert_Click);
    showChoices();
}

void PictureConverter::showChoices()
{
    for (std::size_t i = 0; i < placementEntries.size(); ++i)
        mnuPlacement[i]->setChecked(placementEntries[i].placement == m_choices.placement);
    for (std::size_t i = 0; i < allDitherings.size(); ++i)
        mnuDithering[i]->setChecked(allDitherings[i] == m_choices.tone.dithering);
    mnuInvert->setChecked(m_choices.tone.invert);
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
    const Result<SourceView> view = readView(path, m_choices.placement);
    if (!view) {
        txtSource->setText(previousPath);
        warn(cannotLoadText(path, view.error()));
        return;
    }
    m_picturePath = path;
    picUnchanged->showColours(*view);
    Convert();
}

void PictureConverter::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFile(event->mimeData()))
        event->acceptProposedAction();
}

void PictureConverter::dropEvent(QDropEvent* event)
{
    const std::optional<QString> path = droppedFile(event->mimeData());
    if (!path)
        return;
    event->acceptProposedAction();
    // Loaded once the drop is over, so that a message about a picture that
    // cannot be read does not hold up the program it was dragged from.
    QTimer::singleShot(0, this, [this, file = *path] { loadPicture(file); });
}

void PictureConverter::preview_ContextMenu(const DrawingArea& preview, QPoint at)
{
    mnuView->popup(preview.mapToGlobal(at));
}

void PictureConverter::mnuPlacement_Click(Placement placement)
{
    if (placement == m_choices.placement)
        return;
    // Only a picture read again can be placed anew; before the first load
    // the source view is all background whatever the placement.
    if (!m_picturePath.isEmpty()) {
        const Result<SourceView> view = readView(m_picturePath, placement);
        if (!view) {
            showChoices();
            warn(cannotLoadText(m_picturePath, view.error()));
            return;
        }
        picUnchanged->showColours(*view);
    }
    ConverterChoices choices = m_choices;
    choices.placement = placement;
    choose(choices);
}

void PictureConverter::mnuDithering_Click(Dithering dithering)
{
    ConverterChoices choices = m_choices;
    choices.tone.dithering = dithering;
    choose(choices);
}

void PictureConverter::mnuInvert_Click()
{
    ConverterChoices choices = m_choices;
    choices.tone.invert = !choices.tone.invert;
    choose(choices);
}

// Takes the choices, keeps them for the next opening and converts again, as
// the slider does when it settles.
void PictureConverter::choose(const ConverterChoices& choices)
{
    m_choices = choices;
    showChoices();
    saveConverterChoices(m_variant.objectName, m_choices);
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
    warnOnFailure(writeFileAtomically(
        systemFileName(path), {reinterpret_cast<const char*>(bitmap.data()), bitmap.size()}));
}

void PictureConverter::cmdConvert_Save_Click()
{
    const QString path = m_fileDialog.run(
        this, fileDialogRequest(FileDialogMode::Save, QStringLiteral("Save the picture"),
                                QString::fromLatin1(m_variant.dataFilter)));
    if (path.isEmpty())
        return;
    warnOnFailure(writeFileAtomically(systemFileName(path), dataFile(chkCompressRLE->isChecked())));
}

void PictureConverter::warn(const QString& text)
{
    m_messageBox.warn(this, windowTitle(), text);
}

Result<SourceView> PictureConverter::readView(const QString& path, Placement placement) const
{
    ViewOptions options;
    options.placement = placement;
    return readSourceViewFile(systemFileName(path), options);
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
        const GreyscaleResult result = quantiseGreyscale(source, value, m_choices.tone);
        m_layers.light = result.light;
        m_layers.dark = result.dark;
        m_converted->showColours(result.preview);
    } else {
        m_converted->showColours(quantiseBlackWhite(source, value, m_choices.tone));
    }
    // The bar goes through the rows, one step a row. The whole conversion
    // takes microseconds, so it does so unseen, and ends at 0.
    stepThroughUnseen(prgLoad, screenHeight);
}
