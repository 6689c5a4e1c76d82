// The sprite code reader of every kind takes any pasted text: it must never
// read out of bounds, and whatever it reads must survive a trip through the
// writer unchanged.

#include "core/sprite_code.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const SpriteKind kind : {SpriteKind::BlackWhite, SpriteKind::Greyscale,
                                  SpriteKind::BlackWhiteMasked, SpriteKind::GreyscaleMasked}) {
        const auto colours = readSpriteCode(kind, text);
        if (!colours)
            continue;
        SpriteLayers bits;
        for (int i = 0; i < 64; ++i)
            if (!applyColour(kind, (*colours)[static_cast<std::size_t>(i)], i % 8, i / 8, bits))
                std::abort(); // the reader only paints colours its kind knows
        const std::string written = spriteCodeText(kind, bits);
        const auto again = readSpriteCode(kind, written);
        if (!again || *again != *colours)
            std::abort();
    }
    return 0;
}
