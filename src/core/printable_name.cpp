#include "core/printable_name.h"

#include <cstdint>

namespace {

// The length of the valid UTF-8 sequence starting at `at`, or 0. Overlong
// forms, surrogates and code points above U+10FFFF are not valid.
std::size_t utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return std::uint8_t(text[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    // C1 controls (U+0080..U+009F) move terminals about like C0 ones.
    if (code <= 0x9F)
        return 0;
    return length;
}

void appendEscape(std::string& out, std::uint8_t byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    switch (byte) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        out += "\\x";
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
    }
}

} // namespace

std::string printableName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        const std::uint8_t byte = std::uint8_t(name[at]);
        if (byte == '\\') {
            out += "\\\\";
            ++at;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += char(byte);
            ++at;
        } else if (const std::size_t length = byte >= 0x80 ? utf8Length(name, at) : 0) {
            out.append(name.substr(at, length));
            at += length;
        } else {
            appendEscape(out, byte);
            ++at;
        }
    }
    return out;
}
