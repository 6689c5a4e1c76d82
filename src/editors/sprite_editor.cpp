#include "editors/sprite_editor.h"

#include "ui/clipboard.h"
#include "ui/drawing_area.h"
#include "ui/tool_icons.h"
#include "ui/window_setup.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace {

constexpr float cellUnits = 10.0F;

DrawingArea* makeSwatch(QWidget* parent, const char* name, Colour colour)
{
    auto* swatch = makeNamed<DrawingArea>(parent, name);
    swatch->setFramed(true);
    swatch->setBackColor(colour);
    return swatch;
}

} // namespace

SpriteEditor::SpriteEditor(const SpriteVariant& variant, SpriteLayers& layerBits,
                           Clipboard& clipboard, QWidget* owner)
    : QDialog(owner), m_variant(variant), m_layerBits(layerBits), m_clipboard(clipboard)
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

    if (variant.sizeRow)
        buildSizeRow();

    placeControls(this, variant.layout);

    connect(picSprite, &DrawingArea::mouseDown, this, &SpriteEditor::picSprite_MouseDown);
    connect(picSprite, &DrawingArea::mouseMove, this, &SpriteEditor::picSprite_MouseMove);
    connect(picSprite, &DrawingArea::mouseUp, this, &SpriteEditor::picSprite_MouseUp);
    connect(cmdClear, &QPushButton::clicked, this, &SpriteEditor::cmdClear_Click);
    connect(cmdClipboard, &QPushButton::clicked, this, &SpriteEditor::cmdClipboard_Click);

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
    const QPointF to(x0 + 9.5F, y0 + 9.5F);
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
    // Whole cells, painted row by row and each row from the left, so that a
    // shared edge takes the colour of the cell painted later.
    for (int y = 0; y < spriteSize; ++y)
        for (int x = 0; x < spriteSize; ++x) {
            const Colour colour = (*colours)[static_cast<std::size_t>(y * spriteSize + x)];
            const QPointF from(cellUnits * x, cellUnits * y);
            const QPointF to(cellUnits * (x + 1), cellUnits * (y + 1));
            picSprite->fillRectangle(from, to, colour);
            picPreview->fillRectangle(from, to, colour);
        }
}

bool SpriteEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtCode->viewport() && event->type() == QEvent::MouseButtonDblClick)
        txtCode_DblClick(); // and let the box select the word as usual
    return QDialog::eventFilter(watched, event);
}
