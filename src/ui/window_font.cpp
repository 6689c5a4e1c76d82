#include "ui/window_font.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>

namespace {
const char* const tahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
};
} // namespace

QFont installWindowFont()
{
    static const bool loaded = [] {
        bool any = false;
        for (const char* path : tahomaFiles) {
            const QString file = QString::fromLatin1(path);
            if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0)
                any = true;
        }
        return any;
    }();
    Q_UNUSED(loaded);

    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::SansSerif);
    // Whole-pixel advances, as the layouts were measured with: a space is 3 pixels
    // and the size row's caption fits its 177-pixel label.
    font.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(font);
    return font;
}
