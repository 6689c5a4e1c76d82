// The sprite code writer and reader of all four kinds, free of any window.

#include "core/sprite_code.h"
#include "support/z80_assembler.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(SpriteKind)

namespace {

QByteArray crlf(const char* lines)
{
    // Test texts are written with LF for reading; the writer uses CR LF.
    return QByteArray(lines).replace("\n", "\r\n");
}

QByteArray textOf(SpriteKind kind, const SpriteLayers& bits)
{
    return QByteArray::fromStdString(spriteCodeText(kind, bits));
}

// A sprite of the given colours as the writer holds it, through the colour lookup.
SpriteLayers layersOf(SpriteKind kind, const SpriteColours& colours)
{
    SpriteLayers bits;
    for (int i = 0; i < 64; ++i)
        applyColour(kind, colours[static_cast<std::size_t>(i)], i % 8, i / 8, bits);
    return bits;
}

SpriteColours filled(Colour c)
{
    SpriteColours colours;
    colours.fill(c);
    return colours;
}

std::optional<SpriteColours> read(SpriteKind kind, const QByteArray& text)
{
    return readSpriteCode(kind, std::string_view(text.constData(), text.size()));
}

const char* const emptyBitmapRows = ".db %00000000\n.db %00000000\n.db %00000000\n.db %00000000\n"
                                    ".db %00000000\n.db %00000000\n.db %00000000\n.db %00000000";
const char* const fullRows = ".db %11111111\n.db %11111111\n.db %11111111\n.db %11111111\n"
                             ".db %11111111\n.db %11111111\n.db %11111111\n.db %11111111";

} // namespace

class TestSpriteCode : public QObject
{
    Q_OBJECT

private slots:
    void writesTheBlackBorderExample();
    void writesTheGreyscaleExample();
    void writesTheEmptySpriteOfEachKind_data();
    void writesTheEmptySpriteOfEachKind();
    void recognisesOnlyTheKindsOwnColours_data();
    void recognisesOnlyTheKindsOwnColours();
    void readsTexts_data();
    void readsTexts();
    void maskedPixelWithBitmapOneIsWrittenBackAsZeros();
    void writtenTextReadsBackAsTheSameSprite_data();
    void writtenTextReadsBackAsTheSameSprite();
    void readsAMegabyteInOnePass();
    void assemblesToTheSpriteRows();
};

void TestSpriteCode::writesTheBlackBorderExample()
{
    SpriteColours colours = filled(colours::white);
    for (int i = 0; i < 8; ++i) {
        colours[static_cast<std::size_t>(i)] = colours::black;
        colours[static_cast<std::size_t>(56 + i)] = colours::black;
        colours[static_cast<std::size_t>(i * 8)] = colours::black;
        colours[static_cast<std::size_t>(i * 8 + 7)] = colours::black;
    }
    QCOMPARE(textOf(SpriteKind::BlackWhite, layersOf(SpriteKind::BlackWhite, colours)),
             crlf(";Bitmap\n.db %11111111\n.db %10000001\n.db %10000001\n.db %10000001\n"
                  ".db %10000001\n.db %10000001\n.db %10000001\n.db %11111111"));
}

void TestSpriteCode::writesTheGreyscaleExample()
{
    SpriteColours colours = filled(colours::white);
    colours[1] = colours::lightGrey;
    colours[2] = colours::darkGrey;
    colours[3] = colours::black;
    const QByteArray expected =
        crlf(";Light Layer\n.db %01010000\n.db %00000000\n.db %00000000\n.db %00000000\n"
             ".db %00000000\n.db %00000000\n.db %00000000\n.db %00000000\n\n"
             ";Dark Layer\n.db %00110000\n.db %00000000\n.db %00000000\n.db %00000000\n"
             ".db %00000000\n.db %00000000\n.db %00000000\n.db %00000000");
    QCOMPARE(textOf(SpriteKind::Greyscale, layersOf(SpriteKind::Greyscale, colours)), expected);
    QCOMPARE(expected.size(), 267);
}

