// Pictures made into sprites: the colour rule, sprite code of other sizes than
// the editors' 8 × 8, labels, and sheets cut into cells.

#include "core/sprite_sheet.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(SpriteKind)

namespace {

QByteArray crlf(const char* lines)
{
    return QByteArray(lines).replace("\n", "\r\n");
}

SpritePicture pictureOf(int width, int height, Colour fill)
{
    return {width, height, std::vector<Colour>(std::size_t(width) * std::size_t(height), fill)};
}

} // namespace

class TestSpriteSheet : public QObject
{
    Q_OBJECT

private slots:
    void pixelsTakeTheNearestColour_data();
    void pixelsTakeTheNearestColour();
    void widerSpritesHoldTheirBytesOnOneLine();
    void codeOfAnySizeReadsBack();
    void labelsFromFileNames_data();
    void labelsFromFileNames();
    void sheetBlocks();
    void sheetsThatCannotBeCut_data();
    void sheetsThatCannotBeCut();
};

void TestSpriteSheet::pixelsTakeTheNearestColour_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QList<int>>("rgba");
    QTest::addColumn<Colour>("colour");
    QTest::addColumn<bool>("exact");

    const auto bw = SpriteKind::BlackWhite;
    const auto gs = SpriteKind::Greyscale;
    const auto bwm = SpriteKind::BlackWhiteMasked;
    const auto gsm = SpriteKind::GreyscaleMasked;
    const auto row = [](const char* name, SpriteKind kind, QList<int> rgba, Colour colour,
                        bool exact) { QTest::newRow(name) << kind << rgba << colour << exact; };
    row("bw white", bw, {255, 255, 255, 255}, colours::white, true);
    row("bw black", bw, {0, 0, 0, 255}, colours::black, true);
    row("bw 127 is black", bw, {127, 127, 127, 255}, colours::black, false);
    row("bw 128 is white", bw, {128, 128, 128, 255}, colours::white, false);
    row("bw red is black", bw, {255, 0, 0, 255}, colours::black, false);
    row("bw light grey is white", bw, {192, 192, 192, 255}, colours::white, false);
    row("bw the mask colour is only a colour", bw, {255, 128, 0, 255}, colours::white, false);
    row("bw transparent is white", bw, {0, 0, 0, 0}, colours::white, true);
    row("bw black at alpha 127 is 128 on white", bw, {0, 0, 0, 127}, colours::white, false);
    row("grey light", gs, {192, 192, 192, 255}, colours::lightGrey, true);
    row("grey dark", gs, {128, 128, 128, 255}, colours::darkGrey, true);
    row("grey 224 is white", gs, {224, 224, 224, 255}, colours::white, false);
    row("grey 223 is light", gs, {223, 223, 223, 255}, colours::lightGrey, false);
    row("grey 160 ties, goes lighter", gs, {160, 160, 160, 255}, colours::lightGrey, false);
    row("grey 159 is dark", gs, {159, 159, 159, 255}, colours::darkGrey, false);
    row("grey 64 is dark", gs, {64, 64, 64, 255}, colours::darkGrey, false);
    row("grey 63 is black", gs, {63, 63, 63, 255}, colours::black, false);
    row("grey red is dark", gs, {255, 0, 0, 255}, colours::darkGrey, false);
    row("grey black at alpha 127 is exactly dark on white", gs, {0, 0, 0, 127}, colours::darkGrey,
        true);
    row("grey transparent is white", gs, {10, 20, 30, 0}, colours::white, true);
    row("bw-mask alpha 127 is masked", bwm, {0, 0, 0, 127}, colours::mask, true);
    row("bw-mask alpha 128 is seen", bwm, {0, 0, 0, 128}, colours::black, false);
    row("bw-mask the mask colour", bwm, {255, 128, 0, 255}, colours::mask, true);
    row("bw-mask the mask colour, partly opaque", bwm, {255, 128, 0, 200}, colours::mask, true);
    row("bw-mask nearly the mask colour", bwm, {255, 127, 0, 255}, colours::black, false);
    row("grey-mask white", gsm, {255, 255, 255, 255}, colours::white, true);
    row("grey-mask transparent is masked", gsm, {255, 255, 255, 0}, colours::mask, true);
    row("grey-mask 160 ties, goes lighter", gsm, {150, 170, 160, 255}, colours::lightGrey, false);
    row("grey-mask nearly the mask colour", gsm, {250, 128, 0, 255}, colours::darkGrey, false);
}

