#include "picture_io/buffered_input.h"

#include <algorithm>
#include <cstring>

BufferedInput::BufferedInput(ByteSource& source, std::size_t capacity)
    : m_source(source), m_buffer(capacity)
{}

bool BufferedInput::ensure(std::size_t count)
{
    count = std::min(count, m_buffer.size());
    if (m_end - m_begin >= count)
        return true;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    while (m_end < count) {
        const std::uint64_t taken = m_sourceTaken + m_surcharge;
        const std::uint64_t allowed = m_budgetEnd > taken ? m_budgetEnd - taken : std::uint64_t{0};
        const std::size_t room =
            std::size_t(std::min<std::uint64_t>(m_buffer.size() - m_end, allowed));
        if (room == 0)
            return false;
        const Result<std::size_t> got = m_source.read(std::span(m_buffer).subspan(m_end, room));
        if (!got) {
            m_sourceFailure = got.error();
            return false;
        }
        if (*got == 0)
            return false;
        m_end += *got;
        m_sourceTaken += *got;
    }
    return true;
}

bool BufferedInput::readExactly(std::span<std::uint8_t> out)
{
    while (!out.empty()) {
        if (m_begin == m_end && !ensure(std::min(out.size(), m_buffer.size())))
            return false;
        const std::size_t piece = std::min(out.size(), m_end - m_begin);
        std::memcpy(out.data(), m_buffer.data() + m_begin, piece);
        m_begin += piece;
        out = out.subspan(piece);
    }
    return true;
}

bool BufferedInput::skip(std::uint64_t count)
{
    const std::size_t buffered = m_end - m_begin;
    if (count <= buffered) {
        m_begin += std::size_t(count);
        return true;
    }
    count -= buffered;
    m_begin = m_end = 0;
    const std::uint64_t taken = m_sourceTaken + m_surcharge;
    if (m_budgetEnd < taken || count > m_budgetEnd - taken)
        return false;
    if (const auto size = m_source.size()) {
        const std::uint64_t at = m_source.position();
        if (at > *size || count > *size - at)
            return false;
        if (const Result<void> moved = m_source.seek(at + count); !moved) {
            m_sourceFailure = moved.error();
            return false;
        }
        m_sourceTaken += count;
        return true;
    }
    while (count > 0) {
        const std::size_t piece = std::size_t(std::min<std::uint64_t>(count, m_buffer.size()));
        const Result<std::size_t> got = m_source.read(std::span(m_buffer).first(piece));
        if (!got) {
            m_sourceFailure = got.error();
            return false;
        }
        if (*got == 0)
            return false;
        count -= *got;
        m_sourceTaken += *got;
    }
    return true;
}
