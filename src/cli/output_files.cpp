#include "cli/output_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// A hidden name beside the target, so that the final rename stays within one
// folder (and one file system) and is atomic.
QString besideTarget(const QString& target, const QString& suffix)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + suffix;
}

// Creates an empty file of a name nobody else holds, with `mode`; returns its
// name, or an empty one with `error` set.
QString createUnique(const QString& target, mode_t mode, int* error)
{
    QByteArray pattern = encoded(besideTarget(target, QStringLiteral(".XXXXXX")));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        *error = errno;
        return {};
    }
    // mkstemp makes the file private; the final file gets the mode it should have.
    if (::fchmod(fd, mode) != 0) {
        *error = errno;
        ::close(fd);
        ::unlink(pattern.constData());
        return {};
    }
    ::close(fd);
    return QFile::decodeName(pattern);
}

// The writers report "Cannot write <file>: <why>" naming the temporary file;
// the user knows only the target, so only the reason is kept.
QString writerReason(const WriteResult& result, const QString& temporary)
{
    const QString prefix =
        QStringLiteral("Cannot write %1: ").arg(QDir::toNativeSeparators(temporary));
    return result.error.startsWith(prefix) ? result.error.mid(prefix.size()) : result.error;
}

mode_t newFileMode()
{
    // As for any new file: everyone may read and write, less what the umask takes away.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Gives the target's present content a second name, so that it can be put back.
// A hard link costs nothing and keeps the very file (owner, mode, inode); where
// the file system has none, a copy does.
QString keepEarlierContent(const QString& target, mode_t mode, int* error)
{
    const QByteArray from = encoded(target);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            besideTarget(target, QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(),
                                                           8, 16, QLatin1Char('0')));
        if (::link(from.constData(), encoded(name).constData()) == 0)
            return name;
        *error = errno;
        if (*error != EEXIST)
            break;
    }

    const QString name = createUnique(target, mode, error);
    if (name.isEmpty())
        return {};
    QFile source(target);
    QFile copy(name);
    if (source.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly)) {
        bool ok = true;
        while (ok && !source.atEnd()) {
            const QByteArray chunk = source.read(1 << 20);
            ok = !chunk.isEmpty() && copy.write(chunk) == chunk.size();
        }
        if (ok && copy.flush())
            return name;
    }
    *error = EIO;
    copy.close();
    ::unlink(encoded(name).constData());
    return {};
}

} // namespace

OutputFiles::~OutputFiles()
{
    removeLeftovers();
}

void OutputFiles::add(const QString& path, Writer writer)
{
    Entry entry;
    entry.path = path;
    entry.writer = std::move(writer);
    m_files.push_back(std::move(entry));
}

std::optional<FileFailure> OutputFiles::prepare()
{
    const mode_t freshMode = newFileMode();
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        Entry& entry = m_files[i];
        // A link is written through, as QSaveFile (and so the windows) does.
        const QFileInfo info(entry.path);
        entry.target = info.absoluteFilePath();
        if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
            entry.target = info.canonicalFilePath();
        for (std::size_t j = 0; j < i; ++j) {
            if (m_files[j].target == entry.target)
                return FileFailure{entry.path, QStringLiteral("is also %1").arg(m_files[j].path)};
        }

        struct stat status
        {
        };
        entry.existed =
            ::stat(encoded(entry.target).constData(), &status) == 0 && S_ISREG(status.st_mode);
        entry.mode = entry.existed ? (status.st_mode & 07777) : freshMode;
        int error = 0;
        entry.temporary = createUnique(entry.target, entry.mode, &error);
        if (entry.temporary.isEmpty())
            return FileFailure{entry.path, QStringLiteral("cannot write: ") + reasonOf(error)};
        const WriteResult written = entry.writer(entry.temporary);
        if (!written.ok) {
            return FileFailure{entry.path, QStringLiteral("cannot write: ") +
                                               writerReason(written, entry.temporary)};
        }
    }
    return std::nullopt;
}

std::optional<FileFailure> OutputFiles::commit()
{
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        Entry& entry = m_files[i];
        int error = 0;
        // The last rename either happens or changes nothing, so only the files
        // replaced before it need their earlier content kept.
        if (i + 1 < m_files.size() && entry.existed) {
            entry.backup = keepEarlierContent(entry.target, entry.mode, &error);
            if (entry.backup.isEmpty()) {
                rollBack();
                return FileFailure{entry.path, QStringLiteral("cannot keep its earlier content: ") +
                                                   reasonOf(error)};
            }
        }
        if (::rename(encoded(entry.temporary).constData(), encoded(entry.target).constData()) !=
            0) {
            error = errno;
            rollBack();
            return FileFailure{entry.path, QStringLiteral("cannot write: ") + reasonOf(error)};
        }
        entry.temporary.clear();
        entry.replaced = true;
    }
    for (Entry& entry : m_files) {
        if (!entry.backup.isEmpty())
            ::unlink(encoded(entry.backup).constData());
        entry.backup.clear();
    }
    return std::nullopt;
}

void OutputFiles::rollBack()
{
    for (auto entry = m_files.rbegin(); entry != m_files.rend(); ++entry) {
        if (!entry->replaced)
            continue;
        if (!entry->backup.isEmpty()) {
            // Should even this fail, the earlier content stays under its second
            // name rather than being removed with the leftovers.
            ::rename(encoded(entry->backup).constData(), encoded(entry->target).constData());
            entry->backup.clear();
        } else {
            ::unlink(encoded(entry->target).constData());
        }
        entry->replaced = false;
    }
}

void OutputFiles::removeLeftovers()
{
    for (Entry& entry : m_files) {
        for (QString* name : {&entry.temporary, &entry.backup}) {
            if (!name->isEmpty())
                ::unlink(encoded(*name).constData());
            name->clear();
        }
    }
}
