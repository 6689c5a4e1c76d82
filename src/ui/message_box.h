#pragma once

#include <QString>

struct Failure;
class QWidget;

// A modal message over a window, for the failures a window cannot mend (an
// unreadable picture, an unwritable file). Tests put a fake in place of the
// real one.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Shows `text` as a warning titled `title` over `owner` and returns once
    // the user has dismissed it.
    virtual void warn(QWidget* owner, const QString& title, const QString& text) = 0;
};

// What a window says of a picture it cannot read: "Cannot load /home/ann/x.png:
// file is empty", the path as the platform writes it, the reader's reason.
QString cannotLoadText(const QString& path, const Failure& failure);

// The toolkit's warning box, with its one OK button.
class SystemMessageBox : public MessageBox
{
public:
    void warn(QWidget* owner, const QString& title, const QString& text) override;
};
