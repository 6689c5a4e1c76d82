#include "editors/sprite_editor.h"

#include "core/sprite_sheet.h"
#include "picture_io/picture_file.h"
#include "ui/clipboard.h"
#include "ui/drawing_area.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/tool_icons.h"
#include "ui/window_setup.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace {

constexpr float cellUnits = 10.0F;
// How far the pen fills a cell, from its top-left corner, in both directions.
constexpr float penReach = 9.5F;
// A point in a cell's strip, from its top-left corner: the strip is the
// cell's last pixel column and row, which always show the same colour.
constexpr float stripOffset = 9.75F;

constexpr auto canvasTip = "Keys after a click here: arrows shift the sprite, H and V mirror it, "
                           "R turns it, I inverts it; Ctrl+Z undoes, Ctrl+Y redoes. Drop a "
                           "picture on the window to paint it.";

std::size_t cellIndex(int x, int y)
{
    return static_cast<std::size_t>(y * spriteSize + x);
}

// Every cell filled whole, as a read-back paints it.
CanvasLook wholeCells(const SpriteColours& colours)
{
    CanvasLook look;
    for (std::size_t i = 0; i < look.size(); ++i)
        look[i] = {colours[i], colours[i]};
    return look;
}

// The first local file among what is dragged, or an empty name.
QString draggedFile(const QMimeData* data)
{
    if (data == nullptr)
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return {};
}

// The picture's top-left 8 × 8 pixels in the kind's colours; pixels beyond a
// smaller picture are transparent.
SpriteColours spriteOfPicture(SpriteKind kind, const PictureCorner& corner)
{
    SpriteColours colours;
    for (int y = 0; y < spriteSize; ++y) {
        for (int x = 0; x < spriteSize; ++x) {
            const Rgba pixel = x < corner.width && y < corner.height ? corner.at(x, y) : Rgba{};
            colours[cellIndex(x, y)] =
                spritePixelOf(kind, pixel.red, pixel.green, pixel.blue, pixel.alpha).colour;
        }
    }
    return colours;
}

DrawingArea* makeSwatch(QWidget* parent, const char* name, Colour colour)
{
    auto* swatch = makeNamed<DrawingArea>(parent, name);
    swatch->setFramed(true);
    swatch->setBackColor(colour);
    return swatch;
}

} // namespace

SpriteEditor::SpriteEditor(const SpriteVariant& variant, SpriteLayers& layerBits,
                           Clipboard& clipboard, MessageBox& messageBox, QWidget* owner)
    : QDialog(owner), m_variant(variant), m_layerBits(layerBits), m_clipboard(clipboard),
      m_messageBox(messageBox)
{
    setUpFixedWindow(this, variant.objectName, QString::fromLatin1(variant.title),
                     variant.clientSize);
    setWindowIcon(variant.windowIcon > 0 ? toolWindowIcon(variant.windowIcon) : QIcon());

    txtCode = makeNamed<QPlainTextEdit>(this, "txtCode");
    txtCode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCode->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The toolkit's default wrapping (at word boundaries, else anywhere) takes
    // time quadratic in the length of a line: a pasted megabyte without a line
    // break froze the window for minutes. Breaking anywhere is linear, and the
    // editor's own lines are far too short to wrap at all.
    txtCode->setWordWrapMode(QTextOption::WrapAnywhere);
    txtCode->viewport()->installEventFilter(this);

    lblHelp = makeNamed<QLabel>(this, "lblHelp", QString::fromLatin1(variant.helpText));
    lblHelp->setWordWrap(true);
    lblHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    picPreview = makeNamed<DrawingArea>(this, "picPreview");

    for (const ColourSwatch& swatch : variant.swatches) {
        DrawingArea* area = makeSwatch(this, swatch.name, swatch.colour);
        connect(area, &DrawingArea::mouseUp, this,
                [this, swatch](int button, int, float, float) { swatch_MouseUp(swatch, button); });
    }

    // The pens start black (left button) and white (right button) at every opening.
    picPen = makeSwatch(this, "picPen", colours::black);
    picPen2 = makeSwatch(this, "picPen2", colours::white);
    picPen2->raise(); // drawn in front of picPen, which it overlaps

    cmdClipboard = makeButton(this, "cmdClipboard", QStringLiteral("C&opy"));
    cmdClear = makeButton(this, "cmdClear", QStringLiteral("&Clear"));

    picSprite = makeNamed<DrawingArea>(this, "picSprite");
    picSprite->setUserScale(80, 80);
    // A click gives the canvas the keyboard, for its edit keys; Tab never does.
    picSprite->setFocusPolicy(Qt::ClickFocus);
    picSprite->setToolTip(QString::fromLatin1(canvasTip));
    picSprite->installEventFilter(this);
    setAcceptDrops(true);

    if (variant.sizeRow)
        buildSizeRow();

    placeControls(this, variant.layout);

    connect(picSprite, &DrawingArea::mouseDown, this, &SpriteEditor::picSprite_MouseDown);
    connect(picSprite, &DrawingArea::mouseMove, this, &SpriteEditor::picSprite_MouseMove);
    connect(picSprite, &DrawingArea::mouseUp, this, &SpriteEditor::picSprite_MouseUp);
    connect(cmdClear, &QPushButton::clicked, this, &SpriteEditor::cmdClear_Click);
    connect(cmdClipboard, &QPushButton::clicked, this, &SpriteEditor::cmdClipboard_Click);
    // Connected after the handlers, so that each change is recorded once it is made.
    connect(picSprite, &DrawingArea::mouseUp, this, &SpriteEditor::recordChange);
    connect(cmdClear, &QPushButton::clicked, this, &SpriteEditor::recordChange);

    Form_Load();
}

