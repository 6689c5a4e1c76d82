// The four sprite editor windows, driven with the mouse and keyboard as a user would.

#include "editors/sprite_editor.h"
#include "support/fake_message_box.h"
#include "ui/clipboard.h"
#include "ui/drawing_area.h"
#include "ui/window_font.h"

#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(SpriteKind)

namespace {

const QString commonHelp = QStringLiteral(
    "The \"Copy\"-Button copies the Sprite-Code to the clipboard. If you manually change the "
    "textbox, double-click it to actualize the view.");

QString emptyText(SpriteKind kind)
{
    const QString zeros = QStringLiteral("\r\n.db %00000000").repeated(8);
    const QString ones = QStringLiteral("\r\n.db %11111111").repeated(8);
    switch (kind) {
    case SpriteKind::BlackWhite:
        return QStringLiteral(";Bitmap") + zeros;
    case SpriteKind::Greyscale:
        return QStringLiteral(";Light Layer") + zeros + QStringLiteral("\r\n\r\n;Dark Layer") +
               zeros;
    case SpriteKind::BlackWhiteMasked:
        return QStringLiteral(";Bitmap") + zeros + QStringLiteral("\r\n\r\n;Mask Layer") + ones;
    case SpriteKind::GreyscaleMasked:
        return QStringLiteral(";Light Layer") + zeros + QStringLiteral("\r\n\r\n;Dark Layer") +
               zeros + QStringLiteral("\r\n\r\n;Mask Layer") + ones;
    }
    return {};
}

// The four editors, one row each, named by their windows.
void addEditorRows()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::newRow("frmSprBW") << SpriteKind::BlackWhite;
    QTest::newRow("frmSprGS") << SpriteKind::Greyscale;
    QTest::newRow("frmSprBWm") << SpriteKind::BlackWhiteMasked;
    QTest::newRow("frmSprGSm") << SpriteKind::GreyscaleMasked;
}

// The swatches of each editor, from the top.
QStringList swatchesOf(SpriteKind kind)
{
    switch (kind) {
    case SpriteKind::BlackWhite:
        break;
    case SpriteKind::Greyscale:
        return {"picWhite", "picLight", "picDark", "picBlack"};
    case SpriteKind::BlackWhiteMasked:
        return {"picWhite", "picBlack", "picMask"};
    case SpriteKind::GreyscaleMasked:
        return {"picWhite", "picLight", "picDark", "picBlack", "picMask"};
    }
    return {};
}

// Keeps what Copy puts on the clipboard, in order.
class FakeClipboard : public Clipboard
{
public:
    void setText(const QString& text) override { texts.append(text); }
    QStringList texts;
};

// An open editor window, as the tool opens it, with the tool's layer bits.
class Editor
{
public:
    explicit Editor(SpriteKind kind, SpriteLayers* bits = nullptr)
        : kind(kind), m_bits(bits ? bits : &m_ownBits),
          window(std::make_unique<SpriteEditor>(spriteVariant(kind), *m_bits, clipboard, messages,
                                                nullptr))
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    template<typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    DrawingArea* canvas() const { return control<DrawingArea>("picSprite"); }
    DrawingArea* preview() const { return control<DrawingArea>("picPreview"); }
    QPlainTextEdit* code() const { return control<QPlainTextEdit>("txtCode"); }
    // The code box's text with its line breaks as the editor wrote them.
    QString text() const { return code()->toPlainText().replace(u'\n', QStringLiteral("\r\n")); }

    static QPoint pixelOf(double unitX, double unitY)
    {
        return {qRound(unitX * 2.5), qRound(unitY * 2.5)};
    }
    void press(Qt::MouseButton button, double x, double y)
    {
        QTest::mousePress(canvas(), button, {}, pixelOf(x, y));
    }
    void move(double x, double y) { QTest::mouseMove(canvas(), pixelOf(x, y)); }
    void release(Qt::MouseButton button, double x, double y)
    {
        QTest::mouseRelease(canvas(), button, {}, pixelOf(x, y));
    }
    void paint(Qt::MouseButton button, int cellX, int cellY)
    {
        press(button, cellX * 10 + 5, cellY * 10 + 5);
        release(button, cellX * 10 + 5, cellY * 10 + 5);
    }
    // The colour of a sprite pixel as the canvas shows it, at the middle of its cell.
    Colour cell(int x, int y) const { return canvas()->readPoint({x * 10 + 5.0, y * 10 + 5.0}); }
    void setCode(const QString& text) { code()->setPlainText(text); }
    void doubleClickCode() { QTest::mouseDClick(code()->viewport(), Qt::LeftButton, {}, {5, 5}); }
    void click(const char* button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    void releaseOnSwatch(const char* swatch, Qt::MouseButton button)
    {
        QTest::mouseClick(control(swatch), button, {}, {12, 12});
    }
    Colour pen(const char* name) const { return control<DrawingArea>(name)->backColor(); }
    // A key pressed wherever the keyboard focus is, as a user presses it.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), key, modifiers);
    }
    // The canvas gets the keyboard with any click; the middle button paints nothing.
    void focusCanvas() { paint(Qt::MiddleButton, 0, 0); }
    // A file dragged from a file manager and let go over `target`.
    static void drop(QWidget* target, const QString& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
    }
    // The sprite that the code box's text describes, read as the editor reads it.
    std::optional<SpriteColours> textSprite() const
    {
        const QByteArray written = code()->toPlainText().toLatin1();
        return readSpriteCode(kind, std::string_view(written.data(), written.size()));
    }
    SpriteColours cells() const
    {
        SpriteColours shown;
        for (int i = 0; i < 64; ++i)
            shown[std::size_t(i)] = cell(i % 8, i / 8);
        return shown;
    }

