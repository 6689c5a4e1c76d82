#pragma once

#include "core/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Where a picture's bytes come from: a file, a pipe or standard input, or bytes
// already in memory. Decoders read forward; only sources whose size is known
// (regular files, memory) can seek. A pipe or a device (/dev/zero) may never
// end, so no reader may count on an end: every decoder stops at a bound that
// the picture's own header justifies.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // Up to buffer.size() bytes from the current position; fewer only when the
    // input ends or a pipe has no more yet, 0 only at the end. A failure of the
    // system (EIO, a vanished disk) is a Failure with its reason.
    virtual Result<std::size_t> read(std::span<std::uint8_t> buffer) = 0;

    // The total size in bytes, when the source knows it (regular files, memory).
    virtual std::optional<std::uint64_t> size() const = 0;

    // Moves to `offset` bytes from the start. Only sources that know their
    // size can; for the others this fails, and a decoder skips forward by
    // reading instead (see skipForward).
    virtual Result<void> seek(std::uint64_t offset) = 0;

    // Bytes from the start to the current position.
    virtual std::uint64_t position() const = 0;

    // Reads past up to `count` bytes without handing them over; fewer only
    // when the input ends. Sources that cannot seek may do it more cheaply
    // than by reading (a pipe's bytes need not be copied). skipForward calls
    // this for them.
    virtual Result<std::uint64_t> discard(std::uint64_t count);
};

// Moves forward by `count` bytes: a seek where the source can, otherwise by
// reading and dropping. Fails with "cut short" when the input ends first.
Result<void> skipForward(ByteSource& source, std::uint64_t count);

// Reads exactly buffer.size() bytes, or fails with "cut short" when the input
// ends first.
Result<void> readExactly(ByteSource& source, std::span<std::uint8_t> buffer);

// Bytes in memory; the bytes must outlive the source.
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> size() const override { return m_bytes.size(); }
    Result<void> seek(std::uint64_t offset) override;
    std::uint64_t position() const override { return m_position; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_position = 0;
};

// An open file descriptor: a regular file (seekable, sized), or a pipe, a
// terminal, a socket or a device (forward only). Reads retry on EINTR.
class FileSource final : public ByteSource
{
public:
    // Opens `path` (a name of bytes, used exactly as given) for reading.
    // Failures say, for a picture: "file not found", "is a folder, not a
    // picture", "cannot be opened (Permission denied)". `notA` completes the
    // folder message ("a picture", "a picture data file", "sprite code").
    static Result<FileSource> open(const std::string& path, const std::string& notA);
    // Reads from a descriptor the caller keeps open and closes (standard input).
    static FileSource borrow(int descriptor);

    FileSource(FileSource&& other) noexcept;
    FileSource& operator=(FileSource&& other) noexcept;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> size() const override { return m_size; }
    Result<void> seek(std::uint64_t offset) override;
    std::uint64_t position() const override { return m_position; }
    Result<std::uint64_t> discard(std::uint64_t count) override;

private:
    FileSource(int descriptor, bool owned);

    int m_descriptor = -1;
    bool m_owned = false;
    std::optional<std::uint64_t> m_size; // regular files only
    std::uint64_t m_position = 0;
};
