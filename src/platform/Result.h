#pragma once
// Outcome of an operation that can fail: either a value or what went wrong, never both.
#include <optional>
#include <string>
#include <utility>

namespace quenvor::platform {

struct Error {
    int code = 0;         // errno on POSIX, a Win32 error code on Windows, or our own
    std::string message;  // says what failed, in words a log or a message box can show
};

class Status {
public:
    Status() = default;
    Status(Error e) : m_error(std::move(e)) {}  // NOLINT: implicit by design
    static Status success() { return {}; }
    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

template <class T>
class Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: implicit by design
    Result(Error e) : m_error(std::move(e)) {}      // NOLINT: implicit by design
    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    const Error& error() const { return *m_error; }
    Status status() const { return ok() ? Status() : Status(*m_error); }

private:
    std::optional<T> m_value;
    std::optional<Error> m_error;
};

}  // namespace quenvor::platform
