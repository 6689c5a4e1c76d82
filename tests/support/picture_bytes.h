#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QtGlobal>

#include <functional>

// Pictures as files hold them, made in memory by the tests.

// The bytes of `image` in `format` as the toolkit writes it; ends the test
// program when it cannot, since every later check would be meaningless.
inline QByteArray encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot encode %s: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

// The bytes the toolkit's writer stores for `image` at a fixed 96 dots per
// inch, the resolution the program's own bitmap and PNG writers store: the
// reference their bytes are checked against.
inline QByteArray encodeAt96Dpi(QImage image, const char* format)
{
    constexpr int dotsPerMetre = 3780;
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return encode(image, format);
}

// Append 16- and 32-bit values low byte first, as GIF, BMP and ICO files store
// their numbers.
inline void appendLe16(QByteArray& bytes, quint32 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8 & 0xFF));
}

inline void appendLe32(QByteArray& bytes, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char(value >> shift & 0xFF));
}

// The toolkit writes no GIF files, so tests make their own.

// A GIF's screen descriptor of `size` and a global table of 256 colours.
inline QByteArray gifHead(QSize size, const std::function<QRgb(int)>& paletteColour)
{
    QByteArray gif("GIF89a");
    appendLe16(gif, size.width());
    appendLe16(gif, size.height());
    gif.append("\xF7\x00\x00", 3); // a global colour table of 256 entries
    for (int index = 0; index < 256; ++index) {
        const QRgb colour = paletteColour(index);
        gif.append(char(qRed(colour)));
        gif.append(char(qGreen(colour)));
        gif.append(char(qBlue(colour)));
    }
    return gif;
}

// One image of a GIF at `rect` of the screen, with a graphic control
// extension when it has a transparent index or a disposal (2: back to the
// background afterwards, 3: back to what was there before). Its LZW data is
// one literal 9-bit code a pixel, the code table reset before it could grow
// wider: valid for every decoder, and simple to write.
inline QByteArray gifImage(QRect rect, const std::function<int(int, int)>& indexAt,
                           int transparentIndex = -1, int disposal = 0)
{
    QByteArray gif;
    if (transparentIndex >= 0 || disposal != 0) {
        gif.append("\x21\xF9\x04", 3);
        gif.append(char(disposal << 2 | (transparentIndex >= 0 ? 1 : 0)));
        gif.append("\x00\x00", 2);
        gif.append(char(transparentIndex >= 0 ? transparentIndex : 0));
        gif.append('\0');
    }
    gif.append('\x2C');
    appendLe16(gif, rect.x());
    appendLe16(gif, rect.y());
    appendLe16(gif, rect.width());
    appendLe16(gif, rect.height());
    gif.append('\0');
    gif.append('\x08'); // minimum code size

    constexpr int clearCode = 256;
    constexpr int endCode = 257;
    QByteArray data;
    quint32 pending = 0;
    int pendingBits = 0;
    const auto put = [&](int code) {
        pending |= quint32(code) << pendingBits;
        for (pendingBits += 9; pendingBits >= 8; pendingBits -= 8) {
            data.append(char(pending & 0xFF));
            pending >>= 8;
        }
    };
    int sinceClear = 0;
    put(clearCode);
    for (int y = 0; y < rect.height(); ++y) {
        for (int x = 0; x < rect.width(); ++x) {
            if (sinceClear == 250) {
                put(clearCode);
                sinceClear = 0;
            }
            put(indexAt(x, y));
            ++sinceClear;
        }
    }
    put(endCode);
    if (pendingBits > 0)
        data.append(char(pending & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const qsizetype length = std::min<qsizetype>(255, data.size() - at);
        gif.append(char(length));
        gif.append(data.mid(at, length));
    }
    gif.append('\0');
    return gif;
}

// A GIF of one image covering the whole screen.
inline QByteArray makeGif(QSize size, const std::function<QRgb(int)>& paletteColour,
                          const std::function<int(int, int)>& indexAt, int transparentIndex = -1)
{
    return gifHead(size, paletteColour) +
           gifImage(QRect(QPoint(0, 0), size), indexAt, transparentIndex) + ';';
}
