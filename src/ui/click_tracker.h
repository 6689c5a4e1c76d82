#pragma once

#include <QMouseEvent>
#include <QWidget>

// Tells a click on a control apart from other presses and releases: a click
// is a press of the left button on the control and its release there. A
// release of the left button that moved off the control, or that no press on
// it began, is no click; the other buttons neither start nor end one.
class ClickTracker
{
public:
    void press(const QMouseEvent* event)
    {
        if (event->button() == Qt::LeftButton)
            m_pressed = true;
    }

    // Whether this release ends a click on `control`.
    bool release(const QMouseEvent* event, const QWidget* control)
    {
        if (event->button() != Qt::LeftButton)
            return false;
        const bool click = m_pressed && control->rect().contains(event->position().toPoint());
        m_pressed = false;
        return click;
    }

private:
    bool m_pressed = false;
};
