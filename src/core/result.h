#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

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

// A Failure on its way into a Result of any type: `return fail("file is empty");`.
struct Unexpected
{
    Failure failure;
};

inline Unexpected fail(std::string why)
{
    return {Failure{std::string(), std::move(why)}};
}

inline Unexpected fail(std::string what, std::string why)
{
    return {Failure{std::move(what), std::move(why)}};
}

// Passes on a failure met on the way: `return fail(read.error());`.
inline Unexpected fail(Failure failure)
{
    return {std::move(failure)};
}

// The same failure, now naming `what` (when it named nothing yet).
inline Unexpected failNaming(Failure failure, std::string what)
{
    if (failure.what.empty())
        failure.what = std::move(what);
    return {std::move(failure)};
}

// The one way the pure parts, the picture files and the command-line tool
// report failure: a value, or the Failure that kept it from being made. It
// reads like std::expected (which the compilers we fuzz with cannot yet
// build): test it as a bool, take the value with * or ->, the reason with
// error().
template<typename T> class [[nodiscard]] Result
{
public:
    // A default value, as with std::expected, for a result assigned later.
    Result()
        requires std::is_default_constructible_v<T>
        : m_state(std::in_place_index<0>)
    {
    }
    Result(const T& value) : m_state(std::in_place_index<0>, value) {}
    Result(T&& value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template<typename U>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::decay_t<U>, T> &&
             !std::is_same_v<std::decay_t<U>, Unexpected> &&
             !std::is_same_v<std::decay_t<U>, Result>) Result(U&& value)
        : m_state(std::in_place_index<0>, T(std::forward<U>(value)))
    {}
    Result(Unexpected failed) : m_state(std::in_place_index<1>, std::move(failed.failure)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(value()); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only ever asked for after checking; asking a failure for its value is a
    // fault of the program, not of its input.
    T& value() &
    {
        if (!has_value())
            std::abort();
        return std::get<0>(m_state);
    }
    const T& value() const&
    {
        if (!has_value())
            std::abort();
        return std::get<0>(m_state);
    }
    template<typename U> T value_or(U&& otherwise) const&
    {
        return has_value() ? std::get<0>(m_state) : T(std::forward<U>(otherwise));
    }

    const Failure& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

template<> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Unexpected failed) : m_failure(std::move(failed.failure)) {}

    bool has_value() const { return !m_failure; }
    explicit operator bool() const { return has_value(); }
    const Failure& error() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};
