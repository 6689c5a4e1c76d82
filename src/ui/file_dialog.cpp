#include "ui/file_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

FileDialogRequest fileDialogRequest(FileDialogMode mode, const QString& title,
                                    const QString& filter)
{
    return {mode, title, filter, QDir::currentPath(), QString()};
}

std::string systemFileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString toolkitNameFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0)
        return filter;
    const QString description = filter.left(bar);
    const QStringList patterns = filter.mid(bar + 1).split(u';', Qt::SkipEmptyParts);
    return description + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

QString SystemFileDialog::run(QWidget* owner, const FileDialogRequest& request)
{
    const bool save = request.mode == FileDialogMode::Save;
    QFileDialog dialog(owner, request.title, request.initialFolder);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(toolkitNameFilter(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}