    SpriteKind kind;
    SpriteLayers m_ownBits;
    SpriteLayers* m_bits;
    FakeClipboard clipboard;
    FakeMessageBox messages;
    std::unique_ptr<SpriteEditor> window;
};

} // namespace

class TestSpriteEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installWindowFont(); }
    void init() { QGuiApplication::clipboard()->clear(); }

    void windowsMatchTheirDescription_data();
    void windowsMatchTheirDescription();
    void controlsSitAtTheirPlaces_data();
    void controlsSitAtTheirPlaces();
    void sizeRowOnlyShowsEightByEight();
    void swatchesShowExactColours();

    void opensWithTheEmptySpriteAndInitialPens_data() { addEditorRows(); }
    void opensWithTheEmptySpriteAndInitialPens();
    void pressOnACellBoundaryBelongsToTheNextCell();
    void buttonsPaintOnlyAlone();
    void middleClickPaintsNothingButRewritesTheText();
    void handEditsVanishAtTheNextRelease();
    void dragPaintsTheCellsUnderReportedPositions();
    void positionsOutsideTheCanvasPaintNothing_data() { addEditorRows(); }
    void positionsOutsideTheCanvasPaintNothing();
    void clearEmptiesBothViewsAndKeepsThePens();
    void paintedCellsShowAGridLineReadBackCellsDoNot();
    void doubleClickReadsTheTextAndLeavesIt();
    void tooFewDigitsChangeNothing();
    void copyPutsCrLfTextOnTheClipboard();
    void everyLineBreakBecomesCrLf();
    void systemClipboardHoldsPlainTextOnly();
    void hugePastedTextsReadBack_data();
    void hugePastedTextsReadBack();

    void swatchesSetThePens();
    void pressOnOneSwatchReleaseOnAnother();
    void bothPensMayHoldTheSameColour();
    void everyColourReadsBackAsPainted_data() { addEditorRows(); }
    void everyColourReadsBackAsPainted();
    void otherKindsTextsFollowTheReaderRules();
    void unrecognisedColoursKeepTheirBits();

    void undoAndRedoWalkTheChanges();
    void codeBoxKeepsItsOwnKeys();
    void keysEditTheSprite_data();
    void keysEditTheSprite();
    void invertKeepsMaskedPixels();
    void droppedPictureBecomesTheSprite();
    void droppedFileThatCannotBeRead();
};

void TestSpriteEditor::windowsMatchTheirDescription_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("help");
    QTest::addColumn<bool>("hasIcon");
    QTest::newRow("frmSprBW") << SpriteKind::BlackWhite << "frmSprBW"
                              << "Sprite-Editor for Black&White Sprites" << QSize(450, 246)
                              << commonHelp << true;
    QTest::newRow("frmSprGS") << SpriteKind::Greyscale << "frmSprGS"
                              << "Sprite-Editor for Greyscale Sprites" << QSize(424, 286)
                              << commonHelp << true;
    QTest::newRow("frmSprBWm") << SpriteKind::BlackWhiteMasked << "frmSprBWm"
                               << "Sprite-Editor for Black&White Sprites with Mask"
                               << QSize(473, 289)
                               << commonHelp + " The third color (orange) indicates a masked pixel."
                               << false;
    QTest::newRow("frmSprGSm") << SpriteKind::GreyscaleMasked << "frmSprGSm"
                               << "Sprite-Editor for Greyscale Sprites with Mask" << QSize(417, 409)
                               << commonHelp + " The fifth color (orange) indicates a masked pixel."
                               << false;
}

