// What the editors' keys do to a sprite, and the history undo and redo walk.

#include "core/canvas_history.h"
#include "core/sprite_edits.h"

#include <QtTest>

Q_DECLARE_METATYPE(SpriteEdit)

namespace {

// A canvas from eight rows of letters (w white, l light grey, d dark grey,
// b black, m mask), every cell read back whole.
CanvasLook canvasOf(const QStringList& rows)
{
    CanvasLook canvas;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const QChar letter = rows.at(y).at(x);
            const Colour c = letter == u'l'   ? colours::lightGrey
                             : letter == u'd' ? colours::darkGrey
                             : letter == u'b' ? colours::black
                             : letter == u'm' ? colours::mask
                                              : colours::white;
            canvas[std::size_t(y * 8 + x)] = {c, c};
        }
    }
    return canvas;
}

// An asymmetric sprite: no edit leaves it as it was.
const QStringList sprite = {"bdwwwwwl", "bwwwwwww", "lwwwwwwm", "wwwwwwww",
                            "wwwwwwww", "wwwwwwww", "wwwwwwww", "wwwwwwwd"};

// A canvas told apart from others by the colour of one cell's strip.
CanvasLook numbered(int n)
{
    CanvasLook canvas;
    canvas[std::size_t(n % 64)].edge = Colour(n);
    return canvas;
}

} // namespace

class TestSpriteEdits : public QObject
{
    Q_OBJECT

private slots:
    void editsMoveThePixels_data();
    void editsMoveThePixels();
    void editsUndoThemselves();
    void cellsKeepTheirLook();
    void historyUndoesAndRedoes();
    void historyIsBounded();
};

void TestSpriteEdits::editsMoveThePixels_data()
{
    QTest::addColumn<SpriteEdit>("edit");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("shift left") << SpriteEdit::ShiftLeft
                                << QStringList{"dwwwwwlb", "wwwwwwwb", "wwwwwwml", "wwwwwwww",
                                               "wwwwwwww", "wwwwwwww", "wwwwwwww", "wwwwwwdw"};
    QTest::newRow("shift right") << SpriteEdit::ShiftRight
                                 << QStringList{"lbdwwwww", "wbwwwwww", "mlwwwwww", "wwwwwwww",
                                                "wwwwwwww", "wwwwwwww", "wwwwwwww", "dwwwwwww"};
    QTest::newRow("shift up") << SpriteEdit::ShiftUp
                              << QStringList{"bwwwwwww", "lwwwwwwm", "wwwwwwww", "wwwwwwww",
                                             "wwwwwwww", "wwwwwwww", "wwwwwwwd", "bdwwwwwl"};
    QTest::newRow("shift down") << SpriteEdit::ShiftDown
                                << QStringList{"wwwwwwwd", "bdwwwwwl", "bwwwwwww", "lwwwwwwm",
                                               "wwwwwwww", "wwwwwwww", "wwwwwwww", "wwwwwwww"};
    QTest::newRow("mirror left-right")
        << SpriteEdit::MirrorLeftRight
        << QStringList{"lwwwwwdb", "wwwwwwwb", "mwwwwwwl", "wwwwwwww",
                       "wwwwwwww", "wwwwwwww", "wwwwwwww", "dwwwwwww"};
    QTest::newRow("mirror top-bottom")
        << SpriteEdit::MirrorTopBottom
        << QStringList{"wwwwwwwd", "wwwwwwww", "wwwwwwww", "wwwwwwww",
                       "wwwwwwww", "lwwwwwwm", "bwwwwwww", "bdwwwwwl"};
    QTest::newRow("turn clockwise")
        << SpriteEdit::TurnClockwise << QStringList{"wwwwwlbb", "wwwwwwwd", "wwwwwwww", "wwwwwwww",
                                                    "wwwwwwww", "wwwwwwww", "wwwwwwww", "dwwwwmwl"};
    QTest::newRow("invert") << SpriteEdit::Invert
                            << QStringList{"wlbbbbbd", "wbbbbbbb", "dbbbbbbm", "bbbbbbbb",
                                           "bbbbbbbb", "bbbbbbbb", "bbbbbbbb", "bbbbbbbl"};
}

void TestSpriteEdits::editsMoveThePixels()
{
    QFETCH(SpriteEdit, edit);
    QFETCH(QStringList, expected);
    QCOMPARE(editedCanvas(edit, canvasOf(sprite)), canvasOf(expected));
}