void SpriteEditor::buildSizeRow()
{
    // The sprite size is fixed at 8 × 8: the row only shows it and takes no input.
    auto* lblSize = makeNamed<QLabel>(
        this, "lblSize", QStringLiteral("Size:                    x                   pixels"));
    auto* txtWidth = makeNamed<QLineEdit>(this, "txtWidth", QStringLiteral("8"));
    auto* vscWidth = makeNamed<QScrollBar>(this, "vscWidth", Qt::Vertical);
    auto* txtHeight = makeNamed<QLineEdit>(this, "txtHeight", QStringLiteral("8"));
    auto* vscHeight = makeNamed<QScrollBar>(this, "vscHeight", Qt::Vertical);
    for (QLineEdit* box : {txtWidth, txtHeight})
        box->setAlignment(Qt::AlignCenter);
    for (QWidget* control :
         std::initializer_list<QWidget*>{lblSize, txtWidth, vscWidth, txtHeight, vscHeight}) {
        control->setEnabled(false);
        control->setFocusPolicy(Qt::NoFocus);
    }
    // The boxes lie over the spaces of the caption.
    for (QWidget* control :
         std::initializer_list<QWidget*>{txtWidth, vscWidth, txtHeight, vscHeight})
        control->raise();
}

void SpriteEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_variant.placement == WindowPlacement::SystemPlaced && parentWidget()) {
        // Not centred: a new window's usual place, cascaded from the owner's corner.
        const QPoint corner = parentWidget()->frameGeometry().topLeft();
        move(corner + QPoint(32, 32));
    }
}

void SpriteEditor::Form_Load()
{
    ConverttoText();
    m_history = CanvasHistory(canvasLook());
}

void SpriteEditor::paintCell(int button, float x, float y)
{
    Colour colour = colours::white;
    if (button == 1)
        colour = picPen->backColor();
    else if (button == 2)
        colour = picPen2->backColor();
    else
        return; // no button, the middle button, or two buttons together

    const float column = std::floor(x / cellUnits);
    const float row = std::floor(y / cellUnits);
    // A drag that leaves the canvas keeps reporting positions; cells outside the
    // sprite are not part of it and are never touched.
    if (!(column >= 0 && column < spriteSize && row >= 0 && row < spriteSize))
        return;
    const float x0 = column * cellUnits;
    const float y0 = row * cellUnits;
    // Stop half a unit short of the next cell so a thin line of background stays
    // visible between painted cells; reading the sprite back from text fills
    // whole cells.
    const QPointF from(x0, y0);
    const QPointF to(x0 + penReach, y0 + penReach);
    picSprite->fillRectangle(from, to, colour);
    picPreview->fillRectangle(from, to, colour);
}

void SpriteEditor::picSprite_MouseDown(int button, int, float x, float y)
{
    paintCell(button, x, y);
}

void SpriteEditor::picSprite_MouseMove(int button, int, float x, float y)
{
    paintCell(button, x, y);
}

void SpriteEditor::picSprite_MouseUp(int, int, float, float)
{
    ConverttoText();
}

void SpriteEditor::cmdClear_Click()
{
    picSprite->clear();
    picPreview->clear();
    ConverttoText();
}

void SpriteEditor::txtCode_DblClick()
{
    ConverttoPict();
}

void SpriteEditor::cmdClipboard_Click()
{
    m_clipboard.setText(withCrLfLineBreaks(txtCode->toPlainText()));
}

void SpriteEditor::swatch_MouseUp(const ColourSwatch& swatch, int button)
{
    if (button == 1)
        picPen->setBackColor(swatch.colour);
    else if (button == 2)
        picPen2->setBackColor(swatch.colour);
}

void SpriteEditor::ConverttoText()
{
    for (int y = 0; y < spriteSize; ++y)
        for (int x = 0; x < spriteSize; ++x) {
            const QPointF sample(cellUnits * x + m_variant.sampleOffset,
                                 cellUnits * y + m_variant.sampleOffset);
            applyColour(m_variant.kind, picSprite->readPoint(sample), x, y, m_layerBits);
        }
    txtCode->setPlainText(QString::fromLatin1(spriteCodeText(m_variant.kind, m_layerBits)));
}

