#include "ui/window_setup.h"

#include <QDialog>

void setUpFixedWindow(QWidget* window, const char* objectName, const QString& title,
                      QSize clientSize)
{
    window->setObjectName(QString::fromLatin1(objectName));
    window->setWindowTitle(title);
    window->setFixedSize(clientSize);
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->setSizeGripEnabled(false);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& toolTip)
{
    auto* button = makeNamed<QPushButton>(parent, name, caption);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}