void TestSpriteEditor::windowsMatchTheirDescription()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QString, objectName);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QString, help);
    QFETCH(bool, hasIcon);
    Editor editor(kind);
    QCOMPARE(editor.window->objectName(), objectName);
    QCOMPARE(editor.window->windowTitle(), title);
    QCOMPARE(editor.window->size(), size);
    QCOMPARE(editor.window->minimumSize(), size);
    QCOMPARE(editor.window->maximumSize(), size);
    QCOMPARE(editor.control<QLabel>("lblHelp")->text(), help);
    QVERIFY(editor.control<QLabel>("lblHelp")->wordWrap());
    QCOMPARE(!editor.window->windowIcon().isNull(), hasIcon);
    QCOMPARE(editor.control<QPushButton>("cmdClipboard")->text(), QStringLiteral("C&opy"));
    QCOMPARE(editor.control<QPushButton>("cmdClear")->text(), QStringLiteral("&Clear"));
    QCOMPARE(editor.code()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(editor.code()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // The access keys work: Alt+C clears (a button's access key clicks it after a
    // short visible press).
    editor.setCode(QStringLiteral("edited"));
    QTest::keyClick(editor.window.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(editor.text(), emptyText(kind));
}

void TestSpriteEditor::controlsSitAtTheirPlaces_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("rect");
    const struct
    {
        SpriteKind kind;
        const char* prefix;
        std::initializer_list<std::pair<const char*, QRect>> places;
    } tables[] = {
        {SpriteKind::BlackWhite,
         "bw",
         {{"txtCode", {8, 8, 137, 137}},
          {"lblHelp", {8, 152, 137, 81}},
          {"picPreview", {152, 8, 80, 80}},
          {"picPen", {168, 96, 33, 33}},
          {"picPen2", {184, 112, 33, 33}},
          {"cmdClipboard", {152, 160, 41, 25}},
          {"cmdClear", {192, 160, 41, 25}},
          {"picSprite", {240, 8, 200, 200}},
          {"lblSize", {248, 216, 177, 17}},
          {"txtWidth", {280, 216, 33, 19}},
          {"vscWidth", {312, 216, 9, 17}},
          {"txtHeight", {344, 216, 33, 19}},
          {"vscHeight", {376, 216, 9, 17}}}},
        {SpriteKind::Greyscale,
         "gs",
         {{"txtCode", {8, 8, 113, 265}},
          {"picPreview", {128, 8, 80, 80}},
          {"picSprite", {216, 8, 200, 200}},
          {"picPen", {160, 96, 33, 33}},
          {"picPen2", {176, 112, 33, 33}},
          {"picWhite", {128, 96, 25, 25}},
          {"picLight", {128, 128, 25, 25}},
          {"picDark", {128, 160, 25, 25}},
          {"picBlack", {128, 192, 25, 25}},
          {"cmdClear", {160, 160, 49, 25}},
          {"cmdClipboard", {160, 192, 49, 25}},
          {"lblHelp", {128, 224, 289, 49}}}},
        {SpriteKind::BlackWhiteMasked,
         "bwm",
         {{"txtCode", {8, 8, 137, 273}},
          {"picPreview", {160, 8, 80, 80}},
          {"picSprite", {264, 8, 200, 200}},
          {"picPen", {192, 96, 33, 33}},
          {"picPen2", {208, 112, 33, 33}},
          {"picWhite", {160, 96, 25, 25}},
          {"picBlack", {160, 128, 25, 25}},
          {"picMask", {160, 160, 25, 25}},
          {"cmdClear", {192, 152, 57, 25}},
          {"cmdClipboard", {192, 184, 57, 25}},
          {"lblHelp", {152, 216, 313, 65}}}},
        {SpriteKind::GreyscaleMasked,
         "gsm",
         {{"txtCode", {8, 8, 105, 393}},
          {"picPreview", {120, 8, 80, 80}},
          {"picSprite", {208, 8, 200, 200}},
          {"picPen", {152, 96, 33, 33}},
          {"picPen2", {168, 112, 33, 33}},
          {"picWhite", {120, 96, 25, 25}},
          {"picLight", {120, 128, 25, 25}},
          {"picDark", {120, 160, 25, 25}},
          {"picBlack", {120, 192, 25, 25}},
          {"picMask", {120, 224, 25, 25}},
          {"cmdClear", {152, 160, 49, 25}},
          {"cmdClipboard", {152, 192, 49, 25}},
          {"lblHelp", {120, 256, 289, 145}}}},
    };
    for (const auto& table : tables)
        for (const auto& [name, rect] : table.places)
            QTest::addRow("%s %s", table.prefix, name)
                << table.kind << QString::fromLatin1(name) << rect;
}

void TestSpriteEditor::controlsSitAtTheirPlaces()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QString, control);
    QFETCH(QRect, rect);
    Editor editor(kind);
    const QWidget* widget = editor.window->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);
    QVERIFY(widget->isVisible());
}

void TestSpriteEditor::sizeRowOnlyShowsEightByEight()
{
    Editor editor(SpriteKind::BlackWhite);
    QCOMPARE(editor.control<QLabel>("lblSize")->text(),
             QStringLiteral("Size:") + QString(20, u' ') + u'x' + QString(19, u' ') +
                 QStringLiteral("pixels"));
    for (const char* box : {"txtWidth", "txtHeight"}) {
        QCOMPARE(editor.control<QLineEdit>(box)->text(), QStringLiteral("8"));
        QCOMPARE(editor.control<QLineEdit>(box)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    }
    for (const char* name : {"lblSize", "txtWidth", "vscWidth", "txtHeight", "vscHeight"}) {
        QVERIFY2(!editor.control(name)->isEnabled(), name);
        QCOMPARE(editor.control(name)->focusPolicy(), Qt::NoFocus);
    }
    // Tab never reaches the row.
    editor.code()->setFocus();
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(!QApplication::focusWidget()->objectName().startsWith(QLatin1String("txtW")));
        QVERIFY(!QApplication::focusWidget()->objectName().startsWith(QLatin1String("txtH")));
    }
    // Typing into a box does nothing; after painting and reading back it still shows 8.
    QTest::keyClicks(editor.control("txtWidth"), QStringLiteral("16"));
    editor.paint(Qt::LeftButton, 2, 2);
    editor.doubleClickCode();
    QCOMPARE(editor.control<QLineEdit>("txtWidth")->text(), QStringLiteral("8"));
    QCOMPARE(editor.control<QLineEdit>("txtHeight")->text(), QStringLiteral("8"));

    for (SpriteKind other :
         {SpriteKind::Greyscale, SpriteKind::BlackWhiteMasked, SpriteKind::GreyscaleMasked})
        QVERIFY(!Editor(other).control("lblSize"));
}

void TestSpriteEditor::swatchesShowExactColours()
{
    Editor editor(SpriteKind::GreyscaleMasked);
    const std::pair<const char*, Colour> swatches[] = {{"picWhite", colours::white},
                                                       {"picLight", colours::lightGrey},
                                                       {"picDark", colours::darkGrey},
                                                       {"picBlack", colours::black},
                                                       {"picMask", colours::mask}};
    for (const auto& [name, colour] : swatches) {
        const QImage shown = editor.control(name)->grab().toImage();
        QCOMPARE(shown.pixel(12, 12), qRgb(redOf(colour), greenOf(colour), blueOf(colour)));
    }
    QCOMPARE(Editor(SpriteKind::BlackWhiteMasked).window->findChildren<DrawingArea*>().size(),
             3 + 2 + 2); // three swatches, two pens, canvas and preview
}

