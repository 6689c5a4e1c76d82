#include "converters/converter_choices.h"

#include <QSettings>
#include <QString>

#include <string>
#include <string_view>

namespace {

// The program's one settings file. The organisation is named: without one
// the toolkit reads and writes no settings at all.
const QString organisation = QStringLiteral("Dotwright");
const QString application = QStringLiteral("Dotwright");

QString key(const char* windowName, const char* name)
{
    return QString::fromLatin1(windowName) + QLatin1Char('/') + QLatin1String(name);
}

} // namespace

const char* ditheringCaption(Dithering dithering)
{
    switch (dithering) {
    case Dithering::None:
        return "None";
    case Dithering::Ordered:
        return "Ordered";
    case Dithering::FloydSteinberg:
        return "Floyd\u2013Steinberg";
    case Dithering::Atkinson:
        return "Atkinson";
    }
    return "None";
}

ConverterChoices loadConverterChoices(const char* windowName)
{
    const QSettings stored(organisation, application);
    ConverterChoices choices;
    const QString placement = stored.value(key(windowName, "placement")).toString();
    for (const PlacementEntry& entry : placementEntries) {
        if (placement == QLatin1String(entry.name))
            choices.placement = entry.placement;
    }
    const std::string dithering =
        stored.value(key(windowName, "dithering")).toString().toStdString();
    choices.tone.dithering = ditheringNamed(dithering).value_or(Dithering::None);
    choices.tone.invert =
        stored.value(key(windowName, "invert")).toString() == QLatin1String("true");
    return choices;
}

void saveConverterChoices(const char* windowName, const ConverterChoices& choices)
{
    QSettings stored(organisation, application);
    for (const PlacementEntry& entry : placementEntries) {
        if (entry.placement == choices.placement)
            stored.setValue(key(windowName, "placement"), QLatin1String(entry.name));
    }
    const std::string_view dithering = ditheringName(choices.tone.dithering);
    stored.setValue(key(windowName, "dithering"),
                    QString::fromLatin1(dithering.data(), qsizetype(dithering.size())));
    stored.setValue(key(windowName, "invert"), choices.tone.invert);
}
