#include "editors/sprite_variants.h"

namespace {

#define HELP_COMMON                                                                                \
    "The \"Copy\"-Button copies the Sprite-Code to the clipboard. If you manually change the "     \
    "textbox, double-click it to actualize the view."

// The light-grey swatch is exactly C0C0C0, whatever the platform's control colour.
constexpr ColourSwatch whiteSwatch{"picWhite", colours::white};
constexpr ColourSwatch lightSwatch{"picLight", colours::lightGrey};
constexpr ColourSwatch darkSwatch{"picDark", colours::darkGrey};
constexpr ColourSwatch blackSwatch{"picBlack", colours::black};
constexpr ColourSwatch maskSwatch{"picMask", colours::mask};

constexpr ColourSwatch greyscaleSwatches[] = {whiteSwatch, lightSwatch, darkSwatch, blackSwatch};
constexpr ColourSwatch maskedSwatches[] = {whiteSwatch, blackSwatch, maskSwatch};
constexpr ColourSwatch greyscaleMaskedSwatches[] = {whiteSwatch, lightSwatch, darkSwatch,
                                                    blackSwatch, maskSwatch};

// Layouts in pixels of the client area: left, top, width, height, one control a line.
// clang-format off
const ControlPlace blackWhiteLayout[] = {
    {"txtCode", {8, 8, 137, 137}},
    {"lblHelp", {8, 152, 137, 81}},
    {"picPreview", {152, 8, 80, 80}},
    {"picPen", {168, 96, 33, 33}},
    {"picPen2", {184, 112, 33, 33}},
    {"cmdClipboard", {152, 160, 41, 25}},
    {"cmdClear", {192, 160, 41, 25}},
    {"picSprite", {240, 8, 200, 200}},
    {"lblSize", {248, 216, 177, 17}},
    {"txtWidth", {280, 216, 33, 19}},
    {"vscWidth", {312, 216, 9, 17}},
    {"txtHeight", {344, 216, 33, 19}},
    {"vscHeight", {376, 216, 9, 17}},
};

const ControlPlace greyscaleLayout[] = {
    {"txtCode", {8, 8, 113, 265}},
    {"picPreview", {128, 8, 80, 80}},
    {"picSprite", {216, 8, 200, 200}},
    {"picPen", {160, 96, 33, 33}},
    {"picPen2", {176, 112, 33, 33}},
    {"picWhite", {128, 96, 25, 25}},
    {"picLight", {128, 128, 25, 25}},
    {"picDark", {128, 160, 25, 25}},
    {"picBlack", {128, 192, 25, 25}},
    {"cmdClear", {160, 160, 49, 25}},
    {"cmdClipboard", {160, 192, 49, 25}},
    {"lblHelp", {128, 224, 289, 49}},
};

const ControlPlace blackWhiteMaskedLayout[] = {
    {"txtCode", {8, 8, 137, 273}},
    {"picPreview", {160, 8, 80, 80}},
    {"picSprite", {264, 8, 200, 200}},
    {"picPen", {192, 96, 33, 33}},
    {"picPen2", {208, 112, 33, 33}},
    {"picWhite", {160, 96, 25, 25}},
    {"picBlack", {160, 128, 25, 25}},
    {"picMask", {160, 160, 25, 25}},
    {"cmdClear", {192, 152, 57, 25}},
    {"cmdClipboard", {192, 184, 57, 25}},
    {"lblHelp", {152, 216, 313, 65}},
};

const ControlPlace greyscaleMaskedLayout[] = {
    {"txtCode", {8, 8, 105, 393}},
    {"picPreview", {120, 8, 80, 80}},
    {"picSprite", {208, 8, 200, 200}},
    {"picPen", {152, 96, 33, 33}},
    {"picPen2", {168, 112, 33, 33}},
    {"picWhite", {120, 96, 25, 25}},
    {"picLight", {120, 128, 25, 25}},
    {"picDark", {120, 160, 25, 25}},
    {"picBlack", {120, 192, 25, 25}},
    {"picMask", {120, 224, 25, 25}},
    {"cmdClear", {152, 160, 49, 25}},
    {"cmdClipboard", {152, 192, 49, 25}},
    {"lblHelp", {120, 256, 289, 145}},
};

// clang-format on

const SpriteVariant variants[] = {
    {
        .kind = SpriteKind::BlackWhite,
        .objectName = "frmSprBW",
        .title = "Sprite-Editor for Black&White Sprites",
        .clientSize = {450, 246},
        .placement = WindowPlacement::CentredOverOwner,
        .windowIcon = 1,
        .sampleOffset = 1.0F,
        .sizeRow = true,
        .helpText = HELP_COMMON,
        .swatches = {},
        .layout = blackWhiteLayout,
    },
    {
        .kind = SpriteKind::Greyscale,
        .objectName = "frmSprGS",
        .title = "Sprite-Editor for Greyscale Sprites",
        .clientSize = {424, 286},
        .placement = WindowPlacement::CentredOverOwner,
        .windowIcon = 2,
        .sampleOffset = 0.0F,
        .sizeRow = false,
        .helpText = HELP_COMMON,
        .swatches = greyscaleSwatches,
        .layout = greyscaleLayout,
    },
    {
        .kind = SpriteKind::BlackWhiteMasked,
        .objectName = "frmSprBWm",
        .title = "Sprite-Editor for Black&White Sprites with Mask",
        .clientSize = {473, 289},
        .placement = WindowPlacement::SystemPlaced,
        .windowIcon = 0,
        .sampleOffset = 0.0F,
        .sizeRow = false,
        .helpText = HELP_COMMON " The third color (orange) indicates a masked pixel.",
        .swatches = maskedSwatches,
        .layout = blackWhiteMaskedLayout,
    },
    {
        .kind = SpriteKind::GreyscaleMasked,
        .objectName = "frmSprGSm",
        .title = "Sprite-Editor for Greyscale Sprites with Mask",
        .clientSize = {417, 409},
        .placement = WindowPlacement::SystemPlaced,
        .windowIcon = 0,
        .sampleOffset = 0.0F,
        .sizeRow = false,
        .helpText = HELP_COMMON " The fifth color (orange) indicates a masked pixel.",
        .swatches = greyscaleMaskedSwatches,
        .layout = greyscaleMaskedLayout,
    },
};

} // namespace

const SpriteVariant& spriteVariant(SpriteKind kind)
{
    for (const SpriteVariant& variant : variants)
        if (variant.kind == kind)
            return variant;
    return variants[0];
}