void TestSpriteEditor::opensWithTheEmptySpriteAndInitialPens()
{
    QFETCH(SpriteKind, kind);
    SpriteLayers toolBits;
    {
        Editor first(kind, &toolBits);
        first.paint(Qt::LeftButton, 0, 0);
        if (first.control("picWhite"))
            first.releaseOnSwatch("picWhite", Qt::LeftButton);
        QVERIFY(first.text() != emptyText(kind));
    }
    // Reopened: the window starts afresh, while the tool's layer bits lived on.
    Editor second(kind, &toolBits);
    QCOMPARE(second.text(), emptyText(kind));
    QCOMPARE(second.pen("picPen"), colours::black);
    QCOMPARE(second.pen("picPen2"), colours::white);
    QCOMPARE(second.cell(0, 0), colours::white);
    QCOMPARE(second.preview()->readPoint({5, 5}), colours::white);
}

void TestSpriteEditor::pressOnACellBoundaryBelongsToTheNextCell()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.press(Qt::LeftButton, 30.0, 0.0);
    QCOMPARE(editor.cell(3, 0), colours::black);
    QCOMPARE(editor.cell(2, 0), colours::white);
    editor.release(Qt::LeftButton, 30.0, 0.0);
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 1, 1), QStringLiteral(".db %00010000"));
}

void TestSpriteEditor::buttonsPaintOnlyAlone()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.press(Qt::LeftButton, 15, 15);
    QCOMPARE(editor.cell(1, 1), colours::black);
    // The right button pressed while the left is held paints with the right pen.
    editor.press(Qt::RightButton, 15, 15);
    QCOMPARE(editor.cell(1, 1), colours::white);
    // Moving with both held paints nothing.
    editor.move(25, 15);
    editor.move(35, 25);
    QCOMPARE(editor.cell(2, 1), colours::white);
    QCOMPARE(editor.cell(3, 2), colours::white);
    QCOMPARE(editor.text(), emptyText(SpriteKind::BlackWhite)); // not rewritten while painting
    // Releasing either button rewrites the text; the left then paints alone again.
    editor.release(Qt::RightButton, 35, 25);
    editor.move(45, 45);
    QCOMPARE(editor.cell(4, 4), colours::black);
    editor.release(Qt::LeftButton, 45, 45);
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 5, 5), QStringLiteral(".db %00001000"));
}

void TestSpriteEditor::middleClickPaintsNothingButRewritesTheText()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.setCode(QStringLiteral("typed by hand"));
    editor.press(Qt::MiddleButton, 5, 5);
    QCOMPARE(editor.cell(0, 0), colours::white);
    QCOMPARE(editor.text(), QStringLiteral("typed by hand"));
    editor.release(Qt::MiddleButton, 5, 5);
    QCOMPARE(editor.text(), emptyText(SpriteKind::BlackWhite));
}

void TestSpriteEditor::handEditsVanishAtTheNextRelease()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.setCode(QString(64, u'1'));
    editor.paint(Qt::RightButton, 7, 7); // white on white: the picture is unchanged
    QCOMPARE(editor.text(), emptyText(SpriteKind::BlackWhite));
}

void TestSpriteEditor::dragPaintsTheCellsUnderReportedPositions()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.press(Qt::LeftButton, 5, 5);
    editor.move(25, 5); // skips cell 1: nothing is drawn between positions
    editor.move(35, 5);
    editor.release(Qt::LeftButton, 35, 5);
    QCOMPARE(editor.cell(0, 0), colours::black);
    QCOMPARE(editor.cell(1, 0), colours::white);
    QCOMPARE(editor.cell(2, 0), colours::black);
    QCOMPARE(editor.cell(3, 0), colours::black);
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 1, 1), QStringLiteral(".db %10110000"));
    QCOMPARE(editor.preview()->readPoint({25, 5}), colours::black);
}

void TestSpriteEditor::positionsOutsideTheCanvasPaintNothing()
{
    QFETCH(SpriteKind, kind);
    Editor editor(kind);
    // Through the window system, which keeps sending a drag to the canvas after
    // the pointer has left it, even beyond the window.
    QWindow* window = editor.window->windowHandle();
    const QPoint origin = editor.canvas()->pos();
    QTest::mousePress(window, Qt::LeftButton, {}, origin + Editor::pixelOf(75, 75));
    const QPoint outside[] = {{-1, 100},    {-300, -300}, {200, 100},  {100, 200},
                              {5000, 5000}, {-100000, 3}, {3, 1000000}};
    for (const QPoint& p : outside)
        QTest::mouseMove(window, origin + p);
    QTest::mouseMove(window, origin + Editor::pixelOf(75, 5)); // back inside
    QTest::mouseRelease(window, Qt::LeftButton, {}, origin + QPoint(-1000, -1000));

    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(editor.cell(x, y),
                     x == 7 && (y == 0 || y == 7) ? colours::black : colours::white);
    // The release wrote the text of exactly that picture.
    const QByteArray written = editor.code()->toPlainText().toLatin1();
    const auto colours = readSpriteCode(kind, std::string_view(written.data(), written.size()));
    QVERIFY(colours);
    QCOMPARE((*colours)[7], colours::black);
    QCOMPARE((*colours)[63], colours::black);
    QCOMPARE(std::count((*colours).begin(), (*colours).end(), colours::black), 2);
}

