#include "ui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

QString withCrLfLineBreaks(const QString& text)
{
    QString result;
    result.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            result += QLatin1String("\r\n");
        } else if (ch == u'\n' || ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) {
            result += QLatin1String("\r\n");
        } else {
            result += ch;
        }
    }
    return result;
}

void SystemClipboard::setText(const QString& text)
{
    auto* data = new QMimeData; // the clipboard takes ownership
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data);
}
