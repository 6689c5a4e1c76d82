#pragma once

#include "core/dithering.h"
#include "core/view_geometry.h"

#include <array>

// What the converter windows' right-click menu chooses: where the picture goes
// on the source view, and how it is quantised. The windows place the picture
// at the top-left corner only; an offset is the command line's.
struct ConverterChoices
{
    Placement placement = Placement::Corner;
    Tone tone;
    friend bool operator==(const ConverterChoices&, const ConverterChoices&) = default;
};

// The menu's entries with their captions, and the names that the settings
// store them under.
struct PlacementEntry
{
    Placement placement;
    const char* caption;
    const char* name;
};
inline constexpr std::array<PlacementEntry, 3> placementEntries{{
    {Placement::Corner, "Corner", "corner"},
    {Placement::Fit, "Fit", "fit"},
    {Placement::Fill, "Fill", "fill"},
}};

// "None", "Ordered", "Floyd–Steinberg", "Atkinson" (UTF-8).
const char* ditheringCaption(Dithering dithering);

// Each window remembers its own choices from one run to the next, in the
// user's settings under the window's object name. What is missing or not
// understood there (a settings file edited by hand) reads as the default.
ConverterChoices loadConverterChoices(const char* windowName);
void saveConverterChoices(const char* windowName, const ConverterChoices& choices);