void TestSpriteSheet::pixelsTakeTheNearestColour()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QList<int>, rgba);
    QFETCH(Colour, colour);
    QFETCH(bool, exact);
    const SpritePixel pixel = spritePixelOf(kind, rgba[0], rgba[1], rgba[2], rgba[3]);
    QCOMPARE(QString::number(pixel.colour, 16), QString::number(colour, 16));
    QCOMPARE(pixel.exact, exact);
}

void TestSpriteSheet::widerSpritesHoldTheirBytesOnOneLine()
{
    // 16 × 2, masked: the first row black at both ends, the second masked at x = 15.
    SpritePicture picture = pictureOf(16, 2, colours::white);
    picture.colours[0] = colours::black;
    picture.colours[15] = colours::black;
    picture.colours[31] = colours::mask;
    std::string text;
    appendCellCode(text, SpriteKind::BlackWhiteMasked, picture, 0, 0, {16, 2});
    QCOMPARE(QByteArray::fromStdString(text), crlf(";Bitmap\n"
                                                   ".db %10000000,%00000001\n"
                                                   ".db %00000000,%00000000\n"
                                                   "\n"
                                                   ";Mask Layer\n"
                                                   ".db %11111111,%11111111\n"
                                                   ".db %11111111,%11111110"));
}

void TestSpriteSheet::codeOfAnySizeReadsBack()
{
    QRandomGenerator random(77);
    const SpriteSize sizes[] = {{8, 1}, {8, 64}, {24, 5}, {64, 64}, {40, 3}};
    for (const auto& [name, kind] : spriteKindNames) {
        const std::span<const Colour> palette = spriteColours(kind);
        for (const SpriteSize size : sizes) {
            std::vector<Colour> colours(std::size_t(size.width * size.height));
            for (Colour& c : colours)
                c = palette[random.bounded(int(palette.size()))];
            const std::string text = spriteCodeText(kind, spriteBitsOf(kind, size, colours));
            QCOMPARE(readSpriteCode(kind, size, text), std::optional(colours));
            // One digit short of the last layer reads nothing.
            const std::size_t last = text.find_last_of("01");
            QVERIFY(!readSpriteCode(kind, size, std::string_view(text).substr(0, last)));
        }
    }
    QVERIFY(!readSpriteCode(SpriteKind::BlackWhite, {12, 8}, std::string(96, '1')));
}

void TestSpriteSheet::labelsFromFileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::newRow("plain") << "hero.png"
                           << "hero";
    QTest::newRow("folders and other characters") << "gfx/v1.2/walk-left 2.png"
                                                  << "walk_left_2";
    QTest::newRow("a digit first") << "8x8-font.gif"
                                   << "_8x8_font";
    QTest::newRow("one character of UTF-8, one _") << "h\u00E9ros.bmp"
                                                   << "h_ros";
    QTest::newRow("no extension") << "sheets/Tiles"
                                  << "Tiles";
    QTest::newRow("hidden file") << ".tiles"
                                 << "_tiles";
    QTest::newRow("standard input") << "-"
                                    << "sheet";
    QTest::newRow("nothing of a label") << "--.png"
                                        << "sheet";
    QTest::newRow("longest name") << QString(255, u'9') + ".png"
                                  << "_" + QString(254, u'9');
}

