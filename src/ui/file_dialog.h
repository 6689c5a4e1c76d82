#pragma once

#include <QString>

#include <string>

class QWidget;

enum class FileDialogMode { Open, Save };

// How a window prepares its file dialog before showing it.
struct FileDialogRequest
{
    FileDialogMode mode = FileDialogMode::Open;
    QString title;
    // One entry, written as "description|patterns": the description is shown
    // exactly as written and the patterns, separated by semicolons, choose the
    // files listed. "Bitmap (*.bmp)|*.bmp".
    QString filter;
    QString initialFolder;
    QString fileName;
};

// Prepared the way every file dialog of the program is: the initial folder is
// the process's current working directory and the file name is empty.
FileDialogRequest fileDialogRequest(FileDialogMode mode, const QString& title,
                                    const QString& filter);

// The toolkit's form of such a filter: "Pictures (*.bmp;*.gif) (*.bmp *.gif)".
// The toolkit splits patterns on spaces only, so the semicolon list of the
// description would match no file; the space-separated copy does the choosing
// and is hidden from the user (QFileDialog::HideNameFilterDetails).
QString toolkitNameFilter(const QString& filter);

// The name of the file a dialog chose as the system takes it: bytes in the
// file system's encoding, for the readers and writers of picture_io.
std::string systemFileName(const QString& path);

// A modal open or save dialog. Tests put a fake in place of the real one.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // The full path chosen, used as it comes back (no extension is added), or
    // an empty string when the user cancels.
    virtual QString run(QWidget* owner, const FileDialogRequest& request) = 0;
};

// The toolkit's file dialog. A file name the user types is taken whatever its
// extension: the filter only decides which files are listed. The save dialog
// asks before it replaces an existing file.
class SystemFileDialog : public FileDialog
{
public:
    QString run(QWidget* owner, const FileDialogRequest& request) override;
};
