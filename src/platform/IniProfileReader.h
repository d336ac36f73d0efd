#pragma once
#include <vector>

#include "platform/IProfileReader.h"
#include "platform/Result.h"

namespace quenvor::platform {

// Reads a key of an INI file as the system's private-profile reader does: sections and keys
// compared without case, blanks around them ignored, one pair of surrounding quotes removed.
// Values of any length are returned whole.
class IniProfileReader : public IProfileReader {
public:
    std::size_t read(const std::string& section, const std::string& key, const std::string& fallback,
                     std::string& value, const std::filesystem::path& file) override;
    // Every section name of the file, in order; an error when the file cannot be read.
    static Result<std::vector<std::string>> sections(const std::filesystem::path& file);
};

}  // namespace quenvor::platform
