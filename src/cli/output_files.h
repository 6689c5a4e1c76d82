#pragma once

#include "picture_io/file_writer.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

// A failure of one file, for a message "<file>: <why>".
struct FileFailure
{
    QString file; // as the user named it
    QString why;
};

// The files of one run, written all or none. prepare() writes each through its
// writer into a temporary file beside its target; commit() then moves them over
// their targets. Should moving one fail, the targets already replaced get their
// earlier content back (or are removed, if they did not exist before), so an
// existing file is never left changed by a run that fails. Temporary files that
// a failed or abandoned run leaves are removed on destruction.
//
// Unlike writing each file through QSaveFile in turn, this keeps the first file
// untouched when only the second one fails.
class OutputFiles
{
public:
    // Writes the file's whole content to the path it is given, whole or nothing
    // (the writers of picture_io/file_writer.h do), and says why when it cannot.
    using Writer = std::function<WriteResult(const QString& path)>;

    OutputFiles() = default;
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;
    ~OutputFiles();

    void add(const QString& path, Writer writer);
    bool isEmpty() const { return m_files.empty(); }

    std::optional<FileFailure> prepare();
    std::optional<FileFailure> commit();

private:
    struct Entry
    {
        QString path;   // as given
        QString target; // absolute, symbolic links followed
        Writer writer;
        QString temporary;
        QString backup;        // a second name of the target's earlier content
        bool existed = false;  // as a regular file
        unsigned int mode = 0; // permission bits the written file gets
        bool replaced = false;
    };

    void rollBack();
    void removeLeftovers();

    std::vector<Entry> m_files;
};
