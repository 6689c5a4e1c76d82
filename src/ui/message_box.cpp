#include "ui/message_box.h"

#include <QMessageBox>

void SystemMessageBox::warn(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}
