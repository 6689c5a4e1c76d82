#pragma once

#include "core/result.h"
#include "picture_io/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// A read buffer between a ByteSource and a decoding library, so that the
// libraries' small reads (a chunk header, a CRC, one GIF sub-block) never
// become system calls of their own. It also enforces a budget: the decoders
// set how many bytes from the start the picture may take, and a source that
// goes on past it (a pipe that never ends, a chunk that claims gigabytes) is
// treated as damaged instead of being read to its end.
class BufferedInput
{
public:
    explicit BufferedInput(ByteSource& source, std::size_t capacity = 64 * 1024);

    // Bytes buffered and not yet consumed; may be empty.
    std::span<const std::uint8_t> available() const
    {
        return std::span(m_buffer).subspan(m_begin, m_end - m_begin);
    }
    void consume(std::size_t count) { m_begin += count; }

    // Makes at least `count` bytes (at most the capacity) available in one
    // piece. False when the input ends, fails or reaches the budget first.
    bool ensure(std::size_t count);
    // Copies exactly out.size() bytes, or fails as ensure does.
    bool readExactly(std::span<std::uint8_t> out);
    // Moves `count` bytes forward, by seeking where the source can.
    bool skip(std::uint64_t count);

    // Bytes consumed since the input was made (its start: the signature).
    std::uint64_t position() const { return m_sourceTaken - (m_end - m_begin); }
    // The position plus every surcharge: what the budget is measured in.
    std::uint64_t charged() const { return position() + m_surcharge; }
    // No byte is taken once charged() would reach `end`.
    void setBudgetEnd(std::uint64_t end) { m_budgetEnd = end; }
    // Counts `bytes` against the budget without reading them: a decoder's
    // work for a record does not shrink with the record, so an input of
    // endless empty records must not take the budget's worth of them.
    void charge(std::uint64_t bytes) { m_surcharge += bytes; }

    // Why the last ensure, readExactly or skip failed: the source's own
    // failure (a read error) if there was one; otherwise the input was cut
    // short or went over its budget, which the decoder reports as damaged.
    const std::optional<Failure>& sourceFailure() const { return m_sourceFailure; }

private:
    ByteSource& m_source;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::uint64_t m_sourceTaken = 0; // read or skipped from the source
    std::uint64_t m_budgetEnd = UINT64_MAX;
    std::uint64_t m_surcharge = 0;
    std::optional<Failure> m_sourceFailure;
};
