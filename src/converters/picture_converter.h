#pragma once

#include "converters/converter_choices.h"
#include "core/converter_kind.h"
#include "core/result.h"
#include "core/screen.h"

#include <QDialog>

#include <array>
#include <string>

struct ConverterVariant;
class DrawingArea;
class FileDialog;
class MessageBox;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;

// frmPicBW and frmPicGS: a picture file in, its top-left 128 × 64 pixels (or
// the whole picture fitted to or filling the screen) converted to black and
// white or four greys by the brightness slider, with or without dithering, and
// the result out as a bitmap or a picture data file. Built afresh at every
// opening; the right-click menu's choices are remembered from one to the next.
class PictureConverter : public QDialog
{
    Q_OBJECT

public:
    // Failures the window cannot mend (an unreadable picture, an unwritable
    // file) are told through `messageBox`, the text naming the file and the
    // reason.
    PictureConverter(ConverterKind kind, GreyLayers& layers, FileDialog& fileDialog,
                     MessageBox& messageBox, QWidget* owner);

    // Converts the source view anew into the converted preview (and, in the
    // greyscale window, the layer grids) at the slider's value and with the
    // chosen dithering, advancing the progress bar row by row and setting it
    // back to 0.
    void Convert();

    // What Load picture does once its dialog has given `path` (and what a
    // picture dropped on the window does): shows the path, reads the picture
    // placed as chosen into the source view and converts it; or, if it cannot
    // be read, leaves the window as it was and warns.
    void loadPicture(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void cmdLoad_Click();
    void sliSetting_Scroll();
    void sliSetting_Change();
    void picUnchanged_Click();
    void picConvert_Click();
    void picConverted_Click();
    void cmdSave_Click();
    void cmdConvert_Save_Click();
    // A right-click on either preview opens mnuView; its entries' handlers.
    void preview_ContextMenu(const DrawingArea& preview, QPoint at);
    void mnuPlacement_Click(Placement placement);
    void mnuDithering_Click(Dithering dithering);
    void mnuInvert_Click();

    void buildViewMenu();
    // Checks the menu's entries that the choices name.
    void showChoices();
    void choose(const ConverterChoices& choices);

    // Both previews zoom the same way; each keeps the handler of its name.
    void showZoom(const DrawingArea& preview);
    // What the source view and the converted preview show, colour numbers.
    SourceView shownSource() const;
    SourceView shownConverted() const;
    // The picture data file of what the window shows now, plain or compressed.
    std::string dataFile(bool compressed) const;
    void warn(const QString& text);
    // The picture of `path` placed as `placement` says, as the source view shows it.
    Result<SourceView> readView(const QString& path, Placement placement) const;
    // Tells the user why a save failed, naming the file; nothing when it worked.
    void warnOnFailure(const Result<void>& done);

    const ConverterVariant& m_variant;
    GreyLayers& m_layers;
    FileDialog& m_fileDialog;
    MessageBox& m_messageBox;
    ConverterChoices m_choices;
    // The file that the source view was last read from, to read again when
    // the placement changes: txtSource may have been edited since. Empty
    // before the first load.
    QString m_picturePath;

    DrawingArea* picUnchanged;
    // picConvert in frmPicBW, picConverted in frmPicGS.
    DrawingArea* m_converted;
    QPushButton* cmdLoad;
    QPushButton* cmdSave;
    QLineEdit* txtSource;
    QSlider* sliSetting;
    QLabel* lblValue;
    QPushButton* cmdConvert_Save;
    QProgressBar* prgLoad;
    QCheckBox* chkCompressRLE;
    QRadioButton* optRLEBytes;
    QRadioButton* optRLEBits;
    QMenu* mnuView = nullptr;
    std::array<QAction*, placementEntries.size()> mnuPlacement{};
    std::array<QAction*, allDitherings.size()> mnuDithering{};
    QAction* mnuInvert = nullptr;
};
