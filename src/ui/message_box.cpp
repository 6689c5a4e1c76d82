#include "ui/message_box.h"

#include "core/result.h"

#include <QDir>
#include <QMessageBox>

QString cannotLoadText(const QString& path, const Failure& failure)
{
    return QStringLiteral("Cannot load %1: %2")
        .arg(QDir::toNativeSeparators(path), QString::fromStdString(failure.why));
}

void SystemMessageBox::warn(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}
