#include "picture_io/window_source.h"

#include <algorithm>

WindowSource::WindowSource(ByteSource& inner, std::span<const std::uint8_t> replayed,
                           std::optional<std::uint64_t> length)
    : m_inner(inner), m_replayedCount(std::min(replayed.size(), maxReplayed)), m_length(length)
{
    std::copy_n(replayed.begin(), m_replayedCount, m_replayed.begin());
    m_start = inner.position() - m_replayedCount;
}

Result<std::size_t> WindowSource::read(std::span<std::uint8_t> buffer)
{
    if (m_length)
        buffer = buffer.first(std::size_t(
            std::min<std::uint64_t>(buffer.size(), *m_length - std::min(m_position, *m_length))));
    if (buffer.empty())
        return 0;
    if (m_position < m_replayedCount) {
        const std::size_t count =
            std::min(buffer.size(), m_replayedCount - std::size_t(m_position));
        std::copy_n(m_replayed.begin() + std::ptrdiff_t(m_position), count, buffer.begin());
        m_position += count;
        return count;
    }
    const Result<std::size_t> got = m_inner.read(buffer);
    if (got)
        m_position += *got;
    return got;
}

std::optional<std::uint64_t> WindowSource::size() const
{
    const std::optional<std::uint64_t> inner = m_inner.size();
    if (!inner)
        return std::nullopt;
    const std::uint64_t rest = *inner > m_start ? *inner - m_start : 0;
    return m_length ? std::min(rest, *m_length) : rest;
}

Result<void> WindowSource::seek(std::uint64_t offset)
{
    const std::optional<std::uint64_t> total = size();
    if (!total)
        return fail("cannot seek in a stream");
    if (offset > *total)
        return fail("cut short");
    if (const Result<void> moved = m_inner.seek(m_start + offset); !moved)
        return moved;
    // The replayed bytes are the inner source's own, read again from there.
    m_replayedCount = 0;
    m_position = offset;
    return {};
}

Result<std::uint64_t> WindowSource::discard(std::uint64_t count)
{
    if (m_length)
        count = std::min(count, *m_length - std::min(m_position, *m_length));
    // The replayed bytes first, then the inner source's own way.
    std::uint64_t done = 0;
    if (m_position < m_replayedCount) {
        done = std::min<std::uint64_t>(count, m_replayedCount - m_position);
        m_position += done;
    }
    if (done == count)
        return done;
    const Result<std::uint64_t> inner = m_inner.discard(count - done);
    if (!inner)
        return inner;
    m_position += *inner;
    return done + *inner;
}
