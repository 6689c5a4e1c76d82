#pragma once

#include "core/result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The files one action writes, all or none. Names are bytes, used exactly as
// given (any name the system accepts works, and messages name the file as the
// user did).
//
// Where a file goes depends on what the name is now:
// - nothing, or a regular file: the content goes to a new hidden file beside
//   it, which replaces it by a rename only once everything is written, so a
//   failed or interrupted write leaves the old file exactly as it was. The new
//   file keeps the old one's permission bits (less set-user-ID and
//   set-group-ID) and, where the process may, its owner and group. Like every
//   editor that saves this way, it breaks hard links to the old file.
// - a symbolic link: it is followed, to the file it names (which may not exist
//   yet); the link itself stays as it was.
// - a device or a FIFO (/dev/null, /dev/stdout on a pipe): written straight
//   into, as compilers do with -o /dev/null; such a file is never removed or
//   replaced.
// - a folder or a socket: refused.
class OutputFiles
{
public:
    // Whether each new file is forced to the disk before it replaces the old
    // one. The windows' saves are, as editors save, so that a crash of the
    // whole system just after a save cannot leave an empty file where the
    // user's was. dotwright-cli's are not, as compilers and linkers write
    // theirs: a build makes its outputs again from their sources, and forcing
    // each to the disk cost a third of a small picture's conversion.
    enum class DiskSync { Synced, Unsynced };

    explicit OutputFiles(DiskSync sync = DiskSync::Synced) : m_sync(sync) {}
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;
    // Removes every temporary file that a failed or abandoned action left.
    ~OutputFiles();

    // A file to write: its name and its whole content.
    void add(std::string path, std::string content);
    bool isEmpty() const { return m_files.empty(); }

    // The first two files, in the order added, whose names lead to the same
    // file (through links, "..", or a linked folder), or nothing. `input`, when
    // given, is compared too and counts as the first file of all: a pair
    // (0, k) then means that output k - 1 is the input.
    std::optional<std::pair<std::size_t, std::size_t>>
    sameFile(const std::string* input = nullptr) const;

    // Writes every regular file's content to its temporary file. Fails naming
    // the file as it was given: "x.inc: cannot write: Permission denied".
    Result<void> prepare();
    // Writes the devices and FIFOs, then puts the regular files in place. The
    // devices go first because what went into them cannot be called back,
    // while the prepared files can still be dropped when one fails. Should
    // putting one file in place fail, those already replaced get their earlier
    // content back.
    Result<void> commit();

private:
    enum class Kind { Regular, Special };

    struct Entry
    {
        std::string path; // as given
        std::string content;
        std::string target; // links followed: the name that gets the new file
        Kind kind = Kind::Regular;
        std::string temporary;
        std::string backup; // a second name of the target's earlier content
        bool existed = false;
        bool replaced = false;
    };

    Result<void> prepareEntry(Entry& entry);
    void rollBack();
    void removeLeftovers();

    DiskSync m_sync;
    std::vector<Entry> m_files;
    // Where the temporary names wait for a signal handler to remove them.
    std::vector<int> m_slots;
};

// One file, whole or nothing, by the rules above (the windows' saves).
Result<void> writeFileAtomically(const std::string& path, std::string_view content);

// Sets up what keeps an interrupted write from leaving anything behind:
// SIGINT, SIGTERM and SIGHUP remove the temporary files of writes under way
// before the process ends as the signal says, and a file-size limit
// (ulimit -f) fails a write with "File too large" instead of killing the
// process. Called once by each program's main before it writes.
void installWriteCleanup();
