#pragma once
// The error the support classes raise to their callers: a number, the raising class and a
// description, as a message box can show them.
#include <stdexcept>
#include <string>

namespace quenvor::platform {

class RaisedError : public std::runtime_error {
public:
    RaisedError(long number, std::string source, const std::string& description)
        : std::runtime_error(description), m_number(number), m_source(std::move(source)) {}
    long number() const { return m_number; }
    const std::string& source() const { return m_source; }
    std::string description() const { return what(); }

private:
    long m_number;
    std::string m_source;
};

// "quenvor.<className>", the source named in raised errors.
inline std::string errorSource(const std::string& className) { return "quenvor." + className; }

}  // namespace quenvor::platform
