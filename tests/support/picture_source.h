#pragma once

#include "core/colour.h"
#include "core/screen.h"
#include "picture_io/picture_file.h"
#include "picture_io/picture_on_background.h"

#include <QFile>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <vector>

// What the converter windows and dotwright-cli start from for the picture in
// a file: its top-left 128 × 64 pixels drawn on white. Ends the test program
// when the fixture does not load, since every later check would be meaningless.
inline SourceView sourceOfPicture(const QString& path)
{
    const Result<PictureCorner> corner =
        readPictureFile(QFile::encodeName(path).toStdString(), screenWidth, screenHeight);
    if (!corner)
        qFatal("fixture %s does not load: %s", qPrintable(path), corner.error().why.c_str());
    const std::vector<Colour> shown =
        pictureOnBackground(*corner, screenWidth, screenHeight, colours::white);
    SourceView source;
    std::copy(shown.begin(), shown.end(), source.begin());
    return source;
}
