#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Assembles `source` with the GNU assembler for the Z80 family (Debian's
// binutils-z80) and returns the bytes of the resulting binary, so tests can
// check that what Dotwright writes is what a real assembler reads.
// On failure returns nothing and puts the assembler's complaint into *error.
std::optional<QByteArray> assembleZ80(const QByteArray& source, QString* error);
