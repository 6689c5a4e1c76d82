// scale_icon IN.png OUT.png SIZE: the application icon at another size of the
// icon theme, drawn from the one piece of artwork in resources/ at build time.

#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fputs("usage: scale_icon IN.png OUT.png SIZE\n", stderr);
        return 2;
    }
    const int size = std::atoi(argv[3]);
    const QImage artwork(QString::fromLocal8Bit(argv[1]));
    if (artwork.isNull() || size <= 0) {
        std::fprintf(stderr, "scale_icon: cannot read %s or size %s\n", argv[1], argv[3]);
        return 1;
    }
    // Smooth filtering keeps the screen's frame and pixel grid legible when
    // shrunk; the artwork is square, so nothing is cut or padded.
    const QImage icon = artwork.convertToFormat(QImage::Format_ARGB32)
                            .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "scale_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