void TestSpriteSheet::labelsFromFileNames()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    const std::string made = labelFromFileName(path.toStdString());
    QCOMPARE(QString::fromStdString(made), label);
    QVERIFY(isAssemblerLabel(made));
}

void TestSpriteSheet::sheetBlocks()
{
    // Three 8 × 2 cells across and two down, of which only 0, 2 and 3 are not
    // empty; a fourth column and a third row are cut short.
    SpritePicture sheet = pictureOf(30, 5, colours::white);
    sheet.colours[0] = colours::black;          // cell 0, (0, 0)
    sheet.colours[30 + 23] = colours::black;    // cell 2, (7, 1)
    sheet.colours[2 * 30 + 1] = colours::black; // cell 3, (1, 0)
    sheet.colours[4 * 30 + 1] = colours::black; // row 2, cut short
    sheet.colours[26] = colours::black;         // column 3, cut short
    SheetOptions options{SpriteKind::BlackWhite, {8, 2}, "Hero", false};
    const QByteArray block0 = crlf("Hero_0:\n;Bitmap\n.db %10000000\n.db %00000000\n");
    const QByteArray block1 = crlf("Hero_1:\n;Bitmap\n.db %00000000\n.db %00000000\n");
    const QByteArray block2 = crlf("Hero_2:\n;Bitmap\n.db %00000000\n.db %00000001\n");
    const QByteArray block3 = crlf("Hero_3:\n;Bitmap\n.db %01000000\n.db %00000000\n");
    const QByteArray block5 = crlf("Hero_5:\n;Bitmap\n.db %00000000\n.db %00000000\n");

    Result<std::string> text = spriteSheetText(sheet, options);
    QVERIFY(text);
    const QByteArray all = QByteArray::fromStdString(*text);
    QVERIFY(all.startsWith(block0 + "\r\n" + block1 + "\r\n" + block2 + "\r\n" + block3));
    QVERIFY(all.endsWith("\r\n" + block5));
    QCOMPARE(all.count("Hero_"), 6);

    options.skipEmpty = true;
    text = spriteSheetText(sheet, options);
    QVERIFY(text);
    QCOMPARE(QByteArray::fromStdString(*text), block0 + "\r\n" + block2 + "\r\n" + block3);
}

void TestSpriteSheet::sheetsThatCannotBeCut_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<SpriteSize>("cell");
    QTest::addColumn<QString>("why");
    QTest::newRow("too narrow") << 15 << 64 << SpriteSize{16, 8}
                                << "sheet of 15 × 64 pixels is smaller than one cell of 16 × 8 "
                                   "pixels";
    QTest::newRow("too low") << 64 << 7 << SpriteSize{}
                             << "sheet of 64 × 7 pixels is smaller than one cell of 8 × 8 pixels";
    QTest::newRow("empty") << 0 << 0 << SpriteSize{}
                           << "sheet of 0 × 0 pixels is smaller than one cell of 8 × 8 pixels";
    QTest::newRow("one cell too many")
        << 16 << 32769 << SpriteSize{8, 1}
        << "sheet of 16 × 32769 pixels holds 65538 cells of 8 × 1 pixels, more than 65536";
}

void TestSpriteSheet::sheetsThatCannotBeCut()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(SpriteSize, cell);
    QFETCH(QString, why);
    const Result<std::string> text = spriteSheetText(pictureOf(width, height, colours::white),
                                                     {SpriteKind::Greyscale, cell, "a", false});
    QVERIFY(!text);
    QCOMPARE(QString::fromStdString(text.error().message()), why);

    // The most cells there may be: 65536 of them.
    QVERIFY(spriteSheetText(pictureOf(16, 32768, colours::white),
                            {SpriteKind::BlackWhite, {8, 1}, "a", true}));
}

QTEST_APPLESS_MAIN(TestSpriteSheet)
#include "tst_sprite_sheet.moc"
