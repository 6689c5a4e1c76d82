#include "picture_io/output_files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reasonOf(int error)
{
    return std::strerror(error);
}

Unexpected cannotWrite(const std::string& path, int error)
{
    return fail(path, "cannot write: " + reasonOf(error));
}

// ---- Temporary files that a signal must not leave behind ------------------
//
// A signal handler may only call async-signal-safe functions, so the names
// live in fixed slots it can read without allocating, each marked in use only
// once its name is complete.

constexpr std::size_t slotCount = 16;
constexpr std::size_t slotBytes = 4352; // PATH_MAX and a hidden name's extra bytes

struct PendingSlot
{
    volatile std::sig_atomic_t used = 0;
    std::array<char, slotBytes> path{};
};

std::array<PendingSlot, slotCount> pendingFiles;

// The slot now holding `path`, or -1 when none is free or the name does not
// fit; such a file is still removed by every path but a signal.
int rememberPending(const std::string& path)
{
    if (path.size() >= slotBytes)
        return -1;
    for (std::size_t i = 0; i < slotCount; ++i) {
        if (pendingFiles[i].used == 0) {
            std::copy(path.begin(), path.end(), pendingFiles[i].path.begin());
            pendingFiles[i].path[path.size()] = '\0';
            std::atomic_signal_fence(std::memory_order_seq_cst);
            pendingFiles[i].used = 1;
            return int(i);
        }
    }
    return -1;
}

void forgetPending(int slot)
{
    if (slot >= 0)
        pendingFiles[std::size_t(slot)].used = 0;
}

extern "C" void removePendingAndEnd(int signalNumber)
{
    for (PendingSlot& slot : pendingFiles) {
        if (slot.used != 0)
            ::unlink(slot.path.data());
    }
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// A file of our own beside a target: its name, and its slot among the pending ones.
struct OwnFile
{
    std::string name;
    int slot = -1;

    void remove()
    {
        if (!name.empty())
            ::unlink(name.c_str());
        forget();
    }
    // It has become the target (renamed) or is no longer ours to remove.
    void forget()
    {
        forgetPending(slot);
        slot = -1;
        name.clear();
    }
};

// ---- Names ---------------------------------------------------------------

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the target, so that the final rename stays within one
// folder (and one file system) and is atomic. The random part is left to
// mkstemp; a target name so long that the extra bytes would pass the file
// system's limit gets a shortened hidden name instead.
std::string temporaryPattern(const std::string& target)
{
    const std::string folder = folderOf(target);
    std::string base = baseOf(target);
    long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest <= 0)
        longest = 255;
    const std::size_t room = std::size_t(longest) - std::string_view(".").size() - 7;
    if (base.size() > room)
        base.resize(room);
    return (folder == "/" ? std::string() : folder) + "/." + base + ".XXXXXX";
}

struct Resolved
{
    std::string target; // the name that gets the new file, or the special file
    bool exists = false;
    struct stat status
    {
    };
};

// Follows symbolic links to the name that a new file must get: the link stays
// as it is and the file it names is replaced (or made, for a dangling link).
// A link through /proc (/dev/stdout) may lead to a pipe or a terminal, which
// has no name of its own: such a target is taken through the link.
Result<Resolved> resolve(const std::string& path)
{
    Resolved resolved;
    resolved.target = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (::lstat(resolved.target.c_str(), &resolved.status) != 0) {
            if (errno != ENOENT)
                return fail("cannot write: " + reasonOf(errno));
            resolved.exists = false;
            return resolved;
        }
        resolved.exists = true;
        if (!S_ISLNK(resolved.status.st_mode))
            return resolved;

        struct stat through
        {
        };
        if (::stat(resolved.target.c_str(), &through) == 0 && !S_ISREG(through.st_mode)) {
            resolved.status = through;
            return resolved;
        }
        std::string text(4096, '\0');
        const ssize_t length = ::readlink(resolved.target.c_str(), text.data(), text.size());
        if (length < 0 || std::size_t(length) >= text.size())
            return fail("cannot write: " + reasonOf(length < 0 ? errno : ENAMETOOLONG));
        text.resize(std::size_t(length));
        if (text.empty() || text.front() != '/') {
            const std::string folder = folderOf(resolved.target);
            text = (folder == "/" ? std::string() : folder) + "/" + text;
        }
        resolved.target = std::move(text);
    }
    return fail("cannot write: " + reasonOf(ELOOP));
}

