#pragma once

#include "ui/message_box.h"

#include <QList>
#include <QStringList>

class QWidget;

// Keeps the text of every warning a window gives, each over its owner under
// its title, in place of the toolkit's message box.
class FakeMessageBox : public MessageBox
{
public:
    void warn(QWidget* owner, const QString& title, const QString& text) override
    {
        owners.append(owner);
        titles.append(title);
        texts.append(text);
    }
    void clear()
    {
        owners.clear();
        titles.clear();
        texts.clear();
    }

    QList<QWidget*> owners;
    QStringList titles;
    QStringList texts;
};