void TestSpriteCode::writesTheEmptySpriteOfEachKind_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("length");
    const QByteArray empty = emptyBitmapRows;
    const QByteArray ones = fullRows;
    QTest::newRow("black and white") << SpriteKind::BlackWhite << crlf(";Bitmap\n" + empty) << 127;
    QTest::newRow("greyscale") << SpriteKind::Greyscale
                               << crlf(";Light Layer\n" + empty + "\n\n;Dark Layer\n" + empty)
                               << 267;
    QTest::newRow("black and white with mask")
        << SpriteKind::BlackWhiteMasked << crlf(";Bitmap\n" + empty + "\n\n;Mask Layer\n" + ones)
        << 262;
    QTest::newRow("greyscale with mask")
        << SpriteKind::GreyscaleMasked
        << crlf(";Light Layer\n" + empty + "\n\n;Dark Layer\n" + empty + "\n\n;Mask Layer\n" + ones)
        << 402;
}

void TestSpriteCode::writesTheEmptySpriteOfEachKind()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QByteArray, expected);
    QFETCH(int, length);
    const QByteArray text = textOf(kind, layersOf(kind, filled(colours::white)));
    QCOMPARE(text, expected);
    QCOMPARE(text.size(), length);
    QVERIFY(!text.endsWith('\n'));
}

void TestSpriteCode::recognisesOnlyTheKindsOwnColours_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<Colour>("colour");
    QTest::addColumn<QString>("bits"); // pixel (3, 5) in each layer, "-" for left unchanged

    const auto bw = SpriteKind::BlackWhite;
    const auto gs = SpriteKind::Greyscale;
    const auto bwm = SpriteKind::BlackWhiteMasked;
    const auto gsm = SpriteKind::GreyscaleMasked;
    QTest::newRow("bw white") << bw << colours::white << "0";
    QTest::newRow("bw black") << bw << colours::black << "1";
    QTest::newRow("bw light grey unknown") << bw << colours::lightGrey << "-";
    QTest::newRow("bw mask unknown") << bw << colours::mask << "-";
    QTest::newRow("gs white") << gs << colours::white << "00";
    QTest::newRow("gs light grey") << gs << colours::lightGrey << "10";
    QTest::newRow("gs dark grey") << gs << colours::darkGrey << "01";
    QTest::newRow("gs black") << gs << colours::black << "11";
    QTest::newRow("gs mask unknown") << gs << colours::mask << "-";
    QTest::newRow("bwm white") << bwm << colours::white << "01";
    QTest::newRow("bwm black") << bwm << colours::black << "11";
    QTest::newRow("bwm mask") << bwm << colours::mask << "00";
    QTest::newRow("bwm dark grey unknown") << bwm << colours::darkGrey << "-";
    QTest::newRow("gsm white") << gsm << colours::white << "001";
    QTest::newRow("gsm light grey") << gsm << colours::lightGrey << "101";
    QTest::newRow("gsm dark grey") << gsm << colours::darkGrey << "011";
    QTest::newRow("gsm black") << gsm << colours::black << "111";
    QTest::newRow("gsm mask") << gsm << colours::mask << "000";
    QTest::newRow("gsm almost white unknown") << gsm << Colour{0xFFFFFE} << "-";
    QTest::newRow("gsm no colour unknown") << gsm << colours::none << "-";
}

void TestSpriteCode::recognisesOnlyTheKindsOwnColours()
{
    QFETCH(SpriteKind, kind);
    QFETCH(Colour, colour);
    QFETCH(QString, bits);

    // Start from a pattern in every layer so "unchanged" is visible.
    SpriteLayers layers;
    for (auto& layer : layers.layers)
        layer.fill(0xA5);
    const SpriteLayers before = layers;
    const bool recognised = applyColour(kind, colour, 3, 5, layers);
    if (bits == QLatin1String("-")) {
        QVERIFY(!recognised);
        QCOMPARE(layers, before);
        return;
    }
    QVERIFY(recognised);
    for (int layer = 0; layer < 3; ++layer) {
        for (int y = 0; y < 8; ++y) {
            std::uint8_t expected = before.layers[layer][y];
            if (layer < bits.size() && y == 5)
                expected = static_cast<std::uint8_t>((expected & ~0x10) |
                                                     (bits.at(layer) == u'1' ? 0x10 : 0));
            QCOMPARE(layers.layers[layer][y], expected);
        }
    }
}

