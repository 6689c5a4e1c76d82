#pragma once

#include <QIcon>
#include <QPixmap>

// The six tool icons of the main window's list, 32 × 32 in the 16 VGA colours,
// drawn here rather than shipped as files. Numbers 1 to 6 follow the tool list:
// sprite B&W, sprite greyscale, the two masked sprites, picture B&W, picture grey.
QPixmap toolIconPixmap(int number);

// The same icon for a window's title bar. Tool icon 2 in full colour is also
// the main window's icon.
QIcon toolWindowIcon(int number, bool fullColour = false);

// The 89 × 41 logo of the main window.
QPixmap logoPixmap();
