#pragma once

#include "core/canvas_history.h"
#include "core/sprite_code.h"
#include "core/sprite_edits.h"
#include "editors/sprite_variants.h"

#include <QDialog>

class Clipboard;
class MessageBox;
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
//
// Beyond what the window description has, the keyboard and a dropped file
// edit the sprite: keys on the canvas shift, mirror, turn and invert it,
// Ctrl+Z undoes a change and Ctrl+Shift+Z or Ctrl+Y redoes it, and a picture
// dropped on the window paints it. Each press-drag-release on the canvas,
// Clear, read-back, drop and key edit is one change; the history lasts as
// long as the window.
class SpriteEditor : public QDialog
{
    Q_OBJECT

public:
    // A picture dropped on the window that cannot be read is told through
    // `messageBox`, naming the file and the reason.
    SpriteEditor(const SpriteVariant& variant, SpriteLayers& layerBits, Clipboard& clipboard,
                 MessageBox& messageBox, QWidget* owner);

    // Canvas to text: samples the 64 cells, updates the layer bits, rewrites txtCode.
    void ConverttoText();
    // Text to canvas: paints every cell from the text in txtCode if it holds enough digits.
    void ConverttoPict();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

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
    // The edit keys on the canvas: arrows, H, V, R, I. Returns whether the key was one.
    bool picSprite_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Undo and redo, wherever the focus is but in the code box, which keeps
    // its own text keys. Returns whether the key was one of theirs.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // A picture file dropped anywhere on the window, the code box included.
    void Form_OLEDragDrop(const QString& path);

    void paintCell(int button, float x, float y);
    void buildSizeRow();

    // What the canvas shows, cell by cell, and painting both surfaces to show
    // a canvas exactly so: each cell with its strip, the preview whole.
    CanvasLook canvasLook() const;
    void showCanvas(const CanvasLook& look);
    // Records what a handler has changed, once it has run, as one change.
    void recordChange();
    void applyEdit(SpriteEdit edit);
    void undo();
    void redo();

    const SpriteVariant& m_variant;
    SpriteLayers& m_layerBits;
    Clipboard& m_clipboard;
    MessageBox& m_messageBox;
    CanvasHistory m_history;

    QPlainTextEdit* txtCode;
    QLabel* lblHelp;
    DrawingArea* picPreview;
    DrawingArea* picPen;
    DrawingArea* picPen2;
    QPushButton* cmdClipboard;
    QPushButton* cmdClear;
    DrawingArea* picSprite;
};
