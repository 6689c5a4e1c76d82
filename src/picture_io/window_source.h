#pragma once

#include "picture_io/byte_source.h"

#include <array>
#include <cstdint>
#include <optional>

// A part of another source seen as a source of its own, starting at 0: the
// bytes from the inner source's current position on, at most `length` of them
// when a length is given. Up to 32 bytes already read from the inner source
// (to tell a format by its first bytes) are given back first, so that a pipe
// can be looked at and then read from its start.
class WindowSource final : public ByteSource
{
public:
    static constexpr std::size_t maxReplayed = 32;

    WindowSource(ByteSource& inner, std::span<const std::uint8_t> replayed,
                 std::optional<std::uint64_t> length = std::nullopt);

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> size() const override;
    Result<void> seek(std::uint64_t offset) override;
    std::uint64_t position() const override { return m_position; }
    Result<std::uint64_t> discard(std::uint64_t count) override;

private:
    ByteSource& m_inner;
    std::array<std::uint8_t, maxReplayed> m_replayed{};
    std::size_t m_replayedCount = 0;
    std::uint64_t m_start = 0; // of the window, in the inner source
    std::optional<std::uint64_t> m_length;
    std::uint64_t m_position = 0;
};