void SpriteEditor::ConverttoPict()
{
    const QByteArray text = txtCode->toPlainText().toLatin1();
    const std::optional<SpriteColours> colours =
        readSpriteCode(m_variant.kind, std::string_view(text.constData(), text.size()));
    if (!colours)
        return;
    showCanvas(wholeCells(*colours));
}

bool SpriteEditor::picSprite_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    static constexpr std::pair<int, SpriteEdit> keys[] = {
        {Qt::Key_Left, SpriteEdit::ShiftLeft},    {Qt::Key_Right, SpriteEdit::ShiftRight},
        {Qt::Key_Up, SpriteEdit::ShiftUp},        {Qt::Key_Down, SpriteEdit::ShiftDown},
        {Qt::Key_H, SpriteEdit::MirrorLeftRight}, {Qt::Key_V, SpriteEdit::MirrorTopBottom},
        {Qt::Key_R, SpriteEdit::TurnClockwise},   {Qt::Key_I, SpriteEdit::Invert},
    };
    for (const auto& [edited, edit] : keys) {
        if (key == edited) {
            applyEdit(edit);
            return true;
        }
    }
    return false;
}

bool SpriteEditor::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    if (key == Qt::Key_Z && held == Qt::ControlModifier) {
        undo();
        return true;
    }
    if ((key == Qt::Key_Z && held == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (key == Qt::Key_Y && held == Qt::ControlModifier)) {
        redo();
        return true;
    }
    return false;
}

void SpriteEditor::Form_OLEDragDrop(const QString& path)
{
    const Result<PictureCorner> picture =
        readPictureFile(systemFileName(path), spriteSize, spriteSize);
    if (!picture) {
        m_messageBox.warn(this, windowTitle(), cannotLoadText(path, picture.error()));
        return;
    }
    showCanvas(wholeCells(spriteOfPicture(m_variant.kind, *picture)));
    ConverttoText();
    recordChange();
}

CanvasLook SpriteEditor::canvasLook() const
{
    CanvasLook look;
    for (int y = 0; y < spriteSize; ++y)
        for (int x = 0; x < spriteSize; ++x) {
            const QPointF corner(cellUnits * x, cellUnits * y);
            look[cellIndex(x, y)] = {picSprite->readPoint(corner),
                                     picSprite->readPoint(corner + QPointF(stripOffset, 0))};
        }
    return look;
}

void SpriteEditor::showCanvas(const CanvasLook& look)
{
    // Row by row and each row from the left, each cell first whole in its
    // strip's colour and then, where the pen painted it, its colour as far as
    // the pen reaches. A whole cell's far edge is the near edge of the next
    // cell, which takes it when that cell is painted.
    for (int y = 0; y < spriteSize; ++y)
        for (int x = 0; x < spriteSize; ++x) {
            const CellLook& cell = look[cellIndex(x, y)];
            const QPointF from(cellUnits * x, cellUnits * y);
            const QPointF to(cellUnits * (x + 1), cellUnits * (y + 1));
            picSprite->fillRectangle(from, to, cell.edge);
            if (cell.colour != cell.edge)
                picSprite->fillRectangle(from, from + QPointF(penReach, penReach), cell.colour);
            picPreview->fillRectangle(from, to, cell.colour);
        }
}

void SpriteEditor::recordChange()
{
    m_history.record(canvasLook());
}

void SpriteEditor::applyEdit(SpriteEdit edit)
{
    showCanvas(editedCanvas(edit, canvasLook()));
    ConverttoText();
    recordChange();
}

void SpriteEditor::undo()
{
    // A stroke still under way (a key pressed while a button is held) is a
    // change of its own, and the first to be undone.
    recordChange();
    if (const std::optional<CanvasLook> before = m_history.undo()) {
        showCanvas(*before);
        ConverttoText();
    }
}

void SpriteEditor::redo()
{
    if (const std::optional<CanvasLook> after = m_history.redo()) {
        showCanvas(*after);
        ConverttoText();
    }
}

bool SpriteEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == picSprite && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return picSprite_KeyDown(key->key(), key->modifiers());
    }
    if (watched == txtCode->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            txtCode_DblClick(); // and let the box select the word as usual
            recordChange();
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            // A dropped file is a picture for the sprite, not text for the box;
            // dragged text still goes into the box.
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = draggedFile(drop->mimeData());
            if (path.isEmpty())
                break;
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                Form_OLEDragDrop(path);
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SpriteEditor::keyPressEvent(QKeyEvent* event)
{
    // In the code box, Ctrl+Z and its kin belong to the box's own text.
    if (!txtCode->hasFocus() && Form_KeyDown(event->key(), event->modifiers()))
        return;
    QDialog::keyPressEvent(event);
}

void SpriteEditor::dragEnterEvent(QDragEnterEvent* event)
{
    if (!draggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void SpriteEditor::dropEvent(QDropEvent* event)
{
    const QString path = draggedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    Form_OLEDragDrop(path);
}
