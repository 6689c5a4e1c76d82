#pragma once

#include <QRect>
#include <QWidget>

#include <span>

// One row of a window's layout table: a control's object name and its
// rectangle in pixels of the client area, as the window description gives it.
struct ControlPlace
{
    const char* name;
    QRect rect;
};

// Puts every named child of `window` at its place. A name without a child is
// a fault of the table, so it is reported loudly in debug builds.
inline void placeControls(QWidget* window, std::span<const ControlPlace> table)
{
    for (const ControlPlace& place : table) {
        auto* control = window->findChild<QWidget*>(QString::fromLatin1(place.name));
        Q_ASSERT_X(control, "placeControls", place.name);
        if (control)
            control->setGeometry(place.rect);
    }
}
