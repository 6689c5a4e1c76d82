#pragma once

class QWidget;

// One of the six tools of the main window. The tool object lives as long as the
// program and keeps what must survive closing its window; each opening builds
// the window afresh, shows it modally over `owner`, and returns once the user
// has closed it.
class Tool
{
public:
    virtual ~Tool() = default;
    virtual void open(QWidget* owner) = 0;
};
