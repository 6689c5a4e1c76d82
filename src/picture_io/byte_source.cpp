#include "picture_io/byte_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string reasonOf(int error)
{
    return std::strerror(error);
}

} // namespace

Result<void> skipForward(ByteSource& source, std::uint64_t count)
{
    if (count == 0)
        return {};
    if (const auto size = source.size()) {
        const std::uint64_t at = source.position();
        if (at > *size || count > *size - at)
            return fail("cut short");
        return source.seek(at + count);
    }
    const Result<std::uint64_t> skipped = source.discard(count);
    if (!skipped)
        return fail(skipped.error());
    if (*skipped < count)
        return fail("cut short");
    return {};
}

Result<std::uint64_t> ByteSource::discard(std::uint64_t count)
{
    std::array<std::uint8_t, 64 * 1024> scratch;
    std::uint64_t done = 0;
    while (done < count) {
        const std::size_t piece =
            std::size_t(std::min<std::uint64_t>(count - done, scratch.size()));
        const Result<std::size_t> got = read(std::span(scratch).first(piece));
        if (!got)
            return fail(got.error());
        if (*got == 0)
            break;
        done += *got;
    }
    return done;
}

Result<void> readExactly(ByteSource& source, std::span<std::uint8_t> buffer)
{
    while (!buffer.empty()) {
        const Result<std::size_t> got = source.read(buffer);
        if (!got)
            return fail(got.error());
        if (*got == 0)
            return fail("cut short");
        buffer = buffer.subspan(*got);
    }
    return {};
}

Result<std::size_t> MemorySource::read(std::span<std::uint8_t> buffer)
{
    if (m_position >= m_bytes.size())
        return 0;
    const std::size_t count =
        std::min<std::size_t>(buffer.size(), std::size_t(m_bytes.size() - m_position));
    std::copy_n(m_bytes.begin() + std::ptrdiff_t(m_position), count, buffer.begin());
    m_position += count;
    return count;
}

Result<void> MemorySource::seek(std::uint64_t offset)
{
    if (offset > m_bytes.size())
        return fail("cut short");
    m_position = offset;
    return {};
}

FileSource::FileSource(int descriptor, bool owned) : m_descriptor(descriptor), m_owned(owned)
{
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        m_size = std::uint64_t(status.st_size);
        const off_t at = ::lseek(descriptor, 0, SEEK_CUR);
        m_position = at > 0 ? std::uint64_t(at) : 0;
    }
}

Result<FileSource> FileSource::open(const std::string& path, const std::string& notA)
{
    // O_NONBLOCK keeps a FIFO without a writer from hanging the open; it is
    // cleared at once, so reads wait for data as usual.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        const int error = errno;
        struct stat status
        {
        };
        if (error == ENOENT)
            return fail("file not found");
        if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            return fail("is a folder, not " + notA);
        return fail("cannot be opened (" + reasonOf(error) + ")");
    }
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        return fail("is a folder, not " + notA);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0)
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return FileSource(descriptor, true);
}

FileSource FileSource::borrow(int descriptor)
{
    return FileSource(descriptor, false);
}

FileSource::FileSource(FileSource&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)),
      m_owned(std::exchange(other.m_owned, false)), m_size(other.m_size),
      m_position(other.m_position)
{}

FileSource& FileSource::operator=(FileSource&& other) noexcept
{
    if (this != &other) {
        if (m_owned && m_descriptor >= 0)
            ::close(m_descriptor);
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_owned = std::exchange(other.m_owned, false);
        m_size = other.m_size;
        m_position = other.m_position;
    }
    return *this;
}

FileSource::~FileSource()
{
    if (m_owned && m_descriptor >= 0)
        ::close(m_descriptor);
}

Result<std::size_t> FileSource::read(std::span<std::uint8_t> buffer)
{
    if (buffer.empty())
        return 0;
    for (;;) {
        const ssize_t got = ::read(m_descriptor, buffer.data(), buffer.size());
        if (got >= 0) {
            m_position += std::uint64_t(got);
            return std::size_t(got);
        }
        if (errno != EINTR)
            return fail("cannot be read (" + reasonOf(errno) + ")");
    }
}

Result<std::uint64_t> FileSource::discard(std::uint64_t count)
{
    // From a pipe, splice hands the bytes to /dev/null inside the kernel:
    // skipping the 140 MB before the top rows of a large bottom-up bitmap
    // then costs a few milliseconds instead of some forty. Anything splice
    // cannot take (a terminal, a device) is read as usual.
    std::uint64_t done = 0;
    if (!m_size && count >= 1024 * 1024) {
        // A larger pipe wakes the writer and us less often.
        ::fcntl(m_descriptor, F_SETPIPE_SZ, 1024 * 1024);
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        while (nowhere >= 0 && done < count) {
            const std::size_t piece = std::size_t(std::min<std::uint64_t>(count - done, 1 << 30));
            const ssize_t moved = ::splice(m_descriptor, nullptr, nowhere, nullptr, piece, 0);
            if (moved > 0) {
                done += std::uint64_t(moved);
                m_position += std::uint64_t(moved);
            } else if (moved == 0) {
                ::close(nowhere);
                return done; // the end of the input
            } else if (errno != EINTR) {
                break;
            }
        }
        if (nowhere >= 0)
            ::close(nowhere);
    }
    const Result<std::uint64_t> read = ByteSource::discard(count - done);
    if (!read)
        return read;
    return done + *read;
}

Result<void> FileSource::seek(std::uint64_t offset)
{
    if (!m_size)
        return fail("cannot seek in a stream");
    if (offset > *m_size)
        return fail("cut short");
    if (::lseek(m_descriptor, off_t(offset), SEEK_SET) < 0)
        return fail("cannot be read (" + reasonOf(errno) + ")");
    m_position = offset;
    return {};
}