void TestSpriteEditor::clearEmptiesBothViewsAndKeepsThePens()
{
    Editor editor(SpriteKind::Greyscale);
    editor.releaseOnSwatch("picDark", Qt::LeftButton);
    editor.releaseOnSwatch("picLight", Qt::RightButton);
    editor.paint(Qt::LeftButton, 1, 1);
    editor.paint(Qt::RightButton, 2, 1);
    editor.click("cmdClear");
    QCOMPARE(editor.text(), emptyText(SpriteKind::Greyscale));
    QCOMPARE(editor.cell(1, 1), colours::white);
    QCOMPARE(editor.preview()->readPoint({25, 15}), colours::white);
    QCOMPARE(editor.pen("picPen"), colours::darkGrey);
    QCOMPARE(editor.pen("picPen2"), colours::lightGrey);
}

void TestSpriteEditor::paintedCellsShowAGridLineReadBackCellsDoNot()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.paint(Qt::LeftButton, 1, 1);
    editor.paint(Qt::LeftButton, 2, 1);
    // Cells 1 and 2 span pixels 25..49 and 50..74; the strip at 49 stays white.
    QImage image = editor.canvas()->takeImage();
    QCOMPARE(image.pixel(48, 30), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(49, 30), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(50, 30), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(30, 49), qRgb(255, 255, 255));

    editor.click("cmdClear");
    editor.setCode(QString(8, u'0') + QStringLiteral("01100000") + QString(48, u'0'));
    editor.doubleClickCode();
    image = editor.canvas()->takeImage();
    for (int x = 25; x < 75; ++x)
        QCOMPARE(image.pixel(x, 30), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(30, 49), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(30, 50), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(75, 30), qRgb(255, 255, 255));
}

void TestSpriteEditor::doubleClickReadsTheTextAndLeavesIt()
{
    Editor editor(SpriteKind::BlackWhite);
    const QString typed =
        QStringLiteral("; my sprite\n") + QString(7, u'0') + u'1' + QString(55, u'0') + u'1';
    editor.setCode(typed);
    editor.doubleClickCode();
    QCOMPARE(editor.cell(7, 0), colours::black);
    QCOMPARE(editor.cell(7, 7), colours::black);
    QCOMPARE(editor.cell(0, 0), colours::white);
    QCOMPARE(editor.preview()->readPoint({75, 75}), colours::black);
    QCOMPARE(editor.code()->toPlainText(), typed);
    // The next press and release writes the editor's own layout of the same pixels.
    editor.paint(Qt::RightButton, 3, 3);
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 1, 1), QStringLiteral(".db %00000001"));
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 8, 8), QStringLiteral(".db %00000001"));
}

void TestSpriteEditor::tooFewDigitsChangeNothing()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.paint(Qt::LeftButton, 4, 4);
    for (const QString& text : {QString(), QStringLiteral(";Bitmap"), QString(63, u'0')}) {
        editor.setCode(text);
        editor.doubleClickCode();
        QCOMPARE(editor.cell(4, 4), colours::black);
        QCOMPARE(editor.code()->toPlainText(), text);
    }
}

void TestSpriteEditor::copyPutsCrLfTextOnTheClipboard()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.paint(Qt::LeftButton, 0, 0);
    editor.click("cmdClipboard");
    QCOMPARE(editor.clipboard.texts, QStringList{QStringLiteral(";Bitmap\r\n.db %10000000") +
                                                 QStringLiteral("\r\n.db %00000000").repeated(7)});

    // An edit that was not read back is copied as it stands, only its line breaks made CR LF.
    editor.setCode(QStringLiteral("line one\nline two"));
    QTest::keyClick(editor.window.get(), Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(editor.clipboard.texts.size(), 2);
    QCOMPARE(editor.clipboard.texts.last(), QStringLiteral("line one\r\nline two"));
    QCOMPARE(editor.cell(0, 0), colours::black);

    editor.setCode(QString());
    editor.click("cmdClipboard");
    QCOMPARE(editor.clipboard.texts.last(), QString());
}

void TestSpriteEditor::everyLineBreakBecomesCrLf()
{
    const std::pair<QString, QString> texts[] = {
        {QString(), QString()},
        {QStringLiteral("no break"), QStringLiteral("no break")},
        {QStringLiteral("a\nb\n"), QStringLiteral("a\r\nb\r\n")},
        {QStringLiteral("a\r\nb"), QStringLiteral("a\r\nb")},
        {QStringLiteral("a\rb\r"), QStringLiteral("a\r\nb\r\n")},
        {QStringLiteral("a\n\rb"), QStringLiteral("a\r\n\r\nb")},
        {QStringLiteral("a\u2029b\u2028c"), QStringLiteral("a\r\nb\r\nc")},
    };
    for (const auto& [text, expected] : texts)
        QCOMPARE(withCrLfLineBreaks(text), expected);
}

