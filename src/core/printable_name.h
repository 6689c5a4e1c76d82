#pragma once

#include <string>
#include <string_view>

// A file name as a one-line message can show it. Names are bytes: any byte
// but "/" and NUL may stand in one, a newline included. Valid UTF-8 text is
// kept as it is; control characters and bytes that are not UTF-8 become
// escapes ("\n", "\t", "\xff"), so a name can neither split the message nor
// put invalid text on a terminal. A backslash is doubled, so that every
// escape reads one way.
std::string printableName(std::string_view name);
