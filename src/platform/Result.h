#pragma once
// Outcome of an operation that can fail: either a value or what went wrong, never both.
// Both are [[nodiscard]]: an outcome nobody looks at is how a failure turns into a false
// success. Reading the side that is not there is a programming error, caught in debug builds.
#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace quenvor::platform {

struct Error {
    int code = 0;         // errno on POSIX, a Win32 error code on Windows, or our own
    std::string message;  // says what failed, in words a log or a message box can show
};

class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error e) : m_error(std::move(e)) {}  // NOLINT: implicit by design
    static Status success() { return {}; }
    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const {
        assert(m_error && "error() of a success");
        return *m_error;
    }

private:
    std::optional<Error> m_error;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: implicit by design
    Result(Error e) : m_error(std::move(e)) {}      // NOLINT: implicit by design
    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return checked(), *m_value; }
    const T& value() const { return checked(), *m_value; }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const {
        assert(m_error && "error() of a value");
        return *m_error;
    }
    Status status() const { return ok() ? Status() : Status(*m_error); }

private:
    void checked() const { assert(m_value && "value() of an error"); }

    std::optional<T> m_value;
    std::optional<Error> m_error;
};

}  // namespace quenvor::platform