void TestSpriteEditor::systemClipboardHoldsPlainTextOnly()
{
    SystemClipboard clipboard;
    clipboard.setText(QStringLiteral(";Bitmap\r\n.db %10000000"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->formats(), QStringList{QStringLiteral("text/plain")});
    QCOMPARE(data->text(), QStringLiteral(";Bitmap\r\n.db %10000000"));
    clipboard.setText(QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TestSpriteEditor::hugePastedTextsReadBack_data()
{
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<bool>("oneLine");
    QTest::newRow("1 MiB in one line") << 1 << true;
    QTest::newRow("16 MiB of lines") << 16 << false;
}

void TestSpriteEditor::hugePastedTextsReadBack()
{
    QFETCH(int, megabytes);
    QFETCH(bool, oneLine);
    // The code box wraps the same way in every editor; the narrowest box
    // breaks a pasted line the most often.
    Editor editor(SpriteKind::GreyscaleMasked);
    // Pasted text with the sprite's digits at the very end, light grey (light
    // 1, dark 0, visible); every character before them is read past.
    const QString filler =
        oneLine ? QStringLiteral("x") : QStringLiteral("; pasted line .db $ff\n");
    QString text = filler.repeated((megabytes << 20) / filler.size());
    text += QString(64, u'1') + QString(64, u'0') + QString(64, u'1');
    QApplication::clipboard()->setText(text);
    editor.code()->clear();
    editor.code()->paste();
    editor.doubleClickCode();
    QCOMPARE(editor.cell(0, 0), colours::lightGrey);
    QCOMPARE(editor.cell(7, 7), colours::lightGrey);
}

void TestSpriteEditor::swatchesSetThePens()
{
    Editor editor(SpriteKind::GreyscaleMasked);
    editor.releaseOnSwatch("picLight", Qt::LeftButton);
    QCOMPARE(editor.pen("picPen"), colours::lightGrey);
    QCOMPARE(editor.pen("picPen2"), colours::white);
    editor.releaseOnSwatch("picMask", Qt::RightButton);
    QCOMPARE(editor.pen("picPen2"), colours::mask);
    editor.releaseOnSwatch("picDark", Qt::MiddleButton);
    QCOMPARE(editor.pen("picPen"), colours::lightGrey);
    QCOMPARE(editor.pen("picPen2"), colours::mask);
    // The pen swatch shows its new colour at once.
    QCOMPARE(editor.control("picPen")->grab().toImage().pixel(16, 16), qRgb(192, 192, 192));

    editor.paint(Qt::LeftButton, 0, 0);
    editor.paint(Qt::RightButton, 1, 0);
    QCOMPARE(editor.cell(0, 0), colours::lightGrey);
    QCOMPARE(editor.cell(1, 0), colours::mask);
}

void TestSpriteEditor::pressOnOneSwatchReleaseOnAnother()
{
    Editor editor(SpriteKind::Greyscale);
    // Through the window system, which routes the release to the pressed control.
    QWindow* window = editor.window->windowHandle();
    const QPoint dark = editor.control("picDark")->geometry().center();
    const QPoint white = editor.control("picWhite")->geometry().center();
    QTest::mousePress(window, Qt::LeftButton, {}, dark);
    QTest::mouseMove(window, white);
    QTest::mouseRelease(window, Qt::LeftButton, {}, white);
    QCOMPARE(editor.pen("picPen"), colours::darkGrey);
    QTest::mousePress(window, Qt::RightButton, {}, white);
    QTest::mouseRelease(window, Qt::RightButton, {}, dark);
    QCOMPARE(editor.pen("picPen2"), colours::white);
    QTest::mousePress(window, Qt::RightButton, {}, dark);
    QTest::mouseRelease(window, Qt::RightButton, {}, editor.control("picPen")->geometry().center());
    QCOMPARE(editor.pen("picPen2"), colours::darkGrey);
}

void TestSpriteEditor::bothPensMayHoldTheSameColour()
{
    Editor editor(SpriteKind::BlackWhiteMasked);
    editor.releaseOnSwatch("picBlack", Qt::RightButton);
    editor.paint(Qt::LeftButton, 0, 0);
    editor.paint(Qt::RightButton, 1, 0);
    QCOMPARE(editor.cell(0, 0), colours::black);
    QCOMPARE(editor.cell(1, 0), colours::black);
}

void TestSpriteEditor::everyColourReadsBackAsPainted()
{
    QFETCH(SpriteKind, kind);
    const QStringList swatches = swatchesOf(kind);
    Editor editor(kind);
    QList<Colour> painted;
    if (swatches.isEmpty()) {
        editor.paint(Qt::LeftButton, 0, 0);
        editor.paint(Qt::RightButton, 1, 0);
        painted = {colours::black, colours::white};
    } else {
        for (int i = 0; i < swatches.size(); ++i) {
            editor.releaseOnSwatch(swatches.at(i).toLatin1().constData(), Qt::LeftButton);
            editor.paint(Qt::LeftButton, i, i);
            painted.append(editor.pen("picPen"));
        }
    }
    const QString written = editor.code()->toPlainText();
    editor.click("cmdClear");
    editor.setCode(written);
    editor.doubleClickCode();
    for (int i = 0; i < painted.size(); ++i) {
        const int x = i;
        const int y = swatches.isEmpty() ? 0 : i;
        QCOMPARE(editor.cell(x, y), painted.at(i));
        QCOMPARE(editor.preview()->readPoint({x * 10 + 5.0, y * 10 + 5.0}), painted.at(i));
    }
}

void TestSpriteEditor::otherKindsTextsFollowTheReaderRules()
{
    Editor bw(SpriteKind::BlackWhite);
    bw.paint(Qt::LeftButton, 0, 0);
    const QString bwText = bw.code()->toPlainText();
    for (SpriteKind kind :
         {SpriteKind::Greyscale, SpriteKind::BlackWhiteMasked, SpriteKind::GreyscaleMasked}) {
        Editor other(kind);
        other.setCode(bwText);
        other.doubleClickCode();
        QCOMPARE(other.cell(0, 0), colours::white);
        QCOMPARE(other.code()->toPlainText(), bwText);
    }

    Editor bwm(SpriteKind::BlackWhiteMasked);
    bwm.releaseOnSwatch("picMask", Qt::RightButton);
    bwm.paint(Qt::LeftButton, 1, 0);  // visible black
    bwm.paint(Qt::RightButton, 2, 0); // masked
    Editor gs(SpriteKind::Greyscale);
    gs.setCode(bwm.code()->toPlainText());
    gs.doubleClickCode();
    QCOMPARE(gs.cell(0, 0), colours::darkGrey); // visible white
    QCOMPARE(gs.cell(1, 0), colours::black);
    QCOMPARE(gs.cell(2, 0), colours::white);
}

void TestSpriteEditor::unrecognisedColoursKeepTheirBits()
{
    // A cell whose colour the writer does not know keeps the bits of the last
    // colour recognised there.
    Editor editor(SpriteKind::BlackWhiteMasked);
    editor.paint(Qt::LeftButton, 0, 0);
    editor.canvas()->fillRectangle({0, 0}, {9, 9}, colours::lightGrey);
    editor.paint(Qt::MiddleButton, 5, 5);
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 1, 1), QStringLiteral(".db %10000000"));
    QCOMPARE(editor.text().section(QStringLiteral("\r\n"), 11, 11),
             QStringLiteral(".db %11111111"));
}

// A stroke, Clear and a read-back, undone and redone: each time both surfaces
// look exactly as they did, grid lines included, and the code box holds the
// text of what they show.
void TestSpriteEditor::undoAndRedoWalkTheChanges()
{
    Editor editor(SpriteKind::BlackWhite);
    QList<QImage> canvases;
    QList<QImage> previews;
    QStringList texts;
    const auto keep = [&] {
        canvases << editor.canvas()->takeImage();
        previews << editor.preview()->takeImage();
        texts << editor.text();
    };
    const auto shows = [&](int state) {
        return editor.canvas()->takeImage() == canvases.at(state) &&
               editor.preview()->takeImage() == previews.at(state) &&
               editor.text() == texts.at(state);
    };
    keep(); // 0: as opened

    editor.press(Qt::LeftButton, 15, 15);
    editor.move(25, 15);
    editor.release(Qt::LeftButton, 25, 15);
    keep(); // 1: two painted cells, a grid line between them
    QCOMPARE(canvases[1].pixel(49, 30), qRgb(255, 255, 255));
    // No changes: a click that paints nothing, a read-back of too few digits.
    editor.paint(Qt::MiddleButton, 5, 5);
    editor.setCode(QString(63, u'1'));
    editor.doubleClickCode();

    editor.click("cmdClear");
    keep(); // 2: empty again
    editor.setCode(QString(9, u'1') + QStringLiteral("11") + QString(53, u'0'));
    editor.doubleClickCode();
    editor.focusCanvas(); // writes the editor's own text of the read-back cells
    keep();               // 3: read back, no grid lines
    QCOMPARE(canvases[3].pixel(49, 30), qRgb(0, 0, 0));

    const struct
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int state;
    } steps[] = {
        {Qt::Key_Z, Qt::ControlModifier, 2},
        {Qt::Key_Z, Qt::ControlModifier, 1},
        {Qt::Key_Z, Qt::ControlModifier, 0},
        {Qt::Key_Z, Qt::ControlModifier, 0}, // nothing older
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 1},
        {Qt::Key_Y, Qt::ControlModifier, 2},
        {Qt::Key_Y, Qt::ControlModifier, 3},
        {Qt::Key_Y, Qt::ControlModifier, 3}, // nothing newer
        {Qt::Key_Z, Qt::ControlModifier, 2},
    };
    for (const auto& step : steps) {
        editor.key(step.key, step.modifiers);
        QVERIFY2(shows(step.state), qPrintable(QString::number(step.state)));
    }

    // A new change drops what could have been redone.
    editor.paint(Qt::LeftButton, 5, 5);
    keep(); // 4
    editor.key(Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(shows(4));
    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(shows(2));
    // Undo works from the buttons too, wherever the focus is but in the code box.
    editor.click("cmdClipboard");
    QVERIFY(editor.control("cmdClipboard")->hasFocus());
    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(shows(1));
}