// The file a name leads to, for telling whether two names are one file: the
// file itself where it exists, else its folder and its name there.
struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    std::string name; // empty for an existing file
    bool known = false;
    friend bool operator==(const Identity&, const Identity&) = default;
};

Identity identityOf(const std::string& path)
{
    Identity identity;
    const Result<Resolved> resolved = resolve(path);
    if (!resolved)
        return identity;
    struct stat status
    {
    };
    if (resolved->exists) {
        if (::stat(resolved->target.c_str(), &status) != 0)
            return identity;
    } else {
        if (::stat(folderOf(resolved->target).c_str(), &status) != 0)
            return identity;
        identity.name = baseOf(resolved->target);
    }
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.known = true;
    return identity;
}

mode_t newFileMode()
{
    // As for any new file: everyone may read and write, less what the umask takes away.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes all of `bytes`, or gives the system's reason (errno) for stopping.
int writeAll(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        bytes.remove_prefix(std::size_t(written));
    }
    return 0;
}

// Creates a new temporary file beside `target`, gives it the owner and mode
// the target's replacement must have, and writes `content` into it.
Result<OwnFile> writeTemporary(const std::string& target, const struct stat* existing,
                               std::string_view content, OutputFiles::DiskSync sync)
{
    std::string name = temporaryPattern(target);
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0)
        return fail("cannot write: " + reasonOf(errno));
    OwnFile file{name, rememberPending(name)};

    int error = 0;
    mode_t mode = newFileMode();
    if (existing != nullptr) {
        // Set-user-ID and set-group-ID are not carried over: a file we wrote is
        // not a program anyone vetted.
        mode = existing->st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID);
        // Only a privileged process may give a file away; others keep at least
        // the group where they belong to it. Failing both, the file is ours.
        if (::fchown(descriptor, existing->st_uid, existing->st_gid) != 0)
            (void)::fchown(descriptor, uid_t(-1), existing->st_gid);
    }
    if (::fchmod(descriptor, mode) != 0)
        error = errno;
    if (error == 0)
        error = writeAll(descriptor, content);
    if (error == 0 && sync == OutputFiles::DiskSync::Synced && ::fsync(descriptor) != 0 &&
        errno != EINVAL)
        error = errno;
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        file.remove();
        return fail("cannot write: " + reasonOf(error));
    }
    return file;
}

// Gives the target's present content a second name, so that it can be put
// back. A hard link costs nothing and keeps the very file; where the file
// system has none, a copy does.
Result<OwnFile> keepEarlierContent(const std::string& target, const struct stat& status)
{
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = temporaryPattern(target);
        static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (std::size_t i = name.size() - 6; i < name.size(); ++i)
            name[i] = letters[random() % (sizeof letters - 1)];
        if (::link(target.c_str(), name.c_str()) == 0)
            return OwnFile{name, rememberPending(name)};
        if (errno != EEXIST)
            break;
    }
    const int source = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return fail("cannot keep its earlier content: " + reasonOf(errno));
    std::string content;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            ::close(source);
            if (error != 0)
                return fail("cannot keep its earlier content: " + reasonOf(error));
            break;
        }
        content.append(buffer.data(), std::size_t(got));
    }
    Result<OwnFile> copy = writeTemporary(target, &status, content, OutputFiles::DiskSync::Synced);
    if (!copy)
        return fail("cannot keep its earlier content: " + copy.error().why);
    return copy;
}

} // namespace

OutputFiles::~OutputFiles()
{
    removeLeftovers();
}

void OutputFiles::add(std::string path, std::string content)
{
    Entry entry;
    entry.path = std::move(path);
    entry.content = std::move(content);
    m_files.push_back(std::move(entry));
}

std::optional<std::pair<std::size_t, std::size_t>>
OutputFiles::sameFile(const std::string* input) const
{
    std::vector<Identity> identities;
    if (input != nullptr)
        identities.push_back(identityOf(*input));
    for (const Entry& entry : m_files)
        identities.push_back(identityOf(entry.path));
    for (std::size_t later = 1; later < identities.size(); ++later) {
        for (std::size_t earlier = 0; earlier < later; ++earlier) {
            if (identities[earlier].known && identities[earlier] == identities[later])
                return std::pair(earlier, later);
        }
    }
    return std::nullopt;
}

