#pragma once

#include <expected>
#include <string>
#include <utility>

// Why something could not be done, told to people in one short line.
// `what` names the file or the thing, as the user named it ("title.png",
// "standard input"); it is empty where the caller knows the name better and
// adds it. `why` is the reason: "file is empty", "cannot write: No space left
// on device".
struct Failure
{
    std::string what;
    std::string why;

    // "what: why", or only why when nothing is named.
    std::string message() const { return what.empty() ? why : what + ": " + why; }
};

// The one way the pure parts, the picture files and the command-line tool
// report failure: a value, or the Failure that kept it from being made.
template<typename T = void> using Result = std::expected<T, Failure>;

inline std::unexpected<Failure> fail(std::string why)
{
    return std::unexpected(Failure{std::string(), std::move(why)});
}

inline std::unexpected<Failure> fail(std::string what, std::string why)
{
    return std::unexpected(Failure{std::move(what), std::move(why)});
}

// The same failure, now naming `what` (when it named nothing yet).
inline std::unexpected<Failure> failNaming(const Failure& failure, std::string what)
{
    Failure named = failure;
    if (named.what.empty())
        named.what = std::move(what);
    return std::unexpected(std::move(named));
}
