#include "picture_io/text_input.h"

#include <cstdint>
#include <optional>

namespace {

const std::string tooLarge = "file is too large";

} // namespace

Result<void> readTextPieces(ByteSource& source, const std::function<bool(std::string_view)>& take,
                            std::size_t limit)
{
    std::string piece(64 * 1024, '\0');
    std::size_t total = 0;
    for (;;) {
        const Result<std::size_t> got =
            source.read({reinterpret_cast<std::uint8_t*>(piece.data()), piece.size()});
        if (!got)
            return fail(got.error());
        if (*got == 0)
            return {};
        total += *got;
        if (total > limit)
            return fail(tooLarge);
        if (take(std::string_view(piece).substr(0, *got)))
            return {};
    }
}

Result<std::string> readWholeText(ByteSource& source, std::size_t limit)
{
    std::string text;
    if (const std::optional<std::uint64_t> size = source.size()) {
        if (*size > limit)
            return fail(tooLarge);
        text.reserve(std::size_t(*size));
    }
    const Result<void> read = readTextPieces(
        source,
        [&text](std::string_view piece) {
            text.append(piece);
            return false;
        },
        limit);
    if (!read)
        return fail(read.error());
    return text;
}