Result<void> OutputFiles::prepareEntry(Entry& entry)
{
    const Result<Resolved> resolved = resolve(entry.path);
    if (!resolved)
        return failNaming(resolved.error(), entry.path);
    entry.target = resolved->target;
    entry.existed = resolved->exists;
    const struct stat& status = resolved->status;

    // A name ending in "/" can only be a folder; the system would say the same.
    if (entry.path.ends_with('/') || (entry.existed && S_ISDIR(status.st_mode)))
        return cannotWrite(entry.path, EISDIR);
    if (entry.existed && S_ISSOCK(status.st_mode))
        return fail(entry.path, "cannot write: is a socket, not a file");
    if (entry.existed && !S_ISREG(status.st_mode)) {
        entry.kind = Kind::Special;
        return {};
    }
    // Replacing a file means writing the folder, which the file's own mode does
    // not guard: ask the file itself, so that a read-only file stays read-only
    // for those it is read-only for.
    if (entry.existed && ::faccessat(AT_FDCWD, entry.target.c_str(), W_OK, AT_EACCESS) != 0)
        return cannotWrite(entry.path, errno);

    Result<OwnFile> temporary =
        writeTemporary(entry.target, entry.existed ? &status : nullptr, entry.content, m_sync);
    if (!temporary)
        return failNaming(temporary.error(), entry.path);
    entry.temporary = temporary->name;
    m_slots.push_back(temporary->slot);
    return {};
}

Result<void> OutputFiles::prepare()
{
    for (Entry& entry : m_files) {
        if (Result<void> prepared = prepareEntry(entry); !prepared)
            return prepared;
    }
    return {};
}

Result<void> OutputFiles::commit()
{
    for (Entry& entry : m_files) {
        if (entry.kind != Kind::Special)
            continue;
        const int descriptor = ::open(entry.target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (descriptor < 0)
            return cannotWrite(entry.path, errno);
        int error = writeAll(descriptor, entry.content);
        if (::close(descriptor) != 0 && error == 0)
            error = errno;
        if (error != 0)
            return cannotWrite(entry.path, error);
    }

    std::vector<Entry*> regular;
    for (Entry& entry : m_files) {
        if (entry.kind == Kind::Regular)
            regular.push_back(&entry);
    }
    for (std::size_t i = 0; i < regular.size(); ++i) {
        Entry& entry = *regular[i];
        // The last rename either happens or changes nothing, so only the files
        // replaced before it need their earlier content kept.
        if (i + 1 < regular.size() && entry.existed) {
            struct stat status
            {
            };
            ::stat(entry.target.c_str(), &status);
            Result<OwnFile> backup = keepEarlierContent(entry.target, status);
            if (!backup) {
                rollBack();
                return failNaming(backup.error(), entry.path);
            }
            entry.backup = backup->name;
            m_slots.push_back(backup->slot);
        }
        if (::rename(entry.temporary.c_str(), entry.target.c_str()) != 0) {
            const int error = errno;
            rollBack();
            return cannotWrite(entry.path, error);
        }
        entry.temporary.clear();
        entry.replaced = true;
    }
    for (Entry& entry : m_files) {
        if (!entry.backup.empty())
            ::unlink(entry.backup.c_str());
        entry.backup.clear();
    }
    for (const int slot : m_slots)
        forgetPending(slot);
    m_slots.clear();
    return {};
}

void OutputFiles::rollBack()
{
    for (auto entry = m_files.rbegin(); entry != m_files.rend(); ++entry) {
        if (!entry->replaced)
            continue;
        if (!entry->backup.empty()) {
            // Should even this fail, the earlier content stays under its second
            // name rather than being removed with the leftovers.
            if (::rename(entry->backup.c_str(), entry->target.c_str()) == 0)
                entry->backup.clear();
        } else {
            ::unlink(entry->target.c_str());
        }
        entry->replaced = false;
    }
}

void OutputFiles::removeLeftovers()
{
    for (Entry& entry : m_files) {
        for (std::string* name : {&entry.temporary, &entry.backup}) {
            if (!name->empty())
                ::unlink(name->c_str());
            name->clear();
        }
    }
    for (const int slot : m_slots)
        forgetPending(slot);
    m_slots.clear();
}

Result<void> writeFileAtomically(const std::string& path, std::string_view content)
{
    OutputFiles files;
    files.add(path, std::string(content));
    if (Result<void> prepared = files.prepare(); !prepared)
        return prepared;
    return files.commit();
}

void installWriteCleanup()
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current
        {
        };
        // A signal ignored on purpose (nohup) stays ignored.
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction cleanup
        {
        };
        cleanup.sa_handler = removePendingAndEnd;
        sigemptyset(&cleanup.sa_mask);
        ::sigaction(signalNumber, &cleanup, nullptr);
    }
    ::signal(SIGXFSZ, SIG_IGN);
}