void TestSpriteCode::readsTexts_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QByteArray>("text");
    // Expected colours of pixels 0..63 as letters (w white, l light grey, d dark grey,
    // b black, m mask), or empty when the text must not be read.
    QTest::addColumn<QByteArray>("expected");

    const QByteArray w64(64, 'w');
    const QByteArray zeros64(64, '0');
    const QByteArray ones64(64, '1');
    const QByteArray greyExample =
        ";Light Layer\n.db %01010000\n" + QByteArray(".db %00000000\n").repeated(7) +
        "\n;Dark Layer\n.db %00110000\n" + QByteArray(".db %00000000\n").repeated(7);

    QTest::newRow("64 bare digits")
        << SpriteKind::BlackWhite << ("1" + QByteArray(63, '0')) << ("b" + QByteArray(63, 'w'));
    QTest::newRow("63 digits change nothing")
        << SpriteKind::BlackWhite << QByteArray(63, '1') << QByteArray();
    QTest::newRow("empty") << SpriteKind::BlackWhite << QByteArray() << QByteArray();
    QTest::newRow("header only") << SpriteKind::BlackWhite << QByteArray(";Bitmap") << QByteArray();
    QTest::newRow("long text with too few digits")
        << SpriteKind::BlackWhite << (QByteArray(5000, 'x') + QByteArray(63, '1')) << QByteArray();
    QTest::newRow("digits 2 to 9 count for nothing")
        << SpriteKind::BlackWhite << ("23456789" + QByteArray(63, '0') + "9" + "1")
        << (QByteArray(63, 'w') + "b");
    QTest::newRow("hexadecimal $10 adds a 1 and a 0")
        << SpriteKind::BlackWhite << (".db $10\n" + QByteArray(62, '0'))
        << ("bw" + QByteArray(62, 'w'));
    QTest::newRow("a 1 in a comment shifts every pixel")
        << SpriteKind::BlackWhite
        << (";sprite 1\n" + QByteArray("1") + QByteArray(62, '0') + "1")
        // The comment's 1 and the first data digit; the last data digit is dropped.
        << ("bb" + QByteArray(62, 'w'));
    QTest::newRow("extra digits are ignored")
        << SpriteKind::BlackWhite << (zeros64 + ones64) << w64;
    QTest::newRow("greyscale example read as black and white")
        << SpriteKind::BlackWhite << greyExample << ("wbwb" + QByteArray(60, 'w'));
    QTest::newRow("black and white text read by greyscale")
        << SpriteKind::Greyscale << (";Bitmap\n" + ones64) << QByteArray();
    QTest::newRow("black and white text read by b&w with mask")
        << SpriteKind::BlackWhiteMasked << ones64 << QByteArray();
    QTest::newRow("black and white text read by greyscale with mask")
        << SpriteKind::GreyscaleMasked << ones64 << QByteArray();
    QTest::newRow("greyscale text read by greyscale with mask")
        << SpriteKind::GreyscaleMasked << greyExample << QByteArray();
    QTest::newRow("greyscale light ones dark zeros is light grey")
        << SpriteKind::Greyscale << (ones64 + zeros64) << QByteArray(64, 'l');
    QTest::newRow("greyscale both ones is black")
        << SpriteKind::Greyscale << (ones64 + ones64) << QByteArray(64, 'b');
    QTest::newRow("greyscale example")
        << SpriteKind::Greyscale << greyExample << ("wldb" + QByteArray(60, 'w'));
    QTest::newRow("b&w with mask text read by greyscale")
        // Bitmap 0 1 0, mask 1 1 0: visible white, visible black, masked.
        << SpriteKind::Greyscale << ("010" + QByteArray(61, '0') + "110" + QByteArray(61, '0'))
        << ("dbw" + QByteArray(61, 'w'));
    QTest::newRow("mask digit 0 hides whatever the bitmap says")
        << SpriteKind::BlackWhiteMasked
        << ("0110" + QByteArray(60, '0') + "1010" + QByteArray(60, '1'))
        << ("wmbm" + QByteArray(60, 'w'));
    QTest::newRow("greyscale mask digit 0 hides black")
        << SpriteKind::GreyscaleMasked << (ones64 + ones64 + "0" + QByteArray(63, '1'))
        << ("m" + QByteArray(63, 'b'));
    QTest::newRow("greyscale with mask all four greys")
        << SpriteKind::GreyscaleMasked
        << ("0101" + QByteArray(60, '0') + "0011" + QByteArray(60, '0') + ones64)
        << ("wldb" + QByteArray(60, 'w'));
}

