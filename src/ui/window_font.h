#pragma once

#include <QFont>

// Every window uses Tahoma 8.25 pt, and some layouts depend on its widths (the
// sprite size row puts its boxes over the spaces of a label). Debian ships a
// free Tahoma clone with Wine's fonts, in a folder fontconfig does not scan:
// load it when it is there, and fall back quietly to the default sans font.
// Call once after the application object exists; returns the font it set.
QFont installWindowFont();
