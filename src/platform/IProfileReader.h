#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

namespace quenvor::platform {

// Reads one key of an INI file written by another program.
class IProfileReader {
public:
    virtual ~IProfileReader() = default;
    // The value of `key` in `section`, or `fallback` when absent; returns its length in
    // characters, as the system's private-profile reader does.
    virtual std::size_t read(const std::string& section, const std::string& key, const std::string& fallback,
                             std::string& value, const std::filesystem::path& file) = 0;
};

}  // namespace quenvor::platform
