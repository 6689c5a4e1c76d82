#pragma once

#include <QString>

// Text boxes store line breaks their own way; the sprite code on the clipboard
// always has CR LF between lines, as an assembler source file on the target
// platform expects. Turns every line break (LF, CR, CR LF, or the text box's
// paragraph and line separators) into CR LF and leaves every other character.
QString withCrLfLineBreaks(const QString& text);

// Where Copy puts its text. Tests put a fake in place of the real one.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Replaces what the clipboard holds with `text`, exactly as given.
    virtual void setText(const QString& text) = 0;
};

// The system clipboard, given plain text only: no rich text or other formats
// beside it, so every program that pastes gets the same characters.
class SystemClipboard : public Clipboard
{
public:
    void setText(const QString& text) override;
};