void TestSpriteEditor::codeBoxKeepsItsOwnKeys()
{
    Editor editor(SpriteKind::BlackWhite);
    editor.paint(Qt::LeftButton, 0, 0);
    editor.code()->setFocus();
    editor.code()->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor.code(), QStringLiteral("hvri"));
    QVERIFY(editor.code()->toPlainText().endsWith(QLatin1String("hvri")));
    // Ctrl+Z there undoes the typing, not the sprite.
    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!editor.code()->toPlainText().endsWith(QLatin1String("hvri")));
    editor.key(Qt::Key_Y, Qt::ControlModifier);
    editor.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(editor.cell(0, 0), colours::black);
    QCOMPARE(editor.cell(7, 0), colours::white);
}

void TestSpriteEditor::keysEditTheSprite_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QList<QPoint>>("moved"); // where the cells painted at (0,0), (1,0), (0,2) go
    QTest::newRow("left") << int(Qt::Key_Left) << QList<QPoint>{{7, 0}, {0, 0}, {7, 2}};
    QTest::newRow("right") << int(Qt::Key_Right) << QList<QPoint>{{1, 0}, {2, 0}, {1, 2}};
    QTest::newRow("up") << int(Qt::Key_Up) << QList<QPoint>{{0, 7}, {1, 7}, {0, 1}};
    QTest::newRow("down") << int(Qt::Key_Down) << QList<QPoint>{{0, 1}, {1, 1}, {0, 3}};
    QTest::newRow("H mirrors left-right")
        << int(Qt::Key_H) << QList<QPoint>{{7, 0}, {6, 0}, {7, 2}};
    QTest::newRow("V mirrors top-bottom")
        << int(Qt::Key_V) << QList<QPoint>{{0, 7}, {1, 7}, {0, 5}};
    QTest::newRow("R turns clockwise") << int(Qt::Key_R) << QList<QPoint>{{7, 0}, {7, 1}, {5, 0}};
    QTest::newRow("I inverts") << int(Qt::Key_I) << QList<QPoint>{};
}