void TestSpriteCode::readsTexts()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);

    const auto colours = read(kind, text);
    if (expected.isEmpty()) {
        QVERIFY(!colours);
        return;
    }
    QVERIFY(colours);
    QByteArray letters;
    for (const Colour c : *colours)
        letters += c == colours::white       ? 'w'
                   : c == colours::lightGrey ? 'l'
                   : c == colours::darkGrey  ? 'd'
                   : c == colours::black     ? 'b'
                   : c == colours::mask      ? 'm'
                                             : '?';
    QCOMPARE(letters, expected);
}

void TestSpriteCode::maskedPixelWithBitmapOneIsWrittenBackAsZeros()
{
    const QByteArray text = "1" + QByteArray(63, '0') + "0" + QByteArray(63, '1');
    const auto colours = read(SpriteKind::BlackWhiteMasked, text);
    QVERIFY(colours);
    QCOMPARE((*colours)[0], colours::mask);
    const SpriteLayers written = layersOf(SpriteKind::BlackWhiteMasked, *colours);
    QCOMPARE(written.layers[0][0], std::uint8_t{0x00});
    QCOMPARE(written.layers[1][0], std::uint8_t{0x7F});
}

void TestSpriteCode::writtenTextReadsBackAsTheSameSprite_data()
{
    QTest::addColumn<SpriteKind>("kind");
    QTest::addColumn<QList<Colour>>("palette");
    QTest::newRow("bw") << SpriteKind::BlackWhite << QList<Colour>{colours::white, colours::black};
    QTest::newRow("gs") << SpriteKind::Greyscale
                        << QList<Colour>{colours::white, colours::lightGrey, colours::darkGrey,
                                         colours::black};
    QTest::newRow("bwm") << SpriteKind::BlackWhiteMasked
                         << QList<Colour>{colours::white, colours::black, colours::mask};
    QTest::newRow("gsm") << SpriteKind::GreyscaleMasked
                         << QList<Colour>{colours::white, colours::lightGrey, colours::darkGrey,
                                          colours::black, colours::mask};
}

void TestSpriteCode::writtenTextReadsBackAsTheSameSprite()
{
    QFETCH(SpriteKind, kind);
    QFETCH(QList<Colour>, palette);
    QRandomGenerator random(1234);
    for (int round = 0; round < 200; ++round) {
        SpriteColours colours;
        for (Colour& c : colours)
            c = palette.at(random.bounded(palette.size()));
        const std::string text = spriteCodeText(kind, layersOf(kind, colours));
        const auto back = readSpriteCode(kind, text);
        QVERIFY(back);
        QCOMPARE(*back, colours);
    }
}

void TestSpriteCode::readsAMegabyteInOnePass()
{
    // A pasted text with its digits at the very end: every character is looked at.
    QByteArray text(1 << 20, 'x');
    text.replace(text.size() - 64, 64, QByteArray(64, '1'));
    const auto colours = read(SpriteKind::BlackWhite, text);
    QVERIFY(colours);
    QCOMPARE((*colours)[63], colours::black);
}

void TestSpriteCode::assemblesToTheSpriteRows()
{
    QRandomGenerator random(99);
    const SpriteKind kinds[] = {SpriteKind::BlackWhite, SpriteKind::Greyscale,
                                SpriteKind::BlackWhiteMasked, SpriteKind::GreyscaleMasked};
    for (const SpriteKind kind : kinds) {
        SpriteLayers bits;
        for (int layer = 0; layer < layerCount(kind); ++layer)
            for (auto& row : bits.layers[layer])
                row = static_cast<std::uint8_t>(random.bounded(256));
        QByteArray expected;
        for (int layer = 0; layer < layerCount(kind); ++layer)
            for (const std::uint8_t row : bits.layers[layer])
                expected += static_cast<char>(row);

        QString error;
        // Exactly the text the editor writes, CR LF and no line end after the last row.
        const auto binary = assembleZ80(textOf(kind, bits), &error);
        QVERIFY2(binary, qPrintable(error));
        QCOMPARE(binary->toHex(), expected.toHex());
    }
}

QTEST_APPLESS_MAIN(TestSpriteCode)
#include "tst_sprite_code.moc"
