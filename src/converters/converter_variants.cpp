#include "converters/converter_variants.h"

#include <array>

namespace {

// Layouts in pixels of the client area: left, top, width, height. The two
// windows differ only in the converted preview's name.
constexpr std::array<ControlPlace, 12> converterLayout(const char* convertedName)
{
    return {{
        {"picUnchanged", {8, 8, 128, 64}},
        {convertedName, {144, 8, 128, 64}},
        {"cmdLoad", {8, 80, 129, 25}},
        {"cmdSave", {144, 80, 129, 25}},
        {"txtSource", {8, 112, 129, 19}},
        {"sliSetting", {144, 112, 129, 17}},
        {"lblValue", {152, 128, 121, 17}},
        {"cmdConvert_Save", {8, 136, 129, 25}},
        {"prgLoad", {144, 152, 129, 9}},
        {"chkCompressRLE", {8, 168, 129, 17}},
        {"optRLEBytes", {144, 168, 57, 17}},
        {"optRLEBits", {208, 168, 57, 17}},
    }};
}

constexpr auto blackWhiteLayout = converterLayout("picConvert");
constexpr auto greyscaleLayout = converterLayout("picConverted");

const ConverterVariant variants[] = {
    {
        .kind = ConverterKind::BlackWhite,
        .objectName = "frmPicBW",
        .title = "Picture-Converter for Black&White Pictures",
        .clientSize = {281, 188},
        .convertedName = "picConvert",
        .saveCaption = "Save picture as B&&W",
        .unchangedTip = "Original look",
        .convertedTip = "Converted preview",
        .loadTip = "load a picture",
        .convertSaveTip = "Convert to Black&White and save",
        .sourceEditable = true,
        .dataFilter = "Binary data (*.inc;*.asm;*.txt)|*.inc;*.asm;*.txt",
        .layout = blackWhiteLayout,
    },
    {
        .kind = ConverterKind::Greyscale,
        .objectName = "frmPicGS",
        .title = "Picture-Converter for Greyscale Pictures",
        .clientSize = {281, 186},
        .convertedName = "picConverted",
        .saveCaption = "Save picture as grey",
        .unchangedTip = nullptr,
        .convertedTip = nullptr,
        .loadTip = nullptr,
        .convertSaveTip = nullptr,
        .sourceEditable = false,
        .dataFilter = "Binary Data (*.inc;*.asm;*.txt)|*.inc;*.asm;*.txt",
        .layout = greyscaleLayout,
    },
};

} // namespace

const ConverterVariant& converterVariant(ConverterKind kind)
{
    return kind == ConverterKind::Greyscale ? variants[1] : variants[0];
}
