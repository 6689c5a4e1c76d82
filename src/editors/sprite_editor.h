#pragma once

#include "core/sprite_code.h"
#include "editors/sprite_variants.h"

#include <QDialog>

class Clipboard;
class DrawingArea;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

// The window of a sprite editor: the 8 × 8 canvas with its preview, two pens,
// the code box with Copy and Clear, and per variant the colour swatches or the
// size row. The window is built afresh at every opening; the layer bits of the
// writer belong to the tool and outlive it, as does the clipboard Copy uses.
class SpriteEditor : public QDialog
{
    Q_OBJECT

public:
    SpriteEditor(const SpriteVariant& variant, SpriteLayers& layerBits, Clipboard& clipboard,
                 QWidget* owner);

    // Canvas to text: samples the 64 cells, updates the layer bits, rewrites txtCode.
    void ConverttoText();
    // Text to canvas: paints every cell from the text in txtCode if it holds enough digits.
    void ConverttoPict();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void picSprite_MouseDown(int button, int shift, float x, float y);
    void picSprite_MouseMove(int button, int shift, float x, float y);
    void picSprite_MouseUp(int button, int shift, float x, float y);
    void cmdClear_Click();
    void txtCode_DblClick();
    void cmdClipboard_Click();
    // picWhite_MouseUp, picLight_MouseUp, picDark_MouseUp, picBlack_MouseUp
    // and picMask_MouseUp: the swatches differ only in the colour they carry,
    // so the five share this one body, which gives the pen of the button
    // released (left or right) the swatch's colour.
    void swatch_MouseUp(const ColourSwatch& swatch, int button);

    void paintCell(int button, float x, float y);
    void buildSizeRow();

    const SpriteVariant& m_variant;
    SpriteLayers& m_layerBits;
    Clipboard& m_clipboard;

    QPlainTextEdit* txtCode;
    QLabel* lblHelp;
    DrawingArea* picPreview;
    DrawingArea* picPen;
    DrawingArea* picPen2;
    QPushButton* cmdClipboard;
    QPushButton* cmdClear;
    DrawingArea* picSprite;
};
