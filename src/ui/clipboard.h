#pragma once

#include <QString>

// Text boxes store line breaks their own way; the sprite code on the clipboard
// always has CR LF between lines, as an assembler source file on the target
// platform expects. Turns every line break (LF, CR, CR LF, or the text box's
// paragraph and line separators) into CR LF and leaves every other character.
QString withCrLfLineBreaks(const QString& text);

// Puts `text` on the system clipboard as plain text only, its line breaks as CR LF.
void copyPlainTextToClipboard(const QString& text);
