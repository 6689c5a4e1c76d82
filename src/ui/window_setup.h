#pragma once

#include <QPushButton>
#include <QSize>
#include <QString>
#include <QWidget>

#include <utility>

// The frame every window of the program has: the object name the window
// description gives it, its title, and a fixed client area that the user
// cannot resize.
void setUpFixedWindow(QWidget* window, const char* objectName, const QString& title,
                      QSize clientSize);

// A control of `parent` under the name the window description gives it
// (`txtCode`, `sliSetting`), built from `arguments` followed by the parent.
template<typename Control, typename... Arguments>
Control* makeNamed(QWidget* parent, const char* name, Arguments&&... arguments)
{
    auto* control = new Control(std::forward<Arguments>(arguments)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// A command button that never answers Enter: in a window with a text box,
// Enter there would otherwise press it (and open a dialog, or clear a sprite).
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& toolTip = QString());