void TestSpriteEdits::editsUndoThemselves()
{
    const CanvasLook start = canvasOf(sprite);
    const auto repeated = [](SpriteEdit edit, int times, CanvasLook canvas) {
        for (int i = 0; i < times; ++i)
            canvas = editedCanvas(edit, canvas);
        return canvas;
    };
    QCOMPARE(repeated(SpriteEdit::TurnClockwise, 4, start), start);
    QCOMPARE(repeated(SpriteEdit::MirrorLeftRight, 2, start), start);
    QCOMPARE(repeated(SpriteEdit::MirrorTopBottom, 2, start), start);
    QCOMPARE(repeated(SpriteEdit::Invert, 2, start), start);
    QCOMPARE(repeated(SpriteEdit::ShiftLeft, 8, start), start);
    QCOMPARE(repeated(SpriteEdit::ShiftDown, 8, start), start);
    QCOMPARE(editedCanvas(SpriteEdit::ShiftRight, editedCanvas(SpriteEdit::ShiftLeft, start)),
             start);
    // Two quarter turns are both mirrors.
    QCOMPARE(repeated(SpriteEdit::TurnClockwise, 2, start),
             editedCanvas(SpriteEdit::MirrorTopBottom,
                          editedCanvas(SpriteEdit::MirrorLeftRight, start)));
}

void TestSpriteEdits::cellsKeepTheirLook()
{
    // A painted black cell on a white strip, a whole dark one, a painted light
    // one on a black strip (painted over what was read back black).
    CanvasLook canvas;
    canvas[0] = {colours::black, colours::white};
    canvas[1] = {colours::darkGrey, colours::darkGrey};
    canvas[2] = {colours::lightGrey, colours::black};

    const CanvasLook mirrored = editedCanvas(SpriteEdit::MirrorLeftRight, canvas);
    QCOMPARE(mirrored[7], canvas[0]);
    QCOMPARE(mirrored[6], canvas[1]);
    QCOMPARE(mirrored[5], canvas[2]);

    const CanvasLook inverted = editedCanvas(SpriteEdit::Invert, canvas);
    QCOMPARE(inverted[0], (CellLook{colours::white, colours::white}));
    QCOMPARE(inverted[1], (CellLook{colours::lightGrey, colours::lightGrey}));
    QCOMPARE(inverted[2], (CellLook{colours::darkGrey, colours::black}));
    QCOMPARE(inverted[3], (CellLook{colours::black, colours::black}));
}

void TestSpriteEdits::historyUndoesAndRedoes()
{
    CanvasHistory history(numbered(0));
    QVERIFY(!history.undo());
    QVERIFY(!history.redo());
    QVERIFY(!history.record(numbered(0))); // looks as it did: no change
    QVERIFY(history.record(numbered(1)));
    QVERIFY(history.record(numbered(2)));
    QVERIFY(history.record(numbered(3)));

    QCOMPARE(history.undo(), std::optional(numbered(2)));
    QCOMPARE(history.undo(), std::optional(numbered(1)));
    QCOMPARE(history.redo(), std::optional(numbered(2)));
    QCOMPARE(history.current(), numbered(2));

    // A new change drops what could have been redone.
    QVERIFY(history.record(numbered(4)));
    QVERIFY(!history.redo());
    QCOMPARE(history.undo(), std::optional(numbered(2)));
    QCOMPARE(history.undo(), std::optional(numbered(1)));
    QCOMPARE(history.undo(), std::optional(numbered(0)));
    QVERIFY(!history.undo());
    QCOMPARE(history.redo(), std::optional(numbered(1)));
    QCOMPARE(history.redo(), std::optional(numbered(2)));
    QCOMPARE(history.redo(), std::optional(numbered(4)));
    QVERIFY(!history.redo());
}

void TestSpriteEdits::historyIsBounded()
{
    CanvasHistory history(numbered(0));
    for (int n = 1; n <= 300; ++n)
        QVERIFY(history.record(numbered(n)));
    std::optional<CanvasLook> oldest;
    for (std::size_t i = 0; i < CanvasHistory::maxUndo; ++i) {
        oldest = history.undo();
        QVERIFY(oldest);
    }
    QCOMPARE(*oldest, numbered(300 - int(CanvasHistory::maxUndo)));
    QVERIFY(!history.undo());
    for (std::size_t i = 0; i < CanvasHistory::maxUndo; ++i)
        QVERIFY(history.redo());
    QCOMPARE(history.current(), numbered(300));
}

QTEST_APPLESS_MAIN(TestSpriteEdits)
#include "tst_sprite_edits.moc"
