// Picture loading from bytes, as the windows and dotwright-cli load files:
// whatever the bytes claim, the loader answers with a picture of at most
// 128 × 64 pixels or with a reason, and drawing it onto white works.

#include "picture_io/picture_loader.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Image format plugins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const LoadedPicture loaded = loadPictureCorner(&buffer);
    if (!loaded.ok()) {
        if (!loaded.corner.isNull())
            std::abort();
        return 0;
    }
    if (loaded.corner.isNull() || loaded.corner.width() > 128 || loaded.corner.height() > 64)
        std::abort();
    const QImage shown = pictureOnBackground(loaded.corner, QSize(128, 64), 0xFFFFFF);
    const auto view = sourceViewOf(shown);
    // Uncovered parts show the white background.
    if (loaded.corner.width() < 128 && view[127] != 0xFFFFFF)
        std::abort();
    return 0;
}