// Each key on the canvas is one change: the code box follows, the painted
// cells keep their grid line, and one Ctrl+Z takes it back.
void TestSpriteEditor::keysEditTheSprite()
{
    QFETCH(int, key);
    QFETCH(QList<QPoint>, moved);
    Editor editor(SpriteKind::BlackWhite);
    QVERIFY(editor.canvas()->toolTip().contains(QLatin1String("Ctrl+Z")));
    editor.paint(Qt::LeftButton, 0, 0);
    editor.paint(Qt::LeftButton, 1, 0);
    editor.paint(Qt::LeftButton, 0, 2);
    QVERIFY(editor.canvas()->hasFocus());
    const SpriteColours before = editor.cells();
    const QString textBefore = editor.text();

    editor.key(Qt::Key(key));
    SpriteColours expected;
    expected.fill(moved.isEmpty() ? colours::black : colours::white);
    for (const QPoint& p : moved)
        expected[std::size_t(p.y() * 8 + p.x())] = colours::black;
    if (moved.isEmpty()) {
        for (const std::size_t i : {0, 1, 16})
            expected[i] = colours::white;
    }
    QCOMPARE(editor.cells(), expected);
    QCOMPARE(editor.textSprite(), std::optional(expected));
    if (!moved.isEmpty()) {
        const QImage image = editor.canvas()->takeImage();
        QCOMPARE(image.pixel(moved[0].x() * 25 + 24, moved[0].y() * 25 + 5), qRgb(255, 255, 255));
    }

    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor.cells(), before);
    QCOMPARE(editor.text(), textBefore);
}

void TestSpriteEditor::invertKeepsMaskedPixels()
{
    Editor editor(SpriteKind::GreyscaleMasked);
    editor.releaseOnSwatch("picMask", Qt::LeftButton);
    editor.paint(Qt::LeftButton, 0, 0);
    editor.releaseOnSwatch("picLight", Qt::LeftButton);
    editor.paint(Qt::LeftButton, 1, 0);
    editor.key(Qt::Key_I);
    QCOMPARE(editor.cell(0, 0), colours::mask);
    QCOMPARE(editor.cell(1, 0), colours::darkGrey);
    QCOMPARE(editor.cell(2, 0), colours::black);
    QCOMPARE(editor.textSprite(), std::optional(editor.cells()));
}

// A picture dropped on the canvas, or on the code box, paints its top-left
// 8 × 8 pixels in the nearest colours as one change.
void TestSpriteEditor::droppedPictureBecomesTheSprite()
{
    QTemporaryDir folder;
    QImage picture(10, 9, QImage::Format_ARGB32);
    picture.fill(qRgb(20, 10, 0));
    picture.setPixel(0, 0, qRgb(250, 250, 250));
    picture.setPixel(1, 0, qRgb(200, 190, 185));
    picture.setPixel(2, 0, qRgb(120, 130, 140));
    picture.setPixel(3, 0, qRgba(0, 0, 0, 0));
    picture.setPixel(4, 0, qRgba(0, 0, 0, 127)); // on white exactly dark grey
    picture.setPixel(9, 8, qRgb(255, 255, 255)); // beyond the corner
    QVERIFY(picture.save(folder.filePath("sprite.png")));
    SpriteColours expected;
    expected.fill(colours::black);
    expected[0] = colours::white;
    expected[1] = colours::lightGrey;
    expected[2] = colours::darkGrey;
    expected[3] = colours::white;
    expected[4] = colours::darkGrey;

    Editor editor(SpriteKind::Greyscale);
    editor.paint(Qt::LeftButton, 7, 7);
    const SpriteColours before = editor.cells();
    Editor::drop(editor.canvas(), folder.filePath("sprite.png"));
    QCOMPARE(editor.cells(), expected);
    QCOMPARE(editor.textSprite(), std::optional(expected));
    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor.cells(), before);

    Editor::drop(editor.code()->viewport(), folder.filePath("sprite.png"));
    QCOMPARE(editor.cells(), expected);
    QVERIFY(!editor.code()->toPlainText().contains(QLatin1String("file:")));

    // A smaller picture: beyond it nothing, which a masked editor masks.
    QImage small(3, 2, QImage::Format_RGB32);
    small.fill(qRgb(0, 0, 0));
    QVERIFY(small.save(folder.filePath("small.bmp")));
    Editor masked(SpriteKind::BlackWhiteMasked);
    Editor::drop(masked.window.get(), folder.filePath("small.bmp"));
    QCOMPARE(masked.cell(2, 1), colours::black);
    QCOMPARE(masked.cell(3, 1), colours::mask);
    QCOMPARE(masked.cell(2, 2), colours::mask);
}

void TestSpriteEditor::droppedFileThatCannotBeRead()
{
    QTemporaryDir folder;
    QFile broken(folder.filePath("broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture at all");
    broken.close();

    Editor editor(SpriteKind::BlackWhite);
    editor.paint(Qt::LeftButton, 3, 3);
    const QString text = editor.text();
    Editor::drop(editor.canvas(), broken.fileName());
    QCOMPARE(editor.messages.texts,
             QStringList{QStringLiteral("Cannot load %1: not a picture Dotwright can read")
                             .arg(QDir::toNativeSeparators(broken.fileName()))});
    QCOMPARE(editor.cell(3, 3), colours::black);
    QCOMPARE(editor.text(), text);
    // Nothing changed, so the one change there is to undo is the painting.
    editor.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor.cell(3, 3), colours::white);
}

QTEST_MAIN(TestSpriteEditor)
#include "tst_sprite_editor.moc"
